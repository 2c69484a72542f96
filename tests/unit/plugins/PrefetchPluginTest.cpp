// Plug-ins on the prefetch worker: the bundled ones prepare exactly what a call on the interface
// thread returns, a plug-in that did not declare itself thread-safe is never called there, and a
// plug-in unloaded or a cache ended during a decode lets go cleanly.
#include "PluginHarness.h"
#include "Samples.h"

#include "image/Plugin.h"
#include "image/PrefetchCache.h"
#include "image/ScriptSurface.h"
#include "platform/MemoryHandle.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <thread>

namespace {

namespace memory = platform::memory;
using harness::Bytes;
using image::PrefetchCache;
using image::PrefetchSource;

std::shared_ptr<image::Plugin> load(const std::string& path)
{
    return std::shared_ptr<image::Plugin>(image::Plugin::load(path));
}

std::shared_ptr<image::Plugin> bundled(const std::string& name)
{
    return load(std::string(SELVARIN_PLUGIN_DIR) + "/" + name + ".spi");
}

PrefetchCache::Limits limits(std::uint64_t bytes = 64 << 20) { return {2, bytes}; }

PrefetchSource inMemory(const Bytes& data, std::shared_ptr<image::Plugin> plugin)
{
    PrefetchSource source;
    source.bytes = data;
    source.inMemory = true;
    source.plugin = std::move(plugin);
    return source;
}

PrefetchSource inFile(const std::string& path, std::shared_ptr<image::Plugin> plugin)
{
    PrefetchSource source;
    source.osPath = path;
    source.plugin = std::move(plugin);
    return source;
}

image::Source memorySource(const Bytes& data)
{
    image::Source source;
    source.memory = true;
    source.data = data.data();
    source.size = data.size();
    return source;
}

// Everything a script can see of a result: the bytes of both blocks, their sizes and the
// lengths the Buffers report.
struct Seen {
    Bytes header;
    Bytes bits;
    std::uint32_t headerLength = 0;
    std::uint32_t bitsLength = 0;
    bool operator==(const Seen&) const = default;
};

Bytes contents(const memory::OwnedHandle& handle)
{
    const memory::Lock lock(handle.get());
    return lock.data() ? Bytes(lock.data(), lock.data() + handle.size()) : Bytes{};
}

Seen seen(const image::PictureBlocks& blocks)
{
    return {contents(blocks.header), contents(blocks.bits), blocks.headerLength, blocks.bitsLength};
}

std::optional<Seen> direct(image::Plugin& plugin, const Bytes& data)
{
    const auto blocks = image::picture(plugin, memorySource(data), {});
    if (!blocks)
        return std::nullopt;
    return seen(*blocks);
}

// Whether `surface` is what the conversion makes of the blocks at their lengths: none where no
// conversion is made (32-bit bits are shown as they are), else the same pixels and opacity.
bool sameSurface(const gfx::NxSurface* surface, const image::PictureBlocks& blocks)
{
    const memory::Lock header(blocks.header.get());
    const memory::Lock bits(blocks.bits.get());
    gfx::NxBitmapInfoHeader h;
    if (!image::dibFits(header.data(), blocks.headerLength, blocks.bitsLength))
        return !surface;
    std::memcpy(&h, header.data(), sizeof h);
    if (image::keepsItsBits(h))
        return !surface;
    const auto direct = image::convertedDib(header.data(), bits.data());
    if (!surface || !direct || surface->isKnownOpaque() != direct->isKnownOpaque())
        return false;
    const gfx::NxPixelBuffer& a = surface->pixels();
    const gfx::NxPixelBuffer& b = direct->pixels();
    const std::size_t bytes = static_cast<std::size_t>(std::abs(a.pitch())) * static_cast<std::size_t>(a.height());
    return a.width() == b.width() && a.height() == b.height() && a.pitch() == b.pitch() &&
           std::memcmp(a.bits(), b.bits(), bytes) == 0;
}

TEST(PluginPrefetch, BundledPluginsPrepareWhatACallReturns)
{
    ASSERT_FALSE(samples::formats().empty());
    for (const samples::Format& format : samples::formats()) {
        SCOPED_TRACE(format.plugin);
        const auto plugin = bundled(format.plugin);
        ASSERT_TRUE(plugin);
        EXPECT_TRUE(plugin->threadSafe()) << "the bundled picture plug-ins declare it";
        std::vector<samples::Variant> cases = format.variants();
        cases.push_back({"opaque", format.encode(61, 37, false)});
        cases.push_back({"alpha", format.encode(40, 33, true)});
        const auto other = bundled(format.plugin);
        for (const samples::Variant& c : cases) {
            SCOPED_TRACE(c.name);
            const auto expected = direct(*plugin, c.data);
            ASSERT_TRUE(expected);
            // From a file read by the worker and from bytes handed over, one after the other.
            const std::string path = harness::writeTemp(std::string(format.plugin) + "-" + c.name, c.data);
            for (PrefetchSource source : {inFile(path, plugin), inMemory(c.data, plugin)}) {
                PrefetchCache cache(limits());
                cache.hint({std::move(source)});
                cache.waitIdle();
                EXPECT_EQ(cache.stats().decoded, 1u);
                EXPECT_FALSE(cache.take(*other, c.data)) << "what another copy makes is its own";
                EXPECT_FALSE(cache.take(image::PrefetchFormat::Jpeg, c.data));
                std::unique_ptr<gfx::NxSurface> surface;
                const auto prepared = cache.take(*plugin, c.data, &surface);
                ASSERT_TRUE(prepared);
                EXPECT_TRUE(seen(*prepared) == *expected);
                EXPECT_TRUE(sameSurface(surface.get(), *prepared));
                EXPECT_FALSE(cache.take(*plugin, c.data)) << "handed out once";
            }
        }
    }
}

// The interface thread keeps calling the plug-in while the worker decodes with it: neither
// disturbs the other.
TEST(PluginPrefetch, CallsOnBothThreadsAtOnceAgree)
{
    for (const samples::Format& format : samples::formats()) {
        SCOPED_TRACE(format.plugin);
        const auto plugin = bundled(format.plugin);
        ASSERT_TRUE(plugin);
        const Bytes ahead = format.encode(160, 120, true);
        const Bytes now = format.encode(90, 70, false);
        const auto expectedAhead = direct(*plugin, ahead);
        const auto expectedNow = direct(*plugin, now);
        ASSERT_TRUE(expectedAhead && expectedNow);
        PrefetchCache cache(limits());
        for (int round = 0; round < 3; ++round) {
            cache.hint({inMemory(ahead, plugin)});
            for (int i = 0; i < 3; ++i) {
                const auto result = direct(*plugin, now);
                ASSERT_TRUE(result);
                EXPECT_TRUE(*result == *expectedNow);
                EXPECT_TRUE(image::pictureInfo(*plugin, memorySource(now)));
            }
            const auto prepared = cache.take(*plugin, ahead);
            if (prepared) {
                EXPECT_TRUE(seen(*prepared) == *expectedAhead);
            }
            cache.hint({});
        }
        EXPECT_FALSE(plugin->faulted());
    }
}

TEST(PluginPrefetch, AChangedOrDeletedFileFindsNothing)
{
    const samples::Format& format = samples::formats().front();
    const auto plugin = bundled(format.plugin);
    ASSERT_TRUE(plugin);
    const Bytes before = format.encode(30, 20, false);
    const Bytes after = format.encode(31, 20, false);
    const std::string path = harness::writeTemp("changing", before);
    PrefetchCache cache(limits());
    cache.hint({inFile(path, plugin)});
    cache.waitIdle();
    harness::writeTemp("changing", after);
    EXPECT_FALSE(cache.take(*plugin, harness::readFileBytes(path))) << "the bytes read now were never decoded";

    cache.hint({inFile(path + ".gone", plugin), inMemory(Bytes{1, 2, 3, 4}, plugin)});
    cache.waitIdle();
    EXPECT_EQ(cache.stats().refused, 2u) << "a missing file and data the plug-in refuses cost nothing";
}

// The test plug-ins' call records, read through a handle of our own (the same loaded copy).
class SlowPlugin {
public:
    explicit SlowPlugin(const char* name)
        : m_path(std::string(SELVARIN_TEST_PLUGIN_DIR) + "/" + name + ".spi"),
          m_handle(dlopen(m_path.c_str(), RTLD_NOW | RTLD_LOCAL))
    {
        for (const char* name : {"slowCalls", "slowCallsElsewhere", "slowRunning", "slowAborts"})
            m_base[name] = raw(name);
    }
    ~SlowPlugin()
    {
        if (m_handle)
            dlclose(m_handle);
    }
    SlowPlugin(const SlowPlugin&) = delete;
    SlowPlugin& operator=(const SlowPlugin&) = delete;

    const std::string& path() const { return m_path; }
    // Counted since this object was made: a library that faulted stays loaded with its counts.
    int count(const char* name) const { return raw(name) - m_base.at(name); }
    // Until a GetPicture call is running (ten seconds at most, for a loaded machine).
    bool waitRunning() const
    {
        for (int i = 0; i < 2000 && count("slowRunning") < 1; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return count("slowRunning") >= 1;
    }

private:
    int raw(const char* name) const
    {
        auto* counter = static_cast<std::atomic<int>*>(m_handle ? dlsym(m_handle, name) : nullptr);
        return counter ? counter->load() : -1000;
    }

    std::string m_path;
    void* m_handle;
    std::map<std::string, int> m_base;
};

Bytes slowPicture(std::uint8_t steps, std::uint8_t width = 9, std::uint8_t height = 5, std::uint8_t salt = 0)
{
    return {'S', 'L', 'O', 'W', steps, width, height, salt};
}

TEST(PluginPrefetch, OnlyADeclaredPluginRunsOnTheWorker)
{
    const SlowPlugin oldStyle("test_slow_main");
    const auto unsafe = load(oldStyle.path());
    ASSERT_TRUE(unsafe);
    EXPECT_FALSE(unsafe->threadSafe());
    {
        PrefetchCache cache(limits());
        cache.hint({inMemory(slowPicture(0), unsafe), inFile(oldStyle.path(), unsafe)});
        cache.waitIdle();
        EXPECT_FALSE(cache.take(*unsafe, slowPicture(0)));
        EXPECT_EQ(cache.stats().decoded + cache.stats().refused, 0u) << "not even read";
    }
    EXPECT_EQ(oldStyle.count("slowCalls"), 0);
    EXPECT_TRUE(direct(*unsafe, slowPicture(0))) << "it still works on the interface thread";
    EXPECT_EQ(oldStyle.count("slowCallsElsewhere"), 0);

    const SlowPlugin declared("test_slow_worker");
    const auto safe = load(declared.path());
    ASSERT_TRUE(safe);
    EXPECT_TRUE(safe->threadSafe());
    PrefetchCache cache(limits());
    cache.hint({inMemory(slowPicture(2), safe)});
    cache.waitIdle();
    EXPECT_EQ(declared.count("slowCallsElsewhere"), 1);
    const auto prepared = cache.take(*safe, slowPicture(2));
    ASSERT_TRUE(prepared);
    EXPECT_TRUE(seen(*prepared) == *direct(*safe, slowPicture(2)));
}

TEST(PluginPrefetch, TheDocumentedExampleDecodesAhead)
{
    const auto ppm = load(std::string(SELVARIN_TEST_PLUGIN_DIR) + "/ppm.spi");
    ASSERT_TRUE(ppm);
    EXPECT_TRUE(ppm->threadSafe());
    const std::string text = "P6\n# ahead\n2 2\n255\n";
    Bytes data(text.begin(), text.end());
    for (int i = 0; i < 12; ++i)
        data.push_back(static_cast<std::uint8_t>(i * 20));
    PrefetchCache cache(limits());
    cache.hint({inMemory(data, ppm)});
    cache.waitIdle();
    const auto prepared = cache.take(*ppm, data);
    ASSERT_TRUE(prepared);
    EXPECT_TRUE(seen(*prepared) == *direct(*ppm, data));
}

TEST(PluginPrefetch, APluginThatCrashesOnTheWorkerIsMarked)
{
    const SlowPlugin declared("test_slow_worker");
    const auto plugin = load(declared.path());
    ASSERT_TRUE(plugin);
    PrefetchCache cache(limits());
    cache.hint({inMemory(slowPicture(255), plugin)});
    cache.waitIdle();
    EXPECT_TRUE(plugin->faulted()) << "the fault was caught on the worker";
    EXPECT_EQ(cache.stats().refused, 1u);
    EXPECT_FALSE(direct(*plugin, slowPicture(0))) << "and the plug-in is not called again";
    cache.hint({inMemory(slowPicture(0), plugin)});
    cache.waitIdle();
    EXPECT_EQ(declared.count("slowCalls"), 1);
}

TEST(PluginPrefetch, APictureBeyondTheBoundIsNeverDecoded)
{
    const SlowPlugin declared("test_slow_worker");
    const auto plugin = load(declared.path());
    ASSERT_TRUE(plugin);
    // 255 x 255 pixels would take more than the 100 KB left; the plug-in's header says so.
    PrefetchCache cache(limits(100 << 10));
    cache.hint({inMemory(slowPicture(0, 255, 255), plugin), inMemory(slowPicture(0, 20, 20), plugin)});
    cache.waitIdle();
    EXPECT_EQ(declared.count("slowCalls"), 1) << "only the small one was decoded";
    EXPECT_FALSE(cache.take(*plugin, slowPicture(0, 255, 255)));
    EXPECT_TRUE(cache.take(*plugin, slowPicture(0, 20, 20)));
}

TEST(PluginPrefetch, UnloadingDuringADecodeLetsGoOfTheLibrary)
{
    const SlowPlugin declared("test_slow_worker");
    auto plugin = load(declared.path());
    ASSERT_TRUE(plugin);
    const std::weak_ptr<image::Plugin> held = plugin;
    PrefetchCache cache(limits());
    const Bytes data = slowPicture(250);  // 2.5 s unless abandoned
    cache.hint({inMemory(data, plugin)});
    ASSERT_TRUE(declared.waitRunning());
    const auto started = std::chrono::steady_clock::now();
    cache.forget(*plugin);
    plugin.reset();
    EXPECT_FALSE(held.expired()) << "the worker still holds it";
    cache.waitIdle();
    EXPECT_TRUE(held.expired()) << "gone once the worker has left it";
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2)) << "the decode was abandoned";
    EXPECT_EQ(declared.count("slowAborts"), 1);
    EXPECT_EQ(cache.stats().decoded, 0u);
}

TEST(PluginPrefetch, EndingTheCacheDuringADecodeIsClean)
{
    const SlowPlugin declared("test_slow_worker");
    const auto plugin = load(declared.path());
    ASSERT_TRUE(plugin);
    const auto started = std::chrono::steady_clock::now();
    {
        PrefetchCache cache(limits());
        cache.hint({inMemory(slowPicture(250, 9, 5, 1), plugin), inMemory(slowPicture(250, 9, 5, 2), plugin)});
        ASSERT_TRUE(declared.waitRunning());
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    EXPECT_EQ(declared.count("slowAborts"), 1);
    EXPECT_EQ(declared.count("slowCalls"), 1) << "the second one was never started";
    EXPECT_TRUE(direct(*plugin, slowPicture(1))) << "the plug-in is as good as before";
}

}  // namespace
