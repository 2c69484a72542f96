#include "PluginHarness.h"

#include <dlfcn.h>
#include <unistd.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace harness {

namespace {

std::uint32_t get32(const std::uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t{p[3]} << 24; }
std::uint16_t get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

struct TempFolder {
    std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("selvarin-plugin-tests-" + std::to_string(::getpid()));
    TempFolder() { std::filesystem::create_directories(path); }
    ~TempFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

const std::filesystem::path& tempFolder()
{
    static const TempFolder folder;
    return folder.path;
}

}  // namespace

Plugin::Plugin(const std::string& name)
{
    const std::string path = std::string(SELVARIN_PLUGIN_DIR) + "/" + name + ".spi";
    int flags = RTLD_NOW | RTLD_LOCAL;
#ifdef __SANITIZE_ADDRESS__
    // As the host does under the sanitizer: library initialisers' blocks stay reachable.
    flags |= RTLD_NODELETE;
#endif
    m_handle = ::dlopen(path.c_str(), flags);
    if (!m_handle) {
        ADD_FAILURE() << "cannot load " << path << ": " << ::dlerror();
        return;
    }
    m_getPluginInfo = reinterpret_cast<SpiGetPluginInfoFunc>(::dlsym(m_handle, "GetPluginInfo"));
    m_isSupported = reinterpret_cast<SpiIsSupportedFunc>(::dlsym(m_handle, "IsSupported"));
    m_getPictureInfo = reinterpret_cast<SpiGetPictureInfoFunc>(::dlsym(m_handle, "GetPictureInfo"));
    m_getPicture = reinterpret_cast<SpiGetPictureFunc>(::dlsym(m_handle, "GetPicture"));
    EXPECT_TRUE(m_getPluginInfo && m_isSupported && m_getPictureInfo && m_getPicture) << path;
}

Plugin::~Plugin()
{
    if (m_handle)
        ::dlclose(m_handle);
}

std::string Plugin::info(int n) const
{
    char buf[256];
    std::memset(buf, 'x', sizeof buf);
    const int len = m_getPluginInfo(n, buf, sizeof buf);
    if (len <= 0)
        return {};
    EXPECT_EQ(buf[len], '\0');
    return std::string(buf, static_cast<std::size_t>(len));
}

bool Plugin::isSupported(const Bytes& data) const
{
    std::uint8_t block[2048] = {};
    std::memcpy(block, data.data(), std::min(data.size(), sizeof block));
    return m_isSupported("picture", block) != 0;
}

int Plugin::pictureInfo(const Bytes& data, SpiPictureInfo& out, std::string& text) const
{
    std::memset(&out, 0, sizeof out);
    const int rc = m_getPictureInfo(reinterpret_cast<const char*>(data.data()), static_cast<intptr_t>(data.size()),
                                    SPI_INPUT_MEMORY, &out);
    text.clear();
    if (out.hInfo) {
        const char* p = static_cast<const char*>(LocalLock(out.hInfo));
        const std::size_t size = LocalSize(out.hInfo);
        EXPECT_TRUE(p && size > 0 && p[size - 1] == '\0');
        if (p)
            text.assign(p, ::strnlen(p, size));
        LocalUnlock(out.hInfo);
        EXPECT_EQ(LocalFree(out.hInfo), 0u);
    }
    return rc;
}

int Plugin::pictureInfoFile(const std::string& path, SpiPictureInfo& out) const
{
    std::memset(&out, 0, sizeof out);
    const int rc = m_getPictureInfo(path.c_str(), 0, SPI_INPUT_FILE, &out);
    if (out.hInfo)
        LocalFree(out.hInfo);
    return rc;
}

Decoded Plugin::decode(const Bytes& data, SpiProgressCallback progress, intptr_t user) const
{
    HLOCAL header = 0xDEAD;
    HLOCAL bits = 0xBEEF;
    const int rc = m_getPicture(reinterpret_cast<const char*>(data.data()), static_cast<intptr_t>(data.size()),
                                SPI_INPUT_MEMORY, &header, &bits, progress, user);
    return finish(rc, header, bits);
}

Decoded Plugin::decodeFile(const std::string& path, intptr_t offset) const
{
    HLOCAL header = 0xDEAD;
    HLOCAL bits = 0xBEEF;
    const int rc = m_getPicture(path.c_str(), offset, SPI_INPUT_FILE, &header, &bits, nullptr, 0);
    return finish(rc, header, bits);
}

Decoded Plugin::finish(int rc, HLOCAL header, HLOCAL bits) const
{
    Decoded d;
    d.rc = rc;
    if (rc != SPI_SUCCESS) {
        // A failed call hands nothing back.
        EXPECT_EQ(header, 0u);
        EXPECT_EQ(bits, 0u);
        return d;
    }
    EXPECT_EQ(LocalFlags(header), 0u) << "header handed back locked or invalid";
    EXPECT_EQ(LocalFlags(bits), 0u) << "bits handed back locked or invalid";
    const auto* h = static_cast<const std::uint8_t*>(LocalLock(header));
    const auto* b = static_cast<const std::uint8_t*>(LocalLock(bits));
    if (!h || !b || LocalSize(header) < 40) {
        ADD_FAILURE() << "unusable blocks";
    } else {
        const auto width = static_cast<std::int32_t>(get32(h + 4));
        const auto height = static_cast<std::int32_t>(get32(h + 8));
        EXPECT_EQ(get32(h), 40u);
        EXPECT_GT(width, 0);
        EXPECT_GT(height, 0) << "rows must be bottom-up";
        EXPECT_EQ(get16(h + 12), 1);
        EXPECT_EQ(get16(h + 14), 32);
        EXPECT_EQ(get32(h + 16), 0u) << "BI_RGB";
        const std::size_t stride = static_cast<std::size_t>(width) * 4;
        EXPECT_EQ(get32(h + 20), stride * static_cast<std::size_t>(height)) << "biSizeImage";
        EXPECT_GE(LocalSize(bits), stride * static_cast<std::size_t>(height));
        d.xPerMetre = get32(h + 24);
        if (width > 0 && height > 0 && LocalSize(bits) >= stride * static_cast<std::size_t>(height)) {
            d.image.width = width;
            d.image.height = height;
            d.image.bgra.resize(stride * static_cast<std::size_t>(height));
            for (int y = 0; y < height; ++y)
                std::memcpy(d.image.bgra.data() + stride * y, b + stride * (height - 1 - y), stride);
        }
    }
    LocalUnlock(header);
    LocalUnlock(bits);
    EXPECT_EQ(LocalFree(header), 0u);
    EXPECT_EQ(LocalFree(bits), 0u);
    return d;
}

std::string writeTemp(const std::string& name, const Bytes& data)
{
    const auto path = tempFolder() / name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    return path.string();
}

Bytes readFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::uint8_t> photoRgba(int width, int height, bool alpha, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> noise(-6, 6);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(width) * height * 4);
    auto clamp = [](int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = out.data() + (static_cast<std::size_t>(y) * width + x) * 4;
            // Distinct ramps per channel, so a swapped channel or a flipped row shows.
            p[0] = clamp(x * 255 / std::max(width - 1, 1) + noise(rng));
            p[1] = clamp(y * 255 / std::max(height - 1, 1) + noise(rng));
            p[2] = clamp(128 + ((x / 8 + y / 8) % 2 ? 60 : -60) + noise(rng));
            p[3] = alpha ? clamp((x + 2 * y) * 255 / std::max(width + 2 * height - 3, 1)) : 255;
        }
    }
    return out;
}

Image fromRgba(int width, int height, const std::vector<std::uint8_t>& rgba)
{
    Image img{width, height, rgba};
    for (std::size_t i = 0; i + 3 < img.bgra.size(); i += 4)
        std::swap(img.bgra[i], img.bgra[i + 2]);
    return img;
}

int patchIspe(Bytes& file, std::uint32_t width, std::uint32_t height)
{
    // The box type, then version and flags, then the two big-endian sizes.
    const std::uint8_t size[8] = {
        static_cast<std::uint8_t>(width >> 24),  static_cast<std::uint8_t>(width >> 16),
        static_cast<std::uint8_t>(width >> 8),   static_cast<std::uint8_t>(width),
        static_cast<std::uint8_t>(height >> 24), static_cast<std::uint8_t>(height >> 16),
        static_cast<std::uint8_t>(height >> 8),  static_cast<std::uint8_t>(height),
    };
    int patched = 0;
    for (std::size_t i = 0; i + 16 <= file.size(); ++i) {
        if (std::memcmp(file.data() + i, "ispe", 4) == 0) {
            std::memcpy(file.data() + i + 8, size, sizeof size);
            ++patched;
        }
    }
    return patched;
}

int maxDifference(const Image& a, const Image& b)
{
    if (a.width != b.width || a.height != b.height || a.bgra.size() != b.bgra.size())
        return -1;
    int worst = 0;
    for (std::size_t i = 0; i < a.bgra.size(); ++i)
        worst = std::max(worst, std::abs(int{a.bgra[i]} - int{b.bgra[i]}));
    return worst;
}

std::size_t countDifferent(const Image& a, const Image& b, int tolerance)
{
    if (a.bgra.size() != b.bgra.size())
        return SIZE_MAX;
    std::size_t n = 0;
    for (std::size_t i = 0; i < a.bgra.size(); ++i)
        n += std::abs(int{a.bgra[i]} - int{b.bgra[i]}) > tolerance;
    return n;
}

int logProgress(int done, int total, intptr_t user)
{
    auto* log = reinterpret_cast<ProgressLog*>(user);
    ++log->calls;
    if (log->firstDone < 0)
        log->firstDone = done;
    EXPECT_GE(done, log->lastDone) << "progress went backwards";
    EXPECT_LE(done, total);
    log->lastDone = done;
    log->lastTotal = total;
    return log->stopAtCall >= 1 && log->calls >= log->stopAtCall ? 1 : 0;
}

}  // namespace harness
