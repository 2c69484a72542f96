#include "PluginHarness.h"
#include "Samples.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstring>

using namespace harness;

namespace {

struct Frame {
    int left = 0, top = 0, width = 0, height = 0;
    bool interlaced = false;
    std::vector<GifColorType> localMap;  // empty: the global one
    int transparent = NO_TRANSPARENT_COLOR;
    std::vector<GifPixelType> pixels;     // width x height indexes, top-down
};

int writeBytes(GifFileType* gif, const GifByteType* data, int n)
{
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}

ColorMapObject* makeMap(const std::vector<GifColorType>& colours)
{
    int size = 2;
    while (size < static_cast<int>(colours.size()))
        size *= 2;
    std::vector<GifColorType> padded = colours;
    padded.resize(static_cast<std::size_t>(size));
    return GifMakeMapObject(size, padded.data());
}

// Interlaced frames are written in pass order, as the format stores them.
Bytes encode(int screenWidth, int screenHeight, const std::vector<GifColorType>& globalMap, const std::vector<Frame>& frames,
             bool loopExtension = false)
{
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, writeBytes, &error);
    EGifSetGifVersion(gif, true);
    ColorMapObject* global = globalMap.empty() ? nullptr : makeMap(globalMap);
    EGifPutScreenDesc(gif, screenWidth, screenHeight, 8, 0, global);
    if (loopExtension) {
        EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE);
        EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0");
        const unsigned char loop[3] = {1, 0, 0};
        EGifPutExtensionBlock(gif, 3, loop);
        EGifPutExtensionTrailer(gif);
    }
    for (const Frame& f : frames) {
        GraphicsControlBlock gcb{};
        gcb.TransparentColor = f.transparent;
        GifByteType ext[4];
        const std::size_t len = EGifGCBToExtension(&gcb, ext);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(len), ext);
        ColorMapObject* local = f.localMap.empty() ? nullptr : makeMap(f.localMap);
        EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, f.interlaced, local);
        std::vector<int> order;
        if (f.interlaced) {
            for (const auto& [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
                for (int y = start; y < f.height; y += step)
                    order.push_back(y);
        } else {
            for (int y = 0; y < f.height; ++y)
                order.push_back(y);
        }
        for (const int y : order)
            EGifPutLine(gif, const_cast<GifPixelType*>(f.pixels.data() + static_cast<std::size_t>(y) * f.width), f.width);
        if (local)
            GifFreeMapObject(local);
    }
    EGifCloseFile(gif, &error);
    if (global)
        GifFreeMapObject(global);
    return out;
}

std::vector<GifColorType> cube()
{
    std::vector<GifColorType> map;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                map.push_back({static_cast<GifByteType>(r * 51), static_cast<GifByteType>(g * 51), static_cast<GifByteType>(b * 51)});
    map.resize(256, GifColorType{1, 2, 3});
    return map;
}

// giflib's straightforward decode: slurp, then the first frame placed on its screen with the
// transparent colour left clear.
Image referenceDecode(const Bytes& data)
{
    struct Reader {
        const Bytes* data;
        std::size_t pos;
    } reader{&data, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, [](GifFileType* g, GifByteType* out, int n) {
        auto* r = static_cast<Reader*>(g->UserData);
        const int take = std::min<int>(n, static_cast<int>(r->data->size() - r->pos));
        std::memcpy(out, r->data->data() + r->pos, static_cast<std::size_t>(take));
        r->pos += static_cast<std::size_t>(take);
        return take;
    }, &error);
    Image img;
    if (!gif || DGifSlurp(gif) != GIF_OK || gif->ImageCount < 1) {
        ADD_FAILURE() << "giflib cannot read the test picture";
        return img;
    }
    const SavedImage& f = gif->SavedImages[0];
    GraphicsControlBlock gcb{};
    DGifSavedExtensionToGCB(gif, 0, &gcb);
    const ColorMapObject* map = f.ImageDesc.ColorMap ? f.ImageDesc.ColorMap : gif->SColorMap;
    img.width = gif->SWidth;
    img.height = gif->SHeight;
    img.bgra.assign(static_cast<std::size_t>(img.width) * img.height * 4, 0);
    for (int y = 0; y < f.ImageDesc.Height; ++y) {
        for (int x = 0; x < f.ImageDesc.Width; ++x) {
            const int index = f.RasterBits[y * f.ImageDesc.Width + x];
            if (index == gcb.TransparentColor)
                continue;
            std::uint8_t* p = &img.bgra[(static_cast<std::size_t>(y + f.ImageDesc.Top) * img.width + x + f.ImageDesc.Left) * 4];
            const GifColorType c = map->Colors[index];
            p[0] = c.Blue;
            p[1] = c.Green;
            p[2] = c.Red;
            p[3] = 255;
        }
    }
    DGifCloseFile(gif, &error);
    return img;
}

const Plugin& plugin()
{
    static Plugin p("gif");
    return p;
}

TEST(GifPlugin, FrameOnALargerScreenIsTransparentAround)
{
    Frame f;
    f.left = 3;
    f.top = 2;
    f.width = 5;
    f.height = 4;
    f.transparent = 7;
    f.localMap = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}, {1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}, {9, 9, 9}};
    for (int i = 0; i < f.width * f.height; ++i)
        f.pixels.push_back(static_cast<GifPixelType>(i % 8));
    const Bytes file = encode(11, 9, cube(), {f});
    const Decoded d = plugin().decode(file);
    ASSERT_EQ(d.rc, SPI_SUCCESS);
    ASSERT_EQ(d.image.width, 11);
    ASSERT_EQ(d.image.height, 9);
    EXPECT_EQ(maxDifference(d.image, referenceDecode(file)), 0);
    const std::uint8_t clear[4] = {0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(d.image.at(0, 0), clear, 4), 0);
    EXPECT_EQ(std::memcmp(d.image.at(10, 8), clear, 4), 0);
    const std::uint8_t first[4] = {30, 20, 10, 255};  // local map colour 0, blue first
    EXPECT_EQ(std::memcmp(d.image.at(3, 2), first, 4), 0);
    EXPECT_EQ(std::memcmp(d.image.at(3 + 7 % 5, 2 + 7 / 5), clear, 4), 0) << "transparent index";
}

TEST(GifPlugin, InterlacedFrameRowsLandInPlace)
{
    for (const int height : {1, 2, 3, 5, 8, 9, 17}) {
        SCOPED_TRACE(height);
        Frame f;
        f.width = 3;
        f.height = height;
        f.interlaced = true;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < 3; ++x)
                f.pixels.push_back(static_cast<GifPixelType>(y * 6 + x));  // row y: reds y*51 / 5 steps
        const Bytes file = encode(3, height, cube(), {f});
        const Decoded d = plugin().decode(file);
        ASSERT_EQ(d.rc, SPI_SUCCESS);
        EXPECT_EQ(maxDifference(d.image, referenceDecode(file)), 0);
    }
}

TEST(GifPlugin, OnlyTheFirstFrameOfAnAnimationAndItSaysSo)
{
    Frame a;
    a.width = 4;
    a.height = 4;
    a.pixels.assign(16, 5);
    Frame b = a;
    b.pixels.assign(16, 200);
    const Bytes file = encode(4, 4, cube(), {a, b}, true);
    const Decoded d = plugin().decode(file);
    ASSERT_EQ(d.rc, SPI_SUCCESS);
    const GifColorType c = cube()[5];
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(d.image.bgra[i * 4], c.Blue);
    SpiPictureInfo info;
    std::string text;
    ASSERT_EQ(plugin().pictureInfo(file, info, text), SPI_SUCCESS);
    EXPECT_NE(text.find("animated"), std::string::npos) << text;
    EXPECT_EQ(info.colorDepth, 8);
}

TEST(GifPlugin, FrameBeyondTheScreenGrowsThePicture)
{
    Frame f;
    f.left = 2;
    f.top = 1;
    f.width = 6;
    f.height = 5;
    f.pixels.assign(30, 1);
    const Bytes file = encode(4, 3, cube(), {f});
    const Decoded d = plugin().decode(file);
    ASSERT_EQ(d.rc, SPI_SUCCESS);
    EXPECT_EQ(d.image.width, 8);
    EXPECT_EQ(d.image.height, 6);
    EXPECT_EQ(d.image.at(7, 5)[3], 255);
    EXPECT_EQ(d.image.at(0, 0)[3], 0);
    SpiPictureInfo info;
    std::string text;
    ASSERT_EQ(plugin().pictureInfo(file, info, text), SPI_SUCCESS);
    EXPECT_EQ(info.width, 8);
    EXPECT_EQ(info.height, 6);
}

TEST(GifPlugin, LyingScreenSizesAndMissingPicturesAreRefused)
{
    Frame f;
    f.width = 2;
    f.height = 2;
    f.pixels.assign(4, 1);
    Bytes file = encode(2, 2, cube(), {f});
    const auto setScreen = [&](int w, int h) {
        file[6] = static_cast<std::uint8_t>(w);
        file[7] = static_cast<std::uint8_t>(w >> 8);
        file[8] = static_cast<std::uint8_t>(h);
        file[9] = static_cast<std::uint8_t>(h >> 8);
    };
    setScreen(65535, 65535);  // beyond the Surface cap
    EXPECT_EQ(plugin().decode(file).rc, SPI_NO_MEMORY);
    setScreen(20000, 20000);  // within it, but not from a few dozen bytes
    EXPECT_EQ(plugin().decode(file).rc, SPI_OUT_OF_ORDER);
    const Bytes noPicture = encode(2, 2, cube(), {});
    EXPECT_EQ(plugin().decode(noPicture).rc, SPI_OUT_OF_ORDER);
}

}  // namespace

namespace samples {

// The source quantised to a 6 x 6 x 6 cube; alpha below half becomes the transparent colour.
harness::Bytes gif(int width, int height, bool alpha)
{
    const auto rgba = photoRgba(width, height, alpha);
    Frame f;
    f.width = width;
    f.height = height;
    f.interlaced = alpha;
    f.transparent = alpha ? 255 : NO_TRANSPARENT_COLOR;
    for (std::size_t i = 0; i < rgba.size(); i += 4) {
        const auto q = [&](int c) { return (rgba[i + c] + 25) / 51; };
        f.pixels.push_back(alpha && rgba[i + 3] < 128 ? 255 : static_cast<GifPixelType>(q(0) * 36 + q(1) * 6 + q(2)));
    }
    return encode(width, height, cube(), {f});
}

harness::Image gifReference(const harness::Bytes& data) { return referenceDecode(data); }

// Every GIF is a palette picture; the plain samples are one with and one without transparency.
std::vector<Variant> gifVariants() { return {}; }

}  // namespace samples
