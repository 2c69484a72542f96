#pragma once

#include "MemoryBlock.h"

#include "engine/Host.h"
#include "engine/Lua.h"

#include <memory>

// The script class `Buffer` and its constructors in `app`.
namespace api {

inline constexpr const char* kBufferClass = "Buffer";

// The content of a Buffer userdata: the block it owns, null once released.
struct BufferObject {
    MemoryBlock* block;
};

// [-0, +1] A new Buffer owning `block`. The userdata is made and given its class before it takes
// the block, so a failure on the way destroys the block and leaks nothing.
void pushBuffer(lua_State* L, std::unique_ptr<MemoryBlock> block);
// [-0, +1] A new, still empty Buffer object; the caller then stores a block in it.
BufferObject* newBufferObject(lua_State* L);

// The Buffer at `narg`, or null when the value is not one (no error raised).
BufferObject* testBuffer(lua_State* L, int narg);
// The open block of the Buffer at `narg`; raises the class errors otherwise. Call it after the
// last argument conversion and the last allocation of script values before the block is used:
// script code run by either (a __tostring, a finaliser) may release the Buffer.
MemoryBlock& checkBuffer(lua_State* L, int narg);

// Frees the memory and destroys the block of a Buffer; nothing for a closed one. A pinned
// block is only taken from the object: its pin frees it.
void releaseBuffer(BufferObject& object) noexcept;

// Keeps a Buffer's block alive while foreign code reads it (a plug-in decoding from memory):
// script code run meanwhile (a progress callback, a finaliser) may release the Buffer; the
// script then sees it closed at once, and the block goes when the pin does.
class BufferPin {
public:
    explicit BufferPin(MemoryBlock& block) noexcept;
    BufferPin(const BufferPin&) = delete;
    BufferPin& operator=(const BufferPin&) = delete;
    ~BufferPin();
    MemoryBlock& block() const noexcept { return m_block; }

private:
    friend void releaseBuffer(BufferObject& object) noexcept;
    MemoryBlock& m_block;
    BufferPin* m_outer;
    bool m_released = false;
};

// Registers the metatable "Buffer" with its methods.
void installBufferClass(lua_State* L);

// The Buffer constructors of `app`, in member order.
extern const engine::HostFunction kBufferFunctions[3];

}  // namespace api
