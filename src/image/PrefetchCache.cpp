#include "PrefetchCache.h"

#include "BmpCodec.h"
#include "JpegCodec.h"

#include "platform/Allocator.h"
#include "platform/FileIo.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace image {

struct PrefetchCache::Entry {
    PrefetchSource source;
    // Refused: unreadable, undecodable or too large; kept so that the same wish is not tried again.
    enum class State : std::uint8_t { Queued, Running, Ready, Refused } state = State::Queued;
    // The bytes the picture is decoded from; set (with the format) before decoding starts and
    // never changed after, so readers holding the lock may compare them while it runs.
    std::vector<std::uint8_t> bytes;
    bool bytesKnown = false;
    PrefetchFormat format = PrefetchFormat::Jpeg;
    std::optional<DibPair> picture;
    std::uint64_t cost = 0;
    // No longer wanted: the worker abandons it and throws its result away.
    std::atomic<bool> dropped{false};
};

namespace {

std::uint64_t blockBytes(const DibPair& pair);

bool sameBytes(const std::vector<std::uint8_t>& held, Bytes data)
{
    return held.size() == data.size() && (data.empty() || std::memcmp(held.data(), data.data(), data.size()) == 0);
}

std::uint64_t blockBytes(const DibPair& pair) { return pair.header.size() + pair.bits.size(); }

// Bytes given in memory are the entry's bytes from the start.
bool sameSource(const PrefetchCache::Entry& entry, const PrefetchSource& source)
{
    if (entry.source.inMemory != source.inMemory)
        return false;
    return source.inMemory ? sameBytes(entry.bytes, source.bytes) : entry.source.osPath == source.osPath;
}

}  // namespace

std::uint64_t PrefetchCache::defaultByteLimit()
{
    constexpr std::uint64_t kFloor = std::uint64_t{64} << 20;
    constexpr std::uint64_t kCeiling = std::uint64_t{1} << 30;
    const std::uint64_t physical = platform::physicalMemoryBytes();
    if (physical == 0)
        return kFloor;
    return std::clamp(physical / 8, kFloor, kCeiling);
}

PrefetchCache::PrefetchCache(Limits limits) : m_limits(limits), m_worker([this] { run(); }) {}

PrefetchCache::~PrefetchCache()
{
    {
        const std::lock_guard guard(m_mutex);
        m_stopping = true;
        for (const auto& entry : m_entries)
            entry->dropped = true;
    }
    m_changed.notify_all();
    m_worker.join();
}

void PrefetchCache::hint(std::vector<PrefetchSource> sources)
{
    std::vector<std::shared_ptr<Entry>> wanted;
    std::vector<std::shared_ptr<Entry>> unwanted;
    {
        const std::lock_guard guard(m_mutex);
        for (PrefetchSource& source : sources) {
            if (wanted.size() >= m_limits.pictures)
                break;
            if (source.inMemory && source.bytes.empty())
                continue;
            if (std::any_of(wanted.begin(), wanted.end(), [&](const auto& e) { return sameSource(*e, source); }))
                continue;
            const auto kept = std::find_if(m_entries.begin(), m_entries.end(),
                                           [&](const auto& e) { return e && sameSource(*e, source); });
            if (kept != m_entries.end()) {
                wanted.push_back(std::move(*kept));
                continue;
            }
            auto entry = std::make_shared<Entry>();
            if (source.inMemory)
                entry->bytes = std::move(source.bytes);
            entry->source = std::move(source);
            wanted.push_back(std::move(entry));
        }
        for (auto& entry : m_entries) {
            if (!entry)
                continue;
            entry->dropped = true;
            unwanted.push_back(std::move(entry));
        }
        m_entries = std::move(wanted);
    }
    m_changed.notify_all();
    // `unwanted` frees its pictures here, outside the lock.
}

std::optional<DibPair> PrefetchCache::take(PrefetchFormat format, Bytes data)
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        const auto found = std::find_if(m_entries.begin(), m_entries.end(), [&](const auto& e) {
            return e->state == Entry::State::Ready && e->format == format && sameBytes(e->bytes, data);
        });
        if (found != m_entries.end()) {
            const std::shared_ptr<Entry> entry = std::move(*found);
            m_entries.erase(found);
            ++m_stats.hits;
            std::optional<DibPair> picture = std::move(entry->picture);
            lock.unlock();
            m_changed.notify_all();
            return picture;
        }
        // The very bytes being decoded: their result comes sooner than a second decode would.
        const bool decoding = m_running && !m_running->dropped && m_running->bytesKnown &&
                              m_running->format == format && sameBytes(m_running->bytes, data);
        if (!decoding)
            return std::nullopt;
        m_changed.wait(lock);
    }
}

void PrefetchCache::waitIdle()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] {
        return !m_running && std::none_of(m_entries.begin(), m_entries.end(),
                                          [](const auto& e) { return e->state == Entry::State::Queued; });
    });
}

PrefetchCache::Stats PrefetchCache::stats() const
{
    const std::lock_guard guard(m_mutex);
    return m_stats;
}

std::uint64_t PrefetchCache::readyBytes() const
{
    std::uint64_t total = 0;
    for (const auto& entry : m_entries)
        if (entry->state == Entry::State::Ready)
            total += entry->cost;
    return total;
}

void PrefetchCache::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_stopping)
            return;
        const auto next = std::find_if(m_entries.begin(), m_entries.end(),
                                       [](const auto& e) { return e->state == Entry::State::Queued; });
        if (next == m_entries.end()) {
            m_changed.wait(lock);
            continue;
        }
        std::shared_ptr<Entry> entry = *next;
        work(entry, lock);
        m_changed.notify_all();
    }
}

// Called and returning with the lock held; reads and decodes without it.
void PrefetchCache::work(const std::shared_ptr<Entry>& entry, std::unique_lock<std::mutex>& lock)
{
    entry->state = Entry::State::Running;
    m_running = entry;
    const std::uint64_t used = readyBytes();
    const std::uint64_t room = m_limits.bytes > used ? m_limits.bytes - used : 0;
    lock.unlock();

    // Bytes given in memory are read here without the lock, as hint() compares them under it:
    // nobody writes them while the entry runs.
    std::vector<std::uint8_t> read;
    const bool inMemory = entry->source.inMemory;
    const bool readable = inMemory ? entry->bytes.size() <= room : platform::readOsFile(entry->source.osPath, room, read);
    const std::vector<std::uint8_t>& bytes = inMemory ? entry->bytes : read;
    std::optional<PrefetchFormat> format;
    if (readable && isSupportedJpeg(bytes))
        format = PrefetchFormat::Jpeg;
    else if (readable && isSupportedBmp(bytes))
        format = PrefetchFormat::Bmp;

    lock.lock();
    if (format) {
        if (!inMemory)
            entry->bytes = std::move(read);
        entry->format = *format;
        entry->bytesKnown = true;
    }
    lock.unlock();
    // Anyone waiting in take() may now see the bytes.
    m_changed.notify_all();

    std::optional<DibPair> picture;
    if (format && !entry->dropped) {
        DecodeLimits limits;
        const std::uint64_t left = room > entry->bytes.size() ? room - entry->bytes.size() : 0;
        limits.maxBitsBytes = std::min<std::uint64_t>(limits.maxBitsBytes, left);
        limits.cancel = &entry->dropped;
        picture = *format == PrefetchFormat::Jpeg ? loadJpeg(entry->bytes, limits) : loadBmp(entry->bytes, limits);
    }

    lock.lock();
    m_running.reset();
    const std::uint64_t cost = picture ? entry->bytes.size() + blockBytes(*picture) : 0;
    const auto at = std::find(m_entries.begin(), m_entries.end(), entry);
    // Pictures that became ready meanwhile are not counted in `room`: the bound is checked again.
    if (!picture || entry->dropped || at == m_entries.end() || readyBytes() + cost > m_limits.bytes) {
        if (!entry->dropped)
            ++m_stats.refused;
        entry->state = Entry::State::Refused;
        std::vector<std::uint8_t> held = std::move(entry->bytes);
        entry->bytes.clear();
        entry->bytesKnown = false;
        // The memory goes back outside the lock.
        lock.unlock();
        picture.reset();
        held = {};
        lock.lock();
        return;
    }
    entry->picture = std::move(picture);
    entry->cost = cost;
    entry->state = Entry::State::Ready;
    ++m_stats.decoded;
}

}  // namespace image
