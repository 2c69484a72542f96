#include "ScriptCodecs.h"

#include "AppPrefetch.h"
#include "ScriptBuffer.h"

#include "engine/Args.h"
#include "engine/ScriptCall.h"
#include "gfx/NxSurface.h"
#include "image/BmpCodec.h"
#include "image/JpegCodec.h"
#include "image/PrefetchCache.h"
#include "platform/FileIo.h"

#include <cstring>
#include <memory>
#include <optional>
#include <string>

namespace api {
namespace {

namespace memory = platform::memory;

// The bytes a codec reads: a locked Buffer, or a file read into a block of its own. Empty when
// the file could not be read.
class Source {
public:
    explicit Source(MemoryBlock& block) : m_block(&block), m_data(block.lock())
    {
        m_size = m_data ? block.size() : 0;
        m_ok = true;
    }
    Source(const std::string& path, std::uint32_t maximum)
    {
        auto loaded = platform::readFileToBlock(path, maximum, memory::Heap::Global);
        if (!loaded)
            return;
        m_file = std::move(loaded.value());
        m_data = memory::lock(m_file.get());
        m_size = m_data ? m_file.size() : 0;
        m_ok = true;
    }
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;
    ~Source()
    {
        if (!m_data)
            return;
        if (m_block)
            m_block->unlock();
        else
            memory::unlock(m_file.get());
    }

    bool ok() const { return m_ok; }
    image::Bytes bytes() const { return {m_data, m_size}; }

private:
    MemoryBlock* m_block = nullptr;
    memory::OwnedHandle m_file;
    std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
    bool m_ok = false;
};

bool namesAFile(lua_State* L, int narg)
{
    const int type = lua_type(L, narg);
    return type == LUA_TSTRING || type == LUA_TNUMBER;
}

// The source of a decoder: a string or number names a file read in full; anything else must be
// an open Buffer.
std::optional<Source> sourceArg(lua_State* L, int narg)
{
    if (namesAFile(L, narg))
        return std::optional<Source>(std::in_place, engine::args::checkText(L, narg), 0);
    return std::optional<Source>(std::in_place, checkBuffer(L, narg));
}

// The optional data Buffer of the signature tests: used only when it is an open Buffer.
MemoryBlock* openDataArg(lua_State* L, int narg)
{
    BufferObject* object = testBuffer(L, narg);
    return object ? object->block : nullptr;
}

// What a decoder makes of the bytes, and the surface they convert to when that was made too.
struct Decoded {
    image::DibPair pair;
    std::unique_ptr<gfx::NxSurface> surface;
};

// Prepared ahead when the prefetch cache has the bytes.
template <image::PrefetchFormat Format, auto Decode>
std::optional<Decoded> decodeSource(lua_State* L, const Source& source)
{
    std::unique_ptr<gfx::NxSurface> surface;
    if (image::PrefetchCache* cache = prefetchCache(L)) {
        if (auto pair = cache->take(Format, source.bytes(), &surface))
            return Decoded{std::move(*pair), std::move(surface)};
    }
    auto pair = Decode(source.bytes(), image::DecodeLimits{});
    if (!pair)
        return std::nullopt;
    return Decoded{std::move(*pair), nullptr};
}

int pushPair(lua_State* L, Decoded decoded)
{
    auto header = std::make_unique<GlobalHeapBlock>(std::move(decoded.pair.header));
    auto bits = std::make_unique<GlobalHeapBlock>(std::move(decoded.pair.bits));
    keepPreparedSurface(L, *header, *bits, std::move(decoded.surface));
    pushBuffer(L, std::move(header));
    pushBuffer(L, std::move(bits));
    return 2;
}

int pushInfo(lua_State* L, const image::PictureInfo& info)
{
    lua_pushnumber(L, info.width);
    lua_pushnumber(L, info.height);
    lua_pushnumber(L, info.bitCount);
    return 3;
}

template <bool (*Test)(image::Bytes), std::size_t ProbeBytes>
int isSupported(lua_State* L)
{
    const std::string name = engine::args::checkText(L, 1);
    if (MemoryBlock* data = openDataArg(L, 2)) {
        const Source source(*data);
        return engine::pushBool(L, Test(source.bytes()));
    }
    const Source source(name, ProbeBytes);
    return engine::pushBool(L, source.ok() && Test(source.bytes()));
}

int getPictureInfoBmp(lua_State* L)
{
    const auto source = sourceArg(L, 1);
    if (!source->ok())
        return 0;
    const auto info = image::pictureInfoBmp(source->bytes());
    return info ? pushInfo(L, *info) : 0;
}

int loadBmp(lua_State* L)
{
    auto source = sourceArg(L, 1);
    if (!source->ok())
        return 0;
    auto pair = decodeSource<image::PrefetchFormat::Bmp, image::loadBmp>(L, *source);
    // Unlocked before the results are made: their allocation may release the source Buffer.
    source.reset();
    return pair ? pushPair(L, std::move(*pair)) : 0;
}

int createBmpFileHeader(lua_State* L)
{
    checkBuffer(L, 1);
    // The object first: a finaliser its allocation runs may release the header.
    BufferObject* object = newBufferObject(L);
    const auto file = image::createBmpFileHeader(Source(checkBuffer(L, 1)).bytes());
    if (!file)
        return 0;
    auto block = std::make_unique<GlobalHeapBlock>();
    if (!block->allocate(static_cast<std::uint32_t>(file->size())))
        return 0;
    std::memcpy(BlockLock(*block).data(), file->data(), file->size());
    object->block = block.release();
    return 1;
}

int getPictureInfoJpeg(lua_State* L)
{
    const std::string name = engine::args::checkText(L, 1);
    std::optional<Source> source;
    if (MemoryBlock* data = openDataArg(L, 2))
        source.emplace(*data);
    else
        source.emplace(name, 0);
    if (!source->ok())
        return engine::pushFalse(L);
    const auto info = image::pictureInfoJpeg(source->bytes());
    return info ? pushInfo(L, *info) : 0;
}

int loadJpeg(lua_State* L)
{
    auto source = sourceArg(L, 1);
    if (!source->ok())
        return 0;
    auto pair = decodeSource<image::PrefetchFormat::Jpeg, image::loadJpeg>(L, *source);
    source.reset();
    return pair ? pushPair(L, std::move(*pair)) : 0;
}

}  // namespace

const engine::HostFunction kBmpFunctions[3] = {
    SELVARIN_HOST("isSupportedBmp", (isSupported<image::isSupportedBmp, image::kBmpProbeBytes>)),
    SELVARIN_HOST("getPictureInfoBmp", getPictureInfoBmp),
    SELVARIN_HOST("loadBmp", loadBmp),
};

const engine::HostFunction kJpegFunctions[3] = {
    SELVARIN_HOST("isSupportedJpeg", (isSupported<image::isSupportedJpeg, image::kJpegProbeBytes>)),
    SELVARIN_HOST("getPictureInfoJpeg", getPictureInfoJpeg),
    SELVARIN_HOST("loadJpeg", loadJpeg),
};

const engine::HostFunction kBmpFileHeaderFunctions[1] = {
    SELVARIN_HOST("createBmpFileHeader", createBmpFileHeader),
};

}  // namespace api
