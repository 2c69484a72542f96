#include "AppDialogs.h"

#include "engine/Args.h"
#include "engine/Messages.h"
#include "engine/ScriptCall.h"
#include "platform/Dialogs.h"

#include <string>
#include <string_view>

namespace api {
namespace {

namespace msg = engine::msg;
namespace args = engine::args;

struct TypeName {
    std::string_view name;
    platform::Buttons buttons;
};
constexpr TypeName kTypeNames[] = {
    {"OK", platform::Buttons::Ok},
    {"OKCANCEL", platform::Buttons::OkCancel},
    {"ABORTRETRYIGNORE", platform::Buttons::AbortRetryIgnore},
    {"YESNOCANCEL", platform::Buttons::YesNoCancel},
    {"YESNO", platform::Buttons::YesNo},
    {"RETRYCANCEL", platform::Buttons::RetryCancel},
};

const char* answerName(platform::Answer answer)
{
    switch (answer) {
    case platform::Answer::Ok: return "OK";
    case platform::Answer::Cancel: return "CANCEL";
    case platform::Answer::Abort: return "ABORT";
    case platform::Answer::Retry: return "RETRY";
    case platform::Answer::Ignore: return "IGNORE";
    case platform::Answer::Yes: return "YES";
    case platform::Answer::No: return "NO";
    }
    return "CANCEL";
}

int messageBox(lua_State* L)
{
    const std::string text = args::checkText(L, 1);
    std::string caption;
    if (lua_isnone(L, 2) || !args::toText(L, 2, caption))
        caption = msg::text(msg::Id::ApplicationName);
    // Only a text can name a type: a number, even one whose digits spell a type's value, cannot.
    platform::Buttons buttons = platform::Buttons::Ok;
    if (lua_type(L, 3) == LUA_TSTRING) {
        std::size_t len = 0;
        const char* s = lua_tolstring(L, 3, &len);
        for (const TypeName& t : kTypeNames) {
            if (t.name == std::string_view(s, len))
                buttons = t.buttons;
        }
    }
    const platform::Answer answer = platform::messageBox(text, caption, buttons, platform::Icon::None, platform::Owner::MainWindow);
    lua_pushstring(L, answerName(answer));
    return 1;
}

// A text argument that stands for a folder or a name; empty when it is nil or missing.
std::string optionalText(lua_State* L, int narg) { return lua_isnoneornil(L, narg) ? std::string() : args::checkText(L, narg); }

void pushText(lua_State* L, const std::string& text) { lua_pushlstring(L, text.data(), text.size()); }

int showFolderOpenDialog(lua_State* L)
{
    const std::string title = args::checkText(L, 1);
    const int type = lua_type(L, 2);
    const std::string folder = type == LUA_TSTRING || type == LUA_TNUMBER ? args::checkText(L, 2) : std::string();
    const std::optional<std::string> chosen = platform::chooseFolder(title, folder);
    if (!chosen)
        lua_pushnil(L);
    else
        pushText(L, *chosen);
    return 1;
}

int showFileOpenDialog(lua_State* L)
{
    const std::string folder = optionalText(L, 1);
    const std::string filter = lua_isnoneornil(L, 2) ? msg::text(msg::Id::DefaultOpenFilter) : args::checkText(L, 2) + "||";
    // Only the boolean true: scripts pass 1 or "yes" where they mean something else.
    const bool multiSelect = lua_type(L, 3) == LUA_TBOOLEAN && lua_toboolean(L, 3);
    const std::optional<std::vector<std::string>> chosen = platform::chooseFilesToOpen(folder, filter, multiSelect);
    if (!chosen)
        return 0;
    lua_createtable(L, static_cast<int>(chosen->size()), 0);
    int i = 0;
    for (const std::string& path : *chosen) {
        pushText(L, path);
        lua_rawseti(L, -2, ++i);
    }
    return 1;
}

int showFileSaveDialog(lua_State* L)
{
    platform::SaveDialogOptions options;
    options.initialFolder = optionalText(L, 1);
    options.fileName = optionalText(L, 2);
    options.defaultSuffix = optionalText(L, 3);
    if (!lua_isnoneornil(L, 4))
        options.filter = args::checkText(L, 4) + "||";
    const std::optional<std::string> chosen = platform::chooseFileToSave(options);
    if (!chosen)
        return 0;
    pushText(L, *chosen);
    return 1;
}

// The values an open four-button dialog keeps in the registry: its two callbacks and the result
// a callback closed it with. Released through a protected call, so that even a failing release
// cannot raise through the host function.
class DialogValues {
public:
    explicit DialogValues(lua_State* L) : m_state(L) {}
    DialogValues(const DialogValues&) = delete;
    DialogValues& operator=(const DialogValues&) = delete;
    ~DialogValues()
    {
        const int top = lua_gettop(m_state);
        engine::enterScript(m_state, [this](lua_State* L) {
            for (int& ref : m_refs) {
                luaL_unref(L, LUA_REGISTRYINDEX, ref);
                ref = LUA_NOREF;
            }
            return 0;
        });
        // A failed release leaves its error value: a leaked reference is all it costs.
        lua_settop(m_state, top);
    }

    // Keeps the values at `first` and `second` that are functions. Called once the object
    // exists, so a reference already taken is released even when the next one fails.
    void holdCallbacks(int first, int second)
    {
        m_refs[0] = referenceIfFunction(first);
        m_refs[1] = referenceIfFunction(second);
    }
    int callback(int button) const { return m_refs[button - 1]; }
    int& result() { return m_refs[2]; }

private:
    int referenceIfFunction(int narg)
    {
        if (!lua_isfunction(m_state, narg))
            return LUA_NOREF;
        lua_pushvalue(m_state, narg);
        return luaL_ref(m_state, LUA_REGISTRYINDEX);
    }

    lua_State* m_state;
    int m_refs[3] = {LUA_NOREF, LUA_NOREF, LUA_NOREF};
};

// One click on an extra button, run inside a protected call.
struct ButtonCall {
    DialogValues* values;
    int button;
    bool close = false;
};

int callButtonProtected(lua_State* L, ButtonCall* call)
{
    lua_rawgeti(L, LUA_REGISTRYINDEX, call->values->callback(call->button));  // [+1]
    const int status = engine::protectedCall(L, 0, 1, true);                 // [-1, +1]
    if (status != 0) {
        // Reported, and the dialog ends as cancelled.
        engine::reportScriptError(L, status);
        call->close = true;
        return 0;
    }
    if (lua_isnil(L, -1))
        return 0;
    call->values->result() = luaL_ref(L, LUA_REGISTRYINDEX);  // [-1]
    call->close = true;
    return 0;
}

int showOptionalDialog(lua_State* L)
{
    platform::OptionalDialogTexts texts;
    texts.caption = args::checkText(L, 1);
    texts.message = args::checkText(L, 2);
    texts.first = args::checkText(L, 3);
    texts.second = args::checkText(L, 5);
    texts.cancel = msg::text(msg::Id::OptionalDialogCancel);
    DialogValues values(L);
    values.holdCallbacks(4, 6);

    const auto onButton = [L, &values](int button) {
        if (values.callback(button) == LUA_NOREF)
            return false;
        ButtonCall call{&values, button};
        // Whatever the callback does, the stack is as it was when the dialog opened.
        const int top = lua_gettop(L);
        const int status = engine::enterScript(L, [&call](lua_State* S) { return callButtonProtected(S, &call); });
        if (status != 0) {
            engine::reportScriptError(L, status);
            call.close = true;
        }
        lua_settop(L, top);
        return call.close;
    };
    switch (platform::optionalDialog(texts, onButton)) {
    case platform::OptionalResult::Ok: lua_pushliteral(L, "OK"); break;
    case platform::OptionalResult::Cancel: lua_pushliteral(L, "CANCEL"); break;
    case platform::OptionalResult::ClosedByButton:
        if (values.result() == LUA_NOREF)
            lua_pushliteral(L, "CANCEL");
        else
            lua_rawgeti(L, LUA_REGISTRYINDEX, values.result());
        break;
    }
    return 1;
}

}  // namespace

const engine::HostFunction kDialogFunctions[5] = {
    SELVARIN_HOST("messageBox", messageBox),
    SELVARIN_HOST("showFolderOpenDialog", showFolderOpenDialog),
    SELVARIN_HOST("showFileOpenDialog", showFileOpenDialog),
    SELVARIN_HOST("showFileSaveDialog", showFileSaveDialog),
    SELVARIN_HOST("showOptionalDialog", showOptionalDialog),
};

}  // namespace api
