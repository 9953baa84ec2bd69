#include "Source/GameClasses/QmLocation.h"

#include "Engine/Core/Common/GeDeviceConfig.h"
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeFormat.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmShadow.h"
#include "Engine/Core/Sound/SmSoundManager.h"
#include "Engine/Physics/GePhysWorld.h"
#include "Source/GameClasses/QmAiMap.h"
#include "Source/GameClasses/QmBackGround.h"
#include "Source/GameClasses/QmBgSoundManager.h"
#include "Source/GameClasses/QmCurveWay.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmEntityRemoval.h"
#include "Source/GameClasses/QmGameConfig.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmPropActor.h"
#include "Source/GameClasses/QmPropAllocatorList.h"
#include "Source/GameClasses/QmRenderLink.h"
#include "Source/GameClasses/QmScriptProcessor.h"
#include "Source/GameClasses/QmShadeBox.h"
#include "Source/GameClasses/QmSkySphere.h"
#include "Source/GameClasses/QmVideoPlayer.h"
#include "Source/GameClasses/QmWater.h"

#include <cmath>
#include <unordered_set>
#include <vector>

namespace {

// Activate's per-slot table: which properties a location switches on.
const bool kEnabledOnActivate[kQmPropSlots] = {
    true,  // light source
    true,  // animation controller
    false, // walker
    false, // motion controller
    false, // linear motion
    false, // look-at processor
    true,  // allocator list
    true,  // actor
    true,  // collider
    true,  // trigger
    true,  // visual object
    true,  // drop shadow
    false, // sound source
    false, // curve motion
    true,  // walk-grid lock
    false, // ragdoll
    false, // cloth
    false, // ventilator
};

// The depth format code with an 8-bit stencil.
const int32_t kDepthFormatD24S8 = 21;

void MarkScreenCameraChanged()
{
    if (CGmCamera* camera = CGeHub::s_cameras2d[CGeHub::s_currentSlot])
        camera->frame.Invalidate();
}

void ResumeSounds()
{
    if (g_soundManager)
        CSmSoundManager::ResumeGroup(g_soundManager);
}

// The frame on which a play of the player ends.
uint32_t EndFrameOf(const CGeFrameAnim& player)
{
    return (player.mode & 15) == CGeFrameAnim::BACKWARD ? player.firstIndex : player.lastIndex;
}

void UpdateCamera(CGmCamera& camera)
{
    if (camera.viewMode == 1)
        camera.UpdateView();
    camera.frame.UpdateWorldMatrix();
    MatrixInverse(camera.frame.world, camera.view);
    camera.UpdateProjection();
}

} // namespace

CQmOverlayDocument::~CQmOverlayDocument()
{
    for (CGmVisualObject* child : children)
        delete child;
}

void CQmOverlayDocument::Render()
{
    for (CGmVisualObject* child : children)
        child->Render();
}

CQmLocation::CQmLocation(const char* locationName) : name(locationName)
{
    QmLayersRemoveLightHooks(QmShadeBeforeLighting, QmShadeAfterLighting);
    QmLayersAddLightHooks(QmShadeBeforeLighting, QmShadeAfterLighting);
}

CQmLocation::~CQmLocation()
{
    ClearStaticEnvironment();
    QmLayersRemoveLightHooks(QmShadeBeforeLighting, QmShadeAfterLighting);
    // The shown document is one of the location's own or a catalogue's. The
    // game processor forgets a document of this location that it shows.
    bool shownIsOwn = false;
    const auto deleteDocument = [&](CQmOverlayDocument* document) {
        shownIsOwn = shownIsOwn || document == overlayDocument;
        if (g_gameProcessor && g_gameProcessor->document == document)
            g_gameProcessor->document = nullptr;
        delete document;
    };
    for (auto* node = documents.first; node; node = documents.Next(node))
        deleteDocument(node->value);
    documents.Clear();
    for (CQmOverlayDocument* document : retiredDocuments)
        deleteDocument(document);
    retiredDocuments.Clear();
    if (!shownIsOwn)
        delete overlayDocument;
    for (auto* node = curveWays.first; node; node = curveWays.Next(node))
        delete node->value;
    curveWays.Clear();
    delete fullScreenAnim;
    delete video;
    // An entity listed twice is deleted at its first node only. Sets, not
    // walks along the lists: a location may hold a thousand entities.
    std::unordered_set<const CQmEntity*> shared, seen;
    for (auto* node = sharedEntities.head; node; node = node->next)
        shared.insert(node->value);
    for (auto* node = entities.head; node; node = node->next) {
        CQmEntity* entity = node->value;
        if (!seen.insert(entity).second)
            continue;
        if (!shared.count(entity) || dynamic_cast<CQmStone*>(entity)) {
            if (g_gameProcessor)
                g_gameProcessor->ForgetEntity(entity);
            delete entity;
        }
    }
    entities.Destroy();
    sharedEntities.Destroy();
    entityNames.Clear();
    for (QmCameraGroup& group : cameraGroups) {
        for (CQmBackGround* background : group.backgrounds)
            delete background;
        for (uint32_t slot = 0; slot < CGeHub::kMaxDevices; ++slot)
            if (CGeHub::s_cameras3d[slot] == group.camera)
                CGeHub::s_cameras3d[slot] = nullptr;
        delete group.camera;
    }
    cameraGroups.Clear();
    delete skySphere;
    for (CQmShadeBox* box : shadeBoxes)
        delete box;
    for (CGmVisual2D* sprite : sprites)
        delete sprite;
    for (CQmAiMap*& grid : walkGrids) {
        delete grid;
        grid = nullptr;
    }
}

bool CQmLocation::IsShared(const CQmEntity* entity) const
{
    for (auto* node = sharedEntities.head; node; node = node->next)
        if (node->value == entity)
            return true;
    return false;
}

void CQmLocation::EnableByTable()
{
    for (auto* node = entities.head; node; node = node->next) {
        CQmEntity* entity = node->value;
        if (IsShared(entity))
            continue;
        for (uint32_t slot = 0; slot < entity->props.count && slot < kQmPropSlots; ++slot)
            if (CQmProp* prop = entity->props[slot])
                prop->SetEnabled(kEnabledOnActivate[slot]);
    }
}

void CQmLocation::Activate()
{
    EnableByTable();
    if (g_bgSoundManager)
        g_bgSoundManager->mainStarted = false;
    ScriptRunFile((g_dataRoot + "Scripts/" + name + ".lua").c_str());
    for (auto* node = linkedObjects.first; node; node = linkedObjects.Next(node)) {
        for (auto* animation = node->value.animations.first; animation;
             animation = node->value.animations.Next(animation)) {
            for (QmLinkedSequence& sequence : animation->value) {
                CGmVisual2D* sprite = sequence.sprite;
                if (!sprite)
                    continue;
                if (sprite->activePlayer)
                    sprite->activePlayer->SetFrame(0);
                if (sprite->imageSet.kind == CGmImageSet::KIND_LIST) {
                    sprite->SetFrame(0);
                    sprite->ApplyImageSize();
                }
                sprite->Update();
            }
        }
    }
}

void CQmLocation::Start()
{
    char event[256];
    snprintf(event, sizeof(event), "%s_init", name.c_str());
    ScriptCallFunction(event, nullptr, 0, true);
    musicCheckTimer = 0.0f;
}

void CQmLocation::Stop()
{
    ClearStaticEnvironment();
    for (auto* node = entities.head; node; node = node->next) {
        CQmEntity* entity = node->value;
        for (uint32_t slot = 0; slot < entity->props.count; ++slot)
            if (entity->props[slot] && slot != QM_PROP_MOTION_CONTROLLER)
                entity->props[slot]->SetEnabled(false);
        if (auto* actor = entity->Prop<CQmPropActor>(QM_PROP_ACTOR))
            actor->ClearCurrentAction();
    }
    for (auto* node = sharedEntities.head; node; node = node->next)
        if (auto* actor = node->value->Prop<CQmPropActor>(QM_PROP_ACTOR))
            actor->ClearCurrentAction();
    g_shadeApplied = 0;
    if (g_bgSoundManager)
        g_bgSoundManager->StopAllAmbient();
    for (auto* node = entities.head; node; node = node->next)
        if (auto* allocators = node->value->Prop<CQmPropAllocatorList>(QM_PROP_ALLOCATOR_LIST))
            allocators->DetachAll();
}

void CQmLocation::Restart()
{
    EnableByTable();
}

bool CQmLocation::SkipPlaying()
{
    if (fullScreenAnim) {
        if (CGeFrameAnim* player = fullScreenAnim->activePlayer)
            player->SetFrame(EndFrameOf(*player));
        return true;
    }
    if (video) {
        video->Stop();
        return true;
    }
    return false;
}

void CQmLocation::UpdateShadeLight()
{
    const bool stencil = g_videoSettings && g_videoSettings->depthStencilFormat == kDepthFormatD24S8;
    if (stencil && hasShadeLight && CQmGameConfig::s_shadowVolumesOn) {
        const float position[3] = {shadeLightPosition.x, shadeLightPosition.y, shadeLightPosition.z};
        const float color[4] = {shadeLightColor.x, shadeLightColor.y, shadeLightColor.z, shadeLightColor.w};
        SetShadowLight(position, color);
    } else {
        g_shadowMode = 0;
    }
}

CQmEntity* CQmLocation::FindEntity(const char* entityName) const
{
    if (!entityName || !*entityName)
        return nullptr;
    auto* node = entityNames.Find(CGeString(entityName));
    return node ? node->value : nullptr;
}

bool CQmLocation::AddNamedObject(const CGeString& entityName, CQmEntity* entity, bool shared)
{
    if (entityNames.Find(entityName)) {
        GeLog(2, "Object with name %s is already exists in location!\n", entityName.c_str());
        return false;
    }
    entities.PushBack(entity);
    if (shared)
        sharedEntities.PushBack(entity);
    // Back within the same update (a catalogue actor taken out and put in
    // again): it is updated from the next frame on.
    for (uint32_t i = 0; i < leftDuringUpdate.count; ++i)
        if (leftDuringUpdate[i] == entity)
            leftDuringUpdate[i] = nullptr;
    if (!entityName.IsEmpty())
        entityNames[entityName] = entity;
    return true;
}

bool AddNamedObject(CQmLocation* location, CQmEntity* entity, const CGeString& entityName, bool shared)
{
    return location && location->AddNamedObject(entityName, entity, shared);
}

void CQmLocation::DeleteEntity(CQmEntity* entity)
{
    if (entity == cameraDeterminant)
        cameraDeterminant = nullptr;
    QmDestroyEntity(entity);
}

bool CQmLocation::RemoveEntity(const char* entityName)
{
    auto* mapNode = entityName ? entityNames.Find(CGeString(entityName)) : nullptr;
    if (!mapNode) {
        GeLog(2, "Cannot remove entity <%s> from location %s:  not found!\n", entityName ? entityName : "",
              name.c_str());
        return false;
    }
    CQmEntity* entity = mapNode->value;
    entityNames.Erase(mapNode);
    if (entity == cameraDeterminant)
        cameraDeterminant = nullptr;
    while (auto* node = entities.Find(entities.head, nullptr, entity))
        entities.Remove(node);
    QmActorsForgetEntity(*this, entity);
    if (updateDepth)
        leftDuringUpdate.Add(entity);
    if (g_gameProcessor)
        g_gameProcessor->ForgetEntity(entity);
    if (auto* shared = sharedEntities.Find(sharedEntities.head, nullptr, entity)) {
        sharedEntities.Remove(shared);
        if (dynamic_cast<CQmStone*>(entity))
            DeleteEntity(entity);
    } else {
        DeleteEntity(entity);
    }
    return true;
}

bool CQmLocation::HasLeftDuringUpdate(const CQmEntity* entity) const
{
    for (const CQmEntity* left : leftDuringUpdate)
        if (left == entity)
            return true;
    return false;
}

bool CQmLocation::LoadWalkGrid(const char* fileName)
{
    if (walkGridCount >= kMaxWalkGrids)
        return false;
    CGeFileData file = LoadFileData((g_dataRoot + fileName).c_str());
    if (!file.size) {
        FreeFileData(file);
        return false;
    }
    auto* grid = new CQmAiMap;
    walkGrids[walkGridCount++] = grid;
    if (!grid->ReadFromFile(file.data, file.size))
        GeLog(2, "CQmLocation::LoadWalkGrid: walk grid %s refused, kept empty\n", fileName);
    FreeFileData(file);
    return true;
}

void CQmLocation::SetLinked2DVisibility(const char* objectName, bool flag)
{
    auto* node = objectName ? linkedObjects.Find(CGeString(objectName)) : nullptr;
    if (!node)
        return;
    for (auto* animation = node->value.animations.first; animation;
         animation = node->value.animations.Next(animation))
        for (QmLinkedSequence& sequence : animation->value)
            if (sequence.sprite)
                sequence.sprite->visible = flag ? 1 : 0;
}

void CQmLocation::SelectCamera()
{
    if (cameraFixed)
        return;
    activeCameraGroup = 0;
    if (!cameraDeterminant)
        return;
    cameraDeterminant->frame.UpdateWorldMatrix();
    const Matrix4& world = cameraDeterminant->frame.world;
    const Vec3 p = {world.m[3], world.m[7], world.m[11]};
    for (const QmCameraZone& zone : zones) {
        if (p.x >= zone.min.x && p.y >= zone.min.y && p.z >= zone.min.z && p.x <= zone.max.x &&
            p.y <= zone.max.y && p.z <= zone.max.z) {
            activeCameraGroup = zone.group;
            return;
        }
    }
}

void CQmLocation::SetActiveCamera(uint32_t index)
{
    if (index >= cameraGroups.Count()) {
        GeLog(2, "CQmLocation::SetActiveCamera invalid camera index %i! Ignored\n", (int)index);
        return;
    }
    activeCameraGroup = index;
    cameraFixed = 1;
}

void CQmLocation::StoreDocument(CQmOverlayDocument* document)
{
    if (!document)
        return;
    if (auto* node = documents.Find(document->name)) {
        if (node->value != document)
            retiredDocuments.Add(node->value);
        node->value = document;
    } else {
        documents[document->name] = document;
    }
}

void QmLinkedSequence::Start() const
{
    if (!sprite)
        return;
    if (!sprite->activePlayer)
        sprite->SetFrameAnim(CGeFrameAnim(sprite->imageSet.frameCount));
    // A new play: the end events of an earlier one are dropped with it.
    CGeFrameAnim& player = *sprite->activePlayer;
    player.eventCount = 0;
    player.SetRange(begin, end);
    const float scale = g_geTimer && g_geTimer->scale != 0.0f ? g_geTimer->scale : 25.0f;
    player.speed = speed / scale;
    player.Start(mode, repeats);
    sprite->SetFrame(player.GetFrame());
}

void CQmLinked2dObject::StartAnimation(const char* animation)
{
    auto* node = animation ? animations.Find(CGeString(animation)) : nullptr;
    if (!node)
        return;
    for (const QmLinkedSequence& step : node->value)
        step.Start();
}

CGmCamera* CQmLocation::ActiveCamera() const
{
    return activeCameraGroup < cameraGroups.count ? cameraGroups[activeCameraGroup].camera : nullptr;
}

CQmBackGround* CQmLocation::ActiveBackground() const
{
    if (activeCameraGroup >= cameraGroups.count)
        return nullptr;
    const QmCameraGroup& group = cameraGroups[activeCameraGroup];
    return backgroundState < group.backgrounds.count ? group.backgrounds[backgroundState] : nullptr;
}

CQmAiMap* CQmLocation::CurrentWalkGrid() const
{
    return activeWalkGrid < walkGridCount ? walkGrids[activeWalkGrid] : nullptr;
}

void CQmLocation::UpdateFullScreenAnim()
{
    fullScreenAnim->Update();
    const CGeFrameAnim* player = fullScreenAnim->activePlayer;
    if (player && player->GetFrame() != EndFrameOf(*player))
        return;
    delete fullScreenAnim;
    fullScreenAnim = nullptr;
    const CGeString event = name + "_video_end";
    ScriptCallFunction(event.c_str(), nullptr, 0, true);
    MarkScreenCameraChanged();
    ResumeSounds();
}

void CQmLocation::UpdateVideo()
{
    // The end event that the update may fire can replace the player: a
    // player made meanwhile ends this frame's look at the slot.
    CQmVideoPlayer* player = video;
    const uint32_t made = CQmVideoPlayer::s_made;
    player->Update();
    if (video != player || made != CQmVideoPlayer::s_made || video->IsPlaying())
        return;
    // The end event may put a new video into the slot.
    CQmVideoPlayer* ended = video;
    video = nullptr;
    ended->Stop();
    delete ended;
    MarkScreenCameraChanged();
    ResumeSounds();
}

void CQmLocation::DispatchLinkedAnimationEnds(CQmLinked2dObject& object)
{
    const float timerScale = g_geTimer ? g_geTimer->scale : 25.0f;
    for (auto* animation = object.animations.first; animation; animation = object.animations.Next(animation)) {
        for (QmLinkedSequence& sequence : animation->value) {
            CGmVisual2D* sprite = sequence.sprite;
            if (!sprite)
                continue;
            sprite->Update();
            CGeFrameAnim* player = sprite->activePlayer;
            if (!player || player->playing)
                continue;
            const float rate = std::round(player->speed * timerScale);
            if (player->firstIndex != sequence.begin || player->lastIndex != sequence.end ||
                player->mode != sequence.mode || rate != std::round(sequence.speed))
                continue;
            // The first empty (end) entry of the notification list is consumed.
            uint32_t entry = player->eventCount;
            for (uint32_t i = 0; i < player->eventCount; ++i) {
                if (player->events[i] == CGeFrameAnim::kEventEnded) {
                    entry = i;
                    break;
                }
            }
            if (entry == player->eventCount)
                continue;
            player->events[entry] = player->events[player->eventCount - 1];
            --player->eventCount;
            CGeValue args[2] = {CGeValue(object.name), CGeValue(animation->key)};
            ScriptCallFunction("on_2d_animation_end", args, 2, true);
        }
    }
}

void CQmLocation::Update(float frameTime)
{
    if (fullScreenAnim) {
        UpdateFullScreenAnim();
    } else if (video) {
        UpdateVideo();
    } else {
        for (QmCameraGroup& group : cameraGroups)
            if (group.camera)
                UpdateCamera(*group.camera);
        SelectCamera();
        if (CGmCamera* camera = ActiveCamera()) {
            CGeHub::s_cameras3d[CGeHub::s_currentSlot] = camera;
            camera->SetViewport(CGeHub::GetViewportOverride());
        }
        // The entities of the frame's start, each once; one that a script
        // took out of the location meanwhile is left alone.
        QmEntityDeleteHold hold;
        std::vector<CQmEntity*> frameEntities;
        frameEntities.reserve(entities.count);
        for (auto* node = entities.head; node; node = node->next)
            frameEntities.push_back(node->value);
        const int32_t stamp = g_geTimer ? int32_t(g_geTimer->frames) : 0;
        ++updateDepth;
        for (CQmEntity* entity : frameEntities) {
            if (entity->updateStamp == stamp || entity->removed || HasLeftDuringUpdate(entity))
                continue;
            entity->updateStamp = stamp;
            entity->Update();
        }
        if (--updateDepth == 0)
            leftDuringUpdate.Clear();
        for (auto* node = linkedObjects.first; node; node = linkedObjects.Next(node))
            DispatchLinkedAnimationEnds(node->value);
        const bool mainStarted = g_bgSoundManager && g_bgSoundManager->mainStarted;
        if (!mainStarted && musicCheckTimer > 2.0f) {
            if (g_bgSoundManager)
                g_bgSoundManager->StopMain(1.0f);
            musicCheckTimer = -1.0f;
        }
    }
    if (musicCheckTimer >= 0.0f)
        musicCheckTimer += frameTime;
}
