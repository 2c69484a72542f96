#include "image/BmpCodec.h"
#include "image/JpegCodec.h"
#include "image/PrefetchCache.h"
#include "image/ScriptSurface.h"

#include "JpegFixtures.h"
#include "TestBytes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <filesystem>
#include <fstream>
#include <string>

using namespace testbytes;

namespace {

namespace fs = std::filesystem;
using image::PrefetchCache;
using image::PrefetchFormat;
using image::PrefetchSource;

class PrefetchCacheTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = fs::temp_directory_path() / ("selvarin-prefetch-" + std::to_string(::getpid()) + "-" +
                                                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_folder);
    }
    void TearDown() override { fs::remove_all(m_folder); }

    std::string write(const std::string& name, const Bytes& bytes)
    {
        const fs::path path = m_folder / name;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

    static PrefetchSource file(const std::string& path) { return PrefetchSource{path, {}, false, {}}; }
    static PrefetchCache::Limits limits(std::uint64_t bytes = 64 << 20, std::size_t pictures = 2)
    {
        return {pictures, bytes};
    }

    fs::path m_folder;
};

Bytes colourJpeg(int width, int height, int quality = 90)
{
    fixtures::JpegOptions options;
    options.quality = quality;
    return fixtures::encodeJpeg(width, height, 3, fixtures::testPattern(width, height, 3), options);
}

Bytes greyJpeg(int width, int height) { return fixtures::encodeJpeg(width, height, 1, fixtures::testPattern(width, height, 1)); }

Bytes rle8Bmp()
{
    const Bytes rle = {3, 0x11, 0, 0, 0, 3, 0x21, 0x22, 0x23, 0, 0, 1};
    return fileHeader() + infoHeader(3, 2, 8, 1, static_cast<std::uint32_t>(rle.size()), 2) + Bytes(8, 0) + rle;
}

void expectSamePair(const image::DibPair& prepared, const image::DibPair& direct)
{
    EXPECT_EQ(bytesOf(prepared.header), bytesOf(direct.header));
    EXPECT_EQ(bytesOf(prepared.bits), bytesOf(direct.bits));
    EXPECT_EQ(prepared.header.heap(), direct.header.heap());
    EXPECT_EQ(prepared.bits.heap(), direct.bits.heap());
}

TEST_F(PrefetchCacheTest, PreparedPicturesEqualSynchronousDecodes)
{
    struct Case {
        const char* name;
        Bytes bytes;
        PrefetchFormat format;
    };
    const Case cases[] = {
        {"colour.jpg", colourJpeg(37, 21), PrefetchFormat::Jpeg},
        {"grey.jpg", greyJpeg(5, 3), PrefetchFormat::Jpeg},
        {"file.bmp", fileHeader() + infoHeader(3, 2, 24, 0, 24) + Bytes(24, 0x5A), PrefetchFormat::Bmp},
        {"rle.bmp", rle8Bmp(), PrefetchFormat::Bmp},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PrefetchCache cache(limits());
        cache.hint({file(write(c.name, c.bytes))});
        cache.waitIdle();
        EXPECT_FALSE(cache.take(c.format == PrefetchFormat::Jpeg ? PrefetchFormat::Bmp : PrefetchFormat::Jpeg,
                                view(c.bytes)))
            << "another decoder's result is never handed out";
        const auto prepared = cache.take(c.format, view(c.bytes));
        ASSERT_TRUE(prepared);
        const auto direct = c.format == PrefetchFormat::Jpeg ? image::loadJpeg(view(c.bytes)) : image::loadBmp(view(c.bytes));
        ASSERT_TRUE(direct);
        expectSamePair(*prepared, *direct);
        EXPECT_FALSE(cache.take(c.format, view(c.bytes))) << "a result is handed out once";
        EXPECT_EQ(cache.stats().hits, 1u);
    }
}

// Everything a surface shows of itself.
struct SurfaceLook {
    std::int32_t width = 0, height = 0, pitch = 0;
    bool opaque = false;
    Bytes pixels;
    bool operator==(const SurfaceLook&) const = default;
};

SurfaceLook lookOf(const gfx::NxSurface& s)
{
    const gfx::NxPixelBuffer& p = s.pixels();
    const std::size_t bytes = static_cast<std::size_t>(std::abs(p.pitch())) * static_cast<std::size_t>(p.height());
    return {s.width(), s.height(), p.pitch(), s.isKnownOpaque(), Bytes(p.bits(), p.bits() + bytes)};
}

// What the conversion makes of a decoder's pair, done here.
std::unique_ptr<gfx::NxSurface> convert(const image::DibPair& pair)
{
    const platform::memory::Lock header(pair.header.get());
    const platform::memory::Lock bits(pair.bits.get());
    return image::convertedDib(header.data(), bits.data());
}

TEST_F(PrefetchCacheTest, SurfacesAreConvertedAheadWhereAConversionIsMade)
{
    const Bytes rgb32 = fileHeader() + infoHeader(2, 2, 32, 0, 16) + Bytes(16, 0x7F);
    const struct {
        const char* name;
        Bytes bytes;
        PrefetchFormat format;
        bool converts;
    } cases[] = {
        {"colour.jpg", colourJpeg(37, 21), PrefetchFormat::Jpeg, true},
        {"grey.jpg", greyJpeg(5, 3), PrefetchFormat::Jpeg, true},
        {"rle.bmp", rle8Bmp(), PrefetchFormat::Bmp, true},
        {"rgb32.bmp", rgb32, PrefetchFormat::Bmp, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PrefetchCache cache(limits());
        cache.hint({file(write(c.name, c.bytes))});
        cache.waitIdle();
        EXPECT_EQ(cache.stats().converted, c.converts ? 1u : 0u);
        std::unique_ptr<gfx::NxSurface> surface;
        const auto prepared = cache.take(c.format, view(c.bytes), &surface);
        ASSERT_TRUE(prepared);
        if (!c.converts) {
            EXPECT_FALSE(surface) << "32-bit bits without masks are shown as they are";
            continue;
        }
        ASSERT_TRUE(surface);
        const auto direct = convert(*prepared);
        ASSERT_TRUE(direct);
        EXPECT_TRUE(lookOf(*surface) == lookOf(*direct));
        EXPECT_TRUE(surface->isKnownOpaque());
    }
}

// The surface is counted in the bound: a picture whose surface does not fit is kept without it,
// and a surface kept leaves no room for a second picture that would not fit beside it.
TEST_F(PrefetchCacheTest, SurfacesCountInTheBound)
{
    const Bytes a = colourJpeg(100, 100, 90), b = colourJpeg(100, 100, 80);
    const std::string pa = write("a.jpg", a), pb = write("b.jpg", b);
    const std::uint64_t picture = a.size() + 40 + 100 * 300;  // file, header and bits
    const std::uint64_t surface = 100 * 100 * 4;

    PrefetchCache tight(limits(picture + surface - 1));
    tight.hint({file(pa)});
    tight.waitIdle();
    std::unique_ptr<gfx::NxSurface> none;
    EXPECT_TRUE(tight.take(PrefetchFormat::Jpeg, view(a), &none));
    EXPECT_FALSE(none);
    EXPECT_EQ(tight.stats().converted, 0u);

    PrefetchCache roomy(limits(picture + surface + picture));
    roomy.hint({file(pa), file(pb)});
    roomy.waitIdle();
    EXPECT_EQ(roomy.stats().decoded, 2u);
    EXPECT_EQ(roomy.stats().converted, 1u) << "the second picture fits only without its surface";
    std::unique_ptr<gfx::NxSurface> first, second;
    EXPECT_TRUE(roomy.take(PrefetchFormat::Jpeg, view(a), &first));
    EXPECT_TRUE(roomy.take(PrefetchFormat::Jpeg, view(b), &second));
    EXPECT_TRUE(first);
    EXPECT_FALSE(second);
}

TEST_F(PrefetchCacheTest, BytesInMemoryArePreparedToo)
{
    const Bytes jpeg = colourJpeg(16, 16);
    PrefetchCache cache(limits());
    cache.hint({PrefetchSource{{}, jpeg, true, {}}});
    cache.waitIdle();
    const auto prepared = cache.take(PrefetchFormat::Jpeg, view(jpeg));
    ASSERT_TRUE(prepared);
    expectSamePair(*prepared, *image::loadJpeg(view(jpeg)));
}

TEST_F(PrefetchCacheTest, ChangedAndDeletedFilesAreDecodedAfresh)
{
    const Bytes before = colourJpeg(20, 10, 90);
    const Bytes after = colourJpeg(20, 10, 40);
    ASSERT_NE(before, after);
    const std::string path = write("a.jpg", before);
    PrefetchCache cache(limits());
    cache.hint({file(path)});
    cache.waitIdle();
    // The same name with other bytes: what the viewer reads now finds nothing prepared.
    write("a.jpg", after);
    EXPECT_FALSE(cache.take(PrefetchFormat::Jpeg, view(after)));

    const std::string gone = write("gone.jpg", before);
    fs::remove(gone);
    PrefetchCache fresh(limits());
    fresh.hint({file(gone), file(write("bad.jpg", Bytes{0xFF, 0xD8, 1, 2, 3}))});
    fresh.waitIdle();
    EXPECT_EQ(fresh.stats().refused, 2u) << "missing and corrupt files cost nothing until shown";
    EXPECT_EQ(fresh.stats().decoded, 0u);
}

TEST_F(PrefetchCacheTest, OnlyTheWantedPicturesAreKept)
{
    const Bytes a = colourJpeg(8, 8, 90), b = colourJpeg(8, 8, 80), c = colourJpeg(8, 8, 70);
    const std::string pa = write("a.jpg", a), pb = write("b.jpg", b), pc = write("c.jpg", c);
    PrefetchCache cache(limits());
    cache.hint({file(pa), file(pb), file(pc)});
    cache.waitIdle();
    EXPECT_EQ(cache.stats().decoded, 2u) << "two pictures at most";
    EXPECT_FALSE(cache.take(PrefetchFormat::Jpeg, view(c)));

    // A wish kept from the last hint is not decoded again; one no longer named is dropped.
    cache.hint({file(pb), file(pc)});
    cache.waitIdle();
    EXPECT_EQ(cache.stats().decoded, 3u);
    EXPECT_FALSE(cache.take(PrefetchFormat::Jpeg, view(a)));
    EXPECT_TRUE(cache.take(PrefetchFormat::Jpeg, view(b)));
    EXPECT_TRUE(cache.take(PrefetchFormat::Jpeg, view(c)));

    cache.hint({});
    cache.hint({file(pa)});
    cache.hint({});
    cache.waitIdle();
    EXPECT_FALSE(cache.take(PrefetchFormat::Jpeg, view(a))) << "an empty wish drops everything";
}

TEST_F(PrefetchCacheTest, HugePicturesDoNotPushOthersOut)
{
    const Bytes small = colourJpeg(64, 64);
    // 20000 x 20000 declared, a few bytes of data: nothing of its size is allocated.
    Bytes huge = colourJpeg(16, 16);
    for (std::size_t i = 0; i + 8 < huge.size(); ++i) {
        if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
            huge[i + 5] = 20000 >> 8, huge[i + 6] = 20000 & 0xFF;
            huge[i + 7] = 20000 >> 8, huge[i + 8] = 20000 & 0xFF;
            break;
        }
    }
    ASSERT_EQ(image::pictureInfoJpeg(view(huge))->width, 20000);
    // A real picture larger than what is left of the bound: 400 x 400 x 3 bytes of bits.
    const Bytes large = colourJpeg(400, 400);
    PrefetchCache cache(limits(300 << 10));
    cache.hint({file(write("small.jpg", small))});
    cache.waitIdle();
    cache.hint({file(write("small.jpg", small)), file(write("huge.jpg", huge))});
    cache.waitIdle();
    cache.hint({file(write("small.jpg", small)), file(write("large.jpg", large))});
    cache.waitIdle();
    EXPECT_EQ(cache.stats().refused, 2u);
    EXPECT_FALSE(cache.take(PrefetchFormat::Jpeg, view(large)));
    EXPECT_TRUE(cache.take(PrefetchFormat::Jpeg, view(small))) << "the bound holds without evicting";
}

TEST_F(PrefetchCacheTest, QuittingWhileADecodeRunsEndsCleanly)
{
    const Bytes big = colourJpeg(1500, 1500);
    const std::string path = write("big.jpg", big);
    for (int round = 0; round < 4; ++round) {
        PrefetchCache cache(limits());
        cache.hint({file(path)});
        // Asked for while it is being read or decoded: the result is waited for or made afresh.
        if (round % 2) {
            const auto pair = cache.take(PrefetchFormat::Jpeg, view(big));
            if (pair) {
                EXPECT_EQ(bytesOf(pair->bits), bytesOf(image::loadJpeg(view(big))->bits));
            }
        }
    }
}

}  // namespace
