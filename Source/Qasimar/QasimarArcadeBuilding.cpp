#include "Source/Qasimar/QasimarArcadeBuilding.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeRandom.h"
#include "Engine/Core/Common/GeTextConvert.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Common/GeValue.h"
#include "Engine/Core/Gm/GmColorFader.h"
#include "Engine/Core/Gm/GmMaterial.h"
#include "Engine/Core/Gm/GmMesh.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmScenicMesh.h"
#include "Engine/Gui/GeCursorSet.h"
#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiTextControl.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmInputCodes.h"
#include "Source/GameClasses/QmInventory.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmPropActor.h"
#include "Source/GameClasses/QmPropAnimController.h"
#include "Source/GameClasses/QmPropMotionController.h"
#include "Source/GameClasses/QmScriptProcessor.h"
#include "Source/Qasimar/ArcadeEntityOps.h"

#include <cstdio>

namespace {

constexpr uint32_t kRightRelease = 6;
const Vec3 kGolemStart = {-1500.0f, 0.0f, 0.0f};
const Vec3 kGolemBack = {-1200.0f, 0.0f, 0.0f};
const Vec3 kOfferStart = {-1200.0f, -1000.0f, 0.0f};

void FireEvent(const char* event)
{
    ScriptCallFunction(event, nullptr, 0, true);
}

void Show(CGuiControl* control, bool shown)
{
    if (control)
        control->visible = shown ? 1 : 0;
}

void SetNumberText(CGuiControl* control, int number)
{
    if (!control || control->ControlType() != EGCT_TEXTCONTROL)
        return;
    CGeWString text;
    if (number > 0) {
        char digits[16];
        std::snprintf(digits, sizeof(digits), "%i", number);
        text = AnsiStringToWide(CGeString(digits));
    }
    static_cast<CGuiTextControl*>(control)->SetText(text);
}

// Unrotated or turned about Y, every element scaled, then translated.
Matrix4 ScaledMatrix(float yaw, float scale, const Vec3& at)
{
    Matrix4 m = MatrixFromEulerAngles(Vec3{0.0f, yaw, 0.0f}, EULER_ZYX);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            m.At(row, col) *= scale;
    m.At(0, 3) = at.x;
    m.At(1, 3) = at.y;
    m.At(2, 3) = at.z;
    return m;
}

void PlaceEntity(CQmEntity* entity, const Matrix4& m)
{
    entity->frame.SetMatrix(m);
    ShowArcadeEntity(entity);
}

CQmPropAnimController* AnimOf(CQmEntity* entity)
{
    return entity->Prop<CQmPropAnimController>(QM_PROP_ANIM_CONTROLLER);
}

} // namespace

CQasimarArcade_Building::CQasimarArcade_Building() : CQmBaseArcade(CGeString("arcade: building"))
{
}

CQasimarArcade_Building::~CQasimarArcade_Building()
{
    // The stones' entities belong to their location; only the records and
    // the resources are ours.
    for (Stone*& stone : stones) {
        delete stone;
        stone = nullptr;
    }
    delete nextStone;
    if (stoneMesh)
        stoneMesh->Release();
    if (stoneMaterial)
        stoneMaterial->Release();
}

Matrix4 CQasimarArcade_Building::ColumnMatrix(int index, uint32_t number)
{
    return ScaledMatrix(kColumnTurn, StoneScale(number), Vec3{200.0f, kStoneStep * float(index), -100.0f});
}

bool CQasimarArcade_Building::ColumnBuilt() const
{
    for (int i = 0; i + 1 < kStones; ++i)
        if (stones[i]->number < stones[i + 1]->number)
            return false;
    return true;
}

const char* CQasimarArcade_Building::FindControls(char* missing, size_t size)
{
    auto find = [&](const char* controlName) -> CGuiControl* {
        CGuiControl* control = controlSet ? controlSet->FindControl(CGeString(controlName)) : nullptr;
        if (!control && !*missing)
            std::snprintf(missing, size, "control '%s'", controlName);
        return control;
    };
    *missing = 0;
    offerLabel = find("btn_lbl");
    labelBackground = find("label_bg");
    backgroundTop = find("bld_bg_rt");
    backgroundBottom = find("bld_bg_rb");
    skipButton = find("btn_skip");
    introText = find("txt_lbl");
    for (int i = 0; i < kStones; ++i) {
        char controlName[16];
        std::snprintf(controlName, sizeof(controlName), "bld_lbl_%02i", i);
        stoneLabels[i] = find(controlName);
        std::snprintf(controlName, sizeof(controlName), "btn_%02i", i);
        buttons[i] = find(controlName);
        std::snprintf(controlName, sizeof(controlName), "lbl_%02i", i);
        labels[i] = find(controlName);
    }
    return *missing ? missing : nullptr;
}

void CQasimarArcade_Building::StartGame()
{
    if (started)
        return;
    active = 1;
    if (!layoutLoaded) {
        CreateControlSet("gui/arcades/building.xml");
        layoutLoaded = 1;
    }
    // Everything is looked up before anything is made: a location or layout
    // without what the game needs is left untouched.
    char missing[48];
    CQmLocation* location = ArcadeLocation();
    golem = location ? location->FindEntity("golem") : nullptr;
    if (!golem) {
        RefuseStart("entity 'golem'");
        return;
    }
    if (FindControls(missing, sizeof(missing))) {
        golem = nullptr;
        RefuseStart(missing);
        return;
    }
    started = 1;

    uint8_t numbers[kNumbers];
    for (int i = 0; i < kNumbers; ++i)
        numbers[i] = uint8_t(i + 1);
    for (int step = 0; step < 250; ++step) {
        const int a = GeRand() % kNumbers;
        const int b = GeRand() % kNumbers;
        if (a != b) {
            const uint8_t kept = numbers[a];
            numbers[a] = numbers[b];
            numbers[b] = kept;
        }
    }

    stoneMesh = rescollect::LoadMesh(g_dataRoot + "meshes/items/block.gemesh");
    stoneMaterial = rescollect::LoadMaterial(g_dataRoot + "materials/items/block.xml");
    if (!stoneMesh)
        GeLog(2, "%s: no mesh 'meshes/items/block.gemesh', the stones are not drawn\n", name.c_str());
    for (int i = 0; i < kStones; ++i) {
        char entityName[16];
        std::snprintf(entityName, sizeof(entityName), "block_%02i", i);
        stones[i] = MakeStone(entityName, numbers[i]);
        ShowArcadeEntity(stones[i]->entity);
        Show(stoneLabels[i], true);
        Show(buttons[i], true);
        SetNumberText(labels[i], numbers[i]);
        Show(labels[i], true);
    }
    state = kIntro;
    timer = 0.0f;
    Show(introText, true);
    Show(backgroundBottom, true);
    Show(backgroundTop, true);
    ShowColumnLabels(true);
    Show(skipButton, false);
}

CQasimarArcade_Building::Stone* CQasimarArcade_Building::MakeStone(const char* entityName, uint8_t number)
{
    auto* stone = new Stone;
    stone->number = number;
    CQmLocation* location = ArcadeLocation();
    CQmEntity* entity = location ? location->FindEntity(entityName) : nullptr;
    if (!entity) {
        entity = new CQmEntity();
        entity->name = entityName;
        auto* visuals = new CQmPropVisualObject(entity);
        if (stoneMesh) {
            CGeArray<CGmMaterial*> materials;
            materials.Add(stoneMaterial);
            visuals->AddVisual(new CGmScenicMesh(stoneMesh, nullptr, materials), 2);
        }
        entity->SetProp(QM_PROP_VISUAL_OBJECT, visuals);
        if (location)
            location->AddNamedObject(entity->name, entity, false);
    }
    ShowArcadeEntity(entity);
    stone->entity = entity;
    return stone;
}

void CQasimarArcade_Building::DestroyStone(Stone*& stone)
{
    if (!stone)
        return;
    // By name and only when it is still this entity: the location may have
    // let it go meanwhile.
    CQmLocation* location = ArcadeLocation();
    if (location && stone->entity && location->FindEntity(stone->entity->name.c_str()) == stone->entity)
        location->RemoveEntity(stone->entity->name.c_str());
    delete stone;
    stone = nullptr;
}

void CQasimarArcade_Building::ShowColumnLabels(bool shown)
{
    for (CGuiControl* label : stoneLabels)
        Show(label, shown);
}

void CQasimarArcade_Building::GolemIdle()
{
    if (CQmPropAnimController* anim = AnimOf(golem))
        anim->rootMotion = 0;
    PlayHeroTrack(golem, "golem_idle_01", 0.0f);
}

void CQasimarArcade_Building::SendGolem(const Vec3& to)
{
    if (auto* actor = golem->Prop<CQmPropActor>(QM_PROP_ACTOR))
        actor->DispatchTo(to, Vec3{0.0f, 0.0f, 0.0f}, false, false);
}

void CQasimarArcade_Building::SendGolemAside()
{
    const Vec3& at = golem->frame.position;
    SendGolem(Vec3{at.x + 1.0f, at.y + 30.0f, at.z});
}

void CQasimarArcade_Building::OnMessage(CCiMessageClient* sender, uint32_t code)
{
    if (!started)
        return;
    if (state == kIntro && (code == QM_MSG_LEFT_RELEASE || code == kRightRelease)) {
        Show(introText, false);
        state = kBringing;
        return;
    }
    if ((state != kNotRunning && state != kChoosing) || code != QM_MSG_LEFT_CLICK || !sender)
        return;
    if (sender == skipButton) {
        DestroyStone(nextStone);
        SetNumberText(offerLabel, 0);
        GolemIdle();
        SendGolemAside();
        state = kBringing;
        return;
    }
    for (int i = 0; i < kStones; ++i)
        if (sender == buttons[i]) {
            FireEvent("building_arcade_switchstone");
            Switch(i);
            return;
        }
}

void CQasimarArcade_Building::Switch(int index)
{
    if (!nextStone)
        return; // nothing offered yet
    stones[index]->number = nextStone->number;
    DestroyStone(nextStone);
    SetNumberText(labels[index], stones[index]->number);
    SetNumberText(offerLabel, 0);
    GolemIdle();
    SendGolemAside();
    state = kBringing;
    if (!ColumnBuilt())
        return;
    state = kWon;
    if (g_gameProcessor) {
        g_gameProcessor->LockInput(kWinInputLock);
        g_gameProcessor->UpdateCursor();
    }
    if (g_inventory)
        g_inventory->SetOpen(false);
    timer = 0.0f;
    LayOut();
    Show(backgroundBottom, false);
    Show(backgroundTop, false);
    ShowColumnLabels(false);
}

void CQasimarArcade_Building::BringStone()
{
    uint8_t number = 0;
    bool taken = true;
    while (taken) {
        number = uint8_t(GeRand() % kNumbers + 1);
        taken = false;
        for (const Stone* stone : stones)
            taken = taken || stone->number == number;
    }
    nextStone = MakeStone("nextblock", number);
    PlaceEntity(nextStone->entity, ScaledMatrix(0.0f, StoneScale(number), kOfferStart));
    if (auto* motion = golem->Prop<CQmPropMotionController>(QM_PROP_MOTION_CONTROLLER))
        motion->Stop();
    golem->frame.SetPosition(kGolemStart);
    golem->frame.SetAngles(Vec3{0.0f, 0.0f, 0.0f});
    golem->frame.UpdateWorldMatrix();
    if (PlayHeroTrack(golem, "golem_pushes_stone", 0.1f)) {
        CQmPropAnimController* anim = AnimOf(golem);
        anim->rootMotion = 1;
        anim->rootMotionChannel = 0;
    }
    FireEvent("building_arcade_newstone");
}

void CQasimarArcade_Building::LayOut()
{
    for (int i = 0; i < kStones; ++i)
        PlaceEntity(stones[i]->entity, ColumnMatrix(i, stones[i]->number));
    if (!nextStone)
        return;
    const float scale = StoneScale(nextStone->number);
    if (state != kBringing) {
        PlaceEntity(nextStone->entity, ScaledMatrix(0.0f, scale, Vec3{-300.0f, 0.0f, 0.0f}));
        return;
    }
    const Vec3& at = golem->frame.position;
    const float x = at.x + 150.0f * scale + 85.0f;
    PlaceEntity(nextStone->entity, ScaledMatrix(0.0f, scale, Vec3{x, at.y, at.z}));
    if (x >= kOfferReached) {
        state = kOffered;
        GolemIdle();
        SendGolem(kGolemBack);
    }
}

void CQasimarArcade_Building::Update()
{
    if (!started || paused)
        return;
    if (g_cursors)
        g_cursors->ResetToDefault();
    Show(labelBackground, state == kChoosing);
    float delta = g_geTimer ? g_geTimer->delta : 0.0f;
    if (!(delta > 0.0f))
        delta = 0.001f;

    switch (state) {
    case kBringing:
        if (!nextStone)
            BringStone();
        else
            golem->frame.SetAngles(Vec3{0.0f, 0.0f, 0.0f});
        LayOut();
        break;
    case kOffered:
        SetNumberText(offerLabel, nextStone ? nextStone->number : 0);
        if (ArcadeWalkEnded(golem))
            state = kChoosing;
        LayOut();
        break;
    case kWon:
        timer += delta;
        if (timer > kWinWait) {
            if (CGmColorFader* fader = g_gameProcessor ? g_gameProcessor->effectFader : nullptr) {
                fader->Start(1, 0xFFFFFFFF, 0xFF000000, kFadeTime);
                fader->Update();
            }
            timer = 0.0f;
            state = kFading;
        }
        break;
    case kFading:
        timer += delta;
        if (timer > kFadeTime)
            Finish();
        break;
    default:
        LayOut();
        break;
    }
}

void CQasimarArcade_Building::Finish()
{
    if (golem)
        GolemIdle();
    CQmBaseArcade::Finish();
    ReleaseControlSet();
    const bool won = state == kFading;
    started = 0;
    layoutLoaded = 0;
    state = kNotRunning;
    CGeValue args[1];
    args[0].kind = GE_VALUE_BOOL;
    args[0].scalar.b = won ? 1 : 0;
    ScriptCallFunction("building_arcade_end", args, 1, true);
    for (Stone*& stone : stones)
        DestroyStone(stone);
    DestroyStone(nextStone);
    if (stoneMesh)
        stoneMesh->Release();
    if (stoneMaterial)
        stoneMaterial->Release();
    stoneMesh = nullptr;
    stoneMaterial = nullptr;
    golem = nullptr;
    // The controls went with the set.
    for (int i = 0; i < kStones; ++i)
        buttons[i] = labels[i] = stoneLabels[i] = nullptr;
    offerLabel = labelBackground = backgroundTop = backgroundBottom = skipButton = introText = nullptr;
    if (CGmColorFader* fader = g_gameProcessor ? g_gameProcessor->effectFader : nullptr)
        fader->Stop();
}
