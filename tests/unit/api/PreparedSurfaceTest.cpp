// The surface converted ahead with a prefetched picture: app.createSurface takes it only for the
// very bits it was made from, unchanged, and what the script gets is what a conversion makes.
#include "api/AppPrefetch.h"
#include "api/AppTable.h"
#include "api/ScriptBuffer.h"
#include "api/SurfaceClass.h"
#include "api/SusiePlugin.h"
#include "engine/ScriptEngine.h"
#include "image/PrefetchCache.h"

#include <lua.hpp>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr engine::HostLibrary kLibraries[] = {
    {"Buffer", &api::installBufferClass},
    {"Surface", &api::installSurfaceClass},
    {"Susie_plugin", &api::installSusiePluginClass},
    {"app", &api::installApp},
};

std::string picture(const char* name) { return (fs::path(SELVARIN_TEST_DATA_DIR) / "decoders" / name).string(); }

// Everything a script or the view can tell of a surface.
struct Look {
    std::int32_t width = 0, height = 0, pitch = 0;
    int bitCount = 0;
    bool opaque = false;
    std::vector<std::uint8_t> pixels;
    bool operator==(const Look&) const = default;
};

class PreparedSurface : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_engine.open());
        L = m_engine.state();
    }

    // Runs `code`; the error's text, empty when it ran.
    std::string run(const std::string& code)
    {
        if (luaL_loadstring(L, code.c_str()) != 0 || lua_pcall(L, 0, 0, 0) != 0) {
            std::string text = lua_tostring(L, -1) ? lua_tostring(L, -1) : "(no message)";
            lua_pop(L, 1);
            return text;
        }
        return {};
    }

    // `load` (a decoder call on `path`) into globals header and bits, after the picture was
    // prefetched and the worker finished.
    void loadPrefetched(const std::string& load, const std::string& path)
    {
        ASSERT_EQ(run("app.prefetch(" + quoted(path) + ")"), "");
        api::prefetchCache(L)->waitIdle();
        ASSERT_EQ(run("header, bits = " + load + "(" + quoted(path) + ") assert(bits)"), "");
    }

    api::HeapBlock& block(const char* global)
    {
        lua_getglobal(L, global);
        api::BufferObject* object = api::testBuffer(L, -1);
        lua_pop(L, 1);
        auto* heap = object ? dynamic_cast<api::HeapBlock*>(object->block) : nullptr;
        EXPECT_NE(heap, nullptr) << global;
        return *heap;
    }

    bool prepared() { return block("bits").hasPreparedSurface(); }

    Look look(const char* global)
    {
        lua_getglobal(L, global);
        api::SurfaceObject* object = api::testSurface(L, -1);
        lua_pop(L, 1);
        Look l;
        if (!object || !object->surface || !object->surface->isValid())
            return l;
        image::ScriptSurface& s = *object->surface;
        l.width = s.width();
        l.height = s.height();
        l.pitch = s.pitch();
        l.bitCount = s.bitCount();
        l.opaque = s.surface()->isKnownOpaque();
        const gfx::NxPixelBuffer* pixels = s.pixelView();
        l.pixels.assign(pixels->bits(), pixels->bits() + s.sizeInBytes());
        return l;
    }

    // What a conversion makes of the header and bits Buffers as they are now.
    Look converted()
    {
        EXPECT_EQ(run("reference = app.createSurface(header, bits)"), "");
        return look("reference");
    }

    static std::string quoted(const std::string& text)
    {
        std::string out = "\"";
        for (const char c : text)
            out += c == '\\' || c == '"' ? std::string("\\") + c : std::string(1, c);
        return out + "\"";
    }

    engine::ScriptEngine m_engine{kLibraries, engine::ScriptEngine::Streams::Process};
    lua_State* L = nullptr;
};

TEST_F(PreparedSurface, TakenSurfacesAreWhatAConversionMakes)
{
    struct Case {
        const char* file;
        const char* load;
        bool converts;  // 32-bit bits without masks are lent as they are, never converted
        bool opaque;    // known opaque after the conversion
    };
    const Case cases[] = {
        {"colour420.jpg", "app.loadJpeg", true, true}, {"grey.jpg", "app.loadJpeg", true, true},
        {"cmyk.jpg", "app.loadJpeg", true, true},      {"rgb24.bmp", "app.loadBmp", true, true},
        {"pal8.bmp", "app.loadBmp", true, true},       {"rle4.bmp", "app.loadBmp", true, true},  
        {"rgb565.bmp", "app.loadBmp", true, true},      {"bitfields32.bmp", "app.loadBmp", true, false},
        {"rgb32.bmp", "app.loadBmp", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        loadPrefetched(c.load, picture(c.file));
        ASSERT_EQ(prepared(), c.converts);
        ASSERT_EQ(run("taken = app.createSurface(header, bits)"), "");
        EXPECT_FALSE(prepared()) << "taken once";
        const Look taken = look("taken");
        ASSERT_GT(taken.width, 0);
        EXPECT_TRUE(taken == converted());
        EXPECT_EQ(taken.opaque, c.opaque);
        // Written afterwards, both behave alike and the bits stay as decoded.
        ASSERT_EQ(run("before = bits:stringData() "
                      "taken:buffer():setStringData(1, '\\1\\2\\3\\4') reference:buffer():setStringData(1, '\\1\\2\\3\\4') "
                      "assert(bits:stringData() == before)"),
                  "");
        EXPECT_TRUE(look("taken") == look("reference"));
        EXPECT_FALSE(look("taken").opaque);
        ASSERT_EQ(run("taken:release() reference:release() header:release() bits:release()"), "");
    }
}

// Every way a script or a plug-in can reach the bits' bytes drops the surface, and the next
// createSurface converts the bytes as they are.
TEST_F(PreparedSurface, AnyReachOfTheBitsConvertsAfresh)
{
    ASSERT_EQ(run("plugin = app.loadSusiePlugin(" + quoted(DIBCOPY_SPI_PATH) + ") assert(plugin)"), "");
    const std::string tmp = (fs::temp_directory_path() / ("selvarin-prepared-" + std::to_string(::getpid()))).string();
    const char* const writes[] = {
        "bits:setStringData(1, string.rep('\\0\\255', 40))",
        "bits:setStringData(string.rep('\\9', 9))",
        "assert(bits:resize(bits:size()))",
        "bits:stringData(1, 1)",
        "assert(bits:writeToFile(" /* path */,
        "plugin:getPicture(bits)",
        "plugin:getPictureInfo(bits)",
        "plugin:isSupported('x.bin', bits)",
        "app.loadJpeg(bits)",
        "app.isSupportedJpeg('x.jpg', bits)",
        "app.prefetch(bits)",
        "app.createSurface(bits, bits)",
    };
    for (std::string write : writes) {
        if (write == "assert(bits:writeToFile(")
            write += quoted(tmp) + "))";
        SCOPED_TRACE(write);
        loadPrefetched("app.loadJpeg", picture("colour444.jpg"));
        ASSERT_TRUE(prepared());
        ASSERT_EQ(run(write), "");
        EXPECT_FALSE(prepared());
        ASSERT_EQ(run("made = app.createSurface(header, bits)"), "");
        EXPECT_TRUE(look("made") == converted());
        ASSERT_EQ(run("made:release() reference:release() header:release() bits:release()"), "");
    }
    fs::remove(tmp);

    // A written bits Buffer shows what was written, not the picture decoded ahead.
    loadPrefetched("app.loadJpeg", picture("colour444.jpg"));
    ASSERT_EQ(run("plain = app.createSurface(app.loadJpeg(" + quoted(picture("colour444.jpg")) + "))"), "");
    ASSERT_EQ(run("bits:setStringData(1, string.rep('\\0', 300)) made = app.createSurface(header, bits)"), "");
    EXPECT_FALSE(look("made") == look("plain"));
    EXPECT_TRUE(look("made") == converted());
}

TEST_F(PreparedSurface, OtherHeadersAndLaterPicturesConvertAfresh)
{
    // A header with other bytes: converted as that header says.
    loadPrefetched("app.loadJpeg", picture("colour420.jpg"));
    ASSERT_EQ(run("original = app.createSurface(app.loadJpeg(" + quoted(picture("colour420.jpg")) + "))"), "");
    // One row fewer in the height field (bytes 9 to 12).
    ASSERT_EQ(run("local b = { string.byte(header:stringData(9, 4), 1, 4) } "
                  "local h = b[1] + b[2] * 256 + b[3] * 65536 + b[4] * 16777216 - 1 "
                  "header:setStringData(9, string.char(math.mod(h, 256), math.mod(math.floor(h / 256), 256), "
                  "math.mod(math.floor(h / 65536), 256), math.floor(h / 16777216)))"),
              "");
    ASSERT_TRUE(prepared()) << "the header is compared, not watched";
    ASSERT_EQ(run("made = app.createSurface(header, bits)"), "");
    EXPECT_FALSE(prepared());
    const Look made = look("made");
    EXPECT_EQ(made.height, look("original").height - 1);
    EXPECT_TRUE(made == converted());
    ASSERT_EQ(run("made:release() reference:release()"), "");

    // Only the latest picture keeps its surface; one never converted goes with its Buffer.
    loadPrefetched("app.loadJpeg", picture("colour420.jpg"));
    ASSERT_EQ(run("first = bits"), "");
    ASSERT_TRUE(block("first").hasPreparedSurface());
    loadPrefetched("app.loadBmp", picture("rgb24.bmp"));
    EXPECT_FALSE(block("first").hasPreparedSurface());
    EXPECT_TRUE(prepared());
    ASSERT_EQ(run("first:release() bits:release() collectgarbage()"), "");
}

}  // namespace
