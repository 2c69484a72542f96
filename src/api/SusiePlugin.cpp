#include "SusiePlugin.h"

#include "AppPrefetch.h"
#include "MemoryBlock.h"
#include "ScriptBuffer.h"

#include "engine/Args.h"
#include "engine/Messages.h"
#include "engine/ScriptCall.h"
#include "image/ArchiveTree.h"
#include "image/Plugin.h"
#include "image/PrefetchCache.h"
#include "platform/FaultGuard.h"
#include "platform/Paths.h"
#include "platform/TextCodec.h"


#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace api {
namespace {

namespace args = engine::args;
namespace msg = engine::msg;
namespace memory = platform::memory;

// The host object behind a script object. A method keeps it busy for its whole run, so that
// script code run during a call (a progress callback, a finaliser) can unload the object
// without pulling the library from under the call: the record goes when the last call ends.
// The prefetch worker holds the library too while it decodes with it.
struct PluginRecord {
    std::shared_ptr<image::Plugin> plugin;
    int busy = 0;
    bool orphaned = false;
};

struct PluginObject {
    PluginRecord* record;
};

class BusyScope {
public:
    explicit BusyScope(PluginRecord& record) noexcept : m_record(record) { ++m_record.busy; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;
    ~BusyScope()
    {
        if (--m_record.busy == 0 && m_record.orphaned)
            delete &m_record;
    }
    image::Plugin& plugin() const { return *m_record.plugin; }

private:
    PluginRecord& m_record;
};

PluginObject* testPlugin(lua_State* L, int narg)
{
    return static_cast<PluginObject*>(args::testClass(L, narg, kSusiePluginClass));
}

PluginObject& checkPluginObject(lua_State* L)
{
    PluginObject* object = testPlugin(L, 1);
    if (!object)
        args::argError(L, 1, msg::text(msg::Id::InvalidSusiePluginHandle));
    return *object;
}

PluginRecord& checkOpen(lua_State* L)
{
    PluginObject& object = checkPluginObject(L);
    if (!object.record)
        args::raise(L, msg::text(msg::Id::SusiePluginNotOpen));
    return *object.record;
}

void unloadObject(lua_State* L, PluginObject& object)
{
    PluginRecord* record = object.record;
    if (!record)
        return;
    object.record = nullptr;
    // Pictures it was to prepare go now; the worker lets go of the library when it is done.
    if (image::PrefetchCache* cache = prefetchCache(L))
        cache->forget(*record->plugin);
    if (record->busy > 0)
        record->orphaned = true;
    else
        delete record;
}

// Argument 2 of every method that reads a source: converted as far as that runs no handle
// lookup (a text goes through tostring, which may run script code).
struct SourceArg {
    std::optional<std::string> osPath;  // file name; otherwise a Buffer at argument 2
};

SourceArg convertSource(lua_State* L)
{
    SourceArg arg;
    const int type = lua_type(L, 2);
    if (type == LUA_TSTRING || type == LUA_TNUMBER) {
        arg.osPath = platform::toOsPath(args::checkText(L, 2));
    } else if (!testBuffer(L, 2)) {
        args::argError(L, 2, msg::text(msg::Id::InvalidBufferHandle));
    }
    return arg;
}

// The resolved source of one call: a file name, or an open Buffer locked (and pinned) for the
// call. Bytes a Buffer does not own in a heap block (a Surface's pixels) are copied, since
// script code may release their Surface during the call.
class CallSource {
public:
    CallSource(lua_State* L, const SourceArg& arg)
    {
        if (arg.osPath) {
            m_source.osPath = *arg.osPath;
            return;
        }
        MemoryBlock& block = checkBuffer(L, 2);
        m_source.memory = true;
        if (!dynamic_cast<HeapBlock*>(&block)) {
            const BlockLock lock(block);
            if (lock.data())
                m_copy.assign(lock.data(), lock.data() + block.size());
            point(m_copy.data(), m_copy.size());
            return;
        }
        m_pin.emplace(block);
        m_lock.emplace(block);
        if (m_lock->data())
            point(m_lock->data(), block.size());
        else
            point(m_empty, 0);
    }
    const image::Source& source() const { return m_source; }

private:
    void point(const std::uint8_t* data, std::size_t size)
    {
        m_source.data = data ? data : m_empty;
        m_source.size = size;
    }

    image::Source m_source;
    // Declared before the lock: the lock ends first, then the pin may free the block.
    std::optional<BufferPin> m_pin;
    std::optional<BlockLock> m_lock;
    std::vector<std::uint8_t> m_copy;
    std::uint8_t m_empty[1] = {0};
};

// ---- Progress ----

// One call's progress state. The script function lives in the registry under the context's
// address while the call runs. Contexts chain per thread so that the callback can tell a user
// value it handed out from anything else a library might pass.
struct ProgressContext {
    lua_State* L;
    ProgressContext* outer;
};

thread_local ProgressContext* t_progress = nullptr;

struct ProgressCall {
    ProgressContext* context;
    double percent;
    bool abort;
};

// Runs inside a protected call: every push and lookup that may raise is covered.
int runProgress(lua_State* L)
{
    auto* call = static_cast<ProgressCall*>(lua_touserdata(L, 1));
    lua_settop(L, 0);
    lua_pushlightuserdata(L, call->context);
    lua_rawget(L, LUA_REGISTRYINDEX);  // [+1] function or nil
    if (!lua_isfunction(L, -1))
        return 0;
    lua_pushnumber(L, call->percent);
    const int status = engine::protectedCall(L, 1, 1, true);
    if (status != 0) {
        engine::reportScriptError(L, status);
        // Later progress calls of this call do nothing.
        lua_pushlightuserdata(L, call->context);
        lua_pushnil(L);
        lua_rawset(L, LUA_REGISTRYINDEX);
        call->abort = true;
        return 0;
    }
    call->abort = !lua_isnil(L, -1);
    return 0;
}

int progressCallback(int done, int total, intptr_t user)
{
    ProgressContext* context = t_progress;
    while (context && reinterpret_cast<intptr_t>(context) != user)
        context = context->outer;
    // A value this thread did not hand out, or a call from another thread: nothing to run.
    if (!context)
        return 0;
    const platform::fault::Disarmed disarmed;
    lua_State* L = context->L;
    const int top = lua_gettop(L);
    ProgressCall call{context, static_cast<double>(done) / total * 100, false};
    const int status = lua_cpcall(L, runProgress, &call);
    if (status != 0) {
        engine::reportScriptError(L, engine::profileStatus(status));
        call.abort = true;
    }
    lua_settop(L, top);
    return call.abort ? 1 : 0;
}

// Holds the progress argument for one call. The registry entry is made here, where a
// memory error may still be raised, and removed without allocating afterwards.
class ProgressScope {
public:
    ProgressScope(lua_State* L, int narg) : m_context{L, t_progress}
    {
        if (lua_isfunction(L, narg)) {
            lua_pushlightuserdata(L, &m_context);
            lua_pushvalue(L, narg);
            lua_rawset(L, LUA_REGISTRYINDEX);
        }
        t_progress = &m_context;
    }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;
    ~ProgressScope()
    {
        t_progress = m_context.outer;
        lua_State* L = m_context.L;
        lua_pushlightuserdata(L, &m_context);
        lua_rawget(L, LUA_REGISTRYINDEX);
        const bool present = !lua_isnil(L, -1);
        lua_pop(L, 1);
        if (present) {  // setting an existing key needs no allocation
            lua_pushlightuserdata(L, &m_context);
            lua_pushnil(L);
            lua_rawset(L, LUA_REGISTRYINDEX);
        }
    }
    image::Progress progress() { return {&progressCallback, reinterpret_cast<intptr_t>(&m_context)}; }

private:
    ProgressContext m_context;
};

// [-0, +1] A new Buffer over an adopted local block; the handle is freed if that fails.
void pushAdopted(lua_State* L, BufferObject* object, memory::OwnedHandle& handle, std::uint32_t length)
{
    auto block = LocalHeapBlock::adopt(handle.get(), length);
    handle.release();
    object->block = block.release();
}

// ---- Methods ----

int pluginUnload(lua_State* L)
{
    PluginObject& object = checkPluginObject(L);
    unloadObject(L, object);
    return 0;
}

int pluginToString(lua_State* L)
{
    PluginObject& object = checkPluginObject(L);
    if (!object.record) {
        lua_pushliteral(L, "Susie_plugin (closed)");
        return 1;
    }
    char text[64];
    std::snprintf(text, sizeof text, "Susie_plugin (%p)", static_cast<void*>(&object));
    lua_pushstring(L, text);
    return 1;
}

int pluginGetPluginInfo(lua_State* L)
{
    checkPluginObject(L);
    const auto n = args::testNumber(L, 2);
    PluginRecord& record = checkOpen(L);
    if (!n)
        return 0;
    const auto index = args::toInt32(*n - 1);
    if (!index)
        return 0;
    std::optional<std::string> text;
    {
        const BusyScope busy(record);
        text = image::pluginInfo(busy.plugin(), *index);
    }
    if (!text)
        return 0;
    const std::string script = platform::utf8ToCp932(*text);
    lua_pushlstring(L, script.data(), script.size());
    return 1;
}

int pluginIsSupported(lua_State* L)
{
    checkPluginObject(L);
    const std::string osName = platform::toOsPath(args::checkText(L, 2));
    PluginRecord& record = checkOpen(L);
    BufferObject* data = testBuffer(L, 3);
    if (!data || !data->block)
        return engine::pushTrue(L);
    std::vector<std::uint8_t> head;
    {
        // A copy of the first bytes: the library never sees the Buffer itself.
        const BlockLock lock(*data->block);
        if (lock.data())
            head.assign(lock.data(), lock.data() + std::min<std::size_t>(data->block->size(), 2048));
    }
    std::optional<bool> supported;
    {
        const BusyScope busy(record);
        supported = image::isSupported(busy.plugin(), osName, head);
    }
    if (!supported)
        return 0;
    return engine::pushBool(L, *supported);
}

int pluginGetPictureInfo(lua_State* L)
{
    checkPluginObject(L);
    const SourceArg arg = convertSource(L);
    PluginRecord& record = checkOpen(L);
    std::optional<image::PictureDetails> details;
    {
        const BusyScope busy(record);
        const CallSource source(L, arg);
        details = image::pictureInfo(busy.plugin(), source.source());
    }
    if (!details)
        return 0;
    const std::string info = platform::utf8ToCp932(details->info);
    const SpiPictureInfo& r = details->record;
    lua_newtable(L);
    const std::pair<const char*, lua_Number> fields[] = {
        {"left", r.left},           {"top", r.top},       {"width", r.width},           {"height", r.height},
        {"x_density", r.x_density}, {"y_density", r.y_density}, {"colorDepth", r.colorDepth},
    };
    for (const auto& [key, value] : fields) {
        lua_pushnumber(L, value);
        lua_setfield(L, -2, key);
    }
    lua_pushlstring(L, info.data(), info.size());
    lua_setfield(L, -2, "info");
    return 1;
}

int pluginGetPicture(lua_State* L)
{
    checkPluginObject(L);
    const SourceArg arg = convertSource(L);
    PluginRecord& record = checkOpen(L);
    args::checkStack(L, 8, "getPicture");
    std::optional<image::PictureBlocks> blocks;
    std::unique_ptr<gfx::NxSurface> surface;
    {
        const BusyScope busy(record);
        const CallSource source(L, arg);
        ProgressScope progress(L, 3);
        // Bytes in memory may have been decoded ahead; a file name always goes to the library.
        // A library that faulted since gives nothing, as a call would.
        image::PrefetchCache* cache = arg.osPath || busy.plugin().faulted() ? nullptr : prefetchCache(L);
        const image::Source& input = source.source();
        if (cache && (blocks = cache->take(busy.plugin(), {input.data, input.size}, &surface))) {
            // Reported as a call that ran to its end, which the function may still refuse.
            const image::Progress p = progress.progress();
            if (p.callback(0, 1, p.user) != 0 || p.callback(1, 1, p.user) != 0) {
                blocks.reset();
                surface.reset();
            }
        } else {
            blocks = image::picture(busy.plugin(), input, progress.progress());
        }
    }
    if (!blocks)
        return 0;
    lua_settop(L, 0);
    BufferObject* header = newBufferObject(L);
    BufferObject* bits = newBufferObject(L);
    pushAdopted(L, header, blocks->header, blocks->headerLength);
    pushAdopted(L, bits, blocks->bits, blocks->bitsLength);
    keepPreparedSurface(L, *header->block, *bits->block, std::move(surface));
    return 2;
}

int pluginGetFile(lua_State* L)
{
    checkPluginObject(L);
    const SourceArg arg = convertSource(L);
    PluginRecord& record = checkOpen(L);
    const auto position = args::testNumber(L, 3);
    const auto size = args::testNumber(L, 4);
    if (!position || !size)
        return 0;
    args::checkStack(L, 8, "getFile");
    std::optional<image::FileBlock> file;
    {
        const BusyScope busy(record);
        const CallSource source(L, arg);
        ProgressScope progress(L, 5);
        file = image::file(busy.plugin(), source.source(), *position, *size, progress.progress());
    }
    if (!file)
        return 0;
    lua_settop(L, 0);
    BufferObject* object = newBufferObject(L);
    pushAdopted(L, object, file->block, file->length);
    return 1;
}

// [-0, +2|3] The form of a listing that could not be had.
int pushArchiveFailure(lua_State* L, bool error)
{
    lua_newtable(L);
    lua_pushnumber(L, 0);
    if (!error)
        return 2;
    lua_pushstring(L, msg::text(msg::Id::ArchiveInfoFailed).c_str());
    return 3;
}

int pluginGetArchiveInfo(lua_State* L)
{
    checkPluginObject(L);
    const SourceArg arg = convertSource(L);
    PluginRecord& record = checkOpen(L);
    if (!record.plugin->has(image::Entry::GetArchiveInfo))
        args::raise(L, msg::text(msg::Id::InvalidPluginSpecified));
    image::ArchiveList list;
    {
        const BusyScope busy(record);
        const CallSource source(L, arg);
        list = image::archiveList(busy.plugin(), source.source());
    }
    if (list.outcome == image::ArchiveList::Outcome::Failed)
        return pushArchiveFailure(L, true);
    if (list.outcome == image::ArchiveList::Outcome::Empty)
        return pushArchiveFailure(L, false);
    const memory::Lock lock(list.list.get());
    if (!lock.data())
        return pushArchiveFailure(L, false);
    const auto bytes = std::as_bytes(std::span(lock.data(), list.list.size()));
    const std::optional<image::ArchiveTree> tree = image::buildArchiveTree(bytes);
    // A list whose end record lies outside its block is as broken as a failed call.
    if (!tree)
        return pushArchiveFailure(L, true);
    image::pushArchiveTree(L, *tree);
    lua_pushnumber(L, static_cast<lua_Number>(tree->recordCount()));
    return 2;
}

constexpr engine::HostFunction kMethods[] = {
    SELVARIN_HOST("unload", pluginUnload),
    SELVARIN_HOST("getPluginInfo", pluginGetPluginInfo),
    SELVARIN_HOST("isSupported", pluginIsSupported),
    SELVARIN_HOST("getPictureInfo", pluginGetPictureInfo),
    SELVARIN_HOST("getPicture", pluginGetPicture),
    SELVARIN_HOST("getArchiveInfo", pluginGetArchiveInfo),
    SELVARIN_HOST("getFile", pluginGetFile),
    SELVARIN_HOST("__gc", pluginUnload),
    SELVARIN_HOST("__tostring", pluginToString),
};

int loadSusiePlugin(lua_State* L)
{
    const std::string path = args::checkText(L, 1);
    auto* object = static_cast<PluginObject*>(lua_newuserdata(L, sizeof(PluginObject)));  // [+1]
    object->record = nullptr;
    luaL_getmetatable(L, kSusiePluginClass);
    lua_setmetatable(L, -2);
    auto plugin = image::Plugin::load(path);
    if (!plugin)
        return 0;
    auto record = std::make_unique<PluginRecord>();
    record->plugin = std::move(plugin);
    object->record = record.release();
    return 1;
}

}  // namespace

bool isSusiePlugin(lua_State* L, int narg) { return testPlugin(L, narg) != nullptr; }

std::shared_ptr<image::Plugin> sharedPlugin(lua_State* L, int narg)
{
    PluginObject* object = testPlugin(L, narg);
    if (!object || !object->record)
        return nullptr;
    return object->record->plugin;
}

const engine::HostFunction kSusiePluginFunctions[1] = {
    SELVARIN_HOST("loadSusiePlugin", loadSusiePlugin),
};

void installSusiePluginClass(lua_State* L) { engine::registerClass(L, kSusiePluginClass, kMethods); }

}  // namespace api
