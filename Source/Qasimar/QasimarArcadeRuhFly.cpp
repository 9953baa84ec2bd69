#include "Source/Qasimar/QasimarArcadeRuhFly.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeRandom.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmD3dTables.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmIndexBuffer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmLayers.h"
#include "Engine/Core/Gm/GmMaterial.h"
#include "Engine/Core/Gm/GmMesh.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmVisual2D.h"
#include "Engine/Gui/GeMouse.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiProgressBar.h"
#include "Platform/D3d9/D3d9Types.h"
#include "Platform/Win32/WinCursor.h"
#include "Platform/Win32/WinWindow.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/Qasimar/QasimarArcadeLocation.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmPropAnimController.h"
#include "Source/GameClasses/QmScriptProcessor.h"
#include "Source/GameClasses/QmSkySphere.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr Vec3 kUp = {0.0f, 1.0f, 0.0f};
// The reference screen the cursor's aiming start is given in.
constexpr float kReferenceWidth = 1280.0f;
constexpr float kReferenceHeight = 1024.0f;
constexpr float kAimStartX = 640.0f;
constexpr float kAimStartY = 800.0f;

// The route map: flight time to the indicator's place.
const float kRoute[21][3] = {
    {0.0f, 0.0f, 4.0f},
    {4.736842f, 19.210526f, 6.0f},
    {9.473684f, 38.42105f, 8.0f},
    {14.210526f, 57.63158f, 13.0f},
    {18.947369f, 76.84211f, 14.0f},
    {23.68421f, 96.05263f, 16.0f},
    {28.421053f, 115.26316f, 14.0f},
    {33.157894f, 134.47368f, 12.0f},
    {37.894737f, 153.68421f, 6.0f},
    {42.63158f, 172.89473f, 4.5f},
    {47.36842f, 192.10527f, 4.0f},
    {52.105263f, 211.31579f, 4.5f},
    {56.842106f, 230.52632f, 7.5f},
    {61.57895f, 249.73685f, 11.0f},
    {66.31579f, 268.94736f, 14.0f},
    {71.05263f, 288.1579f, 18.0f},
    {75.78947f, 307.36842f, 18.0f},
    {80.52631f, 326.57895f, 15.0f},
    {85.26316f, 345.78946f, 12.0f},
    {90.0f, 365.0f, 10.5f},
    {97.5f, 397.5f, 10.5f},
};

// Which of the four mountain meshes each slot shows.
constexpr uint32_t kSlotMesh[CQasimarArcade_RuhFly::kMountains] = {1, 2, 3, 1, 2, 2, 4};

const char* const kTracks[4][2] = {
    {"qasimar_flight", "ptenec_flight"},
    {"qasimar_flight", "ptenec_flight"},
    {"qasimar_stolknulsa", "ptenec_stolknulsa"},
    {"qasimar_flight_fall", "ptenec_flight_fall"},
};

Vec3 Add(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 Sub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Scale(const Vec3& a, float s) { return {a.x * s, a.y * s, a.z * s}; }
Vec3 Column(const Matrix4& m, int c) { return {m.At(0, c), m.At(1, c), m.At(2, c)}; }

Vec3 Eye(const CGmCamera& camera)
{
    return camera.viewMode == 1 ? camera.eye : Column(camera.frame.world, 3);
}

void CallScript(const char* function)
{
    ScriptCallFunction(function, nullptr, 0, true);
}

// A step of at most step from value towards 0, never past it.
float TowardsZero(float value, float step)
{
    if (value > 0.0f)
        return value > step ? value - step : 0.0f;
    return value < -step ? value + step : 0.0f;
}

} // namespace

float CQasimarArcade_RuhFly::s_blinkClock = 0.0f;

// Desert ----------------------------------------------------------------------

CQasimarArcade_RuhFly_desert::CQasimarArcade_RuhFly_desert(float sizeX_, float sizeZ_, uint32_t columns_,
                                                           uint32_t rows_, float amplitude_, float scrollSpeed_,
                                                           float uvRepeat_, const char* materialFile)
    : columns(columns_), rows(rows_), amplitude(amplitude_), sizeX(sizeX_), sizeZ(sizeZ_), scrollSpeed(scrollSpeed_),
      uvRepeat(uvRepeat_)
{
    auto* grid = new CGmMesh();
    const uint32_t cells = (columns - 1) * (rows - 1);
    grid->CreateBuffers(GE_VEF_XYZ | GE_VEF_NORMAL | 0x1000, columns * rows, 2, cells * 6);
    CGmVertexBuffer& vertices = *grid->vertexBuffer;
    const GmVertexLayout& layout = vertices.Layout();
    vertices.LockRange(0, 0);
    for (uint32_t j = 0; j < rows; ++j)
        for (uint32_t i = 0; i < columns; ++i) {
            uint8_t* v = vertices.GetData() + (j * columns + i) * layout.stride;
            const float position[3] = {float(i) * sizeX / float(columns - 1) - sizeX / 2.0f, 0.0f,
                                       float(j) * sizeZ / float(rows - 1) - sizeZ / 2.0f};
            const float normal[3] = {0.0f, 1.0f, 0.0f};
            const float uv[2] = {uvRepeat * float(i) / float(columns - 1), uvRepeat * float(j) / float(rows - 1)};
            std::memcpy(v + layout.position, position, sizeof position);
            std::memcpy(v + layout.normal, normal, sizeof normal);
            std::memcpy(v + layout.texCoords, uv, sizeof uv);
        }
    vertices.Unlock();
    grid->indexBuffer->LockRange(0, 0);
    auto* index = reinterpret_cast<uint16_t*>(grid->indexBuffer->GetData());
    for (uint32_t j = 0; j + 1 < rows; ++j)
        for (uint32_t i = 0; i + 1 < columns; ++i) {
            const uint16_t a = uint16_t(j * columns + i), b = uint16_t(a + 1), c = uint16_t(a + columns),
                           d = uint16_t(c + 1);
            const uint16_t corners[6] = {a, b, c, b, d, c};
            std::memcpy(index, corners, sizeof corners);
            index += 6;
        }
    grid->indexBuffer->Unlock();
    CGmDrawRange range;
    range.primitiveType = 4;
    range.vertexCount = columns * rows;
    range.primitiveCount = cells * 2;
    grid->drawRanges.Add(range);
    grid->ComputeBounds();
    CGeArray<CGmMaterial*> materials;
    CGmMaterial* material = g_pGmResCollector ? rescollect::LoadMaterial(g_dataRoot + materialFile) : nullptr;
    materials.Add(material);
    SetMeshAndMaterials(materials, grid, nullptr);
    if (material)
        material->Release();
    grid->Release();
}

float CQasimarArcade_RuhFly_desert::Height(float x, float z) const
{
    const float a = ((offset + x) / sizeX) * float(columns) * 0.25f;
    const float h = (0.25f * std::sin(a / 2.0f) + std::cos((z / sizeZ) * float(rows) * 0.25f) * std::sin(a) +
                     MaxF(0.0f, 10.0f * std::sin(a / 4.0f) - 9.0f)) *
                    amplitude;
    return h < -20.0f ? -20.0f : h;
}

// The height is a sum of waves along X and one wave across Z: the sines are
// taken once per column and the cosine once per row, not once per vertex.
void CQasimarArcade_RuhFly_desert::Scroll(float delta)
{
    if (!mesh || !mesh->vertexBuffer || mesh->vertexBuffer->Count() != columns * rows)
        return;
    const float s = scrollSpeed * delta;
    offset += s;
    const float slide = s * uvRepeat / sizeX;
    m_rolling.resize(columns);
    m_wave.resize(columns);
    m_across.resize(rows);
    for (uint32_t i = 0; i < columns; ++i) {
        const float x = float(i) * sizeX / float(columns - 1) - sizeX / 2.0f;
        const float a = ((offset + x) / sizeX) * float(columns) * 0.25f;
        m_rolling[i] = 0.25f * std::sin(a / 2.0f) + MaxF(0.0f, 10.0f * std::sin(a / 4.0f) - 9.0f);
        m_wave[i] = std::sin(a);
    }
    for (uint32_t j = 0; j < rows; ++j) {
        const float z = float(j) * sizeZ / float(rows - 1) - sizeZ / 2.0f;
        m_across[j] = std::cos((z / sizeZ) * float(rows) * 0.25f);
    }
    CGmVertexBuffer& vertices = *mesh->vertexBuffer;
    const GmVertexLayout& layout = vertices.Layout();
    vertices.LockRange(0, 0);
    uint8_t* v = vertices.GetData();
    for (uint32_t j = 0; j < rows; ++j) {
        const float across = m_across[j];
        for (uint32_t i = 0; i < columns; ++i, v += layout.stride) {
            float h = (m_rolling[i] + across * m_wave[i]) * amplitude;
            h = h < -20.0f ? -20.0f : h;
            float u;
            std::memcpy(&u, v + layout.texCoords, sizeof u);
            u += slide;
            std::memcpy(v + layout.position + sizeof(float), &h, sizeof h);
            std::memcpy(v + layout.texCoords, &u, sizeof u);
        }
    }
    vertices.Unlock();
}

// The game --------------------------------------------------------------------

CQasimarArcade_RuhFly::CQasimarArcade_RuhFly() : CQmBaseArcade(CGeString("arcade: ruh fly"))
{
    for (const auto& key : kRoute)
        route.AddKnot(key[0], Vec2{key[1], key[2]});
    desert = new CQasimarArcade_RuhFly_desert(6000.0f, 16000.0f, 96, 128, 100.0f, 400.0f, 16.0f,
                                              "materials/enviroment/moving_sand.xml");
    desert->visible = 0;
}

CQasimarArcade_RuhFly::~CQasimarArcade_RuhFly()
{
    if (ArcadeJointController(hero))
        ArcadeJointController(hero)->RemoveChainCallback(this);
    FreeMountains();
    if (g_pGmLayers)
        g_pGmLayers->Remove(desert);
    delete desert;
}

CGmCamera* CQasimarArcade_RuhFly::Camera()
{
    CQmLocation* location = g_locationManager ? g_locationManager->current : nullptr;
    return location ? location->ActiveCamera() : nullptr;
}

bool CQasimarArcade_RuhFly::Hits(uint32_t slot, const Vec3& rider, const Vec3& mountain)
{
    const Vec3 d = Sub(rider, mountain);
    if (slot == kArch)
        return std::fabs(d.x) <= 90.0f && d.z >= -780.0f && d.z <= 550.0f && (d.z < -300.0f || d.z > 280.0f || d.y > 230.0f);
    return d.x * d.x + d.z * d.z < 14400.0f;
}

void CQasimarArcade_RuhFly::StartGame()
{
    active = 1;
    CGmCamera* camera = Camera();
    CreateControlSet("gui/arcades/ruhfly.xml");
    auto control = [this](const char* controlName) {
        return controlSet ? controlSet->FindControl(CGeString(controlName)) : nullptr;
    };
    CGmMesh* meshes[4] = {};
    CGmMaterial* materials[4] = {};
    for (uint32_t d = 0; d < 4; ++d) {
        char path[64];
        std::snprintf(path, sizeof path, "meshes/enviroment/mountain_%u.gemesh", d + 1);
        meshes[d] = g_pGmResCollector ? rescollect::LoadMesh(g_dataRoot + path) : nullptr;
        std::snprintf(path, sizeof path, "materials/enviroment/mountain_%u.xml", d + 1);
        materials[d] = g_pGmResCollector ? rescollect::LoadMaterial(g_dataRoot + path) : nullptr;
    }
    static const char* const kLiveNames[kLives] = {"live0", "live1", "live2", "live3", "live4"};
    static const char* const kBannerNames[3] = {"banner_start", "banner_crash", "banner_finish"};
    const char* missing = nullptr;
    progressBar = dynamic_cast<CGuiProgressBar*>(control("progressbar"));
    indicator = control("indicator");
    for (uint32_t i = 0; i < kLives; ++i)
        if (!(lifeControls[i] = control(kLiveNames[i])))
            missing = kLiveNames[i];
    for (uint32_t i = 0; i < 3; ++i)
        if (!(banners[i] = control(kBannerNames[i])))
            missing = kBannerNames[i];
    CQmEntity* rider = ArcadeFindEntity("qasimar");
    CQmEntity* mount = ArcadeFindEntity("ptenec_arc");
    missing = !camera                  ? "the location's camera"
              : !progressBar           ? "progress bar 'progressbar'"
              : !indicator             ? "control 'indicator'"
              : missing                ? missing
              : !rider                 ? "entity 'qasimar'"
              : !mount                 ? "entity 'ptenec_arc'"
              : !ArcadeJointController(rider) ? "the animation controller of 'qasimar'"
              : !meshes[0] || !meshes[1] || !meshes[2] || !meshes[3] ? "a mountain mesh"
                                                                    : nullptr;
    if (missing) {
        for (uint32_t d = 0; d < 4; ++d) {
            if (meshes[d])
                meshes[d]->Release();
            if (materials[d])
                materials[d]->Release();
        }
        ForgetControls();
        flightTime = 0.0f;
        RefuseStart(missing);
        return;
    }
    camera->frame.UpdateWorldMatrix();
    forward = Column(camera->frame.local, 2);
    forward.Normalize();

    for (uint32_t slot = 0; slot < kMountains; ++slot) {
        const uint32_t d = kSlotMesh[slot] - 1;
        CGeArray<CGmMaterial*> list;
        list.Add(materials[d]);
        mountains[slot] = new CGmScenicMesh(meshes[d], nullptr, list);
        mountains[slot]->visible = 0;
        if (g_pGmLayers)
            g_pGmLayers->Add(2, mountains[slot]);
    }
    for (uint32_t d = 0; d < 4; ++d) {
        meshes[d]->Release();
        if (materials[d])
            materials[d]->Release();
    }

    hero = rider;
    bird = mount;
    heroComposeMode = hero->frame.composeMode;
    hero->frame.SetComposeMode(CGeFrame3D::COMPOSE_FIXED);
    ArcadeJointController(hero)->AddChainCallback(this);
    birdComposeMode = bird->frame.composeMode;
    bird->frame.SetComposeMode(CGeFrame3D::COMPOSE_FIXED);

    Vec3 across = Vec3::Cross(forward, kUp);
    across.Normalize();
    Matrix4 basis = MatrixFromAxes(forward, kUp, across);
    basis.At(0, 3) = kDesertOrigin.x;
    basis.At(1, 3) = kDesertOrigin.y;
    basis.At(2, 3) = kDesertOrigin.z;
    desert->frame.SetComposeMode(CGeFrame3D::COMPOSE_FIXED);
    desert->frame.SetMatrix(basis);
    desert->visible = 1;
    if (g_pGmLayers)
        g_pGmLayers->Add(2, desert);

    Restart();
    SetFog(true);
}

void CQasimarArcade_RuhFly::Finish()
{
    CQmBaseArcade::Finish();
    if (hero) {
        if (CJaAnimController* controller = ArcadeJointController(hero))
            controller->RemoveChainCallback(this);
        hero->frame.SetComposeMode(heroComposeMode);
    }
    if (bird)
        bird->frame.SetComposeMode(birdComposeMode);
    hero = bird = nullptr;
    if (g_pGmLayers)
        g_pGmLayers->Remove(desert);
    desert->visible = 0;
    FreeMountains();
    ReleaseControlSet();
    ForgetControls();
    if (lives != 0 && flightTime >= kFlightLength)
        CallScript("loc07_arcade_end");
    flightTime = 0.0f;
    SetFog(false);
}

void CQasimarArcade_RuhFly::ForgetControls()
{
    progressBar = nullptr;
    indicator = nullptr;
    for (CGuiControl*& c : lifeControls)
        c = nullptr;
    for (CGuiControl*& c : banners)
        c = nullptr;
}

void CQasimarArcade_RuhFly::FreeMountains()
{
    for (CGmScenicMesh*& mountain : mountains) {
        if (mountain && g_pGmLayers)
            g_pGmLayers->Remove(mountain);
        delete mountain;
        mountain = nullptr;
    }
}

void CQasimarArcade_RuhFly::SetFog(bool on)
{
    CGmDeviceWrapper* wrapper = g_pGmDevice;
    IDirect3DDevice9* device = wrapper && wrapper->CanCall() ? wrapper->GetDevice() : nullptr;
    if (!device)
        return;
    device->SetRenderState(D3DRS_FOGENABLE, on ? TRUE : FALSE);
    if (!on)
        return;
    device->SetRenderState(D3DRS_FOGCOLOR, kFogColor);
    device->SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_EXP);
    device->SetRenderState(D3DRS_FOGDENSITY, GmFloatBits(kFogDensity));
}

void CQasimarArcade_RuhFly::PlayPair(int32_t kind, float blend)
{
    PlayHeroTrack(hero, kTracks[kind][0], blend);
    PlayHeroTrack(bird, kTracks[kind][1], blend);
    animKind = kind;
}

void CQasimarArcade_RuhFly::Restart()
{
    CGmCamera* camera = Camera();
    const Vec3 eye = camera ? Eye(*camera) : Vec3{0.0f, 0.0f, 0.0f};
    for (uint32_t slot = 0; slot < kMountains; ++slot) {
        const Vec3 at = Add(eye, Scale(forward, float(slot) * kAhead / float(kMountains)));
        mountains[slot]->frame.SetPosition(Vec3{at.x, kMountainY, at.z});
        mountains[slot]->visible = 0;
    }
    AimingStart();
    bank = 0.0f;
    flightTime = 0.0f;
    speed = kStartSpeed;
    lives = kLives;
    state = kWaiting;
    PlayPair(kFlight, 0.0f);
    CallScript("loc07_arcade_fly");
}

void CQasimarArcade_RuhFly::AimingStart()
{
    CGmDeviceWrapper* wrapper = g_pGmDevice;
    if (HWND window = wrapper ? wrapper->GetWindow() : nullptr) {
        RECT client = {};
        GetClientRect(window, &client);
        POINT point = {LONG(float(client.right - client.left) * kAimStartX / kReferenceWidth),
                       LONG(float(client.bottom - client.top) * kAimStartY / kReferenceHeight)};
        ClientToScreen(window, &point);
        SetCursorPos(int(point.x), int(point.y));
    }
    if (g_mouse) {
        g_mouse->x = kAimStartX;
        g_mouse->y = kAimStartY;
    }
    AimAt(kAimStartX, kAimStartY);
    riderPos = targetPos;
    rayPause = 2;
    bank = 0.0f;
}

// The point of the plane 300 ahead of the camera under the 2D-view point
// (x, y), kept inside the box the rider may fly in.
void CQasimarArcade_RuhFly::AimAt(float x, float y)
{
    CGmCamera* camera = Camera();
    if (!camera)
        return;
    const float* scale = g_gm2dScale[CGeHub::s_currentSlot];
    const float px = scale[0] != 0.0f ? x / scale[0] : x;
    const float py = scale[1] != 0.0f ? y / scale[1] : y;
    const Vec3 ray = camera->ScreenToRay(px, py);
    const float along = Vec3::Dot(ray, forward);
    if (!(along > 0.0f))
        return;
    targetPos = Add(Eye(*camera), Scale(ray, kAimDistance / along));
    targetPos.y = Clamp(-100.0f, 100.0f, targetPos.y);
    targetPos.z = Clamp(-300.0f, 300.0f, targetPos.z);
}

void CQasimarArcade_RuhFly::OnMessage(CCiMessageClient* sender, uint32_t code)
{
    if (!sender || sender != g_mouse || code != 1)
        return;
    if (state == kWaiting) {
        AimingStart();
        state = kFlying;
    } else if (state == kFallen) {
        Restart();
        state = kFlying;
    }
}

void CQasimarArcade_RuhFly::Callback(CJaSeqPlayer* player, uint32_t channel, int32_t notification)
{
    CJaAnimController* controller = ArcadeJointController(hero);
    if (!active || notification != -1 || !controller || controller->ChannelPlayer(channel) != player ||
        state == kFallen)
        return;
    PlayPair(kFlightAfterCrash, 0.5f);
    animTime = 0.0f;
}

void CQasimarArcade_RuhFly::Steer(CGmCamera* camera, float delta)
{
    const Vec3 gap = Sub(targetPos, riderPos);
    const bool apart = std::fabs(gap.x) > 1.0f || std::fabs(gap.y) > 1.0f || std::fabs(gap.z) > 1.0f;
    if (apart && (state == kFlying || state == kFinished)) {
        const float riderX = camera ? camera->ProjectPoint(riderPos).x : 0.0f;
        const float targetX = camera ? camera->ProjectPoint(targetPos).x : 0.0f;
        if (riderX > targetX)
            bank = FloatMin(bank + delta * kPi / 2.0f, kPi / 8.0f);
        else if (riderX < targetX)
            bank = MaxF(bank - delta * kPi / 2.0f, -kPi / 8.0f);
        else
            bank = TowardsZero(bank, delta * kPi / 4.0f);
        const float distance = gap.Length();
        const float step = FloatMin(distance, delta * 1000.0f);
        riderPos = Add(riderPos, Scale(gap, step / distance));
    } else {
        bank = TowardsZero(bank, delta * kPi / 4.0f);
    }
    Matrix4 pose = MatrixFromAxisAngle(Vec3{1.0f, 0.0f, 0.0f}, bank);
    pose.At(0, 3) = riderPos.x;
    pose.At(1, 3) = riderPos.y;
    pose.At(2, 3) = riderPos.z;
    hero->frame.SetMatrix(pose);
    bird->frame.SetMatrix(pose);
}

void CQasimarArcade_RuhFly::PlaceAhead(CGmCamera* camera, uint32_t slot)
{
    const Vec3 eye = Eye(*camera);
    Vec3 right = Column(camera->frame.local, 0);
    right.Normalize();
    const float r = float(GeRand() % 4096) / 4096.0f;
    float side = slot == kArch ? r * 100.0f : slot < kObstacles ? r * 400.0f + 70.0f : r * 200.0f + 1200.0f;
    if (GeRand() % 2)
        side = -side;
    const Vec3 at = Add(Add(eye, Scale(forward, kAhead)), Scale(right, side));
    mountains[slot]->frame.SetPosition(Vec3{at.x, kMountainY, at.z});
    mountains[slot]->visible = state != kFinished;
}

void CQasimarArcade_RuhFly::MoveMountains(CGmCamera* camera, float delta)
{
    if (state == kWaiting || !camera)
        return;
    const float step = speed * delta;
    for (uint32_t slot = 0; slot < kMountains; ++slot) {
        CGmScenicMesh* mountain = mountains[slot];
        Vec3 at = mountain->frame.position;
        at.x -= forward.x * step;
        at.z -= forward.z * step;
        at.y = kMountainY;
        mountain->frame.SetPosition(at);
        if (Vec3::Dot(Sub(at, Eye(*camera)), forward) < 0.01f)
            PlaceAhead(camera, slot);
    }
}

void CQasimarArcade_RuhFly::Collide()
{
    if (animKind != kFlight || state != kFlying)
        return;
    for (uint32_t slot = 0; slot < kObstacles; ++slot) {
        if (!mountains[slot]->visible || !Hits(slot, riderPos, mountains[slot]->frame.position))
            continue;
        lives -= 1;
        if (lives == 0) {
            PlayPair(kFall, 0.5f);
            state = kFallen;
            CallScript("loc07_arcade_fall");
        } else {
            PlayPair(kCrash, 0.5f);
            CallScript("loc07_arcade_crash");
            // Protection lasts until the crash track has ended (the chain
            // callback sets 0) and 3 s after.
            animTime = -10000.0f;
        }
        speed = kStartSpeed;
        return;
    }
}

void CQasimarArcade_RuhFly::ShowProgress()
{
    const float done = Clamp(0.0f, 1.0f, flightTime / kFlightLength);
    progressBar->SetValue(progressBar->maximum * done);
    const Vec2 place = route.GetValue(Clamp(0.0f, kEnd, flightTime));
    indicator->SetPosition(place.x, place.y);
}

void CQasimarArcade_RuhFly::ShowLives(float delta)
{
    s_blinkClock += delta;
    for (uint32_t i = 0; i < kLives; ++i)
        lifeControls[i]->visible = i < lives ? 1 : 0;
    if ((animKind == kFlightAfterCrash || animKind == kCrash) && lives < kLives)
        lifeControls[lives]->visible = int32_t(RoundF(2.0f * s_blinkClock)) % 2 != 0 ? 1 : 0;
}

void CQasimarArcade_RuhFly::ShowBanners()
{
    for (CGuiControl* banner : banners)
        banner->visible = 0;
    bool obstaclesGone = true;
    for (uint32_t slot = 0; slot < kObstacles; ++slot)
        obstaclesGone = obstaclesGone && !mountains[slot]->visible;
    if (state == kWaiting)
        banners[0]->visible = 1;
    else if (state == kFallen)
        banners[1]->visible = 1;
    else if (state == kFinished && obstaclesGone)
        banners[2]->visible = 1;
}

void CQasimarArcade_RuhFly::Update()
{
    if (!active || !hero)
        return;
    CGmCamera* camera = Camera();
    if (rayPause == 0) {
        if (g_mouse)
            AimAt(g_mouse->x, g_mouse->y);
    } else {
        --rayPause;
    }
    const float delta = g_geTimer ? g_geTimer->delta : 0.0f;
    if (animKind != kFlight) {
        animTime += delta;
        if (animTime >= kProtection)
            animKind = kFlight;
    }
    Steer(camera, delta);
    MoveMountains(camera, delta);
    desert->Scroll(delta);
    if (state == kFlying || state == kFinished)
        flightTime += delta;
    ShowProgress();
    Collide();
    ShowLives(delta);
    ShowBanners();
    const bool flying = animKind == kFlight || animKind == kFlightAfterCrash;
    if (flightTime >= kFlightLength && flying && state != kFinished) {
        state = kFinished;
        CallScript("loc07_arcade_finish");
    }
    if (flightTime >= kEnd && flying) {
        Finish();
        return;
    }
    if (state == kFlying)
        speed += 100.0f * delta;
    desert->scrollSpeed = speed;
    CQmLocation* location = g_locationManager ? g_locationManager->current : nullptr;
    if (location && location->skySphere)
        location->skySphere->speed = speed * 0.00001f;
}
