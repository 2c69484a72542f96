#pragma once

#include "Dib.h"
#include "Plugin.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// Pictures decoded ahead of time on a worker thread, so that showing the next one costs no
// decode. Results are found by the bytes they were decoded from, never by name alone: a file
// that changed after it was read simply finds nothing and is decoded afresh, and a hit is
// exactly what the synchronous decoder makes of the same bytes. The host's own decoders run on
// the worker, and plug-ins that declared themselves thread-safe; the interpreter is never
// touched there.
namespace image {

enum class PrefetchFormat : std::uint8_t { Jpeg, Bmp, Plugin };

// One file to read ahead: an OS path (made absolute by the caller), or bytes already in memory
// (a picture inside an archive).
struct PrefetchSource {
    std::string osPath;
    std::vector<std::uint8_t> bytes;
    bool inMemory = false;
    // Decoded by this plug-in from the bytes in memory instead of by the host's decoders; a
    // source whose plug-in is not thread-safe is not prepared. The cache keeps the plug-in
    // loaded while it holds the source.
    std::shared_ptr<Plugin> plugin;
};

class PrefetchCache {
public:
    struct Limits {
        // Pictures kept or being prepared at once.
        std::size_t pictures = 2;
        // Bytes of file data, decoded pictures and their surfaces together; a picture that does
        // not fit in what is left is not prepared (it is decoded when shown, as without the
        // cache), and a surface that does not is converted when shown.
        std::uint64_t bytes = 0;
    };
    // An eighth of the machine's memory, at most 1 GiB, at least 64 MiB.
    static std::uint64_t defaultByteLimit();

    struct Stats {
        std::uint64_t decoded = 0;  // pictures the worker prepared
        std::uint64_t converted = 0;  // ... with their surface
        std::uint64_t hits = 0;     // results handed out
        std::uint64_t refused = 0;  // sources that were unreadable, too large or undecodable
    };

    explicit PrefetchCache(Limits limits);
    PrefetchCache(const PrefetchCache&) = delete;
    PrefetchCache& operator=(const PrefetchCache&) = delete;
    // Abandons the running decode and joins the worker.
    ~PrefetchCache();

    // The sources likely to be shown next, most likely first; replaces the previous wish. A
    // source still wanted keeps its work; the others are dropped (a running decode of one is
    // abandoned). Sources beyond the picture limit are ignored.
    void hint(std::vector<PrefetchSource> sources);

    // The picture the format's decoder makes of exactly `data`, if it was prepared; it leaves
    // the cache. When the worker is decoding these very bytes, waits for it rather than
    // decoding them a second time. With `surface`, also the 32-bit surface convertedDib makes
    // of the picture's blocks, when it was made too (never for bits a surface keeps as they are).
    std::optional<DibPair> take(PrefetchFormat format, Bytes data, std::unique_ptr<gfx::NxSurface>* surface = nullptr);
    // The same for what `plugin` makes of `data` given in memory; the surface is made of the
    // blocks cut to the lengths the plug-in gave.
    std::optional<PictureBlocks> take(const Plugin& plugin, Bytes data, std::unique_ptr<gfx::NxSurface>* surface = nullptr);

    // Drops everything `plugin` decodes or decoded: it is being unloaded. A running decode of it
    // is abandoned; the library goes once the worker has left it.
    void forget(const Plugin& plugin);

    // Until the worker has nothing left to do and holds nothing (tests, benchmarks).
    void waitIdle();
    Stats stats() const;

    // One wanted source and what became of it (defined with the worker).
    struct Entry;

private:
    template <typename Match>
    std::shared_ptr<Entry> takeEntry(Match&& matches);
    void run();
    void work(const std::shared_ptr<Entry>& entry, std::unique_lock<std::mutex>& lock);
    std::uint64_t readyBytes() const;

    const Limits m_limits;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    // Wanted work in priority order: queued, running and ready entries.
    std::vector<std::shared_ptr<Entry>> m_entries;
    std::shared_ptr<Entry> m_running;
    // From taking an entry until the worker has let go of it (and of its plug-in).
    bool m_working = false;
    bool m_stopping = false;
    Stats m_stats;
    std::thread m_worker;  // last: started once everything it uses exists
};

}  // namespace image
