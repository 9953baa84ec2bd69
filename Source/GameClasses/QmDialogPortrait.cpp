// The speaker's portrait: a perspective camera of the dialog's own and a
// light that is on only while the portrait draws, placed every frame on the
// speaking entity and drawn into the "self_monitor" control.
//
// The portrait's viewport is the control's position plus (16, 18), 126 by 124
// reference pixels, turned into back-buffer pixels by the 2D scale factors
// (reference / back buffer). Its depth is cleared first, so the location
// drawn before it never hides the speaker.
#include "Source/GameClasses/QmDialogSystem.h"

#include "Engine/Core/Gm/GLibLoc/D3d/GmD3dTables.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmLayers.h"
#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiListBox.h"
#include "Engine/Gui/GuiManager.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationManager.h"

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

void CQmDialogSystem::DrawPortraitOf(CQmEntity* /*speaker*/)
{
}
