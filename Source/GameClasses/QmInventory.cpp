// The inventory: construction over its GUI document, the two item lists and
// the cells, the clicks and mixing, the per-frame slide, tooltip, flight and
// sparks, and the save block.
#include "Source/GameClasses/QmInventory.h"

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeRandom.h"
#include "Engine/Core/Common/GeTextConvert.h"
#include "Engine/Core/Common/GeValue.h"
#include "Engine/Core/Gm/GmImageSet.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Gui/GeMouse.h"
#include "Engine/Gui/GuiBoundFrames.h"
#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiCustom.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiPropertyIds.h"
#include "Engine/Gui/GuiResources.h"
#include "Engine/Gui/GuiTextControl.h"
#include "Engine/Gui/GuiValues.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmScriptProcessor.h"
#include "Source/GameClasses/QmUnifiedCollector.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr float kOpenLine = 50.0f;        // the cursor at or above it opens the strip
constexpr float kSlideSpeed = 750.0f;     // pixels per second
constexpr float kFlightSpeed = 500.0f;    // pixels per second
constexpr float kAwaySeconds = 3.0f;      // away this long, the strip closes
constexpr float kSparkLife = 0.4f;        // seconds a spark shows
constexpr float kSparkRespawn = -0.05f;   // a spent spark's timer
constexpr float kSparkSpeed = 100.0f;

float SparkStart(uint32_t i)
{
    return 0.4f - 0.05f * static_cast<float>(i);
}

CGuiControl* Named(const char* name)
{
    return g_mainControlSet ? g_mainControlSet->FindControl(CGeString(name)) : nullptr;
}

// A control of the panel document, or null with one level-2 line.
CGuiControl* Required(const char* name)
{
    CGuiControl* control = Named(name);
    if (!control)
        GeLog(2, "CQmInventory: the control %s is missing; that part of the inventory is left out\n", name);
    return control;
}

CGuiTextControl* RequiredText(const char* name)
{
    CGuiControl* control = Required(name);
    if (control && control->ControlType() != EGCT_TEXTCONTROL) {
        GeLog(2, "CQmInventory: the control %s is not a text control; that part of the inventory is left out\n",
              name);
        return nullptr;
    }
    return static_cast<CGuiTextControl*>(control);
}

Vec2 Cursor()
{
    return g_mouse ? Vec2{g_mouse->x, g_mouse->y} : Vec2{0.0f, 0.0f};
}

bool InputLocked()
{
    return g_gameProcessor && g_gameProcessor->inputLockTime > 0.0f;
}

void Show(CGuiControl* control, bool shown)
{
    if (control)
        control->visible = shown ? 1 : 0;
}

Vec3 PositionOf(const CGmVisualObject& visual)
{
    const Matrix4& w = visual.frame.world;
    return {w.At(3, 0), w.At(3, 1), w.At(3, 2)};
}

void PlaceSprite(CGmSprite* sprite, float x, float y)
{
    sprite->frame.SetPosition({x, y, 0.0f});
    sprite->frame.UpdateWorldMatrix();
}

} // namespace

// The interface's own bodies --------------------------------------------------

void IQmInventory::HandleMessage(CCiMessageClient*, uint32_t)
{
}

void IQmInventory::StopItemFlight()
{
}

bool IQmInventory::IsPausingGame()
{
    return false;
}

bool IQmInventory::HasSelection() const
{
    return selected != nullptr;
}

IQmInventory* CreateInventory()
{
    g_inventory = new CQmInventory();
    return g_inventory;
}

// Construction ------------------------------------------------------------------

CQmInventory::CQmInventory()
{
    for (uint32_t i = 0; i < kSparks; ++i)
        sparkTimers[i] = SparkStart(i);

    CGuiResources::Load(g_dataRoot + "Inventory/addon.xml", 1);
    const CGeString document = g_dataRoot + "inventory/inventory.xml";
    if (g_guiManager)
        CGuiBoundFrames::LoadCollection(document.c_str(), g_guiManager->frameSets);
    if (g_mainControlSet)
        g_mainControlSet->LoadFromFile(document);

    panel = Required("inventory");
    char name[16];
    for (uint32_t i = 0; i < kCells; ++i) {
        snprintf(name, sizeof(name), "custom%02u", i);
        CGuiControl* cell = Required(name);
        if (cell && cell->ControlType() != EGCT_CUSTOM) {
            GeLog(2, "CQmInventory: the cell %s is not a custom control; it is left out\n", name);
            cell = nullptr;
        }
        cells[i] = cell;
        snprintf(name, sizeof(name), "count%02u", i);
        counts[i] = RequiredText(name);
    }
    hint = RequiredText("hint");
    menuButton = Required("but_menu");
    screenControl = Named("_main_screen_ctrl");

    Show(hint, false);
    if (panel)
        panel->PlaceAt((static_cast<float>(g_referenceScreenSize[0]) - panel->width) * 0.5f, -panel->height);

    if (const CGmImageSet* schema = CGuiResources::FindSpriteSchema(CGeString("void_sh"))) {
        cursorIcon = new CGmSprite(*schema);
        flightSprite = new CGmSprite(*schema);
    } else {
        GeLog(2, "CQmInventory: the sprite schema void_sh is missing; items are not shown on the cursor\n");
    }

    bool found = false;
    CGmTexture* texture = rescollect::LoadTexture(g_dataRoot + "psystextures/boom_p0.dds", false, &found);
    CGmImageSet sparkImages;
    if (texture) {
        sparkImages.Init(texture, 1, 1);
        texture->Release();
    }
    for (uint32_t i = 0; i < kSparks; ++i) {
        CGmSprite* spark = new CGmSprite(sparkImages);
        spark->SetBlendMode(2);
        spark->SetAlpha(spark->alpha);
        PlaceSprite(spark, 0.0f, 0.0f);
        spark->visible = 0;
        sparks[i] = spark;
    }
    // Empty cells show no count from the start.
    RefreshCells();
}

CQmInventory::~CQmInventory()
{
    // The item icons belong to the catalogue: take them off the cells.
    for (CGuiControl* cell : cells)
        if (cell)
            static_cast<CGuiCustom*>(cell)->DetachVisual();
    delete cursorIcon;
    delete flightSprite;
    for (CGmSprite*& spark : sparks) {
        delete spark;
        spark = nullptr;
    }
    if (g_inventory == this)
        g_inventory = nullptr;
}

// The lists --------------------------------------------------------------------

void CQmInventory::Insert(CGePoolList<CQmInventoryItem*>& list, CQmInventoryItem* item, const CGeString& where)
{
    if (where == "end") {
        list.PushBack(item);
        return;
    }
    if (where.IsEmpty() || !list.head) {
        list.InsertAfter(nullptr, item);
        return;
    }
    for (auto* node = list.head; node; node = node->next)
        if (node->value->name == where) {
            list.InsertAfter(node, item);
            return;
        }
    list.PushBack(item);
}

void CQmInventory::AddItem(CQmInventoryItem* item, float x, float y, const CGeString& where)
{
    if (!item || items.Find(items.head, items.tail, item))
        return;
    const bool positioned = !(x == kQmInventoryNoPosition && y == kQmInventoryNoPosition);
    if (!open && positioned)
        SetOpen(true);
    Insert(items, item, where);
    Insert(display, item, where);
    RefreshCells();
    if (!positioned)
        return;
    flightTarget = item->sprite;
    flyingItem = item;
    if (flightSprite && item->sprite) {
        CopyItemVisual(flightSprite, item->sprite);
        PlaceSprite(flightSprite, x, y);
        flightSprite->Update();
    }
    if (item->sprite)
        item->sprite->visible = 0;
    ResetSparks();
}

void CQmInventory::AddItemDefault(CQmInventoryItem* item, const CGeString& where)
{
    AddItem(item, kQmInventoryNoPosition, kQmInventoryNoPosition, where);
}

void CQmInventory::Unselect()
{
    selected = nullptr;
}

void CQmInventory::RemoveItem(const char* name)
{
    if (!name)
        return;
    for (auto* node = display.head; node; node = node->next)
        if (node->value->name == name) {
            display.Remove(node);
            break;
        }
    for (auto* node = items.head; node; node = node->next)
        if (node->value->name == name) {
            if (node->value == selected)
                Unselect();
            if (node->value == flyingItem)
                StopItemFlight();
            items.Remove(node);
            break;
        }
    RefreshCells();
}

void CQmInventory::Clear()
{
    StopItemFlight();
    display.Destroy();
    items.Destroy();
    open = 0;
    RefreshCells();
}

CQmInventoryItem* CQmInventory::FindItem(const CGeString& name)
{
    for (auto* node = items.head; node; node = node->next)
        if (node->value->name == name)
            return node->value;
    return nullptr;
}

CQmInventoryItem* CQmInventory::DisplayedAt(uint32_t position) const
{
    auto* node = display.head;
    for (uint32_t i = 0; node && i < position; ++i)
        node = node->next;
    return node ? node->value : nullptr;
}

int32_t CQmInventory::CellOf(const CGuiControl* control) const
{
    for (uint32_t i = 0; i < kCells; ++i)
        if (control && cells[i] == control)
            return static_cast<int32_t>(i);
    return -1;
}

// Opening, look and cells ---------------------------------------------------------

void CQmInventory::FireLocationEvent(const char* suffix, const CGeValue* args, uint32_t count)
{
    if (!g_locationManager || !g_locationManager->current)
        return;
    CGeString event = g_locationManager->current->name;
    event.Append(suffix);
    ScriptCallFunction(event.c_str(), args, count, true);
}

void CQmInventory::SetOpen(bool value)
{
    if ((open != 0) == value)
        return;
    open = value ? 1 : 0;
    FireLocationEvent(value ? "_on_inventory_open" : "_on_inventory_close", nullptr, 0);
    if (value)
        awayTime = 0.0f;
}

bool CQmInventory::CanHide()
{
    return !flightTarget && Cursor().y > kOpenLine;
}

void CQmInventory::SetActive(bool value)
{
    if ((active != 0) == value)
        return;
    active = value ? 1 : 0;
    if (panel) {
        panel->SetVisualState(active);
        panel->SetStateRecursive(active);
    }
    if (!active)
        return;
    auto* node = display.head;
    for (CGuiControl* cell : cells) {
        CQmInventoryItem* item = node ? node->value : nullptr;
        if (node)
            node = node->next;
        if (cell && !(item && item->sprite))
            cell->SetVisualState(0);
    }
}

void CQmInventory::SetEnabled(bool value)
{
    enabled = value ? 1 : 0;
    Show(panel, value);
}

void CQmInventory::RefreshCells()
{
    for (CGuiControl* cell : cells)
        if (cell)
            static_cast<CGuiCustom*>(cell)->DetachVisual();
    auto* node = display.head;
    for (uint32_t i = 0; i < kCells; ++i) {
        CQmInventoryItem* item = node ? node->value : nullptr;
        if (node)
            node = node->next;
        CGuiCustom* cell = static_cast<CGuiCustom*>(cells[i]);
        if (!item) {
            if (cell)
                cell->SetVisualState(0);
            Show(counts[i], false);
            continue;
        }
        if (cell) {
            cell->SetProperty(EP_CursorType, GuiMakeUInt(static_cast<uint32_t>(item->cursorType)), true);
            cell->SetVisualState(1);
            if (CGmVisual2D* icon = item->sprite) {
                cell->AttachVisual(icon);
                const Vec2 hot = icon->hotPoints.Count() ? icon->hotPoints[0] : Vec2{0.0f, 0.0f};
                icon->frame.SetPosition({hot.x + (cell->width - icon->size[0]) * 0.5f,
                                         hot.y + (cell->height - icon->size[1]) * 0.5f, 0.0f});
                icon->frame.UpdateWorldMatrix();
            }
        }
        if (!counts[i])
            continue;
        if (item->value < 2) {
            Show(counts[i], false);
        } else {
            char text[16];
            snprintf(text, sizeof(text), "%d", item->value);
            counts[i]->SetText(Utf8StringToWide(CGeString(text)));
            Show(counts[i], true);
        }
    }
}

// Input ------------------------------------------------------------------------------

void CQmInventory::HandleMessage(CCiMessageClient* sender, uint32_t code)
{
    if (!sender || !g_guiManager || g_guiManager->currentSet != g_mainControlSet || !g_mainControlSet)
        return;
    if (sender->GetTypeId() >> 16 != GUI_CONTROL_CATEGORY)
        return;
    CGuiControl* control = static_cast<CGuiControl*>(sender);
    if (code == GUI_EV_MOVE) {
        hovered = control;
        return;
    }
    if (code == GUI_EV_LEAVE) {
        hovered = nullptr;
        return;
    }
    if (code != GUI_EV_CLICK && code != GUI_EV_DOUBLE_CLICK)
        return;
    if (control == screenControl || control->name == "_main_screen_ctrl")
        return;
    hovered = nullptr;
    if (menuButton && control == menuButton) {
        if (g_gameProcessor)
            g_gameProcessor->OpenMenu(0);
        return;
    }
    const int32_t cell = CellOf(control);
    if (cell < 0)
        return;
    CQmInventoryItem* clicked = DisplayedAt(static_cast<uint32_t>(cell));
    if (clicked == flyingItem)
        clicked = nullptr;

    if (selected && clicked) {
        CGeValue args[3] = {CGeValue(selected->name), CGeValue(clicked->name), CGeValue()};
        ScriptCallFunction("global_test_mix_invitems", args, 2, true);
        const char* answer = ScriptTakeReturnValue();
        if (answer && std::strcmp(answer, "true") == 0) {
            uint32_t count = 2;
            for (auto* node = items.head; node; node = node->next)
                if (node->value == clicked && node->prev) {
                    args[2] = CGeValue(node->prev->value->name);
                    count = 3;
                    break;
                }
            ScriptCallFunction("global_mix_invitems", args, count, true);
        }
        Unselect();
        return;
    }
    Unselect();
    if (!clicked)
        return;
    if (clicked->managedByScript) {
        const CGeValue name(clicked->name);
        ScriptCallFunction("global_on_invitem_click", &name, 1, true);
        return;
    }
    selected = clicked;
    if (cursorIcon && clicked->sprite) {
        CopyItemVisual(cursorIcon, clicked->sprite);
        const Vec2 cursor = Cursor();
        PlaceSprite(cursorIcon, cursor.x, cursor.y);
    }
}

// The frame ---------------------------------------------------------------------------

void CQmInventory::PlaceHint(float cursorX, float cursorY)
{
    float x = cursorX + 55.0f, y = cursorY + 55.0f;
    if (x + hint->width > static_cast<float>(g_referenceScreenSize[0]))
        x = cursorX - 7.0f - hint->width;
    if (y + hint->height > static_cast<float>(g_referenceScreenSize[1]))
        y = cursorY - 5.0f - hint->height;
    hint->PlaceAt(x, y);
}

void CQmInventory::Update(float dt)
{
    if (!g_locationManager || !g_locationManager->current)
        return;
    const Vec2 cursor = Cursor();

    // 1. The tooltip over the open strip.
    if (open && !selected && panel && hint && panel->HitTest(cursor.x, cursor.y)) {
        Show(hint, false);
        const int32_t cell = CellOf(hovered);
        CQmInventoryItem* item = cell >= 0 ? DisplayedAt(static_cast<uint32_t>(cell)) : nullptr;
        if (item && item != flyingItem) {
            hint->SetText(item->text);
            Show(hint, true);
        } else if (hovered && hovered == menuButton) {
            hint->SetText(CQmUnifiedCollector::GetString("main_menu"));
            Show(hint, true);
        }
        PlaceHint(cursor.x, cursor.y);
    }

    // 2. The slide.
    if (panel) {
        float y = panel->Y() + (open ? dt * kSlideSpeed : -dt * kSlideSpeed);
        y = y < -panel->height ? -panel->height : (y > 0.0f ? 0.0f : y);
        panel->PlaceAt(panel->X(), y);
    }

    // 3. The hovered control left behind.
    if (hovered && !hovered->HitTestDeep(cursor.x, cursor.y)) {
        hovered = nullptr;
        Show(hint, false);
    }

    // 4. No tooltip while input is locked.
    if (InputLocked())
        Show(hint, false);

    // 5 and 6. The flight and the sparks.
    if (flightTarget)
        StepFlight(dt);
    StepSparks(dt);

    // 7 and 8. Opening and closing by the cursor.
    if (!open) {
        if (cursor.y <= kOpenLine && !InputLocked())
            SetOpen(true);
    } else {
        const bool away = cursor.y > kOpenLine && !(panel && panel->HitTest(cursor.x, cursor.y));
        awayTime = away ? awayTime + dt : 0.0f;
        if (awayTime >= kAwaySeconds)
            SetOpen(false);
    }
}

void CQmInventory::StepFlight(float dt)
{
    flightTarget->frame.UpdateWorldMatrix(); // the cell may have moved with the strip
    const Vec3 target = PositionOf(*flightTarget);
    const Vec3 from = flightSprite ? flightSprite->frame.position : target;
    Vec3 d = {target.x - from.x, target.y - from.y, target.z - from.z};
    const float length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    const float step = dt * kFlightSpeed;
    if (length <= step) {
        flightTarget->visible = 1;
        flightTarget = nullptr;
        if (flyingItem) {
            const CGeValue name(flyingItem->name);
            flyingItem = nullptr;
            FireLocationEvent("_on_inventory_item_add", &name, 1);
        }
    } else if (flightSprite) {
        flightSprite->frame.SetPosition(
            {from.x + d.x / length * step, from.y + d.y / length * step, from.z + d.z / length * step});
        flightSprite->Update();
    }
    // Sparks whose timer crosses zero this frame start at the flight sprite.
    const Vec3 at = flightSprite ? flightSprite->frame.position : target;
    for (uint32_t i = 0; i < kSparks; ++i) {
        const float t = sparkTimers[i];
        if (!(t < 0.0f && t + dt >= 0.0f))
            continue;
        const float a = static_cast<float>(GeRand() % 4096) / 4096.0f - 0.5f;
        const float c = std::cos(a), s = std::sin(a);
        Vec3 v = {d.x * c - d.y * s, d.x * s + d.y * c, d.z};
        const float n = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
        if (n > 0.0f)
            v = {v.x / n, v.y / n, v.z / n};
        sparkVelocities[i] = {-kSparkSpeed * v.x, -kSparkSpeed * v.y, -kSparkSpeed * v.z};
        sparks[i]->visible = 1;
        sparks[i]->frame.SetPosition(at);
    }
}

void CQmInventory::StepSparks(float dt)
{
    for (uint32_t i = 0; i < kSparks; ++i) {
        CGmSprite* spark = sparks[i];
        float& t = sparkTimers[i];
        t += dt;
        if (t > kSparkLife) {
            spark->visible = 0;
            t = kSparkRespawn;
            continue;
        }
        float alpha = (1.0f - t / kSparkLife) * 255.0f;
        alpha = alpha < 0.0f ? 0.0f : (alpha > 255.0f ? 255.0f : alpha);
        spark->SetAlpha(static_cast<uint8_t>(alpha));
        Vec3 angles = spark->frame.angles;
        angles.z += dt;
        spark->frame.SetAngles(angles);
        const Vec3 p = spark->frame.position;
        const Vec3& v = sparkVelocities[i];
        spark->frame.SetPosition({p.x + v.x * dt, p.y + v.y * dt, p.z + v.z * dt});
        spark->Update();
    }
}

void CQmInventory::ResetSparks()
{
    for (uint32_t i = 0; i < kSparks; ++i) {
        sparks[i]->visible = 0;
        sparkTimers[i] = SparkStart(i);
    }
}

void CQmInventory::Draw()
{
    if (!enabled)
        return;
    if (selected && cursorIcon) {
        const Vec2 cursor = Cursor();
        PlaceSprite(cursorIcon, cursor.x, cursor.y);
        cursorIcon->Update();
        cursorIcon->Render();
    }
    if (flightTarget && flightSprite)
        flightSprite->Render();
    for (CGmSprite* spark : sparks)
        if (spark->visible)
            spark->Render();
}

void CQmInventory::StopItemFlight()
{
    if (!flightTarget)
        return;
    flightTarget->visible = 1;
    flightTarget = nullptr;
    flyingItem = nullptr;
}

void CQmInventory::CopyItemVisual(CGmSprite* target, const CGmVisual2D* source)
{
    if (!target || !source)
        return;
    target->CGmVisual2D::CopyFrom(*source);
    target->visible = 1;
    if (target->frame.parent)
        CGeFrame3D::DetachChild(&target->frame, target->frame.parent);
}

// The save block ---------------------------------------------------------------------

uint32_t CQmInventory::Save(uint8_t** data)
{
    CGeArray<uint8_t> bytes;
    for (auto* node = items.head; node; node = node->next) {
        const CGeString& name = node->value->name;
        for (uint32_t i = 0; i < name.Length(); ++i)
            bytes.Add(static_cast<uint8_t>(name.c_str()[i]));
        bytes.Add(0);
        const uint32_t value = static_cast<uint32_t>(node->value->value);
        for (int shift = 0; shift < 32; shift += 8)
            bytes.Add(static_cast<uint8_t>(value >> shift));
    }
    if (bytes.Count() == 0) {
        *data = nullptr;
        return 0;
    }
    *data = static_cast<uint8_t*>(malloc(bytes.Count()));
    memcpy(*data, &bytes[0], bytes.Count());
    return bytes.Count();
}

void CQmInventory::Load(const uint8_t* data, uint32_t size)
{
    Clear();
    if (!data || size == 0)
        return;
    uint32_t at = 0;
    while (at < size) {
        const void* zero = memchr(data + at, 0, size - at);
        const uint32_t end = zero ? static_cast<uint32_t>(static_cast<const uint8_t*>(zero) - data) : size;
        if (!zero || size - end - 1 < 4) {
            GeLog(1, "CQmInventory : Loading from save. The record at byte %u is cut short; the rest is skipped\n",
                  at);
            break;
        }
        const CGeString name(reinterpret_cast<const char*>(data + at));
        const uint8_t* v = data + end + 1;
        const uint32_t value = uint32_t(v[0]) | uint32_t(v[1]) << 8 | uint32_t(v[2]) << 16 | uint32_t(v[3]) << 24;
        if (CQmInventoryItem* item = CQmUnifiedCollector::FindItem(name.c_str())) {
            AddItemDefault(item, CGeString("end"));
            item->value = static_cast<int32_t>(value);
        } else {
            GeLog(2, "CQmUnifiedCollector::GetInventoryItem: cannot find item %s !\n", name.c_str());
            GeLog(1, "CQmInventory : Loading from save. Can't find item %s\n", name.c_str());
        }
        at = end + 1 + 4;
    }
    RefreshCells();
}
