// Inputs of the picture-path fuzzer replayed through the same path: none may break its checks,
// and the prepared pictures ("seed-") of every bit depth and layout must become surfaces.
#include "PictureRig.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t> readAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TEST(PicturePathReplay, KeptInputsKeepTheirChecks)
{
    fuzzing::PictureRig rig;
    const auto failure = rig.open(DIBCOPY_SPI_PATH);
    ASSERT_FALSE(failure) << *failure;
    int seeds = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(SELVARIN_TEST_DATA_DIR) / "fuzz" / "picture")) {
        const std::vector<std::uint8_t> data = readAll(entry.path());
        const auto broken = rig.run(data.data(), data.size());
        EXPECT_FALSE(broken) << entry.path() << ": " << broken.value_or("");
        const std::string name = entry.path().filename().string();
        if (name.rfind("seed-", 0) == 0) {
            EXPECT_TRUE(rig.madeSurface()) << entry.path();
            ++seeds;
        } else if (name.rfind("refused-", 0) == 0) {
            EXPECT_FALSE(rig.madeSurface()) << entry.path();
        }
    }
    EXPECT_GE(seeds, 8);
}

}  // namespace
