#include "Plugin.h"

#include "Dib.h"

#include "platform/FaultGuard.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <tuple>

namespace image {

namespace memory = platform::memory;

const std::array<const char*, kEntryCount> kEntryNames = {
    "GetPluginInfo", "ConfigurationDlg", "IsSupported", "GetPictureInfo", "GetPicture",    "GetPreview",
    "GetArchiveInfo", "GetFileInfo",     "GetFile",     "GetPictureEFZ",  "IsSupportedPlt", "GetFileEFZ",
};

Plugin::Plugin(platform::SharedLibrary library) : m_library(std::move(library))
{
    for (std::size_t i = 0; i < kEntryCount; ++i)
        m_entries[i] = m_library.ownSymbol(kEntryNames[i]);
}

Plugin::~Plugin()
{
    // Code of a library that faulted may have left state (locks, handlers, threads) that an
    // unload would turn into a crash later.
    if (m_faulted)
        m_library.keepLoaded();
}

std::unique_ptr<Plugin> Plugin::load(std::string_view scriptPath)
{
    auto library = platform::SharedLibrary::open(scriptPath);
    if (!library)
        return nullptr;
    std::unique_ptr<Plugin> plugin(new Plugin(std::move(library.value())));
    if (std::none_of(plugin->m_entries.begin(), plugin->m_entries.end(), [](void* e) { return e != nullptr; }))
        return nullptr;
    // Asked once, under the guard like every call; a library that faults here is marked.
    if (void* capabilities = plugin->m_library.ownSymbol("GetPluginCapabilities")) {
        struct Call {
            SpiGetPluginCapabilitiesFunc fn;
            unsigned bits;
        } c{reinterpret_cast<SpiGetPluginCapabilitiesFunc>(capabilities), 0};
        const bool completed = platform::fault::callGuarded(
            [](void* p) {
                auto* c = static_cast<Call*>(p);
                c->bits = c->fn();
            },
            &c);
        if (!completed)
            plugin->m_faulted = true;
        else
            plugin->m_threadSafe = (c.bits & SPI_CAPABILITY_THREAD_SAFE) != 0;
    }
    return plugin;
}

template <typename Fn, typename... Args>
CallResult Plugin::call(Entry entry, Args... args)
{
    if (m_faulted)
        return {CallState::Faulted};
    auto* fn = reinterpret_cast<Fn>(m_entries[static_cast<int>(entry)]);
    if (!fn)
        return {CallState::Missing};
    // Everything the guarded frame touches is trivially destructible: a fault abandons it.
    struct Call {
        Fn fn;
        std::tuple<Args...> args;
        int result;
    } c{fn, {args...}, 0};
    const bool completed = platform::fault::callGuarded(
        [](void* p) {
            auto* c = static_cast<Call*>(p);
            c->result = std::apply(c->fn, c->args);
        },
        &c);
    if (!completed) {
        m_faulted = true;
        return {CallState::Faulted};
    }
    return {CallState::Returned, c.result};
}

CallResult Plugin::getPluginInfo(int index, char* buf, int length)
{
    return call<SpiGetPluginInfoFunc>(Entry::GetPluginInfo, index, buf, length);
}

CallResult Plugin::isSupported(const char* osName, const void* head)
{
    return call<SpiIsSupportedFunc>(Entry::IsSupported, osName, head);
}

CallResult Plugin::getPictureInfo(const Source& source, SpiPictureInfo* info)
{
    return call<SpiGetPictureInfoFunc>(Entry::GetPictureInfo, source.buf(), source.len(), source.flag(), info);
}

CallResult Plugin::getPicture(const Source& source, HLOCAL* info, HLOCAL* bits, Progress progress)
{
    return call<SpiGetPictureFunc>(Entry::GetPicture, source.buf(), source.len(), source.flag(), info, bits,
                                   progress.callback, progress.user);
}

CallResult Plugin::getArchiveInfo(const Source& source, HLOCAL* list)
{
    return call<SpiGetArchiveInfoFunc>(Entry::GetArchiveInfo, source.buf(), source.len(), source.flag(), list);
}

CallResult Plugin::getFile(const char* src, intptr_t len, char* dest, unsigned flag, Progress progress)
{
    return call<SpiGetFileFunc>(Entry::GetFile, src, len, dest, flag, progress.callback, progress.user);
}

namespace {

constexpr std::size_t kInfoTextBytes = 256;
constexpr std::size_t kHeadBytes = 2048;

bool isLocal(HLOCAL handle) { return memory::isValid(memory::Heap::Local, handle); }

// A script number as the integer a C conversion of it would give, kept inside intptr_t.
intptr_t truncated(double value)
{
    if (!(value == value))
        return 0;
    constexpr double kMax = 9.0e18;
    return static_cast<intptr_t>(std::clamp(std::trunc(value), -kMax, kMax));
}

std::uint32_t lengthOf(double value)
{
    if (!(value > 0))
        return 0;
    return value >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(value);
}

std::uint32_t capped(std::optional<std::uint64_t> length)
{
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(length.value_or(memory::kMaxSize), memory::kMaxSize));
}

}  // namespace

std::optional<std::string> pluginInfo(Plugin& plugin, int index)
{
    char buf[kInfoTextBytes] = {};
    const CallResult r = plugin.getPluginInfo(index, buf, static_cast<int>(sizeof buf));
    if (r.state != CallState::Returned || r.code == 0)
        return std::nullopt;
    // A library that fills the whole buffer leaves no terminator; the text ends with it.
    std::size_t length = strnlen(buf, sizeof buf);
    if (index == 0)
        length = std::min<std::size_t>(length, 5);
    return std::string(buf, length);
}

std::optional<bool> isSupported(Plugin& plugin, const std::string& osName, std::span<const std::uint8_t> head)
{
    auto block = memory::OwnedHandle::allocate(memory::Heap::Global, kHeadBytes);
    if (!block)
        return std::nullopt;
    const memory::Lock lock(block.get());
    const std::size_t n = std::min(head.size(), kHeadBytes);
    if (n)
        std::memcpy(lock.data(), head.data(), n);
    std::memset(lock.data() + n, 0, kHeadBytes - n);
    const CallResult r = plugin.isSupported(osName.c_str(), lock.data());
    if (r.state != CallState::Returned)
        return std::nullopt;
    return r.code != 0;
}

std::optional<PictureDetails> pictureInfo(Plugin& plugin, const Source& source)
{
    // Cleared a little beyond the record: libraries written for a padded layout write 28 bytes.
    struct alignas(8) {
        SpiPictureInfo record;
        unsigned char slack[2];
    } buffer;
    std::memset(&buffer, 0, sizeof buffer);
    const CallResult r = plugin.getPictureInfo(source, &buffer.record);
    if (!r.returned(SPI_SUCCESS))
        return std::nullopt;
    PictureDetails details;
    details.record = buffer.record;
    const HLOCAL text = buffer.record.hInfo;
    if (text != 0 && isLocal(text)) {
        memory::OwnedHandle owned(memory::Heap::Local, text);
        const std::size_t size = owned.size();
        const memory::Lock lock(text);
        if (lock.data()) {
            const auto* p = reinterpret_cast<const char*>(lock.data());
            details.info.assign(p, strnlen(p, size));
        }
    }
    return details;
}

DibLengths dibLengths(std::span<const std::uint8_t> header)
{
    DibLengths lengths;
    // Fields that lie outside the block are unknown: the lengths they decide stay open.
    if (header.size() < 36)
        return lengths;
    const unsigned bitCount = readU16(header.data() + 14);
    const std::uint32_t compression = readU32(header.data() + 16);
    const std::uint32_t imageSize = readU32(header.data() + 20);
    const std::uint32_t colorsUsed = readU32(header.data() + 32);
    std::uint64_t entries = 0;
    if (bitCount == 1 || bitCount == 4 || bitCount == 8)
        entries = colorsUsed != 0 ? colorsUsed : (std::uint64_t{1} << bitCount);
    else if (bitCount == 16 || bitCount == 32)
        entries = std::uint64_t{colorsUsed} + (compression == 3 ? 3 : 0);
    lengths.header = 44 + 4 * entries;
    if (imageSize != 0)
        lengths.bits = imageSize;
    return lengths;
}

std::optional<PictureBlocks> picture(Plugin& plugin, const Source& source, Progress progress)
{
    HLOCAL info = 0;
    HLOCAL bits = 0;
    const CallResult r = plugin.getPicture(source, &info, &bits, progress);
    if (!r.returned(SPI_SUCCESS))
        return std::nullopt;
    // Handed over on success: whichever of them is a real block is ours to free. One block
    // given as both would end up owned twice.
    memory::OwnedHandle header(memory::Heap::Local, isLocal(info) ? info : memory::kNull);
    memory::OwnedHandle pixels(memory::Heap::Local, isLocal(bits) && bits != info ? bits : memory::kNull);
    if (!header || !pixels)
        return std::nullopt;
    PictureBlocks blocks;
    {
        const memory::Lock lock(header.get());
        DibLengths lengths;
        if (lock.data())
            lengths = dibLengths({lock.data(), header.size()});
        blocks.headerLength = static_cast<std::uint32_t>(std::min<std::size_t>(capped(lengths.header), header.size()));
        blocks.bitsLength = static_cast<std::uint32_t>(std::min<std::size_t>(capped(lengths.bits), pixels.size()));
    }
    blocks.header = std::move(header);
    blocks.bits = std::move(pixels);
    return blocks;
}

std::optional<FileBlock> file(Plugin& plugin, const Source& source, double position, double length,
                              Progress progress)
{
    HLOCAL out = 0;
    CallResult r;
    if (source.memory) {
        const double clamped = std::clamp(position == position ? position : 0.0, 0.0, static_cast<double>(source.size));
        const auto offset = static_cast<std::size_t>(clamped);
        r = plugin.getFile(reinterpret_cast<const char*>(source.data) + offset,
                           static_cast<intptr_t>(source.size - offset), reinterpret_cast<char*>(&out),
                           SPI_INPUT_MEMORY | SPI_OUTPUT_MEMORY, progress);
    } else {
        r = plugin.getFile(source.osPath.c_str(), truncated(position), reinterpret_cast<char*>(&out),
                           SPI_INPUT_FILE | SPI_OUTPUT_MEMORY, progress);
    }
    if (!r.returned(SPI_SUCCESS) || !isLocal(out))
        return std::nullopt;
    FileBlock result;
    result.block = memory::OwnedHandle(memory::Heap::Local, out);
    result.length = static_cast<std::uint32_t>(std::min<std::size_t>(lengthOf(length), result.block.size()));
    return result;
}

ArchiveList archiveList(Plugin& plugin, const Source& source)
{
    HLOCAL list = 0;
    const CallResult r = plugin.getArchiveInfo(source, &list);
    ArchiveList result;
    if (r.state != CallState::Returned || (r.code != SPI_SUCCESS && r.code != SPI_NOT_SUPPORT)) {
        result.outcome = ArchiveList::Outcome::Failed;
        return result;
    }
    if (list == 0 || !isLocal(list))
        return result;
    result.list = memory::OwnedHandle(memory::Heap::Local, list);
    result.outcome = ArchiveList::Outcome::List;
    return result;
}

}  // namespace image
