#pragma once

#include "engine/Host.h"
#include "engine/Lua.h"

#include <memory>

namespace gfx {
class NxSurface;
}
namespace image {
class PrefetchCache;
}

// app.prefetch: pictures read and decoded ahead on a worker thread, handed to the decoders of
// `app` when they are asked for the same bytes.
namespace api {

// The state's cache, or null until the script first asks for prefetching. It goes with the
// state: closing the state stops its worker.
image::PrefetchCache* prefetchCache(lua_State* L);

class MemoryBlock;

// Gives the bits Buffer of a prefetched picture, just made with its header Buffer, the surface
// converted ahead from them, for app.createSurface to take instead of converting. Only the
// latest is kept: one given before and not taken yet is freed, as is this one when the bits
// are no heap block. Nothing for no surface.
void keepPreparedSurface(lua_State* L, MemoryBlock& header, MemoryBlock& bits, std::unique_ptr<gfx::NxSurface> surface);

extern const engine::HostFunction kPrefetchFunctions[1];

}  // namespace api
