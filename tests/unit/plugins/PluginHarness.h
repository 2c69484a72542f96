#pragma once

// Loads a bundled plug-in as the viewer does (dlopen of the built NAME.spi) and calls its entry
// points; decoded pictures are checked for the DIB convention and turned into top-down pixels.
#include <selvarin/spi.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace harness {

using Bytes = std::vector<std::uint8_t>;

// Top-down pixels, four bytes each: blue, green, red, alpha.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bgra;

    const std::uint8_t* at(int x, int y) const { return bgra.data() + (static_cast<std::size_t>(y) * width + x) * 4; }
};

struct Decoded {
    int rc = -100;
    Image image;
    std::uint32_t xPerMetre = 0;
};

class Plugin {
public:
    explicit Plugin(const std::string& name);
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;
    ~Plugin();

    bool loaded() const { return m_handle != nullptr; }
    std::string info(int n) const;
    bool isSupported(const Bytes& head) const;
    int pictureInfo(const Bytes& data, SpiPictureInfo& out, std::string& text) const;
    int pictureInfoFile(const std::string& path, SpiPictureInfo& out) const;
    Decoded decode(const Bytes& data, SpiProgressCallback progress = nullptr, intptr_t user = 0) const;
    Decoded decodeFile(const std::string& path, intptr_t offset = 0) const;

private:
    Decoded finish(int rc, HLOCAL header, HLOCAL bits) const;

    void* m_handle = nullptr;
    SpiGetPluginInfoFunc m_getPluginInfo = nullptr;
    SpiIsSupportedFunc m_isSupported = nullptr;
    SpiGetPictureInfoFunc m_getPictureInfo = nullptr;
    SpiGetPictureFunc m_getPicture = nullptr;
};

// A file in the test's temporary folder holding `data`; removed at the end of the test program.
std::string writeTemp(const std::string& name, const Bytes& data);
Bytes readFileBytes(const std::string& path);

// A smooth picture with texture, like a photograph, in R, G, B, A order (alpha varying when
// asked, else 255).
std::vector<std::uint8_t> photoRgba(int width, int height, bool alpha, unsigned seed = 1);
// The same pixels as B, G, R, A: what a plug-in must hand back.
Image fromRgba(int width, int height, const std::vector<std::uint8_t>& rgba);

// Rewrites the size in every "ispe" box of an ISO media file (AVIF, HEIF) to declare another
// size without re-encoding; returns how many boxes it changed.
int patchIspe(Bytes& file, std::uint32_t width, std::uint32_t height);

// Largest difference of any channel; -1 when the sizes differ.
int maxDifference(const Image& a, const Image& b);
// Number of channels differing by more than `tolerance`.
std::size_t countDifferent(const Image& a, const Image& b, int tolerance);

// Progress callbacks for tests: a counter (user is a ProgressLog*) and one that stops at a call.
struct ProgressLog {
    int calls = 0;
    int firstDone = -1;
    int lastDone = -1;
    int lastTotal = -1;
    int stopAtCall = -1;  // >= 1: return nonzero from that call on
};
int logProgress(int done, int total, intptr_t user);

}  // namespace harness
