// A location for the walking properties' tests: current location "here" with
// walk grids drawn as text, a message dispatcher, the script-event recorder
// listening for the walking events, figures with every walking property and
// boxes that lock their cells, and frames of a chosen length that update
// every entity in slot order.
#pragma once

#include "Engine/Core/Common/CiDispatcher.h"
#include "Engine/Physics/GeCollider.h"
#include "Source/GameClasses/QmAiMap.h"
#include "Source/GameClasses/QmPropAimapLockController.h"
#include "Source/GameClasses/QmPropActor.h"
#include "Source/GameClasses/QmPropAnimController.h"
#include "Source/GameClasses/QmPropCollider.h"
#include "Source/GameClasses/QmPropMotionController.h"
#include "Source/GameClasses/QmPropWalker.h"
#include "tests/Source/GameClasses/FigureFixtures.h"
#include "tests/Source/GameClasses/LocationFixtures.h"
#include "tests/Source/GameClasses/WalkGridFixtures.h"

#include <memory>
#include <string>
#include <vector>

class WalkingTest : public LocationTest {
protected:
    void SetUp() override
    {
        LocationTest::SetUp();
        dispatcher = std::make_unique<CCiDispatcher>();
        dispatcher->deliveryEnabled = 1;
        g_dispatcher = dispatcher.get();
        location = new CQmLocation("here");
        manager.Adopt(location);
        manager.current = location;
        recorder->Record({"here_stop_moving", "here_animation_end", "on_animation_end"});
        walk = figure::MakeTrack("walk", 11, 10.0f, 150.0f, 4, true);
        run = figure::MakeTrack("run", 11, 10.0f, 300.0f, 4, true);
        stand = figure::MakeTrack("stand", 11, 10.0f, 0.0f, 4, true);
    }

    void TearDown() override
    {
        entities.clear();
        manager.Clear(); // the location is a client of the dispatcher
        g_dispatcher = nullptr;
        dispatcher.reset();
        LocationTest::TearDown();
    }

    // Adds a grid drawn as text and makes it the current one.
    CQmAiMap* Grid(const std::vector<std::string>& rows, const WalkGridOptions& options = WalkGridOptions())
    {
        return Grid(WalkGridFromPicture(rows, options));
    }
    CQmAiMap* Grid(const WalkGridImage& image)
    {
        auto* grid = new CQmAiMap();
        EXPECT_TRUE(LoadImage(*grid, image));
        location->activeWalkGrid = location->walkGridCount;
        location->walkGrids[location->walkGridCount++] = grid;
        return grid;
    }

    CQmEntity* Keep(CQmEntity* entity)
    {
        entities.emplace_back(entity);
        return entity;
    }

    // An enabled axis-aligned collider spanning [low, high] about the
    // entity's place, posed where the entity stands.
    static CQmPropCollider* BoxCollider(CQmEntity* entity, const Vec3& low, const Vec3& high)
    {
        auto* collider = new CQmPropCollider(entity);
        CreateColliderAabbShape(collider)->SetCorners(low, high);
        // As the reader places it: the collider's pose moves the box to the
        // entity's place plus its centre.
        collider->local = Matrix4::Identity();
        collider->local.At(0, 3) = (low.x + high.x) * 0.5f;
        collider->local.At(1, 3) = (low.y + high.y) * 0.5f;
        collider->local.At(2, 3) = (low.z + high.z) * 0.5f;
        entity->SetProp(QM_PROP_COLLIDER, collider);
        collider->SetEnabled(true);
        collider->Update();
        return collider;
    }

    // An entity at position whose axis-aligned collider spans
    // [position + low, position + high], with an enabled lock.
    CQmEntity* LockingBox(const char* name, const Vec3& position, const Vec3& low, const Vec3& high)
    {
        CQmEntity* entity = Keep(figure::MakeEntity(name, 0));
        Place(*entity, position);
        BoxCollider(entity, low, high);
        auto* lock = new CQmPropAimapLockController(entity);
        entity->SetProp(QM_PROP_AIMAP_LOCK, lock);
        lock->SetEnabled(true);
        return entity;
    }

    // A figure with an animation controller standing on "stand", a walker
    // with "walk" and "run", a motion controller, all as the reader leaves
    // them (walker and motion controller off).
    CQmEntity* Walker(const char* name, const Vec3& position)
    {
        CQmEntity* entity = Keep(figure::MakeEntity(name));
        Place(*entity, position);
        auto* anim = new CQmPropAnimController(entity, 0);
        entity->SetProp(QM_PROP_ANIM_CONTROLLER, anim);
        anim->SetEnabled(true);
        anim->defaultSequences[1] = stand.get();
        anim->PlaySequence(0.0f);
        auto* motion = new CQmPropMotionController(entity);
        entity->SetProp(QM_PROP_MOTION_CONTROLLER, motion);
        auto* walker = new CQmPropWalker(entity);
        walker->gaitSequences[kQmGaitWalk] = walk.get();
        walker->gaitSequences[kQmGaitRun] = run.get();
        entity->SetProp(QM_PROP_WALKER, walker);
        return entity;
    }

    // A walking figure with an enabled actor, known to the location (which does not own it).
    CQmEntity* Hero(const Vec3& at)
    {
        CQmEntity* entity = Walker("hero", at);
        location->AddNamedObject(entity->name, entity, true);
        auto* actor = new CQmPropActor(entity);
        entity->SetProp(QM_PROP_ACTOR, actor);
        actor->SetEnabled(true);
        return entity;
    }

    // A standing object with an actor whose zone lies at zone (local).
    CQmEntity* Thing(const char* name, const Vec3& at, const Vec3& zone, float radius, bool walk = true)
    {
        CQmEntity* entity = Keep(figure::MakeEntity(name, 0));
        location->AddNamedObject(entity->name, entity, true);
        Place(*entity, at);
        auto* actor = new CQmPropActor(entity);
        entity->SetProp(QM_PROP_ACTOR, actor);
        actor->SetEnabled(true);
        actor->SetIaZone(zone, radius, Vec3{0, 0, 0}, Vec3{0, 0, 0});
        actor->walkForInteraction = walk ? 1 : 0;
        return entity;
    }

    static void Place(CQmEntity& entity, const Vec3& position)
    {
        entity.frame.SetPosition(position);
        entity.frame.Invalidate();
        entity.frame.UpdateWorldMatrix();
    }

    // One frame: the frame time, then every entity's update.
    void Frame(float seconds)
    {
        m_timer.delta = seconds;
        for (auto& entity : entities)
            entity->Update();
    }

    static CQmPropMotionController* Motion(CQmEntity* e)
    {
        return e->Prop<CQmPropMotionController>(QM_PROP_MOTION_CONTROLLER);
    }
    static CQmPropWalker* Legs(CQmEntity* e) { return e->Prop<CQmPropWalker>(QM_PROP_WALKER); }
    static CQmPropAnimController* Anim(CQmEntity* e) { return e->Prop<CQmPropAnimController>(QM_PROP_ANIM_CONTROLLER); }

    std::unique_ptr<CCiDispatcher> dispatcher;
    CQmLocation* location = nullptr;
    std::vector<std::unique_ptr<CQmEntity>> entities;
    std::unique_ptr<CGeJointsKeySequence> walk, run, stand;
};
