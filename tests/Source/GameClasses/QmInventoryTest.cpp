// The inventory headless: the real GUI manager, keyboard and mouse on the
// recording device, the real script processor with the script-event
// recorder, a current location "room", the item catalogue and the panel
// document written by the tests into a scratch data root (a catalogue of
// eight items with icons, their strings, "inventory/inventory.xml" with every
// named control, "Inventory/addon.xml" with "void_sh"), and a frame delta the
// test drives.
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeTextConvert.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Gui/GuiCustom.h"
#include "Engine/Gui/GuiResources.h"
#include "Engine/Gui/GuiTextControl.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmInventory.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmScriptProcessor.h"
#include "Source/GameClasses/QmUnifiedCollector.h"
#include "tests/Engine/Core/Gm/ImageFixtures.h"
#include "tests/Engine/Gui/GuiTestFixture.h"
#include "tests/Source/GameClasses/ScriptEventRecorder.h"
#include "tests/Support/TestTempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

const char* const kItems[] = {"apple", "bread", "cheese", "dates", "eggs", "figs", "grapes", "honey"};

// The panel: 600 x 100, five 100 x 100 cells from x 10, their counts, the
// tooltip and the menu button.
std::string PanelDocument(const std::vector<std::string>& leaveOut = {})
{
    auto keep = [&](const std::string& name) {
        for (const std::string& out : leaveOut)
            if (out == name)
                return false;
        return true;
    };
    std::string text = "<GUI><CONTROLSET Name='inv'>";
    auto control = [&](const std::string& name, const char* type, float x, float y, float w, float h,
                       const char* parent) {
        if (!keep(name))
            return;
        text += "<Control Name='" + name + "' Type='" + type + "'>";
        text += "<Property Name='EP_X'>" + std::to_string(x) + "</Property>";
        text += "<Property Name='EP_Y'>" + std::to_string(y) + "</Property>";
        text += "<Property Name='EP_W'>" + std::to_string(w) + "</Property>";
        text += "<Property Name='EP_H'>" + std::to_string(h) + "</Property>";
        if (parent)
            text += std::string("<Property Name='EP_Parent'>") + parent + "</Property>";
        text += "</Control>";
    };
    control("inventory", "EGCT_CONTROL", 0, 0, 600, 100, nullptr);
    for (int i = 0; i < 5; ++i) {
        char name[16];
        snprintf(name, sizeof(name), "custom%02d", i);
        control(name, i == 4 && !keep("custom04_as_text") ? "EGCT_TEXTCONTROL" : "EGCT_CUSTOM", 10.0f + 110.0f * i,
                0, 100, 100, "inventory");
        snprintf(name, sizeof(name), "count%02d", i);
        control(name, "EGCT_TEXTCONTROL", 70.0f + 110.0f * i, 70, 30, 30, "inventory");
    }
    control("but_menu", "EGCT_BUTTON", 560, 0, 40, 40, "inventory");
    control("hint", "EGCT_TEXTCONTROL", 0, 0, 200, 40, nullptr);
    return text + "</CONTROLSET></GUI>";
}

class InventoryTest : public GuiTest {
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        g_guiManager = manager.get();
        g_mainControlSet = set;
        g_mouse = mouse.get();
        g_keyboard = keyboard.get();
        g_dataRoot = (dir.Path() + "/").c_str();
        g_gameProcessor = &processor;
        ScriptInit();
        ASSERT_NE(nullptr, g_luaState);
        events = std::make_unique<CScriptEventRecorder>();
        locations.current = &room;
        g_locationManager = &locations;
        Make("_main_screen_ctrl", 0, 0, 1280, 1024);
        WriteIcon("icons/item.tga");
        WriteIcon("icons/void.tga");
        std::string strings = "<t>", catalogue = "<items_list stringlist=\"strings/items.xml\">";
        for (const char* item : kItems) {
            strings += std::string("<string id=\"s_") + item + "\" str=\"The " + item + "\"/>";
            catalogue += std::string("<inv_item name=\"") + item + "\" string_id=\"s_" + item +
                         "\" cursor_type=\"13\"" + (std::string(item) == "honey" ? "><managed_by_script/>" : ">") +
                         "<sprite2d image=\"icons/item.tga\"/></inv_item>";
        }
        dir.Write("strings/items.xml", strings + "</t>");
        dir.Write("Inventory/inventoryItems.xml", catalogue + "</items_list>");
        dir.Write("Inventory/addon.xml", "<GUI_RESOURCES><PICS><IMAGE Name='void' FileName='icons/void.tga'/></PICS>"
                                         "<SPRITE_SCHEMAS><SPRITE_SCHEMA Name='void_sh' Image='void' Rect='0 0 8 8'/>"
                                         "</SPRITE_SCHEMAS></GUI_RESOURCES>");
        dir.Write("inventory/inventory.xml", PanelDocument());
        CQmUnifiedCollector::LoadInventoryItems((g_dataRoot + "Inventory/inventoryItems.xml").c_str());
        ASSERT_EQ(8u, CQmUnifiedCollector::ItemCount());
    }

    void TearDown() override
    {
        inventory.reset();
        CQmUnifiedCollector::Clear();
        CGuiResources::FreeAll();
        locations.current = nullptr;
        g_locationManager = nullptr;
        events.reset();
        ScriptShutdown();
        g_gameProcessor = nullptr;
        g_dataRoot = "";
        g_guiManager = nullptr;
        g_mainControlSet = nullptr;
        g_mouse = nullptr;
        g_keyboard = nullptr;
        GuiTest::TearDown();
    }

    void Create()
    {
        inventory = std::make_unique<CQmInventory>();
        g_inventory = inventory.get();
    }

    void WriteIcon(const std::string& name)
    {
        imagefixture::TgaSpec spec;
        spec.width = spec.height = 8;
        spec.topFirst = true;
        for (int i = 0; i < 64; ++i)
            spec.pixels.insert(spec.pixels.end(), {200, 100, 50, 255});
        const imagefixture::Bytes bytes = imagefixture::MakeTga(spec);
        dir.Write(name, std::string(bytes.begin(), bytes.end()));
    }

    static CQmInventoryItem* Item(const char* name) { return CQmUnifiedCollector::FindItem(name); }

    void Add(const char* name, const char* where = "end")
    {
        inventory->AddItemDefault(Item(name), CGeString(where));
    }

    // The item names in item-list order, and checks that the display list
    // holds the same.
    std::string Order() const
    {
        std::string names, shown;
        for (auto* node = inventory->items.head; node; node = node->next)
            names += std::string(names.empty() ? "" : " ") + node->value->name.c_str();
        for (auto* node = inventory->display.head; node; node = node->next)
            shown += std::string(shown.empty() ? "" : " ") + node->value->name.c_str();
        EXPECT_EQ(names, shown);
        return names;
    }

    // The text of count control i, or "-" while it is hidden.
    std::string Count(int i) const
    {
        const CGuiTextControl* count = inventory->counts[i];
        if (!count || !count->visible)
            return "-";
        return WideStringToAnsi(count->text).c_str();
    }

    void ClickOn(CGuiControl* control, uint32_t code = GUI_EV_CLICK) { inventory->HandleMessage(control, code); }

    void RunScript(const std::string& text)
    {
        CGeString error;
        EXPECT_TRUE(ScriptRunString(text.c_str(), error)) << text << ": " << error.c_str();
    }

    std::vector<uint8_t> Saved()
    {
        uint8_t* data = nullptr;
        const uint32_t size = inventory->Save(&data);
        std::vector<uint8_t> bytes(data, data + size);
        free(data);
        return bytes;
    }

    CTestTempDir dir;
    CQmGameProcessor processor;
    CQmLocation room{"room"};
    CQmLocationManager locations;
    std::unique_ptr<CScriptEventRecorder> events;
    std::unique_ptr<CQmInventory> inventory;
};

std::vector<uint8_t> Record(const std::string& name, uint32_t value)
{
    std::vector<uint8_t> bytes(name.begin(), name.end());
    bytes.push_back(0);
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(uint8_t(value >> shift));
    return bytes;
}

std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

// Construction and the strip ------------------------------------------------------

TEST_F(InventoryTest, ConstructionFindsThePanelAndPutsItAboveTheScreen)
{
    Create();
    ASSERT_NE(nullptr, inventory->panel);
    for (int i = 0; i < 5; ++i) {
        EXPECT_NE(nullptr, inventory->cells[i]) << i;
        EXPECT_EQ("-", Count(i)) << i;
    }
    EXPECT_NE(nullptr, inventory->menuButton);
    ASSERT_NE(nullptr, inventory->hint);
    EXPECT_EQ(0, inventory->hint->visible);
    EXPECT_EQ(340.0f, inventory->panel->X()); // (1280 - 600) / 2
    EXPECT_EQ(-100.0f, inventory->panel->Y());
    EXPECT_NE(nullptr, inventory->cursorIcon);
    EXPECT_NE(nullptr, inventory->flightSprite);
    for (uint32_t i = 0; i < CQmInventory::kSparks; ++i)
        EXPECT_FLOAT_EQ(0.4f - 0.05f * i, inventory->sparkTimers[i]) << i;
    EXPECT_FALSE(inventory->IsOpen());
    EXPECT_FALSE(inventory->HasSelection());
    EXPECT_FALSE(inventory->IsPausingGame());
}

// A document without some named controls, or with a cell of the wrong kind,
// and no "void_sh": one level-2 line each, and the rest works without them.
TEST_F(InventoryTest, MissingPiecesAreLoggedAndLeftOut)
{
    dir.Write("inventory/inventory.xml", PanelDocument({"hint", "count02", "but_menu", "custom04_as_text"}));
    dir.Write("Inventory/addon.xml", "<GUI_RESOURCES/>");
    GeLogClearLast();
    Create();
    EXPECT_EQ(2, GeLogLastLevel());
    EXPECT_NE(std::string::npos, std::string(GeLogLastMessage().c_str()).find("void_sh"));
    EXPECT_EQ(nullptr, inventory->hint);
    EXPECT_EQ(nullptr, inventory->counts[2]);
    EXPECT_EQ(nullptr, inventory->menuButton);
    EXPECT_EQ(nullptr, inventory->cells[4]);
    EXPECT_EQ(nullptr, inventory->cursorIcon);
    for (const char* name : kItems)
        inventory->AddItem(Item(name), 100.0f, 100.0f, CGeString("end"));
    Item("cheese")->value = 3;
    inventory->RefreshCells();
    ClickOn(inventory->cells[0]);
    EXPECT_TRUE(inventory->HasSelection());
    inventory->Draw();
    mouse->y = 10.0f;
    for (int frame = 0; frame < 20; ++frame)
        inventory->Update(0.1f);
    EXPECT_TRUE(inventory->IsOpen());
}

// Where an item goes, on both lists alike; the same item twice stays once.
TEST_F(InventoryTest, InsertionFollowsTheWhereRules)
{
    Create();
    events->Record({"room_on_inventory_open", "room_on_inventory_close"});
    struct Case {
        const char* item;
        const char* where;
        const char* order;
    } cases[] = {
        {"apple", "cheese", "apple"},            // an empty list: at the front
        {"bread", "end", "apple bread"},
        {"cheese", "", "cheese apple bread"},    // empty: at the front
        {"dates", "apple", "cheese apple dates bread"},
        {"eggs", "nobody", "cheese apple dates bread eggs"},
        {"apple", "end", "cheese apple dates bread eggs"}, // already there
    };
    for (const Case& c : cases) {
        Add(c.item, c.where);
        EXPECT_EQ(c.order, Order()) << c.item << " after " << c.where;
    }
    EXPECT_EQ(Item("dates"), inventory->FindItem(CGeString("dates")));
    EXPECT_EQ(nullptr, inventory->FindItem(CGeString("figs")));

    inventory->RemoveItem("apple");
    inventory->RemoveItem("nobody");
    inventory->RemoveItem(nullptr);
    EXPECT_EQ("cheese dates bread eggs", Order());
    inventory->SetOpen(true);
    inventory->Clear();
    EXPECT_EQ("", Order());
    EXPECT_FALSE(inventory->IsOpen());
    EXPECT_EQ("room_on_inventory_open()", events->Joined()); // Clear closes silently
}

// Seven items: five cells show the first five with their icons centred, the
// cursor type and the counts; the sixth and seventh are only kept.
TEST_F(InventoryTest, FiveCellsShowTheFirstFiveItems)
{
    Create();
    for (int i = 0; i < 7; ++i)
        Add(kItems[i]);
    Item("apple")->value = 1;
    Item("bread")->value = 2;
    Item("cheese")->value = -2;
    Item("dates")->value = 12;
    inventory->RefreshCells();
    const char* counts[5] = {"-", "2", "-", "12", "-"};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        auto* cell = static_cast<CGuiCustom*>(inventory->cells[i]);
        EXPECT_EQ(13, cell->cursorType);
        // Shared icons: only the last cell keeps the one sprite of the catalogue's
        // records; each record here has its own.
        EXPECT_EQ(Item(kItems[i])->sprite, cell->attached);
        const CGmVisual2D* icon = Item(kItems[i])->sprite;
        EXPECT_FLOAT_EQ((100.0f - icon->size[0]) * 0.5f, icon->frame.position.x);
        EXPECT_FLOAT_EQ((100.0f - icon->size[1]) * 0.5f, icon->frame.position.y);
        EXPECT_EQ(counts[i], Count(i));
    }
    EXPECT_EQ(Item("grapes"), inventory->FindItem(CGeString("grapes")));
    // All seven are saved and come back.
    const std::vector<uint8_t> block = Saved();
    inventory->Load(block.data(), static_cast<uint32_t>(block.size()));
    EXPECT_EQ("apple bread cheese dates eggs figs grapes", Order());
    EXPECT_EQ(-2, Item("cheese")->value);

    // Removing the first moves the rest up; emptied cells lose their icon.
    inventory->RemoveItem("apple");
    inventory->RemoveItem("bread");
    inventory->RemoveItem("cheese");
    EXPECT_EQ(Item("figs")->sprite, static_cast<CGuiCustom*>(inventory->cells[2])->attached);
    EXPECT_EQ(nullptr, static_cast<CGuiCustom*>(inventory->cells[4])->attached);
    EXPECT_EQ("12", Count(0));
    EXPECT_EQ("-", Count(1));

    // The catalogue's end (the first step of shutdown) takes the icons off
    // the cells before it deletes them.
    inventory->selected = Item("dates");
    CQmUnifiedCollector::Clear();
    EXPECT_EQ("", Order());
    EXPECT_EQ(nullptr, inventory->selected);
    for (CGuiControl* cell : inventory->cells)
        EXPECT_EQ(nullptr, static_cast<CGuiCustom*>(cell)->attached);
}

// The save block against hand-made bytes, and loading it back.
TEST_F(InventoryTest, SaveBlockBytesAndLoading)
{
    Create();
    uint8_t* data = reinterpret_cast<uint8_t*>(1);
    EXPECT_EQ(0u, inventory->Save(&data));
    EXPECT_EQ(nullptr, data);

    Add("bread");
    Add("apple");
    Item("bread")->value = -2; // saved unsigned
    Item("apple")->value = 7;
    const std::vector<uint8_t> two = Record("bread", 0xFFFFFFFE) + Record("apple", 7);
    EXPECT_EQ(two, Saved());

    // Loading: an unknown name is skipped with its value bytes (both lines),
    // a name given twice is added once with the later value.
    const std::vector<uint8_t> block =
        Record("cheese", 3) + Record("nobody", 9) + Record("dates", 4) + Record("cheese", 5);
    GeLogClearLast();
    inventory->Load(block.data(), static_cast<uint32_t>(block.size()));
    EXPECT_EQ("cheese dates", Order());
    EXPECT_EQ(5, Item("cheese")->value);
    EXPECT_EQ(4, Item("dates")->value);
    EXPECT_STREQ("CQmInventory : Loading from save. Can't find item nobody\n", GeLogLastMessage().c_str());
    EXPECT_EQ(1, GeLogLastLevel());

    // Zero bytes still clear.
    inventory->Load(nullptr, 0);
    EXPECT_EQ("", Order());
    inventory->Load(two.data(), 0);
    EXPECT_EQ("", Order());
}

// A block cut at any byte: the whole records before the cut are kept, the
// cut one is dropped with a level-1 line, nothing past the block is read.
TEST_F(InventoryTest, LoadingACutBlockKeepsTheWholeRecords)
{
    Create();
    const std::vector<uint8_t> block = Record("apple", 1) + Record("bread", 2);
    const size_t first = Record("apple", 1).size();
    for (size_t size = 1; size < block.size(); ++size) {
        SCOPED_TRACE(size);
        // A copy of exactly that size, so that the sanitiser sees any read past it.
        std::vector<uint8_t> cut(block.begin(), block.begin() + static_cast<long>(size));
        GeLogClearLast();
        inventory->Load(cut.data(), static_cast<uint32_t>(cut.size()));
        EXPECT_EQ(size >= first ? "apple" : "", Order());
        EXPECT_EQ(size == first ? 0 : 1, GeLogLastLevel());
    }
}

// Clicks on the cells while the main set is current.
TEST_F(InventoryTest, ClicksSelectMixAndFireTheScriptEvents)
{
    Create();
    for (const char* item : {"apple", "bread", "cheese", "honey"})
        Add(item);
    events->Record({"global_on_invitem_click", "global_mix_invitems"});

    // A cell selects its item; the cursor icon copies the item's icon.
    ClickOn(inventory->cells[1]);
    EXPECT_EQ(Item("bread"), inventory->selected);
    EXPECT_EQ(Item("bread")->sprite->size[0], inventory->cursorIcon->size[0]);
    // A cell past the end drops the selection.
    ClickOn(inventory->cells[4]);
    EXPECT_EQ(nullptr, inventory->selected);
    // A managed item fires its event and is not selected.
    ClickOn(inventory->cells[3], GUI_EV_DOUBLE_CLICK);
    EXPECT_EQ(nullptr, inventory->selected);
    EXPECT_EQ("global_on_invitem_click(honey)", events->Joined());
    events->Clear();

    // Mixing: the test's answer decides; the predecessor goes along when the
    // clicked item has one.
    struct Case {
        const char* answer;
        int held, clicked;
        const char* mixed;
    } cases[] = {
        {"true", 0, 2, "global_mix_invitems(apple,cheese,bread)"},
        {"false", 0, 2, ""},
        {"TRUE", 0, 2, ""},
        {"true", 2, 0, "global_mix_invitems(cheese,apple)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        RunScript(std::string("function global_test_mix_invitems(a, b) SysReturn('") + c.answer + "') end");
        ClickOn(inventory->cells[c.held]);
        ASSERT_NE(nullptr, inventory->selected);
        ClickOn(inventory->cells[c.clicked]);
        EXPECT_EQ(nullptr, inventory->selected);
        EXPECT_EQ(c.mixed, events->Joined());
        events->Clear();
    }

    // Ignored: the screen control, a control that is no cell, a sender that
    // is no control, and any click while another set is current.
    ClickOn(inventory->cells[0]);
    ClickOn(set->FindControl(CGeString("_main_screen_ctrl")));
    ClickOn(inventory->panel);
    EXPECT_EQ(Item("apple"), inventory->selected);
    inventory->HandleMessage(mouse.get(), GUI_EV_CLICK);
    EXPECT_EQ(Item("apple"), inventory->selected);
    inventory->Unselect();
    manager->currentSet = manager->CreateControlSet("other");
    ClickOn(inventory->cells[0]);
    EXPECT_EQ(nullptr, inventory->selected);
    manager->currentSet = set;

    // Removing the selected item drops the selection; Clear keeps it.
    ClickOn(inventory->cells[0]);
    inventory->RemoveItem("apple");
    EXPECT_EQ(nullptr, inventory->selected);
    ClickOn(inventory->cells[0]);
    inventory->Clear();
    EXPECT_EQ(Item("bread"), inventory->selected);
}

// A real click through the window reaches a cell and the inventory.
TEST_F(InventoryTest, AClickThroughTheGuiSelectsTheItem)
{
    Create();
    Add("apple");
    inventory->panel->PlaceAt(340.0f, 0.0f);
    MoveTo(400, 50, 0.5f); // past the cells' double-click time
    GuiTest::Click(400, 50);
    dispatcher.RunPass();
    EXPECT_EQ(Item("apple"), inventory->selected);
}

// The cursor opens the strip at y 50 or above; away below 50 and off the
// panel for 3 s in one stretch it closes; the panel slides at 750 px/s.
TEST_F(InventoryTest, TheCursorOpensAndClosesTheStrip)
{
    Create();
    events->Record({"room_on_inventory_open", "room_on_inventory_close"});
    mouse->x = 100.0f;
    mouse->y = 50.01f;
    inventory->Update(0.01f);
    EXPECT_FALSE(inventory->IsOpen());
    EXPECT_TRUE(inventory->CanHide());
    mouse->y = 50.0f;
    EXPECT_FALSE(inventory->CanHide());
    processor.inputLockTime = 1.0f;
    inventory->Update(0.01f);
    EXPECT_FALSE(inventory->IsOpen());
    processor.inputLockTime = 0.0f;
    inventory->Update(0.0f);
    EXPECT_TRUE(inventory->IsOpen());
    EXPECT_EQ("room_on_inventory_open()", events->Joined());
    events->Clear();

    // 100 px at 750 px/s.
    for (int frame = 0; frame < 13; ++frame)
        inventory->Update(0.01f);
    EXPECT_NEAR(-100.0f + 0.13f * 750.0f, inventory->panel->Y(), 1e-3f);
    inventory->Update(0.01f);
    EXPECT_EQ(0.0f, inventory->panel->Y());

    // Away: 2.9 s, back over the panel, then 3.0 s.
    mouse->y = 300.0f;
    for (int frame = 0; frame < 29; ++frame)
        inventory->Update(0.1f);
    mouse->x = 400.0f;
    mouse->y = 80.0f;
    inventory->Update(0.1f);
    EXPECT_EQ(0.0f, inventory->awayTime);
    mouse->x = 100.0f;
    mouse->y = 300.0f;
    for (int frame = 0; frame < 29; ++frame)
        inventory->Update(0.1f);
    EXPECT_TRUE(inventory->IsOpen());
    inventory->Update(0.11f);
    EXPECT_FALSE(inventory->IsOpen());
    EXPECT_EQ("room_on_inventory_close()", events->Joined());
}

// The script functions.
TEST_F(InventoryTest, ScriptFunctions)
{
    Create();
    Item("apple")->value = 5;
    RunScript("AddToInventory('apple') AddToInventory('bread', 'end') AddToInventory('cheese', '') "
              "AddToInventory(7) AddToInventory('dates', 1, 2, 'apple')");
    EXPECT_EQ("cheese apple dates bread", Order());
    EXPECT_EQ(1, Item("apple")->value);
    EXPECT_EQ(Item("dates"), inventory->flyingItem); // placed: it flies to its cell
    EXPECT_TRUE(inventory->IsOpen());

    GeLogClearLast();
    RunScript("AddToInventory('nothing')");
    EXPECT_STREQ("Lua_AddToInventory: no item nothing found! Ignored\n", GeLogLastMessage().c_str());

    RunScript("a = IsInInventory('apple') b = IsInInventory('figs') c = IsInInventory() "
              "SetInventoryItemValue('apple', 2.9) SetInventoryItemValue('bread', -2.9) "
              "v = GetInventoryItemValue('apple') w = GetInventoryItemValue('figs') open = IsInventoryActive() "
              "n = select('#', IsInventoryActive(1))");
    RunScript("Note = tostring(a) .. tostring(b) .. tostring(c) .. v .. w .. tostring(open) .. n");
    lua_getglobal(g_luaState, "Note");
    EXPECT_STREQ("truefalsefalse20true0", lua_tostring(g_luaState, -1));
    lua_pop(g_luaState, 1);
    EXPECT_EQ(-2, Item("bread")->value);

    inventory->selected = Item("apple");
    RunScript("UnselectInventory(1)");
    EXPECT_EQ(Item("apple"), inventory->selected);
    RunScript("UnselectInventory() DeleteFromInventory('cheese')");
    EXPECT_EQ(nullptr, inventory->selected);
    EXPECT_EQ("apple dates bread", Order());
    RunScript("ClearInventory('ignored')");
    EXPECT_EQ("", Order());

    // Without an inventory.
    inventory.reset();
    g_inventory = nullptr;
    GeLogClearLast();
    RunScript("ClearInventory()");
    EXPECT_STREQ("Lua::ClearInventory() - can't get inventory", GeLogLastMessage().c_str());
    RunScript("x = IsInventoryActive()");
    EXPECT_STREQ("Lua::IsInventoryActive can't get inventory", GeLogLastMessage().c_str());
}

// An item added at a screen position flies to its cell at 500 px/s with its
// cell icon hidden; on arrival the icon shows and the location's event fires
// once. Sparks start at the flight sprite as their timers cross zero, each
// again every 0.45 s. StopItemFlight ends a flight without the event.
TEST_F(InventoryTest, AnItemFliesIntoItsCellWithSparks)
{
    Create();
    events->Record({"room_on_inventory_item_add", "room_on_inventory_open"});
    inventory->panel->PlaceAt(340.0f, 0.0f);
    inventory->open = 1; // already open: no opening event
    CQmInventoryItem* apple = Item("apple");
    inventory->AddItem(apple, 350.0f + 20.0f, 600.0f, CGeString("end"));
    EXPECT_EQ(apple, inventory->flyingItem);
    EXPECT_EQ(0, apple->sprite->visible);
    for (CGmSprite* spark : inventory->sparks)
        EXPECT_EQ(0, spark->visible);

    apple->sprite->frame.UpdateWorldMatrix();
    const Vec3 target = {apple->sprite->frame.world.At(3, 0), apple->sprite->frame.world.At(3, 1), 0.0f};
    const float distance = std::hypot(target.x - 370.0f, target.y - 600.0f);
    // The first spark's timer starts at 0.4: the seventh..sixteenth (below 0)
    // cross zero in the first frames.
    inventory->Update(0.1f);
    const Vec3 at = inventory->flightSprite->frame.position;
    EXPECT_NEAR(50.0f, std::hypot(at.x - 370.0f, at.y - 600.0f), 1e-3f);
    int shown = 0;
    for (uint32_t i = 0; i < CQmInventory::kSparks; ++i)
        shown += inventory->sparks[i]->visible;
    EXPECT_EQ(2, shown); // timers -0.35 + 0.1 ... cross zero: those at -0.05 and -0.1 (i 9 and 10)
    int frames = 1;
    while (inventory->flightTarget && frames < 100) {
        EXPECT_EQ("", events->Joined());
        inventory->Update(0.1f);
        ++frames;
    }
    EXPECT_EQ(static_cast<int>(std::ceil(distance / 50.0f)), frames);
    EXPECT_EQ(1, apple->sprite->visible);
    EXPECT_EQ(nullptr, inventory->flyingItem);
    EXPECT_EQ("room_on_inventory_item_add(apple)", events->Joined());
    inventory->Update(0.1f);
    EXPECT_EQ("room_on_inventory_item_add(apple)", events->Joined());

    // Stopped on the way: the icon shows, nothing fires.
    events->Clear();
    inventory->AddItem(Item("bread"), 900.0f, 900.0f, CGeString("end"));
    inventory->Update(0.1f);
    inventory->StopItemFlight();
    EXPECT_EQ(nullptr, inventory->flightTarget);
    EXPECT_EQ(1, Item("bread")->sprite->visible);
    for (int frame = 0; frame < 40; ++frame)
        inventory->Update(0.1f);
    EXPECT_EQ("", events->Joined());
}

// The tooltip over the open strip names the hovered item, or the menu, and
// keeps inside the screen.
TEST_F(InventoryTest, TheTooltipNamesTheHoveredItemInsideTheScreen)
{
    Create();
    Add("apple");
    inventory->panel->PlaceAt(340.0f, 0.0f);
    inventory->open = 1;
    mouse->x = 400.0f;
    mouse->y = 50.0f;
    ClickOn(inventory->cells[0], GUI_EV_MOVE);
    inventory->Update(0.0f);
    EXPECT_EQ(1, inventory->hint->visible);
    EXPECT_TRUE(inventory->hint->text == CGeWString(u"The apple"));
    EXPECT_EQ(455.0f, inventory->hint->X());
    EXPECT_EQ(105.0f, inventory->hint->Y());

    // An empty cell shows nothing; leaving the hovered control hides it.
    ClickOn(inventory->cells[1], GUI_EV_MOVE);
    inventory->Update(0.0f);
    EXPECT_EQ(0, inventory->hint->visible);
    // Over the menu button at the right edge, with a tip too tall to fit
    // below: the menu's text, left of and above the cursor.
    inventory->panel->PlaceAt(680.0f, 0.0f);
    inventory->hint->SetSize(200.0f, 1000.0f);
    mouse->x = 1260.0f;
    mouse->y = 20.0f;
    ClickOn(inventory->menuButton, GUI_EV_MOVE);
    inventory->Update(0.0f);
    EXPECT_EQ(1, inventory->hint->visible);
    EXPECT_EQ(1053.0f, inventory->hint->X()); // 1260 - 7 - 200
    EXPECT_EQ(-985.0f, inventory->hint->Y()); // 20 - 5 - 1000

    // While input is locked the tip is hidden.
    processor.inputLockTime = 1.0f;
    inventory->Update(0.0f);
    EXPECT_EQ(0, inventory->hint->visible);
    processor.inputLockTime = 0.0f;
}

// The location's events carry its whole name, however long.
TEST_F(InventoryTest, EventNamesKeepALongLocationName)
{
    Create();
    const std::string name(300, 'q');
    room.name = name.c_str();
    events->Record({(name + "_on_inventory_open").c_str(), (name + "_on_inventory_close").c_str()});
    inventory->SetOpen(true);
    inventory->SetOpen(false);
    EXPECT_EQ(name + "_on_inventory_open() " + name + "_on_inventory_close()", events->Joined());
}

// Input off greys the panel and everything in it; back on, the cells without
// an item (or without an icon) stay grey.
TEST_F(InventoryTest, InputOffAndOnSetsThePanelsLook)
{
    Create();
    Add("apple");
    inventory->SetActive(false);
    EXPECT_EQ(0, inventory->panel->enabledState);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(0, inventory->cells[i]->enabledState) << i;
        EXPECT_EQ(0, inventory->counts[i]->enabledState) << i;
    }
    inventory->SetActive(true);
    EXPECT_EQ(1, inventory->panel->enabledState);
    EXPECT_EQ(1, inventory->cells[0]->enabledState);
    EXPECT_EQ(0, inventory->cells[1]->enabledState);
    EXPECT_EQ(1, inventory->counts[1]->enabledState);

    // Enabled off hides the panel and its drawing.
    inventory->SetEnabled(false);
    EXPECT_FALSE(inventory->IsEnabled());
    EXPECT_EQ(0, inventory->panel->visible);
    inventory->SetEnabled(true);
    EXPECT_EQ(1, inventory->panel->visible);
}
