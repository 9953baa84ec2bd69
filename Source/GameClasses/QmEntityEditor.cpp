#include "Source/GameClasses/QmEntityEditor.h"

#include "Engine/Core/Common/GeFormat.h"
#include "Engine/Gui/GeKeyboard.h"
#include "Engine/Gui/GuiManager.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmInputCodes.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmPropActor.h"
#include "Source/GameClasses/QmPropAllocatorList.h"

namespace {

// Keys only the editor reads.
enum : uint32_t {
    kKeyH = 0x48,
    kKeyPad1 = 0x61,
    kKeyPad5 = 0x65,
    kKeyPadPlus = 0x6B,
    kKeyPadMinus = 0x6D,
};

constexpr float kPi = 3.14159265358979f;

CQmPropAllocatorList* AllocatorsOf(CQmEntity* entity)
{
    return entity ? entity->Prop<CQmPropAllocatorList>(QM_PROP_ALLOCATOR_LIST) : nullptr;
}

float Degrees(float radians)
{
    return radians / kPi * 180.0f;
}

float& Component(Vec3& v, uint32_t axis)
{
    return axis == 0 ? v.x : (axis == 1 ? v.y : v.z);
}

const char16_t* const kModeLines[] = {
    u"&0xFFFFFF00 Edit Mode : none            &0xFFFFFFFF\n",
    u"&0xFFFFFF00 Edit Mode : Change position &0xFFFFFFFF\n",
    u"&0xFFFFFF00 Edit Mode : Rotate          &0xFFFFFFFF\n",
    u"&0xFFFFFF00 Edit Mode : Edit IA zone    &0xFFFFFFFF\n",
    u"&0xFFFFFF00 Edit Mode : Edit collider   &0xFFFFFFFF\n",
    u"&0xFFFFFF00 Edit Mode : Edit allocator  &0xFFFFFFFF\n",
};

const char16_t kHelp[] = u"&0xFFFFFF00 On-place entity editor help:&0xFFFFFFFF\n"
                         u"&0xFFFFFF00 Key left , Key Right : Change X axis &0xFFFFFFFF\n"
                         u"&0xFFFFFF00 Key up, Key Down : Change Z axis &0xFFFFFFFF\n"
                         u"&0xFFFFFF00 Key A, Key Z : Change Y axis &0xFFFFFFFF\n"
                         u"&0xFFFFFF00 Shift : Changes more quickly(Changes Rotation in Allocator Mode) &0xFFFFFFFF\n"
                         u"&0xFFFFFF00 Key +, Key - : Scrolls allocators(if any) &0xFFFFFFFF\n";

const char16_t kTitle[] = u"&0xFFFFFF00 On-place entity editor. Hit <H> key for help.&0xFFFFFFFF\n";

const char16_t kEntityBlock[] = u"&0xFFFFFF00 ----------------------&0xFFFFFFFF\n"
                                u"&0xFFFFFF00 Name: &0xFFFFFFFF %S\n"
                                u"&0xFFFFFF00 PosX: &0xFFFFFFFF %.03f\n"
                                u"&0xFFFFFF00 PosY: &0xFFFFFFFF %.03f\n"
                                u"&0xFFFFFF00 PosZ: &0xFFFFFFFF %.03f\n"
                                u"&0xFFFFFF00 ----------------------&0xFFFFFFFF\n"
                                u"&0xFFFFFF00 RotX: &0xFFFFFFFF %.03f\n"
                                u"&0xFFFFFF00 RotY: &0xFFFFFFFF %.03f\n"
                                u"&0xFFFFFF00 RotZ: &0xFFFFFFFF %.03f\n";

const char16_t kZoneBlock[] = u"&0xFFFFFF00 ----------------------&0xFFFFFFFF\n"
                              u"&0xFFFFFF00 iaZoneX: &0xFFFFFFFF %.03f\n"
                              u"&0xFFFFFF00 iaZoneY: &0xFFFFFFFF %.03f\n"
                              u"&0xFFFFFF00 iaZoneZ: &0xFFFFFFFF %.03f\n"
                              u"&0xFFFFFF00 iaZoneRadius: &0xFFFFFFFF %.03f\n";

const char16_t kAllocatorBlock[] = u"&0xFFFFFF00 ----------------------&0xFFFFFFFF\n"
                                   u"&0xFFFFFF00 AllocatorX: &0xFFFFFFFF %.03f\n"
                                   u"&0xFFFFFF00 AllocatorY: &0xFFFFFFFF %.03f\n"
                                   u"&0xFFFFFF00 AllocatorZ: &0xFFFFFFFF %.03f\n"
                                   u"&0xFFFFFF00 AllocRotX: &0xFFFFFFFF %.03f\n"
                                   u"&0xFFFFFF00 AllocRotY: &0xFFFFFFFF %.03f\n"
                                   u"&0xFFFFFF00 AllocRotZ: &0xFFFFFFFF %.03f\n"
                                   u"&0xFFFFFF00 Allocator Name: &0xFFFFFFFF %S\n";

} // namespace

void CQmEntityEditor::Select(CQmEntity* entity)
{
    if (!entity) {
        Forget();
        return;
    }
    selected = entity;
    selectedName = entity->name;
    selectedIn = g_locationManager ? g_locationManager->current : nullptr;
    allocatorAngles = {0.0f, 0.0f, 0.0f};
    allocatorName.Release();
    if (CQmPropAllocatorList* list = AllocatorsOf(entity))
        if (list->allocators.first)
            allocatorName = list->allocators.first->key;
    enabled = true;
}

void CQmEntityEditor::Forget()
{
    selected = nullptr;
    selectedName.Release();
    selectedIn = nullptr;
    allocatorName.Release();
    enabled = false;
}

CQmEntity* CQmEntityEditor::Selected()
{
    if (!selected)
        return nullptr;
    CQmLocation* location = g_locationManager ? g_locationManager->current : nullptr;
    // The pointer is compared, never followed, until the location vouches
    // for it.
    if (!location || location != selectedIn || location->FindEntity(selectedName.c_str()) != selected) {
        Forget();
        return nullptr;
    }
    return selected;
}

CQmAllocator* CQmEntityEditor::CurrentAllocator()
{
    CQmPropAllocatorList* list = AllocatorsOf(Selected());
    return list && !allocatorName.IsEmpty() ? list->Find(allocatorName.c_str()) : nullptr;
}

void CQmEntityEditor::HandleMessage(CCiMessageClient* sender, uint32_t code)
{
    if (!enabled || code != QM_MSG_KEY_DOWN || !g_keyboard || sender != g_keyboard)
        return;
    if (!Selected())
        return;
    const uint32_t key = g_keyboard->lastPressedKey;
    const bool shift = g_keyboard->IsShiftDown();
    const bool allocatorMode = mode == MODE_ALLOCATOR;
    if (key >= kKeyPad1 && key <= kKeyPad5) {
        mode = int32_t(key - kKeyPad1) + MODE_POSITION;
    } else if (key == kKeyH) {
        helpShown = !helpShown;
    } else if (key == QM_VK_LEFT || key == QM_VK_RIGHT) {
        ChangeAxis(0, key == QM_VK_RIGHT ? 1.0f : -1.0f, shift);
    } else if (key == QM_VK_UP || key == QM_VK_DOWN) {
        ChangeAxis(allocatorMode ? 1 : 2, key == QM_VK_UP ? 1.0f : -1.0f, shift);
    } else if (key == QM_VK_A || key == QM_VK_Z) {
        ChangeAxis(allocatorMode ? 2 : 1, key == QM_VK_A ? 1.0f : -1.0f, shift);
    } else if ((key == kKeyPadPlus || key == kKeyPadMinus) && allocatorMode) {
        StepAllocator(key == kKeyPadPlus);
    }
}

void CQmEntityEditor::ChangeAxis(uint32_t axis, float direction, bool shift)
{
    CQmEntity* entity = selected;
    if (mode == MODE_POSITION) {
        Vec3 position = entity->frame.position;
        Component(position, axis) += direction * (shift ? kPositionFastStep : kPositionStep);
        entity->frame.SetPosition(position);
        entity->frame.Invalidate();
    } else if (mode == MODE_ROTATE) {
        Vec3 angles = entity->frame.angles;
        Component(angles, axis) += direction * (shift ? kAngleFastStep : kAngleStep);
        entity->frame.SetAngles(angles);
        entity->frame.Invalidate();
    } else if (mode == MODE_ALLOCATOR) {
        CQmAllocator* allocator = CurrentAllocator();
        if (!allocator)
            return;
        Vec3 position = {allocator->offset.At(0, 3), allocator->offset.At(1, 3), allocator->offset.At(2, 3)};
        if (shift)
            Component(allocatorAngles, axis) += direction * kAllocatorAngleStep;
        else
            Component(position, axis) += direction * kPositionStep;
        allocator->SetTransform(position, allocatorAngles);
    }
}

void CQmEntityEditor::StepAllocator(bool forward)
{
    CQmPropAllocatorList* list = AllocatorsOf(selected);
    if (!list || allocatorName.IsEmpty())
        return;
    auto* node = list->allocators.Find(allocatorName);
    if (!node)
        return;
    if (forward) {
        if (auto* next = list->allocators.Next(node))
            allocatorName = next->key;
        return;
    }
    // The map walks forwards only: the previous one is the last before it.
    decltype(node) previous = nullptr;
    for (auto* walk = list->allocators.first; walk && walk != node; walk = list->allocators.Next(walk))
        previous = walk;
    if (previous)
        allocatorName = previous->key;
}

CGeWString CQmEntityEditor::GetStatusText()
{
    CQmEntity* entity = Selected();
    if (!entity)
        return CGeWString();
    if (helpShown)
        return CGeWString(kHelp);

    CGeWString text(kTitle);
    if (mode >= MODE_NONE && mode <= MODE_ALLOCATOR)
        text.Append(kModeLines[mode]);
    const Vec3& p = entity->frame.position;
    const Vec3& r = entity->frame.angles;
    text += FormatWideString(kEntityBlock, entity->name.c_str(), (double)p.x, (double)p.y, (double)p.z,
                             (double)Degrees(r.x), (double)Degrees(r.y), (double)Degrees(r.z));
    if (CQmPropActor* actor = entity->Prop<CQmPropActor>(QM_PROP_ACTOR)) {
        const QmIaZone zone = actor->GetInteractionZone();
        text += FormatWideString(kZoneBlock, (double)zone.centre.x, (double)zone.centre.y, (double)zone.centre.z,
                                 (double)zone.radius);
    }
    if (CQmAllocator* allocator = CurrentAllocator()) {
        text += FormatWideString(kAllocatorBlock, (double)allocator->offset.At(0, 3),
                                 (double)allocator->offset.At(1, 3), (double)allocator->offset.At(2, 3),
                                 (double)allocatorAngles.x, (double)allocatorAngles.y, (double)allocatorAngles.z,
                                 allocatorName.c_str());
    }
    return text;
}
