// The player's hand on the location: which entity lies under the mouse, what
// a left click does (close a document, feed a dialog, walk the hero, start
// his interaction with an actor), the cursor shape, the hint beside the
// cursor, overlay documents, the input lock and the hero himself. All of it
// works on the game processor's fields and runs inside its update.
//
// Mouse positions are in reference-screen units; dividing them by the 2D
// scale factors gives back-buffer pixels, which are the pixels of the camera
// and of the background pictures.
//
// Choices:
// - The hero's actor is dropped (and found again by the next update) when
//   his entity leaves the game; so is the actor whose hint is shown.
// - The turned "Portal" cursor keeps its angle until a portal turns it
//   again: no other cursor shape is drawn turned.
#include "Source/GameClasses/QmGameProcessor.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeValue.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Core/Gm/GmVisual2D.h"
#include "Engine/Gui/GeCursorSet.h"
#include "Engine/Gui/GeMouse.h"
#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiFrameLink.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiPropertyIds.h"
#include "Source/GameClasses/QmBackGround.h"
#include "Source/GameClasses/QmBaseArcade.h"
#include "Source/GameClasses/QmDialogSystem.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmInventory.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmPropActor.h"
#include "Source/GameClasses/QmPropCollider.h"
#include "Source/GameClasses/QmPropMotionController.h"
#include "Source/GameClasses/QmPuzzleManager.h"
#include "Source/GameClasses/QmScriptProcessor.h"

#include <cmath>

namespace {

// Cursor shapes of the start-up's cursor list.
enum : uint32_t {
    kCursorHidden = 0,
    kCursorDefault = 1,
    kCursorGrabbing = 14,
    kCursorGrab = 15,
    kCursorGrabHighlight = 16,
    kCursorTalk = 17,
    kCursorLook = 18,
    kCursorPortal = 19,
};

const float kPi = 3.14159265f;

CQmLocation* CurrentLocation()
{
    return g_locationManager ? g_locationManager->current : nullptr;
}

bool ItemHeld()
{
    return g_inventory && g_inventory->HasSelection();
}

bool DialogRefusesClicks()
{
    return g_dialogSystem && g_dialogSystem->IsActive() && !g_dialogSystem->IsLastSentence();
}

// The mouse in back-buffer pixels.
bool MousePixel(float& x, float& y)
{
    if (!g_mouse)
        return false;
    const float* scale = g_gm2dScale[CGeHub::s_currentSlot];
    x = scale[0] != 0.0f ? g_mouse->x / scale[0] : g_mouse->x;
    y = scale[1] != 0.0f ? g_mouse->y / scale[1] : g_mouse->y;
    return true;
}

Vec3 CameraEye(const CGmCamera& camera)
{
    if (camera.viewMode == 1)
        return camera.eye;
    const Matrix4& world = camera.frame.world;
    return Vec3{world.At(0, 3), world.At(1, 3), world.At(2, 3)};
}

CQmPropActor* EnabledActor(const CQmEntity* entity)
{
    auto* actor = entity ? entity->Prop<CQmPropActor>(QM_PROP_ACTOR) : nullptr;
    return actor && actor->enabled ? actor : nullptr;
}

// The hint placed at (x, y) beside the mouse, moved to the mouse's other
// side where it would leave the reference screen.
void PlaceHint(CGuiControl& hint, float x, float y)
{
    const float mouseX = g_mouse ? g_mouse->x : 0.0f;
    const float mouseY = g_mouse ? g_mouse->y : 0.0f;
    if (x + hint.width > float(g_referenceScreenSize[0]))
        x = mouseX - 7.0f - hint.width;
    if (y + hint.height > float(g_referenceScreenSize[1]))
        y = mouseY - 5.0f - hint.height;
    hint.SetPosition(x, y);
}

// The "Portal" cursor turned in the screen plane toward the portal's
// direction as the current camera sees it.
void TurnPortalCursor(const CQmPropActor& actor)
{
    CGmSprite* sprite = g_cursors ? g_cursors->GetCursorSprite(kCursorPortal) : nullptr;
    const CGmCamera* camera = CGeHub::s_cameras3d[CGeHub::s_currentSlot];
    if (!sprite || !camera)
        return;
    Vec3 direction = actor.GetInteractionZone().portalDir;
    if (direction.x * direction.x + direction.y * direction.y + direction.z * direction.z <=
        CQmPropActor::kZeroVector)
        direction = Vec3{1.0f, 0.0f, 0.0f};
    Vec3 seen = MatrixTransformNormal(camera->view, direction);
    seen.z = 0.0f;
    const float length = std::sqrt(seen.x * seen.x + seen.y * seen.y);
    if (length > 0.0f) {
        seen.x /= length;
        seen.y /= length;
    }
    const float x = seen.x < -1.0f ? -1.0f : (seen.x > 1.0f ? 1.0f : seen.x);
    const float sign = seen.y >= 0.0f ? 1.0f : -1.0f;
    sprite->frame.SetAngles(Vec3{0.0f, 0.0f, kPi - sign * std::acos(x)});
}

} // namespace

CQmEntity* CQmGameProcessor::GetSelectedEntity(Vec3* hitPoint) const
{
    CQmLocation* location = CurrentLocation();
    const CGmCamera* camera = location ? location->ActiveCamera() : nullptr;
    float x = 0.0f, y = 0.0f;
    if (!camera || !MousePixel(x, y))
        return nullptr;
    return PickColliderEntity(CameraEye(*camera), camera->ScreenToRay(x, y), hitPoint);
}

void CQmGameProcessor::OnLocationClick()
{
    clickPending = 0;
    if (document) {
        CQmLocation* location = CurrentLocation();
        if (!location)
            return;
        const CGeString event = location->name + "_document_close";
        CGeValue argument(document->name);
        ScriptCallFunction(event.c_str(), &argument, 1, true);
        inputLockTime = 0.0f;
        document = nullptr;
        if (g_inventory)
            g_inventory->SetActive(true);
        UpdateCursor();
        return;
    }
    if (IsTimerRunning())
        return;
    if (g_dialogSystem && g_dialogSystem->IsActive()) {
        if (!g_dialogSystem->IsLastSentence())
            return;
        g_dialogSystem->SkipSentence();
        if (IsTimerRunning())
            return;
    }
    CQmEntity* entity = GetSelectedEntity();
    CQmPropActor* clicked = EnabledActor(entity);
    if (!clicked || (hero && entity == hero->owner && !ItemHeld())) {
        OnCantWalk();
        return;
    }
    if (hero)
        hero->InitiateInteraction(entity, clicked->permittedAction, doubleClick != 0);
}

bool CQmGameProcessor::PickBackgroundPoint(Vec3& point) const
{
    CQmLocation* location = CurrentLocation();
    const CQmBackGround* background = location ? location->ActiveBackground() : nullptr;
    float x = 0.0f, y = 0.0f;
    return background && MousePixel(x, y) && background->HitTest(x, y) && background->PickPoint(x, y, point);
}

void CQmGameProcessor::OnCantWalk()
{
    if (!hero || ItemHeld())
        return;
    Vec3 point = {0.0f, 0.0f, 0.0f};
    if (!PickBackgroundPoint(point))
        return;
    if (hero->DispatchTo(point, Vec3{0.0f, 0.0f, 0.0f}, false, doubleClick != 0))
        return;
    // The location may have changed under a script the walk started.
    if (CQmLocation* current = CurrentLocation()) {
        const CGeString event = current->name + "_cant_walk";
        ScriptCallFunction(event.c_str(), nullptr, 0, true);
    }
}

void CQmGameProcessor::UpdateCursor()
{
    CQmLocation* location = CurrentLocation();
    if (IsTimerRunning() || (currentArcade && currentArcade->active) ||
        (location && location->PlaysFullScreenAnimOrVideo())) {
        GuiCursorShow(g_cursors, kCursorHidden);
        return;
    }
    if (DialogRefusesClicks()) {
        GuiCursorShow(g_cursors, kCursorDefault);
        return;
    }
    if (g_puzzleManager && g_puzzleManager->HasPuzzle()) {
        // The puzzle's controls show their own cursors (the GUI set them on
        // the mouse's way in); only the tasks move on.
        g_puzzleManager->Update();
        cursorRefreshPending = 0;
        return;
    }
    const bool held = ItemHeld();
    const CQmPropActor* actor = EnabledActor(GetSelectedEntity());
    uint32_t cursor = held ? kCursorGrab : kCursorDefault;
    if (actor) {
        switch (actor->permittedAction) {
        case QM_ACTION_USE:
            // A click on the hero himself walks: his own action counts as none.
            if (actor != hero || held)
                cursor = kCursorGrabbing;
            break;
        case QM_ACTION_TALK:
            cursor = kCursorTalk;
            break;
        case QM_ACTION_PORTAL:
            cursor = kCursorPortal;
            TurnPortalCursor(*actor);
            break;
        case QM_ACTION_LOOK:
            cursor = kCursorLook;
            break;
        default:
            break;
        }
        if (held && (actor->permittedAction == QM_ACTION_USE || actor->permittedAction == QM_ACTION_TALK ||
                     actor->permittedAction == QM_ACTION_LOOK))
            cursor = kCursorGrabHighlight;
        if (mainScreenControl)
            mainScreenControl->cursorType = int32_t(cursor);
    }
    GuiCursorShow(g_cursors, cursor);
    cursorRefreshPending = 0;
}

void CQmGameProcessor::ShowActorHint(CQmPropActor* actor)
{
    if (IsTimerRunning())
        return;
    if (!hintControl && g_mainControlSet)
        hintControl = g_mainControlSet->FindControl(CGeString("hint"));
    if (!hintControl)
        return;
    const float mouseX = g_mouse ? g_mouse->x : 0.0f;
    const float mouseY = g_mouse ? g_mouse->y : 0.0f;
    if (actor && actor == hintActor) {
        PlaceHint(*hintControl, mouseX + 55.0f, mouseY + 55.0f);
        return;
    }
    hintVisible = 0;
    hintActor = actor;
    CQmLocation* location = CurrentLocation();
    if (actor && !actor->displayName.IsEmpty() && !(location && location->PlaysFullScreenAnimOrVideo())) {
        hintVisible = 1;
        hintControl->SetProperty(EP_Text, CGeValue(actor->displayName), true);
        PlaceHint(*hintControl, mouseX + 35.0f, mouseY + 42.0f);
    }
}

void CQmGameProcessor::ShowDocument(CQmOverlayDocument* shown)
{
    document = shown;
    inputLockTime = shown ? 100000.0f : 0.0f;
    if (g_inventory)
        g_inventory->SetActive(shown == nullptr);
    UpdateCursor();
}

void CQmGameProcessor::LockInput(float seconds)
{
    inputLockTime = seconds;
    if (g_inventory)
        g_inventory->SetActive(seconds <= 0.0f);
    UpdateCursor();
}

bool CQmGameProcessor::SetMainHero()
{
    CQmLocation* location = CurrentLocation();
    CQmEntity* entity = location ? location->FindEntity(heroName.c_str()) : nullptr;
    if (!entity)
        return false;
    hero = entity->Prop<CQmPropActor>(QM_PROP_ACTOR);
    if (!hero) {
        GeLog(2, "Main hero is not an actor!\n");
        return false;
    }
    return true;
}

void CQmGameProcessor::StopHeroMotion()
{
    auto* motion = hero ? hero->owner->Prop<CQmPropMotionController>(QM_PROP_MOTION_CONTROLLER) : nullptr;
    if (motion)
        motion->Stop();
}

void CQmGameProcessor::ForgetEntity(const CQmEntity* entity)
{
    if (!entity)
        return;
    if (hero && hero->owner == entity)
        hero = nullptr;
    if (hintActor && hintActor->owner == entity) {
        hintActor = nullptr;
        hintVisible = 0;
        if (hintControl)
            hintControl->visible = 0;
    }
}
