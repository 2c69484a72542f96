#include "PrefetchCache.h"

#include "BmpCodec.h"
#include "JpegCodec.h"
#include "ScriptSurface.h"

#include "platform/Allocator.h"
#include "platform/FileIo.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
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
    std::optional<PictureBlocks> blocks;  // a plug-in's picture
    std::unique_ptr<gfx::NxSurface> surface;  // what either converts to
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
std::uint64_t blockBytes(const PictureBlocks& blocks) { return blocks.header.size() + blocks.bits.size(); }

// Bytes given in memory are the entry's bytes from the start.
bool sameSource(const PrefetchCache::Entry& entry, const PrefetchSource& source)
{
    if (entry.source.inMemory != source.inMemory || entry.source.plugin != source.plugin)
        return false;
    return source.inMemory ? sameBytes(entry.bytes, source.bytes) : entry.source.osPath == source.osPath;
}

// The worker's progress function: stops a plug-in's decode that is no longer wanted.
int abandonWhenDropped(int, int, intptr_t user)
{
    return reinterpret_cast<const std::atomic<bool>*>(user)->load() ? 1 : 0;
}

// What `plugin` makes of `bytes` given in memory, when its picture fits in `room` bytes. The
// size comes from the plug-in's own header reading, so that a huge picture is never decoded
// only to be thrown away; a plug-in that cannot tell it is not asked.
std::optional<PictureBlocks> decodeWithPlugin(Plugin& plugin, const std::vector<std::uint8_t>& bytes,
                                              std::uint64_t room, const std::atomic<bool>& dropped)
{
    static const std::uint8_t kNothing[1] = {0};
    Source source;
    source.memory = true;
    source.data = bytes.empty() ? kNothing : bytes.data();
    source.size = bytes.size();
    const std::optional<PictureDetails> details = pictureInfo(plugin, source);
    if (!details)
        return std::nullopt;
    const auto side = [](std::int32_t v) { return static_cast<std::uint64_t>(v < 0 ? -std::int64_t{v} : v); };
    const std::uint64_t width = side(details->record.width);
    const std::uint64_t height = side(details->record.height);
    // Four bytes a pixel: the most a picture plug-in hands over.
    if (width == 0 || height == 0 || width > room / 4 / height || dropped)
        return std::nullopt;
    return picture(plugin, source, Progress{&abandonWhenDropped, reinterpret_cast<intptr_t>(&dropped)});
}

// The 32-bit surface convertedDib makes of a picture's blocks of the given usable lengths, when
// it fits in `room` bytes; none for bits a surface shows as they are (no conversion to save).
std::unique_ptr<gfx::NxSurface> convertAhead(const platform::memory::OwnedHandle& header, std::size_t headerLength,
                                             const platform::memory::OwnedHandle& bits, std::size_t bitsLength,
                                             std::uint64_t room)
{
    const platform::memory::Lock headerLock(header.get());
    const platform::memory::Lock bitsLock(bits.get());
    const std::size_t headerBytes = headerLock.data() ? std::min(headerLength, header.size()) : 0;
    const std::size_t bitsBytes = bitsLock.data() ? std::min(bitsLength, bits.size()) : 0;
    if (!dibFits(headerLock.data(), headerBytes, bitsBytes))
        return nullptr;
    gfx::NxBitmapInfoHeader h;
    std::memcpy(&h, headerLock.data(), sizeof h);
    const std::uint64_t rows = h.biHeight < 0 ? -std::int64_t{h.biHeight} : h.biHeight;
    if (keepsItsBits(h) || rows * static_cast<std::uint64_t>(gfx::NxPixelBuffer::rowLength(32, h.biWidth)) > room)
        return nullptr;
    return convertedDib(headerLock.data(), bitsLock.data());
}

// Read through the read-only pixels: the writable ones would make the surface forget it is opaque.
std::uint64_t surfaceBytes(const gfx::NxSurface* surface)
{
    return surface ? static_cast<std::uint64_t>(std::llabs(std::int64_t{surface->height()} * surface->pixels().pitch())) : 0;
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
            // Only a plug-in that allows it is called off the interface thread.
            if (source.plugin && (!source.plugin->threadSafe() || source.plugin->faulted()))
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

template <typename Match>
std::shared_ptr<PrefetchCache::Entry> PrefetchCache::takeEntry(Match&& matches)
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        const auto found = std::find_if(m_entries.begin(), m_entries.end(),
                                        [&](const auto& e) { return e->state == Entry::State::Ready && matches(*e); });
        if (found != m_entries.end()) {
            std::shared_ptr<Entry> entry = std::move(*found);
            m_entries.erase(found);
            ++m_stats.hits;
            lock.unlock();
            m_changed.notify_all();
            return entry;
        }
        // The very bytes being decoded: their result comes sooner than a second decode would.
        const bool decoding = m_running && !m_running->dropped && m_running->bytesKnown && matches(*m_running);
        if (!decoding)
            return nullptr;
        m_changed.wait(lock);
    }
}

std::optional<DibPair> PrefetchCache::take(PrefetchFormat format, Bytes data, std::unique_ptr<gfx::NxSurface>* surface)
{
    const auto entry = takeEntry([&](const Entry& e) { return e.format == format && sameBytes(e.bytes, data); });
    if (!entry)
        return std::nullopt;
    if (surface)
        *surface = std::move(entry->surface);
    return std::move(entry->picture);
}

std::optional<PictureBlocks> PrefetchCache::take(const Plugin& plugin, Bytes data, std::unique_ptr<gfx::NxSurface>* surface)
{
    const auto entry = takeEntry([&](const Entry& e) {
        return e.format == PrefetchFormat::Plugin && e.source.plugin.get() == &plugin && sameBytes(e.bytes, data);
    });
    if (!entry)
        return std::nullopt;
    if (surface)
        *surface = std::move(entry->surface);
    return std::move(entry->blocks);
}

void PrefetchCache::forget(const Plugin& plugin)
{
    std::vector<std::shared_ptr<Entry>> gone;
    {
        const std::lock_guard guard(m_mutex);
        for (auto& entry : m_entries) {
            if (entry->source.plugin.get() != &plugin)
                continue;
            entry->dropped = true;
            gone.push_back(std::move(entry));
        }
        std::erase(m_entries, nullptr);
    }
    m_changed.notify_all();
    // `gone` frees its pictures here, outside the lock.
}

void PrefetchCache::waitIdle()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] {
        return !m_working && std::none_of(m_entries.begin(), m_entries.end(),
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
        m_working = true;
        work(entry, lock);
        // The last hold on a plug-in forgotten meanwhile may be this one: unloaded unlocked.
        lock.unlock();
        entry.reset();
        lock.lock();
        m_working = false;
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
    if (readable && entry->source.plugin)
        format = PrefetchFormat::Plugin;
    else if (readable && isSupportedJpeg(bytes))
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
    std::optional<PictureBlocks> blocks;
    const std::uint64_t left = room > entry->bytes.size() ? room - entry->bytes.size() : 0;
    if (format == PrefetchFormat::Plugin && !entry->dropped) {
        blocks = decodeWithPlugin(*entry->source.plugin, entry->bytes, left, entry->dropped);
    } else if (format && !entry->dropped) {
        DecodeLimits limits;
        limits.maxBitsBytes = std::min<std::uint64_t>(limits.maxBitsBytes, left);
        limits.cancel = &entry->dropped;
        picture = *format == PrefetchFormat::Jpeg ? loadJpeg(entry->bytes, limits) : loadBmp(entry->bytes, limits);
    }

    const bool made = picture || blocks;
    const std::uint64_t cost =
        picture ? entry->bytes.size() + blockBytes(*picture) : blocks ? entry->bytes.size() + blockBytes(*blocks) : 0;
    // The conversion showing the picture needs, in what the picture left of the room.
    std::unique_ptr<gfx::NxSurface> surface;
    if (made && !entry->dropped && cost <= room) {
        surface = picture ? convertAhead(picture->header, picture->header.size(), picture->bits, picture->bits.size(), room - cost)
                          : convertAhead(blocks->header, blocks->headerLength, blocks->bits, blocks->bitsLength, room - cost);
    }

    lock.lock();
    m_running.reset();
    const auto at = std::find(m_entries.begin(), m_entries.end(), entry);
    // Pictures that became ready meanwhile are not counted in `room`: the bound is checked again,
    // and a surface that no longer fits goes before the picture does.
    if (made && readyBytes() + cost + surfaceBytes(surface.get()) > m_limits.bytes) {
        lock.unlock();
        surface.reset();
        lock.lock();
    }
    if (!made || entry->dropped || at == m_entries.end() || readyBytes() + cost > m_limits.bytes) {
        if (!entry->dropped)
            ++m_stats.refused;
        entry->state = Entry::State::Refused;
        std::vector<std::uint8_t> held = std::move(entry->bytes);
        entry->bytes.clear();
        entry->bytesKnown = false;
        // The memory goes back outside the lock.
        lock.unlock();
        surface.reset();
        picture.reset();
        blocks.reset();
        held = {};
        lock.lock();
        return;
    }
    if (surface)
        ++m_stats.converted;
    entry->picture = std::move(picture);
    entry->blocks = std::move(blocks);
    entry->cost = cost + surfaceBytes(surface.get());
    entry->surface = std::move(surface);
    entry->state = Entry::State::Ready;
    ++m_stats.decoded;
}

}  // namespace image
