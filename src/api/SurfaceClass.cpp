#include "SurfaceClass.h"

#include "ScriptBuffer.h"

#include "engine/Args.h"
#include "engine/Format.h"
#include "engine/Messages.h"
#include "engine/ScriptCall.h"

#include <cstring>
#include <memory>

namespace api {

namespace msg = engine::msg;

namespace {

// Registry table of the Buffer objects of live views, keyed by the view, with weak values: a
// view has exactly one script object, and a collected object drops out by itself.
constexpr const char* kViewObjects = "Selvarin.FrameBufferObjects";

}  // namespace

FrameBufferBlock* frameBuffer(image::ScriptSurface& surface)
{
    if (!surface.isValid())
        return nullptr;
    if (FrameBufferBlock* view = cachedFrameBuffer(surface))
        return view;
    return new FrameBufferBlock(surface);
}

// Frame buffers are the only views of a surface.
FrameBufferBlock* cachedFrameBuffer(const image::ScriptSurface& surface)
{
    return static_cast<FrameBufferBlock*>(surface.view());
}

namespace {

// Whether the bits of a fitting DIB can be lent to its surface as they are.
bool lendsAsIs(const gfx::NxBitmapInfoHeader& h, MemoryBlock& bits)
{
    return image::keepsItsBits(h) && dynamic_cast<HeapBlock*>(&bits) != nullptr;
}

int surfaceRelease(lua_State* L)
{
    SurfaceObject* object = testSurface(L, 1);
    if (!object)
        engine::args::argError(L, 1, msg::text(msg::Id::InvalidSurfaceHandle));
    std::unique_ptr<image::ScriptSurface> surface(object->surface);
    object->surface = nullptr;
    return 0;
}

int surfaceWidth(lua_State* L) { return engine::pushNumber(L, checkSurface(L, 1).width()); }
int surfaceHeight(lua_State* L) { return engine::pushNumber(L, checkSurface(L, 1).height()); }
int surfacePitch(lua_State* L) { return engine::pushNumber(L, checkSurface(L, 1).pitch()); }
int surfaceBpp(lua_State* L) { return engine::pushNumber(L, checkSurface(L, 1).bitCount()); }

// [-0, +1] The registry table of view objects, made on first use.
void pushViewObjects(lua_State* L)
{
    lua_getfield(L, LUA_REGISTRYINDEX, kViewObjects);
    if (lua_istable(L, -1))
        return;
    lua_pop(L, 1);
    lua_newtable(L);
    lua_createtable(L, 0, 1);
    lua_pushliteral(L, "v");
    lua_setfield(L, -2, "__mode");
    lua_setmetatable(L, -2);
    lua_pushvalue(L, -1);
    lua_setfield(L, LUA_REGISTRYINDEX, kViewObjects);
}

int surfaceBuffer(lua_State* L)
{
    if (!checkSurface(L, 1).isValid())
        return 0;
    // Both allocations come first: a finaliser they run may release the Surface.
    pushViewObjects(L);                          // [+1]
    BufferObject* fresh = newBufferObject(L);    // [+1]
    image::ScriptSurface& surface = checkSurface(L, 1);
    if (!surface.isValid())
        return 0;
    if (FrameBufferBlock* view = cachedFrameBuffer(surface)) {
        lua_pushlightuserdata(L, view);
        lua_rawget(L, -3);  // [+1]
        BufferObject* object = testBuffer(L, -1);
        if (object && object->block == view)
            return 1;
        lua_pop(L, 1);
        // The view's object is unreachable and waits for its finaliser; let it die alone.
        surface.detachView();
    }
    FrameBufferBlock* view = frameBuffer(surface);
    fresh->block = view;
    lua_pushlightuserdata(L, view);
    lua_pushvalue(L, -2);
    lua_rawset(L, -4);
    return 1;
}

int surfaceToString(lua_State* L)
{
    SurfaceObject* object = testSurface(L, 1);
    if (!object)
        engine::args::argError(L, 1, msg::text(msg::Id::InvalidSurfaceHandle));
    const std::string text = object->surface ? engine::format("%s (%p)", {"Surface", static_cast<const void*>(object)})
                                             : std::string("Surface (closed)");
    lua_pushlstring(L, text.data(), text.size());
    return 1;
}

constexpr engine::HostFunction kMethods[] = {
    SELVARIN_HOST("release", surfaceRelease),
    SELVARIN_HOST("width", surfaceWidth),
    SELVARIN_HOST("height", surfaceHeight),
    SELVARIN_HOST("pitch", surfacePitch),
    SELVARIN_HOST("bpp", surfaceBpp),
    SELVARIN_HOST("buffer", surfaceBuffer),
    SELVARIN_HOST("__gc", surfaceRelease),
    SELVARIN_HOST("__tostring", surfaceToString),
};

int createSurface(lua_State* L)
{
    const auto widthNumber = engine::args::testNumber(L, 1);
    const auto heightNumber = widthNumber ? engine::args::testNumber(L, 2) : std::nullopt;
    if (widthNumber && heightNumber) {
        const auto width = engine::args::toInt32(*widthNumber);
        const auto height = engine::args::toInt32(*heightNumber);
        if (!width || !height)
            return 0;
        SurfaceObject* object = newSurfaceObject(L);
        auto surface = std::make_unique<image::ScriptSurface>();
        if (!surface->create(*width, *height, 32))
            return 0;
        object->surface = surface.release();
        return 1;
    }
    checkBuffer(L, 1);
    checkBuffer(L, 2);
    // The object first: a finaliser its allocation runs may release either Buffer.
    SurfaceObject* object = newSurfaceObject(L);
    MemoryBlock& header = checkBuffer(L, 1);
    MemoryBlock& bits = checkBuffer(L, 2);
    auto surface = std::make_unique<image::ScriptSurface>();
    // The conversion made ahead of these very bits with this header is the one a conversion
    // now would make; looked at before the bits are locked, since a lock drops it.
    if (auto* heap = dynamic_cast<HeapBlock*>(&bits); heap && heap->hasPreparedSurface()) {
        std::unique_ptr<gfx::NxSurface> prepared;
        {
            const BlockLock headerLock(header);
            prepared = heap->takePreparedSurface(headerLock.data(), headerLock.data() ? header.size() : 0);
        }
        if (surface->adopt(std::move(prepared))) {
            object->surface = surface.release();
            return 1;
        }
    }
    // Bits already in the surface's own layout are lent to it instead of copied; a block that
    // cannot be lent now (locked by a call in progress) is copied as any other.
    gfx::NxBitmapInfoHeader h;
    const auto copied = [&](bool lending) {
        const BlockLock headerLock(header);
        const BlockLock bitsLock(bits);
        if (!image::dibFits(headerLock.data(), headerLock.data() ? header.size() : 0, bitsLock.data() ? bits.size() : 0))
            return false;
        std::memcpy(&h, headerLock.data(), sizeof h);
        lending = lending && lendsAsIs(h, bits);
        return lending || surface->createFromDib(reinterpret_cast<const gfx::NxBitmapInfoHeader*>(headerLock.data()),
                                                 bitsLock.data(), 32);
    };
    if (!copied(true))
        return 0;
    if (!surface->isValid()) {
        auto* heap = dynamic_cast<HeapBlock*>(&bits);
        if (!surface->createOver(h.biWidth, h.biHeight, heap->lend()) && !copied(false))
            return 0;
    }
    object->surface = surface.release();
    return 1;
}

}  // namespace

const engine::HostFunction kSurfaceFunctions[1] = {
    SELVARIN_HOST("createSurface", createSurface),
};

SurfaceObject* newSurfaceObject(lua_State* L)
{
    auto* object = static_cast<SurfaceObject*>(lua_newuserdata(L, sizeof(SurfaceObject)));  // [+1]
    object->surface = nullptr;
    luaL_getmetatable(L, kSurfaceClass);
    lua_setmetatable(L, -2);
    return object;
}

image::ScriptSurface& checkSurface(lua_State* L, int narg)
{
    SurfaceObject* object = testSurface(L, narg);
    if (!object)
        engine::args::argError(L, narg, msg::text(msg::Id::InvalidSurfaceHandle));
    if (!object->surface)
        engine::args::raise(L, msg::text(msg::Id::SurfaceNotOpen));
    return *object->surface;
}

SurfaceObject* testSurface(lua_State* L, int narg)
{
    return static_cast<SurfaceObject*>(engine::args::testClass(L, narg, kSurfaceClass));
}

void installSurfaceClass(lua_State* L) { engine::registerClass(L, kSurfaceClass, kMethods); }

}  // namespace api
