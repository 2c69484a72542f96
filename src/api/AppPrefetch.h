#pragma once

#include "engine/Host.h"
#include "engine/Lua.h"

namespace image {
class PrefetchCache;
}

// app.prefetch: pictures read and decoded ahead on a worker thread, handed to the decoders of
// `app` when they are asked for the same bytes.
namespace api {

// The state's cache, or null until the script first asks for prefetching. It goes with the
// state: closing the state stops its worker.
image::PrefetchCache* prefetchCache(lua_State* L);

extern const engine::HostFunction kPrefetchFunctions[1];

}  // namespace api
