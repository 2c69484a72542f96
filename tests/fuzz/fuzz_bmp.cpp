#include "image/BmpCodec.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const image::Bytes bytes(data, size);
    image::isSupportedBmp(bytes);
    const auto info = image::pictureInfoBmp(bytes);
    const auto pair = image::loadBmp(bytes);
    if (pair && (!info || pair->header.size() < 40))
        std::abort();  // a decoded picture always has a header that the info reader accepts
    if (pair)
        image::createBmpFileHeader(image::Bytes(platform::memory::Lock(pair->header.get()).data(), pair->header.size()));
    return 0;
}
