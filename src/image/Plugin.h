#pragma once

#include "platform/MemoryHandle.h"
#include "platform/SharedLibrary.h"

#include <selvarin/spi.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The bridge to image plug-ins: one loaded library with its entry points, and the call
// sequences that turn what it hands back into blocks the host owns. Every call into the
// library runs under the fault guard; a library that faulted once is never called again.
// Calls are made on the interface thread, and those of a thread-safe library also on the
// prefetch worker.
namespace image {

// The twelve entry points, in the order they are looked up.
enum class Entry : int {
    GetPluginInfo,
    ConfigurationDlg,
    IsSupported,
    GetPictureInfo,
    GetPicture,
    GetPreview,
    GetArchiveInfo,
    GetFileInfo,
    GetFile,
    GetPictureEFZ,
    IsSupportedPlt,
    GetFileEFZ,
};
inline constexpr std::size_t kEntryCount = 12;
extern const std::array<const char*, kEntryCount> kEntryNames;

// Where a call reads its input: a file by its OS path, or bytes in memory.
struct Source {
    std::string osPath;               // file input
    const std::uint8_t* data = nullptr;  // memory input
    std::size_t size = 0;
    bool memory = false;

    const char* buf() const { return memory ? reinterpret_cast<const char*>(data) : osPath.c_str(); }
    intptr_t len() const { return memory ? static_cast<intptr_t>(size) : 0; }
    unsigned flag() const { return memory ? SPI_INPUT_MEMORY : SPI_INPUT_FILE; }
};

// The progress function and user value handed to the library.
struct Progress {
    SpiProgressCallback callback = nullptr;
    intptr_t user = 0;
};

// How a call went: the export was missing, the library faulted (now or before), or it
// returned `code`.
enum class CallState { Missing, Faulted, Returned };
struct CallResult {
    CallState state;
    int code = 0;
    bool returned(int expected) const { return state == CallState::Returned && code == expected; }
};

class Plugin {
public:
    // The library at `scriptPath`, when it loads and exports at least one of the twelve names.
    static std::unique_ptr<Plugin> load(std::string_view scriptPath);
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    bool has(Entry entry) const { return m_entries[static_cast<int>(entry)] != nullptr; }
    bool faulted() const { return m_faulted; }
    // The library declared its picture calls safe on any thread, also alongside each other.
    bool threadSafe() const { return m_threadSafe; }

    CallResult getPluginInfo(int index, char* buf, int length);
    CallResult isSupported(const char* osName, const void* head);
    CallResult getPictureInfo(const Source& source, SpiPictureInfo* info);
    CallResult getPicture(const Source& source, HLOCAL* info, HLOCAL* bits, Progress progress);
    CallResult getArchiveInfo(const Source& source, HLOCAL* list);
    CallResult getFile(const char* src, intptr_t len, char* dest, unsigned flag, Progress progress);

private:
    explicit Plugin(platform::SharedLibrary library);
    template <typename Fn, typename... Args>
    CallResult call(Entry entry, Args... args);

    platform::SharedLibrary m_library;
    std::array<void*, kEntryCount> m_entries{};
    // Calls may come from the prefetch worker too.
    std::atomic<bool> m_faulted{false};
    bool m_threadSafe = false;
};

// ---- Call sequences ----

// Text number `index` (0 is the interface version, cut to its first five bytes), as the library
// wrote it (UTF-8); none when the export is missing, the call fails or returns 0.
std::optional<std::string> pluginInfo(Plugin& plugin, int index);

// The library's answer for a file whose first bytes are `head` (at most 2048 are passed, the
// rest of the block zeroed); none when the export is missing or the call faults.
std::optional<bool> isSupported(Plugin& plugin, const std::string& osName, std::span<const std::uint8_t> head);

struct PictureDetails {
    SpiPictureInfo record{};
    std::string info;  // the info text, UTF-8 as the library wrote it
};
std::optional<PictureDetails> pictureInfo(Plugin& plugin, const Source& source);

// A decoded picture: the two handles the library handed over with the lengths that the
// Buffers over them may report.
struct PictureBlocks {
    platform::memory::OwnedHandle header;
    std::uint32_t headerLength = 0;
    platform::memory::OwnedHandle bits;
    std::uint32_t bitsLength = 0;
};
std::optional<PictureBlocks> picture(Plugin& plugin, const Source& source, Progress progress);

// The usable lengths of a header block and its bits, from the header's own fields: the header
// with its colour entries, and the image size (none means the whole block). Reads nothing
// outside `header`.
struct DibLengths {
    std::optional<std::uint64_t> header;
    std::optional<std::uint64_t> bits;
};
DibLengths dibLengths(std::span<const std::uint8_t> header);

// One extracted file. `position` is the entry's position; for a memory source it is clamped
// into the data. `length` is the length the Buffer reports (capped by the block).
struct FileBlock {
    platform::memory::OwnedHandle block;
    std::uint32_t length = 0;
};
std::optional<FileBlock> file(Plugin& plugin, const Source& source, double position, double length,
                              Progress progress);

// An archive listing: the list block on success; empty when the library gave no usable list;
// failed for an error code other than 0 and 2 or a fault.
struct ArchiveList {
    enum class Outcome { List, Empty, Failed } outcome = Outcome::Empty;
    platform::memory::OwnedHandle list;
};
// `Missing` is reported through the state so that the caller raises its script error.
ArchiveList archiveList(Plugin& plugin, const Source& source);

}  // namespace image
