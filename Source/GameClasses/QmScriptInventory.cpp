// The inventory's script functions. "AddToInventory" takes one of four forms
// by its count, (name), (name, placement), (name, x, y) and
// (name, x, y, placement); an argument of the wrong type keeps its default
// (empty name, 0, 0, "end") and the call goes on. The item's value becomes 1
// before it is added. A value set by "SetInventoryItemValue" is truncated
// toward zero, refreshes the cells and opens the strip.
//
// Without an inventory every function does nothing ("IsInInventory" answers
// false, "GetInventoryItemValue" 0); "IsInventoryActive" and
// "ClearInventory" also say so at level 1.
#include "Source/GameClasses/QmScriptInventory.h"

#include "Engine/Core/Common/GeLog.h"
#include "Source/GameClasses/QmInventory.h"
#include "Source/GameClasses/QmScriptApi.h"
#include "Source/GameClasses/QmUnifiedCollector.h"

int Lua_UnselectInventory(lua_State* L)
{
    if (ScriptCheckArgs(L, "UnselectInventory", "") && g_inventory)
        g_inventory->Unselect();
    return 0;
}

int Lua_DeleteFromInventory(lua_State* L)
{
    if (ScriptCheckArgs(L, "DeleteFromInventory", "t") && g_inventory)
        g_inventory->RemoveItem(ScriptArgText(L, 1));
    return 0;
}

int Lua_AddToInventory(lua_State* L)
{
    if (!ScriptCheckArgCount(L, "AddToInventory", 1, 4))
        return 0;
    const int count = lua_gettop(L);
    CGeString name;
    CGeString where("end");
    float x = 0.0f, y = 0.0f;
    if (ScriptIsText(L, 1))
        name = ScriptArgString(L, 1);
    const int whereAt = count == 2 ? 2 : (count == 4 ? 4 : 0);
    if (whereAt && ScriptIsText(L, whereAt))
        where = ScriptArgString(L, whereAt);
    if (count >= 3) {
        if (ScriptIsNumber(L, 2))
            x = ScriptArgFloat(L, 2);
        if (ScriptIsNumber(L, 3))
            y = ScriptArgFloat(L, 3);
    }
    CQmInventoryItem* item = CQmUnifiedCollector::FindItem(name.c_str());
    if (!item) {
        GeLog(2, "CQmUnifiedCollector::GetInventoryItem: cannot find item %s !\n", name.c_str());
        GeLog(2, "Lua_AddToInventory: no item %s found! Ignored\n", name.c_str());
        return 0;
    }
    item->value = 1;
    if (!g_inventory)
        return 0;
    if (count <= 2)
        g_inventory->AddItemDefault(item, where);
    else
        g_inventory->AddItem(item, x, y, where);
    return 0;
}

int Lua_IsInInventory(lua_State* L)
{
    if (!ScriptCheckArgs(L, "IsInInventory", "t") || !g_inventory)
        return ScriptPushBool(L, false);
    return ScriptPushBool(L, g_inventory->FindItem(ScriptArgString(L, 1)) != nullptr);
}

int Lua_SetInventoryItemValue(lua_State* L)
{
    if (!ScriptCheckArgs(L, "SetInventoryItemValue", "tn") || !g_inventory)
        return 0;
    CQmInventoryItem* item = g_inventory->FindItem(ScriptArgString(L, 1));
    if (!item) {
        GeTrace("Lua_SetInventoryItemValue: no item %s in the inventory", ScriptArgText(L, 1));
        return 0;
    }
    item->value = ScriptTruncateToInt(ScriptArgNumber(L, 2));
    g_inventory->RefreshCells();
    g_inventory->SetOpen(true);
    return 0;
}

int Lua_GetInventoryItemValue(lua_State* L)
{
    if (!ScriptCheckArgs(L, "GetInventoryItemValue", "t") || !g_inventory)
        return ScriptPushNumber(L, 0);
    const CQmInventoryItem* item = g_inventory->FindItem(ScriptArgString(L, 1));
    return ScriptPushNumber(L, item ? item->value : 0);
}

int Lua_IsInventoryActive(lua_State* L)
{
    if (!ScriptCheckArgs(L, "IsInventoryActive", ""))
        return 0;
    if (!g_inventory) {
        GeLog(1, "Lua::IsInventoryActive can't get inventory");
        return ScriptPushBool(L, false);
    }
    return ScriptPushBool(L, g_inventory->IsOpen());
}

int Lua_ClearInventory(lua_State*)
{
    if (!g_inventory) {
        GeLog(1, "Lua::ClearInventory() - can't get inventory");
        return 0;
    }
    g_inventory->Clear();
    return 0;
}
