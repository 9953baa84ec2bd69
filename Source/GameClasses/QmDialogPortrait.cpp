// The speaker's portrait: a perspective camera of the dialog's own and a
// light that is on only while the portrait draws, placed every frame on the
// speaking entity and drawn into the "self_monitor" control.
//
// The portrait's viewport is the control's position plus (16, 18), 126 by 124
// reference pixels, turned into back-buffer pixels by the 2D scale factors
// (reference / back buffer). Its depth is cleared first, so the location
// drawn before it never hides the speaker. The camera looks at the head
// joint (the actor's head joint, else joint 7) from along the joint's first
// axis, far enough for the actor's head size to fill the view; an entity
// without a skeleton is looked at from along its own first axis. The scene's
// lights and the visuals of everyone but the speaker and what hangs on the
// speaker are switched off for the drawing and put back after it.
#include "Source/GameClasses/QmDialogSystem.h"

#include "Engine/Core/Gm/GLibLoc/D3d/GmD3dTables.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Anim/GmMeshResource.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmLayers.h"
#include "Engine/Core/Gm/GmScenicMesh.h"
#include "Engine/Core/Gm/GmVisual2D.h"
#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiListBox.h"
#include "Engine/Gui/GuiManager.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmPropActor.h"
#include "Source/GameClasses/QmRenderLink.h"

#include <algorithm>
#include <cmath>
#include <vector>

CQmEntity* QmDialogHeroEntity();

void CQmDialogSystem::CreatePortrait()
{
    portraitCamera = new CGmPerspectiveCamera();
    portraitCamera->fov = 15.0f;
    portraitCamera->nearPlane = 30.0f;
    portraitCamera->farPlane = 2000.0f;
    portraitCamera->eye = {0.0f, 200.0f, -200.0f};
    portraitCamera->target = {0.0f, 1.0f, 0.0f};
    if (g_pGmDevice) {
        portraitViewport[0] = static_cast<int32_t>(g_pGmDevice->BackBufferWidth());
        portraitViewport[1] = static_cast<int32_t>(g_pGmDevice->BackBufferHeight());
    }
    portraitViewportF[0] = static_cast<float>(portraitViewport[0]);
    portraitViewportF[1] = static_cast<float>(portraitViewport[1]);
    portraitCamera->UpdateView();
    portraitCamera->UpdateProjection();

    portraitLight = new CGmLightDesc();
    portraitLight->Init();
    for (int i = 0; i < 4; ++i) {
        portraitLight->f[i] = 1.0f;
        portraitLight->f[4 + i] = 0.5f;
        portraitLight->f[8 + i] = 0.3f;
    }
    portraitLight->SetType(2);
    portraitLight->SetEnabled(false);
}

void CQmDialogSystem::DestroyPortrait()
{
    RemovePortraitLight();
    delete portraitCamera;
    portraitCamera = nullptr;
    delete portraitLight;
    portraitLight = nullptr;
}

void CQmDialogSystem::AddPortraitLight()
{
    if (portraitLightAdded || !g_pGmLayers || !portraitLight)
        return;
    g_pGmLayers->AddLight(portraitLight);
    portraitLightAdded = true;
}

void CQmDialogSystem::RemovePortraitLight()
{
    if (portraitLightAdded && g_pGmLayers)
        g_pGmLayers->RemoveLight(portraitLight);
    portraitLightAdded = false;
}

CQmEntity* CQmDialogSystem::SpeakerForDraw() const
{
    if (!currentConversation || !currentNode)
        return nullptr;
    const CGeString actor = ResolveActorName(currentConversation, currentNode->name);
    if (actor == "$self$" || actor == "$think$")
        return QmDialogHeroEntity();
    CQmLocation* location = g_locationManager ? g_locationManager->current : nullptr;
    return location ? location->FindEntity(actor.c_str()) : nullptr;
}

void CQmDialogSystem::Draw()
{
    if (!DialogSetIsCurrent() || ControlShown("topics"))
        return;
    CQmEntity* speaker = SpeakerForDraw();
    if (!speaker || !speaker->Prop<CQmPropVisualObject>(QM_PROP_VISUAL_OBJECT)) {
        ShowControl("self_monitor", false);
        return;
    }
    drawingPortrait = true;
    DrawPortraitOf(speaker);
    drawingPortrait = false;
}

namespace {

// The point the portrait looks at and the axis its eye lies on: the head
// joint of the speaker's skeleton in the world, else the entity's own place
// and facing.
void PortraitAnchor(CQmEntity* speaker, int32_t headJoint, Vec3& point, Vec3& axis)
{
    Matrix4 world = speaker->frame.world;
    if (CQmPropVisualObject* visuals = speaker->Prop<CQmPropVisualObject>(QM_PROP_VISUAL_OBJECT)) {
        for (CGmVisualObject* visual : visuals->visuals) {
            CGmScenicMesh* mesh = dynamic_cast<CGmScenicMesh*>(visual);
            CGmMeshResource* skeleton = mesh ? dynamic_cast<CGmMeshResource*>(mesh->skeleton) : nullptr;
            const uint32_t joint = headJoint >= 0 ? static_cast<uint32_t>(headJoint) : 7u;
            if (skeleton && joint < skeleton->JointCount()) {
                world = MatrixMultiply4x4(mesh->frame.world, skeleton->WorldMatrix(joint));
                break;
            }
        }
    }
    point = {world.m[3], world.m[7], world.m[11]};
    axis = {world.m[0], world.m[4], world.m[8]};
    const float length = std::sqrt(axis.x * axis.x + axis.y * axis.y + axis.z * axis.z);
    if (length > 0.0f)
        axis = {axis.x / length, axis.y / length, axis.z / length};
    else
        axis = {0.0f, 0.0f, -1.0f};
}

} // namespace

void CQmDialogSystem::DrawPortraitOf(CQmEntity* speaker)
{
    CGuiControl* monitor = Control("self_monitor");
    CQmLocation* location = g_locationManager ? g_locationManager->current : nullptr;
    if (!monitor || !portraitCamera || !g_pGmDevice || !location)
        return;

    // The viewport: the control's place plus (16, 18), 126 by 124 reference
    // pixels, in back-buffer pixels.
    const float* scale = g_gm2dScale[CGeHub::s_currentSlot];
    const Vec2 origin = monitor->ScreenOrigin();
    const float sx = scale[0] > 0.0f ? scale[0] : 1.0f;
    const float sy = scale[1] > 0.0f ? scale[1] : 1.0f;
    GeViewport viewport;
    viewport.X = static_cast<uint32_t>(std::lround((origin.x + 16.0f) / sx));
    viewport.Y = static_cast<uint32_t>(std::lround((origin.y + 18.0f) / sy));
    viewport.Width = static_cast<uint32_t>(std::lround(126.0f / sx));
    viewport.Height = static_cast<uint32_t>(std::lround(124.0f / sy));
    const uint32_t backWidth = g_pGmDevice->BackBufferWidth();
    const uint32_t backHeight = g_pGmDevice->BackBufferHeight();
    if (viewport.X >= backWidth || viewport.Y >= backHeight)
        return;
    viewport.Width = std::min(viewport.Width, backWidth - viewport.X);
    viewport.Height = std::min(viewport.Height, backHeight - viewport.Y);

    // The camera on the speaker's head.
    CQmPropActor* actor = speaker->Prop<CQmPropActor>(QM_PROP_ACTOR);
    const float h = actor ? actor->headSize : 40.0f;
    Vec3 point, axis;
    PortraitAnchor(speaker, actor ? actor->headJoint : -1, point, axis);
    const float distance = (h * 0.5f) / std::tan(0.1308997f);
    portraitCamera->eye = {point.x + axis.x * distance + actorCameraTranslation[0],
                           point.y + axis.y * distance + actorCameraTranslation[1],
                           point.z + axis.z * distance + actorCameraTranslation[2]};
    portraitCamera->target = point;
    portraitCamera->up = {0.0f, 1.0f, 0.0f};

    // Only the portrait light, only the speaker's drawables.
    std::vector<uint8_t> lightsOn;
    if (g_pGmLayers)
        for (CGmLightDesc* light : g_pGmLayers->lights) {
            lightsOn.push_back(light->Enabled() ? 1 : 0);
            light->SetEnabled(false);
        }
    if (portraitLight) {
        Vec3 d = {point.x - portraitCamera->eye.x, point.y - portraitCamera->eye.y, point.z - portraitCamera->eye.z};
        const float length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
        if (length > 0.0f) {
            portraitLight->f[12] = d.x / length;
            portraitLight->f[13] = d.y / length;
            portraitLight->f[14] = d.z / length;
        }
        portraitLight->SetEnabled(true);
    }
    CQmEntity* shown[kMaxDrawables] = {};
    bool found = false;
    for (uint32_t i = 0; i < kMaxSpeakers && !found; ++i)
        if (speakerEntities[i] == speaker) {
            for (uint32_t j = 0; j < kMaxDrawables; ++j)
                shown[j] = portraitDrawables[i][j];
            found = true;
        }
    if (!found)
        CollectDrawables(speaker, shown);
    std::vector<uint8_t> visualsOn;
    for (auto* e = location->entities.head; e; e = e->next) {
        CQmPropVisualObject* visuals = e->value->Prop<CQmPropVisualObject>(QM_PROP_VISUAL_OBJECT);
        if (!visuals)
            continue;
        bool keep = false;
        for (CQmEntity* s : shown)
            keep = keep || s == e->value;
        for (CGmVisualObject* visual : visuals->visuals) {
            visualsOn.push_back(visual->visible);
            if (!keep)
                visual->visible = 0;
        }
    }

    // Drawn into the control's rectangle over a cleared depth.
    CGmCamera* previousCamera = CGeHub::s_cameras3d[CGeHub::s_currentSlot];
    const GeViewport previousViewport = previousCamera ? previousCamera->currentViewport : GeViewport();
    portraitCamera->Apply(viewport);
    g_pGmDevice->SetViewPort(viewport);
    g_pGmDevice->Clear(GE_CLEAR_ZBUFFER, 0, 1.0f);
    CGeHub::s_cameras3d[CGeHub::s_currentSlot] = portraitCamera;
    portraitCamera->ApplyViewProjection(g_pGmDevice);
    g_pGmDevice->SetZEnable(1);
    g_pGmDevice->SetLighting(1);
    QmLayersRenderAll();

    // Everything back as it was.
    CGeHub::s_cameras3d[CGeHub::s_currentSlot] = previousCamera;
    if (previousCamera)
        previousCamera->Apply(previousViewport);
    // The 2D pass goes on in the 2D camera's viewport.
    if (CGmCamera* camera2d = CGeHub::s_cameras2d[CGeHub::s_currentSlot])
        g_pGmDevice->SetViewPort(camera2d->currentViewport);
    g_pGmDevice->SetZEnable(0);
    size_t v = 0;
    for (auto* e = location->entities.head; e; e = e->next)
        if (CQmPropVisualObject* visuals = e->value->Prop<CQmPropVisualObject>(QM_PROP_VISUAL_OBJECT))
            for (CGmVisualObject* visual : visuals->visuals)
                visual->visible = visualsOn[v++];
    if (portraitLight)
        portraitLight->SetEnabled(false);
    if (g_pGmLayers)
        for (size_t i = 0; i < lightsOn.size() && i < g_pGmLayers->lights.Count(); ++i)
            g_pGmLayers->lights[i]->SetEnabled(lightsOn[i] != 0);
}
