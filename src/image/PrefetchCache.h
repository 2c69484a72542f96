#pragma once

#include "Dib.h"

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
// exactly what the synchronous decoder makes of the same bytes. Only the host's own decoders
// run on the worker; the interpreter is never touched there.
namespace image {

enum class PrefetchFormat : std::uint8_t { Jpeg, Bmp };

// One file to read ahead: an OS path (made absolute by the caller), or bytes already in memory
// (a picture inside an archive).
struct PrefetchSource {
    std::string osPath;
    std::vector<std::uint8_t> bytes;
    bool inMemory = false;
};

class PrefetchCache {
public:
    struct Limits {
        // Pictures kept or being prepared at once.
        std::size_t pictures = 2;
        // Bytes of file data and decoded pictures together; a picture that does not fit in
        // what is left is not prepared (it is decoded when shown, as without the cache).
        std::uint64_t bytes = 0;
    };
    // An eighth of the machine's memory, at most 1 GiB, at least 64 MiB.
    static std::uint64_t defaultByteLimit();

    struct Stats {
        std::uint64_t decoded = 0;  // pictures the worker prepared
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
    // decoding them a second time.
    std::optional<DibPair> take(PrefetchFormat format, Bytes data);

    // Until the worker has nothing left to do (tests, benchmarks).
    void waitIdle();
    Stats stats() const;

    // One wanted source and what became of it (defined with the worker).
    struct Entry;

private:
    void run();
    void work(const std::shared_ptr<Entry>& entry, std::unique_lock<std::mutex>& lock);
    std::uint64_t readyBytes() const;

    const Limits m_limits;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    // Wanted work in priority order: queued, running and ready entries.
    std::vector<std::shared_ptr<Entry>> m_entries;
    std::shared_ptr<Entry> m_running;
    bool m_stopping = false;
    Stats m_stats;
    std::thread m_worker;  // last: started once everything it uses exists
};

}  // namespace image
