// The picture path of getPicture and createSurface with headers and bits from the fuzzer, through
// a plug-in that hands the input back as it is (see PictureRig.h for the form and the checks).
#include "PictureRig.h"

#include <cstdio>
#include <cstdlib>

#ifndef DIBCOPY_SPI_PATH
#define DIBCOPY_SPI_PATH ""
#endif

namespace {

fuzzing::PictureRig& rig()
{
    static fuzzing::PictureRig* instance = [] {
        auto* r = new fuzzing::PictureRig;
        if (const auto failure = r->open(DIBCOPY_SPI_PATH)) {
            std::fprintf(stderr, "set-up failed: %s\n", failure->c_str());
            std::abort();
        }
        return r;
    }();
    return *instance;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (const auto failure = rig().run(data, size)) {
        std::fprintf(stderr, "picture path: %s\n", failure->c_str());
        std::abort();
    }
    return 0;
}
