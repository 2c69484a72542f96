#include "ScriptBuffer.h"

#include "engine/Args.h"
#include "engine/Messages.h"
#include "engine/ScriptCall.h"
#include "engine/ScriptFile.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

namespace api {
namespace {

namespace msg = engine::msg;

namespace args = engine::args;

// The byte offset of a 1-based start within a block of `size` bytes, clamped to the block.
double startOffset(double start, double size)
{
    double offset = start - 1;
    if (offset > size - 1)
        offset = size - 1;
    if (!(offset >= 0))  // also NaN
        offset = 0;
    return offset;
}

int bufferSize(lua_State* L)
{
    return engine::pushNumber(L, checkBuffer(L, 1).size());
}

int bufferResize(lua_State* L)
{
    checkBuffer(L, 1);
    const auto size = args::testByteCount(L, 2);
    MemoryBlock& block = checkBuffer(L, 1);
    return engine::pushBool(L, size && block.resize(*size));
}

int bufferStringData(lua_State* L)
{
    MemoryBlock& block = checkBuffer(L, 1);
    const double size = block.size();
    const double offset = startOffset(args::testNumber(L, 2).value_or(1), size);
    const double count = std::min(args::testNumber(L, 3).value_or(size), size - offset);
    if (!(count > 0))
        return 0;
    std::string bytes;
    {
        const BlockLock lock(block);
        if (!lock.data())
            return 0;
        bytes.assign(reinterpret_cast<const char*>(lock.data()) + static_cast<std::size_t>(offset),
                     static_cast<std::size_t>(count));
    }
    // Copied first: making the string may run a finaliser that releases this Buffer.
    lua_pushlstring(L, bytes.data(), bytes.size());
    return 1;
}

int bufferSetStringData(lua_State* L)
{
    checkBuffer(L, 1);
    double start = 1;
    int textIndex = 2;
    if (const auto number = args::testNumber(L, 2)) {
        start = *number;
        textIndex = 3;
    }
    const std::string text = args::checkText(L, textIndex);
    // The conversion ran script code, which may have released the Buffer.
    MemoryBlock& block = checkBuffer(L, 1);
    const double size = block.size();
    const double offset = startOffset(start, size);
    const double room = std::max(size - offset, 0.0);
    const auto count = static_cast<std::size_t>(std::min(static_cast<double>(text.size()), room));
    if (count == 0)
        return 0;
    const BlockLock lock(block);
    if (lock.data())
        std::memcpy(lock.data() + static_cast<std::size_t>(offset), text.data(), count);
    return 0;
}

int bufferWriteToFile(lua_State* L)
{
    checkBuffer(L, 1);
    const std::string path = args::checkText(L, 2);
    return engine::pushBool(L, checkBuffer(L, 1).writeToFile(path));
}

int bufferIoWrite(lua_State* L)
{
    checkBuffer(L, 1);
    const engine::ScriptFile* file = engine::testScriptFile(L, 2);
    if (!file)
        args::argError(L, 2, msg::text(msg::Id::InvalidFile));
    if (!file->stream)
        args::raise(L, msg::text(msg::Id::FileNotOpen));
    MemoryBlock& block = checkBuffer(L, 1);
    const std::size_t size = block.size();
    const BlockLock lock(block);
    // A stream that refuses the bytes (opened for reading, disk full) is a failure.
    const bool written = size == 0 || (lock.data() && std::fwrite(lock.data(), 1, size, file->stream) == size);
    return engine::pushBool(L, written);
}

int bufferRelease(lua_State* L)
{
    if (BufferObject* object = testBuffer(L, 1)) {
        releaseBuffer(*object);
        return 0;
    }
    args::argError(L, 1, msg::text(msg::Id::InvalidBufferHandle));
}

int bufferToString(lua_State* L)
{
    BufferObject* object = testBuffer(L, 1);
    if (!object)
        args::argError(L, 1, msg::text(msg::Id::InvalidBufferHandle));
    if (!object->block) {
        lua_pushliteral(L, "Buffer (closed)");
        return 1;
    }
    char text[64];
    std::snprintf(text, sizeof text, "Buffer (%08" PRIXPTR ")", reinterpret_cast<std::uintptr_t>(object));
    lua_pushstring(L, text);
    return 1;
}

constexpr engine::HostFunction kMethods[] = {
    SELVARIN_HOST("size", bufferSize),
    SELVARIN_HOST("resize", bufferResize),
    SELVARIN_HOST("stringData", bufferStringData),
    SELVARIN_HOST("setStringData", bufferSetStringData),
    SELVARIN_HOST("writeToFile", bufferWriteToFile),
    SELVARIN_HOST("ioWrite", bufferIoWrite),
    SELVARIN_HOST("release", bufferRelease),
    SELVARIN_HOST("__gc", bufferRelease),
    SELVARIN_HOST("__tostring", bufferToString),
};

int createBuffer(lua_State* L)
{
    const auto size = args::testByteCount(L, 1);
    if (!size)
        return 0;
    BufferObject* object = newBufferObject(L);
    auto block = std::make_unique<GlobalHeapBlock>();
    if (!block->allocate(*size))
        return 0;
    object->block = block.release();
    return 1;
}

int createFileBuffer(lua_State* L)
{
    const std::string path = args::checkText(L, 1);
    const std::uint32_t maximum = args::testWord(L, 2).value_or(0);
    BufferObject* object = newBufferObject(L);
    auto block = std::make_unique<GlobalHeapBlock>();
    if (!block->loadFromFile(path, maximum))
        return 0;
    object->block = block.release();
    return 1;
}

int createStringBuffer(lua_State* L)
{
    const std::string text = args::checkText(L, 1);
    if (text.size() > platform::memory::kMaxSize)
        return 0;
    BufferObject* object = newBufferObject(L);
    auto block = std::make_unique<GlobalHeapBlock>();
    if (!block->allocate(static_cast<std::uint32_t>(text.size())))
        return 0;
    {
        const BlockLock lock(*block);
        std::memcpy(lock.data(), text.data(), text.size());
    }
    object->block = block.release();
    return 1;
}

}  // namespace

const engine::HostFunction kBufferFunctions[3] = {
    SELVARIN_HOST("createBuffer", createBuffer),
    SELVARIN_HOST("createFileBuffer", createFileBuffer),
    SELVARIN_HOST("createStringBuffer", createStringBuffer),
};

BufferObject* newBufferObject(lua_State* L)
{
    auto* object = static_cast<BufferObject*>(lua_newuserdata(L, sizeof(BufferObject)));  // [+1]
    object->block = nullptr;
    luaL_getmetatable(L, kBufferClass);
    lua_setmetatable(L, -2);
    return object;
}

void pushBuffer(lua_State* L, std::unique_ptr<MemoryBlock> block)
{
    BufferObject* object = newBufferObject(L);
    object->block = block.release();
}

BufferObject* testBuffer(lua_State* L, int narg)
{
    return static_cast<BufferObject*>(args::testClass(L, narg, kBufferClass));
}

MemoryBlock& checkBuffer(lua_State* L, int narg)
{
    BufferObject* object = testBuffer(L, narg);
    if (!object)
        args::argError(L, narg, msg::text(msg::Id::InvalidBufferHandle));
    if (!object->block)
        args::raise(L, msg::text(msg::Id::BufferNotOpen));
    return *object->block;
}

namespace {
// The pins in force, innermost first; script code runs on one thread.
BufferPin* g_pins = nullptr;
}  // namespace

BufferPin::BufferPin(MemoryBlock& block) noexcept : m_block(block), m_outer(g_pins) { g_pins = this; }

BufferPin::~BufferPin()
{
    g_pins = m_outer;
    if (!m_released)
        return;
    // Nested pins of one block: the outermost frees it.
    for (BufferPin* p = g_pins; p; p = p->m_outer) {
        if (&p->m_block == &m_block) {
            p->m_released = true;
            return;
        }
    }
    std::unique_ptr<MemoryBlock> block(&m_block);
    block->free();
}

void releaseBuffer(BufferObject& object) noexcept
{
    if (!object.block)
        return;
    MemoryBlock* const held = object.block;
    object.block = nullptr;
    for (BufferPin* p = g_pins; p; p = p->m_outer) {
        if (&p->m_block == held) {
            p->m_released = true;
            return;
        }
    }
    std::unique_ptr<MemoryBlock> block(held);
    block->free();
}

void installBufferClass(lua_State* L) { engine::registerClass(L, kBufferClass, kMethods); }

}  // namespace api
