#include "WindowClass.h"

#include "ToolCallbacks.h"

#include "engine/Args.h"
#include "engine/Messages.h"
#include "engine/ScriptCall.h"
#include "platform/TextCodec.h"
#include "tools/ProgressFrame.h"
#include "tools/ToolEvents.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace api {

namespace msg = engine::msg;

// What an LWindow holds: a weak reference to its window, which the user may close first.
class LWindowHost {
public:
    explicit LWindowHost(tools::CProgressFrame* frame) : m_frame(frame) {}
    LWindowHost(const LWindowHost&) = delete;
    LWindowHost& operator=(const LWindowHost&) = delete;
    ~LWindowHost() { close(); }

    // The window, or null once it is closed or gone.
    tools::CProgressFrame* frame() const;
    // Destroys the window and forgets it; the host stays.
    void close();

private:
    QPointer<tools::CProgressFrame> m_frame;
};

tools::CProgressFrame* LWindowHost::frame() const
{
    return m_frame && !m_frame->isGone() ? m_frame.data() : nullptr;
}

void LWindowHost::close()
{
    if (tools::CProgressFrame* f = frame())
        f->dispose();
    m_frame = nullptr;
}

namespace {

WindowObject& checkObject(lua_State* L)
{
    auto* object = static_cast<WindowObject*>(engine::args::testClass(L, 1, kWindowClass));
    if (!object)
        engine::args::argError(L, 1, msg::text(msg::Id::InvalidLWindowHandle));
    return *object;
}

// The window of the LWindow at argument 1; null when it is collected, closed or gone.
tools::CProgressFrame* frameOf(WindowObject& object) { return object.host ? object.host->frame() : nullptr; }

int pushText(lua_State* L, const QString& text)
{
    const std::string bytes = platform::qstringToCp932(text);
    lua_pushlstring(L, bytes.data(), bytes.size());
    return 1;
}

int windowShow(lua_State* L)
{
    if (tools::CProgressFrame* f = frameOf(checkObject(L)))
        f->show();
    return 0;
}

int windowHide(lua_State* L)
{
    if (tools::CProgressFrame* f = frameOf(checkObject(L)))
        f->hide();
    return 0;
}

int windowActivate(lua_State* L)
{
    if (tools::CProgressFrame* f = frameOf(checkObject(L))) {
        f->raise();
        f->activateWindow();
    }
    return 0;
}

int windowPumpMessages(lua_State* L)
{
    // Only what is already queued: the script's loop goes on at once.
    if (frameOf(checkObject(L)))
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    return 0;
}

int windowGetTitle(lua_State* L)
{
    tools::CProgressFrame* f = frameOf(checkObject(L));
    return f ? pushText(L, f->windowTitle()) : 0;
}

int windowSetTitle(lua_State* L)
{
    WindowObject& object = checkObject(L);
    const std::string text = engine::args::checkText(L, 2);
    if (tools::CProgressFrame* f = frameOf(object))
        f->setWindowTitle(platform::cp932ToQString(text));
    return 0;
}

int windowGetMessage(lua_State* L)
{
    tools::CProgressFrame* f = frameOf(checkObject(L));
    return f ? pushText(L, f->view()->message()->text()) : 0;
}

int windowSetMessage(lua_State* L)
{
    WindowObject& object = checkObject(L);
    const std::string text = engine::args::checkText(L, 2);
    if (tools::CProgressFrame* f = frameOf(object))
        f->view()->message()->setText(platform::cp932ToQString(text));
    return 0;
}

// The rectangles of a progress window are not the script's to move.
int windowNothing(lua_State* L)
{
    checkObject(L);
    return 0;
}

int windowGetShowMode(lua_State* L)
{
    tools::CProgressFrame* f = frameOf(checkObject(L));
    if (!f)
        return 0;
    lua_pushstring(L, f->isMaximized() ? "maximized" : f->isMinimized() ? "minimized" : "normal");
    return 1;
}

int windowSetShowMode(lua_State* L)
{
    WindowObject& object = checkObject(L);
    const std::string mode = engine::args::checkText(L, 2);
    tools::CProgressFrame* f = frameOf(object);
    if (!f)
        return 0;
    if (mode == "maximized")
        f->showMaximized();
    else if (mode == "minimized")
        f->showMinimized();
    else if (mode == "normal")
        f->showNormal();
    return 0;
}

int windowGetProgressPos(lua_State* L)
{
    tools::CProgressFrame* f = frameOf(checkObject(L));
    return f ? engine::pushNumber(L, f->progressPos()) : 0;
}

int windowSetProgressPos(lua_State* L)
{
    WindowObject& object = checkObject(L);
    const lua_Number n = engine::args::testNumber(L, 2).value_or(0);
    // Truncated, and held within the bar's range before it meets an integer.
    const long long pos = std::isnan(n) ? 0 : static_cast<long long>(std::fmax(-1.0, std::fmin(101.0, n)));
    if (tools::CProgressFrame* f = frameOf(object))
        f->setProgressPos(pos);
    return 0;
}

int windowClose(lua_State* L)
{
    WindowObject& object = checkObject(L);
    if (object.host)
        object.host->close();
    return 0;
}

int windowCollect(lua_State* L)
{
    WindowObject& object = checkObject(L);
    std::unique_ptr<LWindowHost> host(object.host);
    object.host = nullptr;
    return 0;
}

int windowToString(lua_State* L)
{
    WindowObject& object = checkObject(L);
    if (!object.host) {
        lua_pushliteral(L, "closed");
        return 1;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%s (%08X)", kWindowClass,
                  static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(&object) & 0xFFFFFFFFu));
    lua_pushstring(L, text);
    return 1;
}

constexpr engine::HostFunction kMethods[] = {
    SELVARIN_HOST("show", windowShow),
    SELVARIN_HOST("hide", windowHide),
    SELVARIN_HOST("activate", windowActivate),
    SELVARIN_HOST("pumpMessages", windowPumpMessages),
    SELVARIN_HOST("getTitle", windowGetTitle),
    SELVARIN_HOST("setTitle", windowSetTitle),
    SELVARIN_HOST("getMessage", windowGetMessage),
    SELVARIN_HOST("setMessage", windowSetMessage),
    SELVARIN_HOST("getRect", windowNothing),
    SELVARIN_HOST("setRect", windowNothing),
    SELVARIN_HOST("getRestoreRect", windowNothing),
    SELVARIN_HOST("setRestoreRect", windowNothing),
    SELVARIN_HOST("getShowMode", windowGetShowMode),
    SELVARIN_HOST("setShowMode", windowSetShowMode),
    SELVARIN_HOST("getProgressPos", windowGetProgressPos),
    SELVARIN_HOST("setProgressPos", windowSetProgressPos),
    SELVARIN_HOST("close", windowClose),
    SELVARIN_HOST("__gc", windowCollect),
    SELVARIN_HOST("__tostring", windowToString),
};

int createProgressWindow(lua_State* L)
{
    // The text must convert but is not shown: the caption starts as the application's name.
    (void)engine::args::checkText(L, 1);
    if (!tools::windowsAvailable())
        return 0;
    auto* object = static_cast<WindowObject*>(lua_newuserdata(L, sizeof(WindowObject)));  // [+1]
    object->host = nullptr;
    luaL_getmetatable(L, kWindowClass);
    lua_setmetatable(L, -2);
    auto frame = std::make_unique<tools::CProgressFrame>();
    tools::CProgressFrame* window = frame.get();
    auto host = std::make_unique<LWindowHost>(window);
    frame.release();  // the host's now
    object->host = host.release();
    if (lua_isfunction(L, 2)) {
        char key[32];
        lua_pushvalue(L, 2);
        lua_setfield(L, LUA_REGISTRYINDEX, cancelKey(window->view()->serial(), key));
        // A registered function can be reached: the button is usable from the start.
        window->view()->cancelButton()->setEnabled(true);
    }
    return 1;
}

}  // namespace

const engine::HostFunction kProgressWindowFunctions[1] = {
    SELVARIN_HOST("createProgressWindow", createProgressWindow),
};

void installWindowClass(lua_State* L) { engine::registerClass(L, kWindowClass, kMethods); }

}  // namespace api
