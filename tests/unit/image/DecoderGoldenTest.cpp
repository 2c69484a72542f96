// Every file of tests/data/decoders decoded and made into a 32-bit Surface, compared pixel for
// pixel with its golden picture under tests/data/golden/decoders, and with the picture the file
// was made from (exactly for lossless files). SELVARIN_REGENERATE_GOLDEN=1 rewrites the golden
// pictures; on a mismatch the actual and a difference picture are written beside the test.
// The files themselves come from make_decoder_fixtures (see DecoderFixtures.h).

#include "DecoderFixtures.h"
#include "../common/GoldenCompare.h"

#include "image/BmpCodec.h"
#include "image/JpegCodec.h"
#include "image/ScriptSurface.h"

#include <QImage>
#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

std::vector<std::uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The Surface's pixels as a picture, or a null picture when decoding or the Surface failed.
QImage decodeToSurface(const std::string& name, const std::vector<std::uint8_t>& bytes)
{
    const bool bmp = name.ends_with(".bmp");
    std::optional<image::DibPair> dib = bmp ? image::loadBmp(bytes) : image::loadJpeg(bytes);
    if (!dib)
        return {};
    const auto* header = reinterpret_cast<const gfx::NxBitmapInfoHeader*>(platform::memory::lock(dib->header.get()));
    const std::uint8_t* bits = platform::memory::lock(dib->bits.get());
    image::ScriptSurface surface;
    const bool made = surface.createFromDib(header, bits, 32);
    platform::memory::unlock(dib->header.get());
    platform::memory::unlock(dib->bits.get());
    if (!made)
        return {};
    const gfx::NxPixelBuffer& pixels = surface.surface()->pixels();
    QImage out(surface.width(), surface.height(), QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y)
        std::memcpy(out.scanLine(y), pixels.row(y), 4 * static_cast<std::size_t>(out.width()));
    return out;
}

int channelDifference(QRgb a, std::uint32_t b)
{
    int worst = 0;
    for (const int shift : {16, 8, 0})
        worst = std::max(worst, std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)));
    return worst;
}

class DecoderGoldenTest : public ::testing::TestWithParam<fixtures::DecoderFixture> {};

TEST_P(DecoderGoldenTest, SurfaceMatchesItsGoldenPicture)
{
    const fixtures::DecoderFixture& f = GetParam();
    const std::vector<std::uint8_t> stored = readFile(SELVARIN_TEST_DATA_DIR "/decoders/" + f.name);
    ASSERT_FALSE(stored.empty()) << "missing " << f.name << ": run make_decoder_fixtures tests/data/decoders";
    // Lossless files are made byte for byte the same again; an encoder's output may differ
    // between library versions, so stored JPEG files are what is decoded.
    if (f.tolerance == 0 && !f.intended.empty())
        EXPECT_TRUE(stored == f.bytes) << f.name << " is not what make_decoder_fixtures writes";

    const QImage actual = decodeToSurface(f.name, stored);
    ASSERT_FALSE(actual.isNull()) << f.name << " did not decode";
    ASSERT_EQ(actual.width(), f.width);
    ASSERT_EQ(actual.height(), f.height);

    if (!f.intended.empty()) {
        int worst = 0;
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width; ++x)
                worst = std::max(worst, channelDifference(actual.pixel(x, y), f.intended[y * f.width + x]));
        EXPECT_LE(worst, f.tolerance) << f.name << ": largest difference from the picture it was made from";
    }

    const QString stem = QString::fromStdString(f.name).replace('.', '_');
    const QString golden = QStringLiteral(SELVARIN_TEST_DATA_DIR "/golden/decoders/") + stem + ".png";
    testing_support::expectMatchesGolden(actual, golden, QImage::Format_ARGB32,
                                         QStringLiteral(SELVARIN_TEST_OUTPUT_DIR), stem);
}

INSTANTIATE_TEST_SUITE_P(Files, DecoderGoldenTest, ::testing::ValuesIn(fixtures::decoderFixtures()),
                         [](const auto& info) {
                             std::string n = info.param.name;
                             std::replace(n.begin(), n.end(), '.', '_');
                             return n;
                         });

}  // namespace
