#include "AppPrefetch.h"

#include "MemoryBlock.h"
#include "ScriptBuffer.h"
#include "SusiePlugin.h"

#include "engine/Args.h"
#include "engine/Messages.h"
#include "gfx/NxSurface.h"
#include "image/PrefetchCache.h"
#include "image/ScriptSurface.h"
#include "platform/Paths.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace api {
namespace {

namespace args = engine::args;
namespace msg = engine::msg;

constexpr const char* kCacheKey = "selvarin.prefetch";
constexpr const char* kHolderClass = "selvarin.prefetch.holder";

// What a state prefetches with: the cache, and the surface last given to a bits Buffer.
struct Prefetching {
    explicit Prefetching(image::PrefetchCache::Limits limits) : cache(limits) {}
    image::PrefetchCache cache;
    std::weak_ptr<PreparedSurface> handedOut;
};

// The registry's hold on the cache: the state's collector ends it when the state closes.
struct Holder {
    Prefetching* prefetching;
};

int holderGc(lua_State* L)
{
    auto* holder = static_cast<Holder*>(luaL_checkudata(L, 1, kHolderClass));
    delete std::exchange(holder->prefetching, nullptr);
    return 0;
}

Prefetching* prefetching(lua_State* L)
{
    lua_getfield(L, LUA_REGISTRYINDEX, kCacheKey);  // [+1]
    auto* holder = static_cast<Holder*>(lua_touserdata(L, -1));
    lua_pop(L, 1);
    return holder ? holder->prefetching : nullptr;
}

image::PrefetchCache& ensureCache(lua_State* L)
{
    if (image::PrefetchCache* cache = prefetchCache(L))
        return *cache;
    auto* holder = static_cast<Holder*>(lua_newuserdata(L, sizeof(Holder)));  // [+1]
    holder->prefetching = nullptr;
    if (luaL_newmetatable(L, kHolderClass)) {  // [+1]
        lua_pushcfunction(L, holderGc);
        lua_setfield(L, -2, "__gc");
    }
    lua_setmetatable(L, -2);                     // [-1]
    lua_setfield(L, LUA_REGISTRYINDEX, kCacheKey);  // [-1]
    image::PrefetchCache::Limits limits;
    limits.bytes = image::PrefetchCache::defaultByteLimit();
    holder->prefetching = new Prefetching(limits);
    return holder->prefetching->cache;
}

// app.prefetch(source, [plugin], ...): each source a path (text or number) or a Buffer, most
// likely first, optionally followed by the Susie_plugin that decodes it; nil and false stand
// for no source (a plug-in after one goes with it). Replaces the previous wish; without
// sources the prepared pictures are dropped.
int prefetch(lua_State* L)
{
    const int count = lua_gettop(L);
    std::vector<image::PrefetchSource> sources;
    std::vector<int> buffers;  // argument positions, resolved after every conversion
    bool follow = false;       // the last argument was a source a plug-in may follow
    for (int i = 1; i <= count; ++i) {
        const int type = lua_type(L, i);
        if (isSusiePlugin(L, i)) {
            // The cache passes over a source whose plug-in may not run on its worker; one whose
            // plug-in is closed is not prepared at all.
            if (follow) {
                sources.back().plugin = sharedPlugin(L, i);
                if (!sources.back().plugin) {
                    if (sources.back().inMemory)
                        buffers.pop_back();
                    sources.pop_back();
                }
            }
            follow = false;
            continue;
        }
        follow = type != LUA_TNIL && type != LUA_TBOOLEAN;
        if (type == LUA_TNIL || (type == LUA_TBOOLEAN && !lua_toboolean(L, i)))
            continue;
        if (type == LUA_TSTRING || type == LUA_TNUMBER) {
            image::PrefetchSource source;
            source.osPath = platform::absoluteOsPath(platform::toOsPath(args::checkText(L, i)));
            sources.push_back(std::move(source));
            continue;
        }
        if (!testBuffer(L, i))
            args::argError(L, i, msg::text(msg::Id::InvalidBufferHandle));
        buffers.push_back(i);
        sources.emplace_back().inMemory = true;
    }
    image::PrefetchCache& cache = ensureCache(L);
    std::size_t next = 0;
    for (image::PrefetchSource& source : sources) {
        if (!source.inMemory)
            continue;
        MemoryBlock& block = checkBuffer(L, buffers[next++]);
        const BlockLock lock(block);
        if (lock.data())
            source.bytes.assign(lock.data(), lock.data() + block.size());
    }
    cache.hint(std::move(sources));
    return 0;
}

}  // namespace

image::PrefetchCache* prefetchCache(lua_State* L)
{
    Prefetching* p = prefetching(L);
    return p ? &p->cache : nullptr;
}

void keepPreparedSurface(lua_State* L, MemoryBlock& header, MemoryBlock& bits, std::unique_ptr<gfx::NxSurface> surface)
{
    Prefetching* p = prefetching(L);
    auto* heap = dynamic_cast<HeapBlock*>(&bits);
    if (!surface || !p || !heap)
        return;
    if (const auto previous = p->handedOut.lock())
        previous->surface.reset();
    auto prepared = std::make_shared<PreparedSurface>();
    {
        const BlockLock lock(header);
        // Taken only where a conversion would succeed on the blocks as they are.
        if (!lock.data() || !image::dibFits(lock.data(), header.size(), heap->size()))
            return;
        prepared->header.assign(lock.data(), lock.data() + header.size());
    }
    prepared->bitsSize = heap->size();
    prepared->surface = std::move(surface);
    p->handedOut = prepared;
    heap->setPreparedSurface(std::move(prepared));
}

const engine::HostFunction kPrefetchFunctions[1] = {
    SELVARIN_HOST("prefetch", prefetch),
};

}  // namespace api
