#include "tests/Source/GameClasses/ScriptEventRecorder.h"

#include "Source/GameClasses/QmScriptProcessor.h"

namespace {

// No table library for the game's scripts: the list grows by index.
const char* const kRecorderScript = R"(
__recorded = {}
function RecordLine(text) __recorded[#__recorded + 1] = tostring(text) end
function __record(name, ...)
    local line = name .. '('
    for i = 1, select('#', ...) do
        if i > 1 then line = line .. ',' end
        line = line .. tostring(select(i, ...))
    end
    __recorded[#__recorded + 1] = line .. ')'
end
function __recorder(name) _G[name] = function(...) __record(name, ...) end end
)";

void RunText(const std::string& text)
{
    CGeString error;
    ScriptRunString(text.c_str(), error);
}

} // namespace

CScriptEventRecorder::CScriptEventRecorder()
{
    RunText(kRecorderScript);
}

void CScriptEventRecorder::Record(std::initializer_list<const char*> events) const
{
    for (const char* name : events)
        RunText(std::string("__recorder('") + name + "')");
}

std::vector<std::string> CScriptEventRecorder::Lines() const
{
    std::vector<std::string> lines;
    lua_State* L = g_luaState;
    if (!L)
        return lines;
    lua_getfield(L, LUA_GLOBALSINDEX, "__recorded");
    if (lua_istable(L, -1)) {
        const int count = int(lua_objlen(L, -1));
        for (int i = 1; i <= count; ++i) {
            lua_rawgeti(L, -1, i);
            const char* text = lua_tostring(L, -1);
            lines.push_back(text ? text : "");
            lua_pop(L, 1);
        }
    }
    lua_pop(L, 1);
    return lines;
}

void CScriptEventRecorder::Clear() const
{
    RunText("__recorded = {}");
}

std::string CScriptEventRecorder::Joined() const
{
    std::string text;
    for (const std::string& line : Lines())
        text += (text.empty() ? "" : " ") + line;
    return text;
}
