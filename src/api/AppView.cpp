#include "AppView.h"

#include "SurfaceClass.h"
#include "ViewHost.h"

#include "engine/Args.h"
#include "engine/Messages.h"
#include "engine/ScriptCall.h"
#include "engine/ValueTree.h"
#include "platform/Desktop.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace api {
namespace {

namespace msg = engine::msg;

// The view state kept while no application is there (batch mode).
class DetachedViewHost final : public ViewHost {
public:
    void setFrontImage(gfx::NxSurface*) override {}
    void setBackgroundImage(gfx::NxSurface*) override {}
    void setBackgroundColour(std::uint32_t colour) override { m_colour = colour; }
    std::uint32_t backgroundColour() const override { return m_colour; }
    void setAdjustMode(int mode) override { m_adjustMode = mode; }
    int adjustMode() const override { return m_adjustMode; }
    void setScaling(double scaling) override
    {
        m_scaling = scaling;
        m_adjustMode = 0;
    }
    double scaling() const override { return m_scaling; }
    void setWheelRate(double rate) override { m_wheelRate = rate < 0.1 ? 0.1 : rate; }
    double wheelRate() const override { return m_wheelRate; }
    void setLinearFilter(bool on) override { m_linearFilter = on; }
    bool linearFilter() const override { return m_linearFilter; }
    bool setStatusText(std::string_view) override { return false; }
    void setFrameTitle(std::string_view text) override { m_title = text; }
    std::string frameTitle() const override { return m_title; }
    std::optional<std::string> mainWindowMode() const override { return std::nullopt; }
    void setMainWindowMode(std::string_view) override {}
    std::optional<WindowRect> windowRect(std::string_view) const override { return std::nullopt; }
    void setWindowRect(std::string_view, const WindowRect&) override {}
    bool drawScreen(const gfx::NxSurface&) override { return false; }

private:
    std::uint32_t m_colour = 0xFFFFFF;
    int m_adjustMode = 3;
    double m_scaling = 1.0;
    double m_wheelRate = 4.0;
    bool m_linearFilter = true;
    std::string m_title = msg::text(msg::Id::ApplicationName);
};

ViewHost* g_host = nullptr;

constexpr const char* kFrontKey = "app_frontImage";
constexpr const char* kBackgroundKey = "app_bgImage";

int showImage(lua_State* L, const char* key, void (ViewHost::*show)(gfx::NxSurface*))
{
    gfx::NxSurface* pixels = nullptr;
    if (!lua_isnil(L, 1)) {
        image::ScriptSurface& surface = checkSurface(L, 1);
        if (!surface.isValid())
            return engine::pushFalse(L);
        if (surface.typeTag() == image::kDibSurfaceTag)
            pixels = surface.surface();
    }
    lua_pushvalue(L, 1);
    lua_setfield(L, LUA_REGISTRYINDEX, key);
    (viewHost().*show)(pixels);
    return engine::pushTrue(L);
}

int setImage(lua_State* L) { return showImage(L, kFrontKey, &ViewHost::setFrontImage); }
int setBgImage(lua_State* L) { return showImage(L, kBackgroundKey, &ViewHost::setBackgroundImage); }

int getRegistryEntry(lua_State* L, const char* key)
{
    lua_getfield(L, LUA_REGISTRYINDEX, key);
    return 1;
}

int getImage(lua_State* L) { return getRegistryEntry(L, kFrontKey); }
int getBgImage(lua_State* L) { return getRegistryEntry(L, kBackgroundKey); }

// A byte pair read as hexadecimal as far as it consists of hexadecimal digits.
unsigned hexPair(const std::string& text, std::size_t at)
{
    unsigned value = 0;
    for (std::size_t i = at; i < at + 2; ++i) {
        const char c = text[i];
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            break;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return value & 0xFF;
}

int setBgColor(lua_State* L)
{
    const std::string text = engine::args::checkText(L, 1);
    std::uint32_t colour = 0xFFFFFF;
    if (text.size() >= 6)
        colour = hexPair(text, 4) * 65536 + hexPair(text, 2) * 256 + hexPair(text, 0);
    viewHost().setBackgroundColour(colour);
    lua_pushnil(L);
    lua_setfield(L, LUA_REGISTRYINDEX, kBackgroundKey);
    return 0;
}

int getBgColor(lua_State* L)
{
    const std::uint32_t c = viewHost().backgroundColour();
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X%02X", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
    lua_pushstring(L, text);
    return 1;
}

int setStatusText(lua_State* L)
{
    viewHost().setStatusText(engine::args::checkText(L, 1));
    return 0;
}

int setFrameTitle(lua_State* L)
{
    viewHost().setFrameTitle(engine::args::checkText(L, 1));
    return 0;
}

int getFrameTitle(lua_State* L)
{
    const std::string title = viewHost().frameTitle();
    lua_pushlstring(L, title.data(), title.size());
    return 1;
}

int setWheelRate(lua_State* L)
{
    if (const auto rate = engine::args::testNumber(L, 1))
        viewHost().setWheelRate(*rate);
    return 0;
}

int getWheelRate(lua_State* L) { return engine::pushNumber(L, viewHost().wheelRate()); }

int setUseLinearFilter(lua_State* L)
{
    if (lua_isboolean(L, 1))
        viewHost().setLinearFilter(lua_toboolean(L, 1) != 0);
    return 0;
}

int getUseLinearFilter(lua_State* L) { return engine::pushBool(L, viewHost().linearFilter()); }

int setViewScaling(lua_State* L)
{
    if (const auto scaling = engine::args::testNumber(L, 1))
        viewHost().setScaling(*scaling);
    return 0;
}

int getViewScaling(lua_State* L) { return engine::pushNumber(L, viewHost().scaling()); }

struct ModeName {
    const char* name;
    int mode;
};
constexpr ModeName kModeNames[] = {{"lessor", 1}, {"greator", 2}, {"width", 3}, {"height", 4}};

int setAdustMode(lua_State* L)
{
    if (lua_isnoneornil(L, 1)) {
        viewHost().setScaling(viewHost().scaling());
        return 0;
    }
    const std::string text = engine::args::checkText(L, 1);
    for (const ModeName& m : kModeNames) {
        if (text == m.name) {
            viewHost().setAdjustMode(m.mode);
            break;
        }
    }
    return 0;
}

int getAdustMode(lua_State* L)
{
    const int mode = viewHost().adjustMode();
    for (const ModeName& m : kModeNames) {
        if (m.mode == mode) {
            lua_pushstring(L, m.name);
            return 1;
        }
    }
    return 0;
}

int getMainWindowMode(lua_State* L)
{
    const std::optional<std::string> mode = viewHost().mainWindowMode();
    if (!mode)
        return 0;
    lua_pushlstring(L, mode->data(), mode->size());
    return 1;
}

int setMainWindowMode(lua_State* L)
{
    viewHost().setMainWindowMode(engine::args::checkText(L, 1));
    return 0;
}

int getWindowRect(lua_State* L)
{
    const std::optional<WindowRect> r = viewHost().windowRect(engine::args::checkText(L, 1));
    if (!r)
        return 0;
    lua_createtable(L, 0, 4);
    for (auto [key, value] : {std::pair{"x", r->x}, std::pair{"y", r->y}, std::pair{"cx", r->cx}, std::pair{"cy", r->cy}}) {
        lua_pushnumber(L, value);
        lua_setfield(L, -2, key);
    }
    return 1;
}

// A field of the rectangle table when it is a number (a numeric text is not), truncated.
std::optional<int> rectField(const engine::LuaTable& table, std::string_view key)
{
    for (const auto& [k, v] : table.pairs()) {
        if (!k || !v || k->type() != engine::LuaString::kType)
            continue;
        if (static_cast<const engine::LuaString&>(*k).value() != key)
            continue;
        if (v->type() != engine::LuaNumber::kType)
            return std::nullopt;
        return engine::args::clampInt32(static_cast<const engine::LuaNumber&>(*v).value());
    }
    return std::nullopt;
}

int setWindowRect(lua_State* L)
{
    const std::string name = engine::args::checkText(L, 1);
    if (!lua_istable(L, 2))
        return 0;
    const engine::LuaValuePtr tree = engine::toTree(L, 2);
    const auto* table = static_cast<const engine::LuaTable*>(tree.get());
    // Edges are held far beyond any screen but well within 32 bits, so that neither the sums
    // here nor the window system's own arithmetic on them can overflow.
    static constexpr long long kEdgeLimit = 1 << 24;
    const auto edge = [](long long v) { return static_cast<int>(std::clamp(v, -kEdgeLimit, kEdgeLimit)); };
    const int left = edge(rectField(*table, "x").value_or(0));
    const int top = edge(rectField(*table, "y").value_or(0));
    const std::optional<int> cx = rectField(*table, "cx");
    const std::optional<int> cy = rectField(*table, "cy");
    const int right = cx ? edge(static_cast<long long>(left) + *cx) : 0;
    const int bottom = cy ? edge(static_cast<long long>(top) + *cy) : 0;
    viewHost().setWindowRect(name, WindowRect{left, top, right - left, bottom - top});
    return 0;
}

int drawScreen(lua_State* L)
{
    image::ScriptSurface& surface = checkSurface(L, 1);
    if (!surface.isValid() || !surface.surface())
        return engine::pushFalse(L);
    return engine::pushBool(L, viewHost().drawScreen(*surface.surface()));
}

int getDesktopSize(lua_State* L)
{
    const auto [width, height] = platform::desktopSize();
    lua_pushnumber(L, width);
    lua_pushnumber(L, height);
    return 2;
}

}  // namespace

void setViewHost(ViewHost* host) { g_host = host; }

ViewHost& viewHost()
{
    static DetachedViewHost detached;
    return g_host ? *g_host : detached;
}

const engine::HostFunction kDesktopSizeFunctions[1] = {
    SELVARIN_HOST("getDesktopSize", getDesktopSize),
};

const engine::HostFunction kDrawScreenFunctions[1] = {
    SELVARIN_HOST("drawScreen", drawScreen),
};

const engine::HostFunction kViewFunctions[21] = {
    SELVARIN_HOST("getWindowRect", getWindowRect),
    SELVARIN_HOST("setWindowRect", setWindowRect),
    SELVARIN_HOST("getMainWindowMode", getMainWindowMode),
    SELVARIN_HOST("setMainWindowMode", setMainWindowMode),
    SELVARIN_HOST("getAdustMode", getAdustMode),
    SELVARIN_HOST("setAdustMode", setAdustMode),
    SELVARIN_HOST("getViewScaling", getViewScaling),
    SELVARIN_HOST("setViewScaling", setViewScaling),
    SELVARIN_HOST("getUseLinearFilter", getUseLinearFilter),
    SELVARIN_HOST("setUseLinearFilter", setUseLinearFilter),
    SELVARIN_HOST("getWheelRate", getWheelRate),
    SELVARIN_HOST("setWheelRate", setWheelRate),
    SELVARIN_HOST("getFrameTitle", getFrameTitle),
    SELVARIN_HOST("setFrameTitle", setFrameTitle),
    SELVARIN_HOST("setStatusText", setStatusText),
    SELVARIN_HOST("setImage", setImage),
    SELVARIN_HOST("getImage", getImage),
    SELVARIN_HOST("setBgImage", setBgImage),
    SELVARIN_HOST("getBgImage", getBgImage),
    SELVARIN_HOST("setBgColor", setBgColor),
    SELVARIN_HOST("getBgColor", getBgColor),
};

}  // namespace api
