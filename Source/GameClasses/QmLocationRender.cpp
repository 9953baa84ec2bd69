// The location's frame drawing: the background's depth, the sky, the colour
// picture, the render layers and the overlays, or the full-screen animation
// or video on black; and the auxiliary geometry of the debug view.
#include "Source/GameClasses/QmLocation.h"

#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmResourceManager.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmDebugDraw.h"
#include "Engine/Core/Gm/GmShadow.h"
#include "Source/GameClasses/QmBackGround.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmPhysicsDebug.h"
#include "Source/GameClasses/QmPropMotionController.h"
#include "Source/GameClasses/QmRenderLink.h"
#include "Source/GameClasses/QmShadeBox.h"
#include "Source/GameClasses/QmSkySphere.h"
#include "Source/GameClasses/QmVideoPlayer.h"

void CQmLocation::Render(uint32_t passFlags)
{
    CGmDeviceWrapper* wrapper = g_pGmDevice;
    const bool scene = (passFlags & (QM_LOCATION_PASS_SCENE | QM_LOCATION_PASS_BACKGROUND)) != 0;
    const bool playing = fullScreenAnim || video;
    if (g_pGmResourceManager)
        g_pGmResourceManager->AgeScores();
    CGmCamera* camera = ActiveCamera();
    // The stencil shadow volumes of shadow mode 2 are drawn by the render
    // layers' shadow step, between their two passes.
    if (wrapper)
        wrapper->SetZEnable(1);
    CQmBackGround* background = ActiveBackground();
    if ((passFlags & QM_LOCATION_PASS_BACKGROUND) && !playing && background && camera)
        background->RestoreDepth();
    if (camera) {
        CGeHub::s_cameras3d[CGeHub::s_currentSlot] = camera;
        camera->SetViewport(CGeHub::GetViewportOverride());
    }
    if (wrapper) {
        wrapper->BeginScene();
        if (camera)
            camera->ApplyViewProjection(wrapper);
    }
    if (!playing) {
        if (camera) {
            if (skySphere)
                skySphere->Render();
            if (wrapper) {
                wrapper->SetZEnable(1);
                wrapper->SetZWriteEnable(1);
            }
            if ((passFlags & QM_LOCATION_PASS_BACKGROUND) && background)
                background->DrawColour();
            QmLayersRenderAll();
            if (background)
                background->DrawOverlays();
            if (g_showAuxGeom)
                RenderAuxGeometry();
        }
    } else {
        if (wrapper) {
            wrapper->Clear(GE_CLEAR_TARGET | GE_CLEAR_ZBUFFER | GE_CLEAR_STENCIL, 0xFF000000, 1.0f);
            wrapper->SetZEnable(0);
        }
        if (fullScreenAnim)
            fullScreenAnim->Render();
        else
            video->Render();
    }
    if (scene && wrapper)
        wrapper->EndScene();
}

void CQmLocation::RenderAuxGeometry()
{
    if (!g_pGmDevice)
        return;
    g_pGmDevice->SetLighting(0);
    g_pGmDevice->ResetWorldTransform();
    for (auto* node = entities.head; node; node = node->next) {
        DrawAxes(node->value->frame.world);
        QmDrawEntityPhysicsDebug(*node->value);
        // The path of a walk under way.
        const auto* motion = node->value->Prop<CQmPropMotionController>(QM_PROP_MOTION_CONTROLLER);
        if (motion && motion->enabled)
            motion->DrawPath();
    }
    QmDrawStaticEnvironmentDebug();
    for (const CQmShadeBox* box : shadeBoxes)
        DrawAabb(box->min, box->max, box->enabled ? 0xFF8080FF : 0xFF404080);
    for (const QmCameraGroup& group : cameraGroups)
        if (group.camera)
            DrawAxes(group.camera->frame.world);
}
