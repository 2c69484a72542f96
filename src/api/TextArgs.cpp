#include "TextArgs.h"

#include "engine/ScriptCall.h"

namespace api {

std::string textArg(lua_State* L, int index)
{
    std::string text;
    if (!engine::argToText(L, index, text))
        engine::raiseToTextError(L);
    return text;
}

}  // namespace api
