// Writes the JPEG files the Lua tests read (tests/data/*.jpg), with libjpeg's encoder:
//   make_jpeg_fixtures FOLDER
#include "JpegFixtures.h"

#include <cstdio>
#include <string>

namespace {

bool save(const std::string& path, const std::vector<std::uint8_t>& data)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

std::vector<std::uint8_t> fill(int count, std::initializer_list<std::uint8_t> value)
{
    std::vector<std::uint8_t> out;
    for (int i = 0; i < count; ++i)
        out.insert(out.end(), value);
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_jpeg_fixtures FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    // 3 x 2: top row red, bottom row blue.
    auto redOverBlue = fill(3, {255, 0, 0});
    const auto blue = fill(3, {0, 0, 255});
    redOverBlue.insert(redOverBlue.end(), blue.begin(), blue.end());
    const bool ok = save(folder + "/colour_3x2.jpg", fixtures::encodeJpeg(3, 2, 3, redOverBlue, {.quality = 100})) &&
                    save(folder + "/grey_5x3.jpg", fixtures::encodeJpeg(5, 3, 1, fill(15, {200}), {.quality = 100})) &&
                    save(folder + "/cmyk_9x7.jpg",
                         fixtures::encodeJpeg(9, 7, 4, fill(63, {255, 0, 0, 255}), {.quality = 100}));
    return ok ? 0 : 1;
}
