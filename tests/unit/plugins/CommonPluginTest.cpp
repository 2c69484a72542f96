// What every bundled picture plug-in must do alike: its information texts, signature checks, the
// same picture from a file and from memory, progress and cancelling, and bad input refused.
#include "PluginHarness.h"
#include "Samples.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

using namespace harness;

namespace {

class EveryPlugin : public testing::TestWithParam<samples::Format> {
protected:
    const Plugin& plugin()
    {
        static std::map<std::string, std::unique_ptr<Plugin>> loaded;
        auto& p = loaded[GetParam().plugin];
        if (!p)
            p = std::make_unique<Plugin>(GetParam().plugin);
        return *p;
    }
    const Bytes& sample()
    {
        static std::map<std::string, Bytes> cache;
        Bytes& b = cache[GetParam().plugin];
        if (b.empty())
            b = GetParam().encode(kWidth, kHeight, true);
        return b;
    }
    static constexpr int kWidth = 61;
    static constexpr int kHeight = 83;
};

TEST_P(EveryPlugin, InformationTexts)
{
    ASSERT_TRUE(plugin().loaded());
    EXPECT_EQ(plugin().info(0), "00IN");
    EXPECT_FALSE(plugin().info(1).empty());
    EXPECT_EQ(plugin().info(2).rfind("*.", 0), 0u) << plugin().info(2);
    EXPECT_FALSE(plugin().info(3).empty());
    EXPECT_EQ(plugin().info(-1), "");
    EXPECT_EQ(plugin().info(40), "");
}

TEST_P(EveryPlugin, RecognisesItsOwnSignatureOnly)
{
    ASSERT_TRUE(plugin().loaded());
    EXPECT_TRUE(plugin().isSupported(sample()));
    EXPECT_FALSE(plugin().isSupported(Bytes(2048, 0)));
    EXPECT_FALSE(plugin().isSupported(Bytes{'B', 'M'}));
    for (const auto& other : samples::formats()) {
        if (std::string(other.plugin) != GetParam().plugin) {
            EXPECT_FALSE(plugin().isSupported(other.encode(8, 8, false))) << other.plugin;
        }
    }
}

TEST_P(EveryPlugin, DecodesWithinToleranceFromFileAndMemoryAlike)
{
    ASSERT_TRUE(plugin().loaded());
    for (const bool alpha : {true, false}) {
        SCOPED_TRACE(alpha ? "alpha" : "opaque");
        const Bytes data = GetParam().encode(kWidth, kHeight, alpha);
        const Decoded fromMemory = plugin().decode(data);
        ASSERT_EQ(fromMemory.rc, SPI_SUCCESS);
        EXPECT_EQ(maxDifference(fromMemory.image, GetParam().reference(data)), 0) << "differs from the library's decode";
        if (GetParam().tolerance >= 0) {
            const Image source = fromRgba(kWidth, kHeight, photoRgba(kWidth, kHeight, alpha));
            const int diff = maxDifference(fromMemory.image, source);
            EXPECT_GE(diff, 0);
            EXPECT_LE(diff, GetParam().tolerance) << "differs from the pixels written";
        }
        if (!alpha) {
            for (std::size_t i = 3; i < fromMemory.image.bgra.size(); i += 4)
                ASSERT_EQ(fromMemory.image.bgra[i], 255) << "opaque pictures have alpha 255";
        }
        const std::string path = writeTemp(std::string(GetParam().plugin) + (alpha ? "-a" : "-o"), data);
        const Decoded fromFile = plugin().decodeFile(path);
        ASSERT_EQ(fromFile.rc, SPI_SUCCESS);
        EXPECT_EQ(maxDifference(fromFile.image, fromMemory.image), 0);

        // A picture inside a larger file, found by its offset.
        Bytes wrapped = data;
        wrapped.insert(wrapped.begin(), 1000, 0x5A);
        const Decoded atOffset = plugin().decodeFile(writeTemp(std::string(GetParam().plugin) + "-wrapped", wrapped), 1000);
        ASSERT_EQ(atOffset.rc, SPI_SUCCESS);
        EXPECT_EQ(maxDifference(atOffset.image, fromMemory.image), 0);
    }
}

TEST_P(EveryPlugin, OtherCasesMatchTheLibrary)
{
    ASSERT_TRUE(plugin().loaded());
    for (const samples::Variant& v : GetParam().variants()) {
        SCOPED_TRACE(v.name);
        const Decoded d = plugin().decode(v.data);
        ASSERT_EQ(d.rc, SPI_SUCCESS);
        const int diff = maxDifference(d.image, GetParam().reference(v.data));
        EXPECT_GE(diff, 0);
        EXPECT_LE(diff, v.referenceTolerance);
    }
}

TEST_P(EveryPlugin, PictureInfoGivesTheSize)
{
    ASSERT_TRUE(plugin().loaded());
    SpiPictureInfo info;
    std::string text;
    ASSERT_EQ(plugin().pictureInfo(sample(), info, text), SPI_SUCCESS);
    EXPECT_EQ(info.left, 0);
    EXPECT_EQ(info.top, 0);
    EXPECT_EQ(info.width, kWidth);
    EXPECT_EQ(info.height, kHeight);
    EXPECT_GT(info.colorDepth, 0);
    EXPECT_FALSE(text.empty());
    SpiPictureInfo fromFile;
    ASSERT_EQ(plugin().pictureInfoFile(writeTemp(std::string(GetParam().plugin) + "-info", sample()), fromFile), SPI_SUCCESS);
    EXPECT_EQ(fromFile.width, kWidth);
    EXPECT_EQ(fromFile.height, kHeight);
}

TEST_P(EveryPlugin, ReportsProgressFromStartToEnd)
{
    ASSERT_TRUE(plugin().loaded());
    ProgressLog log;
    const Decoded d = plugin().decode(sample(), logProgress, reinterpret_cast<intptr_t>(&log));
    ASSERT_EQ(d.rc, SPI_SUCCESS);
    EXPECT_EQ(log.firstDone, 0);
    EXPECT_EQ(log.lastDone, log.lastTotal);
    EXPECT_GT(log.lastTotal, 0);
    EXPECT_GE(log.calls, kHeight / 16) << "at least every few rows";
}

TEST_P(EveryPlugin, ProgressThatAsksToStopCancels)
{
    ASSERT_TRUE(plugin().loaded());
    for (const int stopAt : {1, 2, 4}) {
        ProgressLog log;
        log.stopAtCall = stopAt;
        const Decoded d = plugin().decode(sample(), logProgress, reinterpret_cast<intptr_t>(&log));
        EXPECT_EQ(d.rc, SPI_ABORT) << stopAt;
        EXPECT_EQ(log.calls, stopAt) << "no progress calls after the request to stop";
    }
}

TEST_P(EveryPlugin, BadInputIsAnErrorNeverACrash)
{
    ASSERT_TRUE(plugin().loaded());
    const Bytes& data = sample();
    for (const std::size_t cut : {std::size_t{0}, std::size_t{1}, std::size_t{8}, std::size_t{30}, data.size() / 4, data.size() / 2}) {
        const Bytes truncated(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(std::min(cut, data.size())));
        EXPECT_NE(plugin().decode(truncated).rc, SPI_SUCCESS) << "cut at " << cut;
        SpiPictureInfo info;
        std::string text;
        if (cut < 8) {
            EXPECT_NE(plugin().pictureInfo(truncated, info, text), SPI_SUCCESS) << "cut at " << cut;
        }
    }
    std::mt19937 rng(7);
    Bytes noise(4096);
    for (auto& b : noise)
        b = static_cast<std::uint8_t>(rng());
    EXPECT_NE(plugin().decode(noise).rc, SPI_SUCCESS);
    // Damaged bytes anywhere: any result but a crash, and a success is a whole picture.
    for (int round = 0; round < 40; ++round) {
        Bytes damaged = data;
        for (int k = 0; k < 4; ++k)
            damaged[rng() % damaged.size()] = static_cast<std::uint8_t>(rng());
        plugin().decode(damaged);
    }
    EXPECT_NE(plugin().decodeFile("/nonexistent/picture").rc, SPI_SUCCESS);
    EXPECT_NE(plugin().decodeFile("/dev/null").rc, SPI_SUCCESS);
    EXPECT_NE(plugin().decodeFile(writeTemp("x", data), static_cast<intptr_t>(data.size()) + 1).rc, SPI_SUCCESS);
}

// Inputs kept from fuzzing (and the seeds it starts from) decode to a whole picture or to an error;
// the "refused-" ones to an error. SELVARIN_WRITE_FUZZ_SEEDS=folder writes fresh seeds there.
TEST_P(EveryPlugin, KeptInputsAreReplayed)
{
    ASSERT_TRUE(plugin().loaded());
    const std::filesystem::path folder = std::filesystem::path(SELVARIN_TEST_DATA_DIR) / "fuzz" / GetParam().plugin;
    if (const char* out = std::getenv("SELVARIN_WRITE_FUZZ_SEEDS")) {
        const std::filesystem::path seeds = std::filesystem::path(out) / GetParam().plugin;
        std::filesystem::create_directories(seeds);
        for (const bool alpha : {false, true}) {
            const Bytes b = GetParam().encode(9, 7, alpha);
            std::ofstream((seeds / (alpha ? "seed-alpha" : "seed-opaque")).string(), std::ios::binary)
                .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
        }
    }
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const Decoded d = plugin().decode(readFileBytes(entry.path().string()));
        if (entry.path().filename().string().rfind("refused-", 0) == 0) {
            EXPECT_NE(d.rc, SPI_SUCCESS) << entry.path();
        }
        ++files;
    }
    EXPECT_GT(files, 0) << "no kept inputs in " << folder;
}

std::string formatName(const testing::TestParamInfo<samples::Format>& info) { return info.param.plugin; }

INSTANTIATE_TEST_SUITE_P(Plugins, EveryPlugin, testing::ValuesIn(samples::formats()), formatName);

}  // namespace
