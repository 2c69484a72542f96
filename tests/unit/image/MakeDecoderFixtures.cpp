// Writes the BMP and JPEG files of tests/data/decoders:
//   make_decoder_fixtures FOLDER
// Their golden pictures are then written by the golden test with SELVARIN_REGENERATE_GOLDEN=1.
#include "DecoderFixtures.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_decoder_fixtures FOLDER\n");
        return 2;
    }
    for (const fixtures::DecoderFixture& f : fixtures::decoderFixtures()) {
        const std::string path = std::string(argv[1]) + "/" + f.name;
        FILE* out = std::fopen(path.c_str(), "wb");
        if (!out)
            return 1;
        const bool ok = std::fwrite(f.bytes.data(), 1, f.bytes.size(), out) == f.bytes.size();
        if (std::fclose(out) != 0 || !ok)
            return 1;
    }
    return 0;
}
