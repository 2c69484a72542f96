// Pictures for the script tests of the bundled plug-ins: with SELVARIN_PLUGIN_FIXTURES=folder,
// every format's samples and other cases are written there with the library's own decode of
// each, as the viewer's Surface holds it (B, G, R, A, bottom row first), and an index,
// pictures.txt, of lines "plug-in name width height tolerance".
#include "PluginHarness.h"
#include "Samples.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

using namespace harness;

namespace {

void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& data)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    ASSERT_TRUE(out.good()) << path;
}

TEST(ScriptFixtures, Written)
{
    const char* folder = std::getenv("SELVARIN_PLUGIN_FIXTURES");
    if (!folder)
        GTEST_SKIP() << "SELVARIN_PLUGIN_FIXTURES names no folder";
    const std::filesystem::path dir(folder);
    std::filesystem::create_directories(dir);
    std::ofstream index(dir / "pictures.txt");
    for (const samples::Format& f : samples::formats()) {
        std::vector<samples::Variant> cases = f.variants();
        cases.push_back({"opaque", f.encode(45, 31, false)});
        cases.push_back({"alpha", f.encode(45, 31, true)});
        for (const samples::Variant& v : cases) {
            const Image ref = f.reference(v.data);
            ASSERT_GT(ref.width, 0) << f.plugin << " " << v.name;
            const std::size_t stride = static_cast<std::size_t>(ref.width) * 4;
            std::vector<std::uint8_t> bottomUp(ref.bgra.size());
            for (int y = 0; y < ref.height; ++y)
                std::memcpy(bottomUp.data() + stride * static_cast<std::size_t>(ref.height - 1 - y),
                            ref.bgra.data() + stride * static_cast<std::size_t>(y), stride);
            const std::string stem = std::string(f.plugin) + "-" + v.name;
            writeBytes(dir / (stem + ".pic"), v.data);
            writeBytes(dir / (stem + ".bgra"), bottomUp);
            index << f.plugin << ' ' << v.name << ' ' << ref.width << ' ' << ref.height << ' ' << v.referenceTolerance << '\n';
        }
    }
    ASSERT_TRUE(index.good());
}

}  // namespace
