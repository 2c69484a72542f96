// One bundled picture plug-in, linked in as code, fed one untrusted input through its entry points
// as the viewer calls them. Whatever decodes must be a whole picture of the size its header gave.
#include <selvarin/spi.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

int keepGoing(int, int, intptr_t) { return 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::uint8_t head[2048] = {};
    std::memcpy(head, data, size < sizeof head ? size : sizeof head);
    IsSupported("input", head);

    const char* buf = reinterpret_cast<const char*>(data);
    SpiPictureInfo info;
    std::memset(&info, 0, sizeof info);
    const int infoRc = GetPictureInfo(buf, static_cast<intptr_t>(size), SPI_INPUT_MEMORY, &info);
    if (info.hInfo && LocalFree(info.hInfo) != 0)
        std::abort();

    HLOCAL header = 0;
    HLOCAL bits = 0;
    if (GetPicture(buf, static_cast<intptr_t>(size), SPI_INPUT_MEMORY, &header, &bits, keepGoing, 0) != SPI_SUCCESS) {
        if (header || bits)
            std::abort();  // a failure hands nothing back
        return 0;
    }
    const auto* h = static_cast<const std::uint8_t*>(LocalLock(header));
    if (!h || LocalSize(header) < 40)
        std::abort();
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint32_t imageSize = 0;
    std::memcpy(&width, h + 4, 4);
    std::memcpy(&height, h + 8, 4);
    std::memcpy(&imageSize, h + 20, 4);
    if (width <= 0 || height <= 0 || imageSize != std::uint64_t(width) * std::uint64_t(height) * 4 ||
        LocalSize(bits) < imageSize)
        std::abort();
    if (infoRc == SPI_SUCCESS && (info.width != width || info.height != height))
        std::abort();  // the information and the picture agree
    LocalUnlock(header);
    LocalFree(header);
    LocalFree(bits);
    return 0;
}
