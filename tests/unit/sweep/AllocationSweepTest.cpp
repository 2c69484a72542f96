// Allocation-failure sweep: an event call that works Buffers, Surfaces and both decoders runs
// again and again with its n-th allocation failing, n rising until the call no longer reaches
// an n-th allocation. Allocations counted are the interpreter's and every C++ `new`; each run
// must end in a reported script error or in success, leave the interpreter usable, and (under
// the sanitizer build) leak nothing.

#include "app/HostLibraries.h"
#include "engine/ErrorReporter.h"
#include "engine/ScriptEngine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <new>
#include <string>

namespace {

// One countdown for both kinds of allocation; 0 when nothing is to fail.
std::size_t g_failAt = 0;
std::size_t g_count = 0;
bool g_failed = false;

bool failNow() noexcept
{
    if (g_failAt == 0 || ++g_count != g_failAt)
        return false;
    g_failed = true;
    return true;
}

}  // namespace

void* operator new(std::size_t size)
{
    if (failNow())
        throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return failNow() ? nullptr : std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return ::operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

struct WrappedAllocator {
    lua_Alloc inner;
    void* innerData;
};

// Fails only growth: the interpreter relies on shrinking and freeing never failing.
void* failingAllocate(void* ud, void* block, std::size_t oldSize, std::size_t newSize) noexcept
{
    auto* w = static_cast<WrappedAllocator*>(ud);
    if (newSize > oldSize && failNow())
        return nullptr;
    return w->inner(w->innerData, block, oldSize, newSize);
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void setGlobalString(lua_State* L, const char* name, const std::string& value)
{
    lua_pushlstring(L, value.data(), value.size());
    lua_setglobal(L, name);
}

// The swept event: a Buffer filled, read back, resized and released; both decoders from
// Buffers; Surfaces made from the pictures and by size; a table of results.
constexpr const char* kScript = R"(
function onSweep()
  local b = app.createStringBuffer(string.rep("x", 100))
  b:setStringData("abc", 2)
  local s = b:stringData(1, 10)
  b:resize(4000)
  b:release()
  local out = {}
  for _, data in ipairs({bmp8, rle4, jpegColour, jpegGrey, jpegProgressive}) do
    local buffer = app.createStringBuffer(data)
    local header, bits = app.loadBmp(buffer)
    if not header then header, bits = app.loadJpeg(buffer) end
    local surface = app.createSurface(header, bits)
    table.insert(out, surface:width() .. "x" .. surface:height())
    surface:release()
    header:release()
    bits:release()
  end
  local plain = app.createSurface(31, 17)
  plain:release()
  result = table.concat(out, " ") .. s
end
function onCheck() check = "ok" .. string.rep("!", 3) end
)";

class AllocationSweep : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine::setErrorReporter([this](const engine::ErrorReport&) { ++reports; });
        const std::string data = SELVARIN_TEST_DATA_DIR "/decoders/";
        for (const char* name : {"pal8.bmp", "rle4.bmp", "colour420.jpg", "grey.jpg", "progressive.jpg"}) {
            files.push_back(readFile(data + name));
            ASSERT_FALSE(files.back().empty()) << name;
        }
    }
    void TearDown() override { engine::setErrorReporter(nullptr); }

    // One run with allocation n failing (0: none). True when the n-th allocation happened.
    bool runFailing(std::size_t n, std::string& result)
    {
        engine::ScriptEngine engine(app::hostLibraries(), engine::ScriptEngine::Streams::Process);
        EXPECT_TRUE(engine.open());
        lua_State* L = engine.state();
        EXPECT_EQ(luaL_dostring(L, kScript), 0);
        const char* names[] = {"bmp8", "rle4", "jpegColour", "jpegGrey", "jpegProgressive"};
        for (std::size_t i = 0; i < files.size(); ++i)
            setGlobalString(L, names[i], files[i]);

        WrappedAllocator wrapped;
        wrapped.inner = lua_getallocf(L, &wrapped.innerData);
        lua_setallocf(L, failingAllocate, &wrapped);
        reports = 0;
        g_count = 0;
        g_failed = false;
        g_failAt = n;
        // Not found when the failure hit the making of the event's name.
        const bool found = engine.callWithStrings("onSweep");
        g_failAt = 0;
        const bool failed = g_failed;
        EXPECT_TRUE(found || failed);
        EXPECT_EQ(reports, failed ? 1 : 0) << "allocation " << n << ": a failure is one reported script error";

        // Whatever failed, the interpreter goes on.
        reports = 0;
        EXPECT_TRUE(engine.callWithStrings("onCheck"));
        EXPECT_EQ(reports, 0) << "after allocation " << n << " failed";
        lua_getglobal(L, "check");
        EXPECT_STREQ(lua_tostring(L, -1), "ok!!!") << "after allocation " << n << " failed";
        lua_getglobal(L, "result");
        result = lua_tostring(L, -1) ? lua_tostring(L, -1) : "";
        lua_pop(L, 2);
        lua_setallocf(L, wrapped.inner, wrapped.innerData);
        engine.close();
        return failed;
    }

    std::vector<std::string> files;
    int reports = 0;
};

TEST_F(AllocationSweep, EveryFailingAllocationOfAnEventIsASoundError)
{
    std::string expected;
    ASSERT_FALSE(runFailing(0, expected));
    ASSERT_EQ(expected, "13x7 13x7 13x7 13x7 13x7abcxxxxxxx");
    std::size_t n = 1;
    std::string result;
    for (; n < 100000 && !HasFailure(); ++n) {
        if (!runFailing(n, result))
            break;
    }
    EXPECT_EQ(result, expected) << "the run that reached no failing allocation completes";
    EXPECT_GT(n, 100u) << "the event allocates more than that";
    RecordProperty("allocations", static_cast<int>(n - 1));
    std::printf("swept %zu allocations\n", n - 1);
}

}  // namespace
