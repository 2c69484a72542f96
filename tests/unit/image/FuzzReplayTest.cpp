// Inputs kept from fuzzing and from refused pictures, replayed at the default limits: each must
// decode to a self-consistent pair or to nothing, and the "refused-" ones to nothing.
#include "image/BmpCodec.h"
#include "image/JpegCodec.h"

#include "TestBytes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;
using namespace testbytes;

namespace {

Bytes readAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void checkConsistent(const std::optional<image::DibPair>& pair, const fs::path& file)
{
    if (!pair)
        return;
    const Bytes header = bytesOf(pair->header);
    ASSERT_GE(header.size(), 40u) << file;
    const std::int64_t width = image::readI32(header.data() + 4);
    const std::int64_t height = image::readI32(header.data() + 8);
    const std::uint64_t stride = ((image::readU16(header.data() + 14) * static_cast<std::uint64_t>(width) + 31) / 32) * 4;
    EXPECT_EQ(pair->bits.size(), (height < 0 ? -height : height) * stride) << file;
    EXPECT_TRUE(image::fitsSurface(width, height < 0 ? -height : height, {})) << file;
}

template <typename Decode>
int replay(const char* folder, Decode decode)
{
    int files = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(SELVARIN_TEST_DATA_DIR) / "fuzz" / folder)) {
        const Bytes data = readAll(entry.path());
        const auto pair = decode(view(data));
        checkConsistent(pair, entry.path());
        if (entry.path().filename().string().rfind("refused-", 0) == 0)
            EXPECT_FALSE(pair) << entry.path();
        ++files;
    }
    return files;
}

TEST(FuzzReplay, Bmp)
{
    EXPECT_GT(replay("bmp", [](image::Bytes b) { return image::loadBmp(b); }), 0);
}

TEST(FuzzReplay, Jpeg)
{
    EXPECT_GT(replay("jpeg", [](image::Bytes b) { return image::loadJpeg(b); }), 0);
}

}  // namespace
