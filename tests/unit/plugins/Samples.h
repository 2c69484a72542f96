#pragma once

// One encoder per format, each written with the format's own library, so that the tests shared
// by every plug-in have a picture to work on. Each codes photoRgba(width, height, alpha).
#include "PluginHarness.h"

#include <string>
#include <vector>

namespace samples {

// A picture of a case the plain samples do not show (palette, grey, 16-bit, ...), and how far a
// faithful decode may differ from the library's own decode of it.
struct Variant {
    std::string name;
    harness::Bytes data;
    int referenceTolerance = 0;
};

// For each format: the encoder, the library's own straightforward decode of a file to top-down
// B, G, R, A, which a plug-in must match exactly, and its other cases.
#define SELVARIN_SAMPLE_FORMAT(name)                                 \
    harness::Bytes name(int width, int height, bool alpha);          \
    harness::Image name##Reference(const harness::Bytes& data);      \
    std::vector<Variant> name##Variants();
SELVARIN_SAMPLE_FORMAT(png)
SELVARIN_SAMPLE_FORMAT(gif)
SELVARIN_SAMPLE_FORMAT(webp)
SELVARIN_SAMPLE_FORMAT(tiff)
SELVARIN_SAMPLE_FORMAT(avif)
SELVARIN_SAMPLE_FORMAT(heif)
SELVARIN_SAMPLE_FORMAT(jxl)
#undef SELVARIN_SAMPLE_FORMAT

struct Format {
    const char* plugin;
    harness::Bytes (*encode)(int width, int height, bool alpha);
    harness::Image (*reference)(const harness::Bytes& data);
    // Largest channel difference a faithful decode may show against the source pixels; -1 where
    // the format cannot hold them (a palette of 256 colours).
    int tolerance;
    std::vector<Variant> (*variants)();
};

// The formats whose plug-ins are built.
const std::vector<Format>& formats();

}  // namespace samples
