#include "ToolCallbacks.h"

#include "engine/ScriptCall.h"
#include "engine/ScriptEngine.h"

#include <cstdio>

namespace api {
namespace {

const char* callbackName(tools::GridEvent event)
{
    switch (event) {
    case tools::GridEvent::Click: return "onClickCell";
    case tools::GridEvent::DoubleClick: return "onDoubleClickCell";
    case tools::GridEvent::RightClick: return "onRightClickCell";
    case tools::GridEvent::Key: return "onKey";
    }
    return "";
}

struct Delivery {
    engine::ScriptEngine* engine;
    const char* key;    // registry key
    const char* field;  // callback name, or null for a cancel function kept directly
    int args[3];
    int nargs;
    bool called = false;
    bool succeeded = false;
};

// Runs inside the protected entry of `deliver`, so every lookup and push that may raise is covered.
int deliverProtected(lua_State* L, Delivery* d)
{
    lua_getfield(L, LUA_REGISTRYINDEX, d->key);  // [+1]
    if (d->field) {
        if (!lua_istable(L, -1))
            return 0;
        lua_getfield(L, -1, d->field);  // [+1]
    }
    if (!lua_isfunction(L, -1))
        return 0;
    for (int i = 0; i < d->nargs; ++i)
        lua_pushinteger(L, d->args[i]);
    d->called = true;
    d->succeeded = d->engine->callPrepared(d->nargs, 0);
    return 0;
}

// One protected entry from the window into the script; the interpreter's stack is left as found.
bool deliver(engine::ScriptEngine& engine, Delivery& d)
{
    if (!engine.isOpen() || engine.errorLatch())
        return false;
    lua_State* L = engine.state();
    const int top = lua_gettop(L);
    const int status = engine::enterScript(L, [&d](lua_State* S) { return deliverProtected(S, &d); });
    if (status != 0)
        engine::reportScriptError(L, status);
    lua_settop(L, top);
    return d.called;
}

}  // namespace

const char* gridCallbackKey(int id, char (&buffer)[32])
{
    std::snprintf(buffer, sizeof buffer, "%s-%d", "gridview", id);
    return buffer;
}

const char* cancelKey(int serial, char (&buffer)[32])
{
    std::snprintf(buffer, sizeof buffer, "%s-%d", "pvcancel", serial);
    return buffer;
}

bool ToolCallbacks::gridNotify(int viewId, tools::GridEvent event, int row, int col, int key)
{
    char buffer[32];
    Delivery d{&m_engine, gridCallbackKey(viewId, buffer), callbackName(event), {row, col, key},
               event == tools::GridEvent::Key ? 3 : 2};
    return deliver(m_engine, d);
}

bool ToolCallbacks::progressCancel(int serial)
{
    char buffer[32];
    Delivery d{&m_engine, cancelKey(serial, buffer), nullptr, {}, 0};
    deliver(m_engine, d);
    return d.called && d.succeeded;
}

}  // namespace api
