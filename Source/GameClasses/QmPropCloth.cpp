#include "Source/GameClasses/QmPropCloth.h"

#include "Engine/Core/Common/CiDispatcher.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmD3dTables.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmIndexBuffer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmDebugDraw.h"
#include "Engine/Core/Gm/GmMesh.h"
#include "Engine/Core/Gm/GmScenicMesh.h"
#include "Engine/Core/Gm/GmVisual2D.h"
#include "Engine/Gui/GeMouse.h"
#include "Engine/Gui/GuiManager.h"
#include "Platform/Win32/WinKeyboard.h"
#include "Source/GameClasses/QmGameProcessor.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <tinyxml.h>

namespace {

// Two vertex positions closer than this on every axis are one corner.
constexpr float kCornerTolerance = 0.01f;
// Half the edge of the pick box round a vertex.
constexpr float kPickHalfSize = 2.0f;
// The teleport limit: frame time x 50 x 30, at most this.
constexpr float kTeleportLimit = 150.0f;
constexpr float kTeleportRate = 50.0f * 30.0f;

constexpr uint32_t kClothColor = 0xFFFFFFFF;
constexpr uint32_t kVertexColor = 0xFF808080;
constexpr uint32_t kPointColor = 0xFF00FF00;
constexpr uint32_t kAnchorColor = 0xFFFF0000;
constexpr uint32_t kSelectionColor = 0xFFFFFF00;
constexpr uint32_t kSpringColor = 0xFF00FFFF;

// The virtual keys of the developer keys, in CQmPropCloth::Key order.
const int kKeyCodes[CQmPropCloth::KEY_COUNT] = {
    VK_LCONTROL, 'A', 'D', 'E', 'L', 'F', VK_SPACE, VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, VK_HOME, VK_END, VK_DELETE,
    VK_NEXT};

// Set by the first cloth file of the run that turns developer mode on.
bool s_editorModeTaken = false;

Vec3 Add(const Vec3& a, const Vec3& b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}

Vec3 Sub(const Vec3& a, const Vec3& b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

Vec3 Scale(const Vec3& a, float s)
{
    return {a.x * s, a.y * s, a.z * s};
}

Vec3 Translation(const Matrix4& m)
{
    return {m.m[3], m.m[7], m.m[11]};
}

bool SameCorner(const Vec3& a, const Vec3& b)
{
    return std::fabs(a.x - b.x) <= kCornerTolerance && std::fabs(a.y - b.y) <= kCornerTolerance &&
           std::fabs(a.z - b.z) <= kCornerTolerance;
}

float* VertexFloats(CGmVertexBuffer& buffer, uint32_t vertex, uint32_t offset)
{
    return reinterpret_cast<float*>(buffer.GetData() + size_t(vertex) * buffer.Stride() + offset);
}

// The nearest entry distance of a ray into a box, or a negative value when it
// misses (slab test).
float RayBox(const Vec3& origin, const Vec3& direction, const Vec3& boxMin, const Vec3& boxMax)
{
    float enter = -1e30f, leave = 1e30f;
    const float o[3] = {origin.x, origin.y, origin.z};
    const float d[3] = {direction.x, direction.y, direction.z};
    const float lo[3] = {boxMin.x, boxMin.y, boxMin.z};
    const float hi[3] = {boxMax.x, boxMax.y, boxMax.z};
    for (int axis = 0; axis < 3; ++axis) {
        if (d[axis] == 0.0f) {
            if (o[axis] < lo[axis] || o[axis] > hi[axis])
                return -1.0f;
            continue;
        }
        float t0 = (lo[axis] - o[axis]) / d[axis], t1 = (hi[axis] - o[axis]) / d[axis];
        if (t0 > t1)
            std::swap(t0, t1);
        enter = std::max(enter, t0);
        leave = std::min(leave, t1);
        if (enter > leave)
            return -1.0f;
    }
    if (leave < 0.0f)
        return -1.0f;
    return std::max(enter, 0.0f);
}

// The indices of a mesh's triangles, range by range, in index order.
template <typename Visit>
void ForEachTriangle(const CGmMesh& mesh, Visit visit)
{
    const CGmIndexBuffer* indices = mesh.indexBuffer;
    if (!indices || !indices->GetData())
        return;
    const uint8_t* data = indices->GetData();
    const uint32_t size = indices->IndexSize();
    auto index = [&](uint32_t i) -> uint32_t {
        if (size == 4) {
            uint32_t v;
            std::memcpy(&v, data + size_t(i) * 4, 4);
            return v;
        }
        uint16_t v;
        std::memcpy(&v, data + size_t(i) * 2, 2);
        return v;
    };
    auto walk = [&](uint32_t first, uint32_t triangles) {
        for (uint32_t t = 0; t < triangles; ++t)
            visit(index(first + 3 * t), index(first + 3 * t + 1), index(first + 3 * t + 2));
    };
    if (mesh.drawRanges.IsEmpty()) {
        walk(0, indices->Count() / 3);
        return;
    }
    for (const CGmDrawRange& range : mesh.drawRanges)
        if (range.primitiveType == 4 && uint64_t(range.startIndex) + 3 * uint64_t(range.primitiveCount) <= indices->Count())
            walk(range.startIndex, range.primitiveCount);
}

} // namespace

ClothParamsBlock QmClothParams::ToBlock() const
{
    ClothParamsBlock block;
    block.mass = pointMass;
    block.stiffness = springRate;
    block.b = timeStep;
    block.gravity[0] = 0.0f;
    block.gravity[1] = gravityAccel;
    block.gravity[2] = 0.0f;
    block.unused = 0.0f;
    block.damping = airFriction;
    block.margin = cornerRadius;
    return block;
}

uint32_t CQmPropCloth::VertexOf(const ClothPoint& point)
{
    uint32_t vertex;
    std::memcpy(&vertex, &point.owner[3], sizeof vertex);
    return vertex;
}

Vec3 CQmPropCloth::LocalOf(const ClothPoint& point)
{
    return {point.owner[0], point.owner[1], point.owner[2]};
}

namespace {

void SetVertexOf(ClothPoint& point, uint32_t vertex)
{
    std::memcpy(&point.owner[3], &vertex, sizeof vertex);
}

void SetLocalOf(ClothPoint& point, const Vec3& local)
{
    point.owner[0] = local.x;
    point.owner[1] = local.y;
    point.owner[2] = local.z;
}

} // namespace

void CQmPropCloth::ResetEditorModeClaim()
{
    s_editorModeTaken = false;
}

CQmPropCloth::CQmPropCloth(CQmEntity* owner) : CQmProp(owner)
{
    // The property base leaves the dispatcher; the cloth takes its picks.
    dispatcher = g_dispatcher;
    if (dispatcher)
        dispatcher->RegisterClient(this, nullptr, CCiClientRow::kAnyType);
}

CQmPropCloth::~CQmPropCloth()
{
    Reset();
}

void CQmPropCloth::Link()
{
    body.Add(&geom);
    if (!body.group)
        g_clothWorld.AddBody(&body);
}

void CQmPropCloth::Unlink()
{
    if (body.group)
        body.group->RemoveBody(&body);
    if (geom.space == &body)
        body.Remove(&geom);
}

void CQmPropCloth::Refuse()
{
    enabled = 0;
    Unlink();
}

void CQmPropCloth::Reset()
{
    Unlink();
    geom.Clear();
    anchors.Clear();
    pointTable.Clear();
    springTable.Clear();
    mesh = nullptr;
    needsSeating = 1;
}

void CQmPropCloth::LoadFromXML(const char* file)
{
    Reset();
    if (!file)
        return;
    TiXmlDocument document;
    if (!XmlLoadDocument(g_dataRoot + file, document))
        return;
    const TiXmlElement* root = document.RootElement();
    if (!root || std::strcmp(root->Value(), "cloth") != 0)
        return;
    XmlHandle handle; // every attribute is optional: no report
    handle.element = const_cast<TiXmlElement*>(root);
    if (!s_editorModeTaken && XmlGetBool("editor_mode", handle)) {
        editorMode = 1;
        s_editorModeTaken = true;
    }

    const TiXmlElement* points = root->FirstChildElement("points");
    const TiXmlElement* springs = root->FirstChildElement("springs");
    if (!points || !springs || !points->FirstChildElement("point") || !springs->FirstChildElement("spring"))
        return;

    pointTable.SetGrowStep(50);
    springTable.SetGrowStep(50);
    for (const TiXmlElement* point = points->FirstChildElement("point"); point;
         point = point->NextSiblingElement("point")) {
        XmlHandle at;
        at.element = const_cast<TiXmlElement*>(point);
        if (!XmlHasAttribute("index", at)) {
            GeTrace("CQmPropCloth::LoadFromXML: a point without index is skipped");
            continue;
        }
        pointTable.Add(TablePoint{XmlGetInt("index", at), XmlGetInt("anchor", at) == 1 ? 1 : 0});
    }
    for (const TiXmlElement* spring = springs->FirstChildElement("spring"); spring;
         spring = spring->NextSiblingElement("spring")) {
        XmlHandle at;
        at.element = const_cast<TiXmlElement*>(spring);
        const int32_t index1 = XmlHasAttribute("index1", at) ? XmlGetInt("index1", at) : -1;
        const int32_t index2 = XmlHasAttribute("index2", at) ? XmlGetInt("index2", at) : -1;
        springTable.Add(TableSpring{index1, index2, -1, -1});
    }
    if (pointTable.IsEmpty()) {
        springTable.Clear();
        return;
    }
    uint32_t anchorCount = 0;
    for (uint32_t slot = 0; slot < pointTable.count; ++slot) {
        for (TableSpring& spring : springTable) {
            if (spring.index1 == pointTable[slot].index)
                spring.slot1 = int32_t(slot);
            if (spring.index2 == pointTable[slot].index)
                spring.slot2 = int32_t(slot);
        }
        anchorCount += pointTable[slot].anchor;
    }

    params = QmClothParams();
    geom.points.SetGrowStep(50);
    geom.springs.SetGrowStep(50);
    anchors.SetGrowStep(anchorCount ? anchorCount : 10);
    for (uint32_t slot = 0; slot < pointTable.count; ++slot) {
        ClothPoint point = {};
        SetVertexOf(point, uint32_t(pointTable[slot].index));
        point.mass = 1.0f;
        point.inverseMass = 1.0f;
        point.a = point.b = point.c = point.d = kClothNone;
        geom.points.Add(point);
        if (pointTable[slot].anchor)
            anchors.Add(slot);
    }
    anchors.SetGrowStep(10);
    for (const TableSpring& spring : springTable)
        geom.springs.Add(ClothSpring{uint32_t(spring.slot1), uint32_t(spring.slot2), 0.0f, params.springRate,
                                     params.timeStep});

    auto positive = [&](const char* name, float& value) {
        if (XmlHasAttribute(name, handle) && XmlGetFloat(name, handle) > 0.0f)
            value = XmlGetFloat(name, handle);
    };
    positive("point_mass", params.pointMass);
    positive("spring_rate", params.springRate);
    if (XmlHasAttribute("gravity_accel", handle))
        params.gravityAccel = XmlGetFloat("gravity_accel", handle);
    positive("air_friction_factor", params.airFriction);
    positive("box_round_corner_radius", params.cornerRadius);

    if (!editorMode) {
        Link();
        pointTable.Clear();
        springTable.Clear();
    }
    needsSeating = 1;
}

uint32_t CQmPropCloth::MeshVertexCount() const
{
    return mesh && mesh->mesh && mesh->mesh->vertexBuffer ? mesh->mesh->vertexBuffer->Count() : 0;
}

Vec3 CQmPropCloth::VertexPosition(uint32_t vertex) const
{
    CGmVertexBuffer& buffer = *mesh->mesh->vertexBuffer;
    const float* p = VertexFloats(buffer, vertex, buffer.Layout().position);
    return {p[0], p[1], p[2]};
}

bool CQmPropCloth::BindMesh()
{
    const auto* visuals = owner->Prop<CQmPropVisualObject>(QM_PROP_VISUAL_OBJECT);
    CGmScenicMesh* visual =
        visuals && visuals->visuals.count ? dynamic_cast<CGmScenicMesh*>(visuals->visuals[0]) : nullptr;
    CGmMesh* data = visual ? visual->mesh : nullptr;
    if (!data || !data->vertexBuffer || !data->vertexBuffer->GetData() || !(data->vertexBuffer->Flags() & GE_VEF_XYZ))
        return false;
    const uint32_t vertexCount = data->vertexBuffer->Count();
    for (const ClothPoint& point : geom.points) {
        if (VertexOf(point) >= vertexCount) {
            GeLog(2, "CQmPropCloth::BindMesh: %s: vertex %u is beyond the mesh's %u vertices, the cloth is off\n",
                  owner->name.c_str(), VertexOf(point), vertexCount);
            return false;
        }
    }
    mesh = visual;

    // Each mesh vertex's first cloth point at its position, then every
    // triangle with a cloth point at a corner gives that point the points at
    // the other two corners, in winding order.
    const uint32_t n = geom.points.count;
    CGeArray<Vec3> at;
    at.InsertGap(0, n);
    for (uint32_t i = 0; i < n; ++i)
        at[i] = VertexPosition(VertexOf(geom.points[i]));
    CGeArray<int32_t> pointAt;
    pointAt.InsertGap(0, vertexCount);
    for (uint32_t v = 0; v < vertexCount; ++v) {
        pointAt[v] = -1;
        const Vec3 p = VertexPosition(v);
        for (uint32_t i = 0; i < n && pointAt[v] < 0; ++i)
            if (SameCorner(p, at[i]))
                pointAt[v] = int32_t(i);
    }
    for (ClothPoint& point : geom.points)
        point.a = point.b = point.c = point.d = kClothNone;
    uint32_t open = n;
    ForEachTriangle(*data, [&](uint32_t v0, uint32_t v1, uint32_t v2) {
        if (open == 0 || v0 >= vertexCount || v1 >= vertexCount || v2 >= vertexCount)
            return;
        const uint32_t corners[3] = {v0, v1, v2};
        for (int k = 0; k < 3; ++k) {
            const int32_t first = pointAt[corners[k]];
            const int32_t a = pointAt[corners[(k + 1) % 3]], b = pointAt[corners[(k + 2) % 3]];
            if (first < 0 || a < 0 || b < 0)
                continue;
            const Vec3 corner = VertexPosition(corners[k]);
            for (uint32_t i = uint32_t(first); i < n; ++i) {
                ClothPoint& point = geom.points[i];
                if (point.a != kClothNone || !SameCorner(corner, at[i]))
                    continue;
                point.a = uint32_t(a);
                point.b = uint32_t(b);
                --open;
            }
        }
    });
    return true;
}

void CQmPropCloth::Seat()
{
    if (!mesh || !owner) {
        Refuse();
        return;
    }
    // A script may switch the cloth on before the entity's first update.
    owner->frame.UpdateWorldMatrix();
    const Matrix4& world = owner->frame.world;
    for (ClothPoint& point : geom.points) {
        const Vec3 local = VertexPosition(VertexOf(point));
        SetLocalOf(point, local);
        point.position = MatrixTransformPoint(world, local);
        point.previous = point.position;
    }
    geom.SetParams(params.ToBlock());
    for (uint32_t slot : anchors) {
        geom.points[slot].mass = 0.0f;
        geom.points[slot].inverseMass = 0.0f;
    }
    lastPosition = Translation(world);
    needsSeating = 0;
}

void CQmPropCloth::Reseat()
{
    CGmVertexBuffer& buffer = *mesh->mesh->vertexBuffer;
    owner->frame.UpdateWorldMatrix();
    const Matrix4& world = owner->frame.world;
    if (buffer.LockRange(0, 0)) {
        for (ClothPoint& point : geom.points) {
            const Vec3 at = VertexPosition(VertexOf(point));
            point.position = MatrixTransformPoint(world, at);
            point.previous = point.position;
        }
        buffer.Unlock();
    }
    geom.SetParams(params.ToBlock());
    for (ClothPoint& point : geom.points)
        point.externalForce = Vec3{0.0f, 0.0f, 0.0f};
    for (uint32_t slot : anchors) {
        geom.points[slot].mass = 0.0f;
        geom.points[slot].inverseMass = 0.0f;
    }
    lastPosition = Translation(world);
}

void CQmPropCloth::SetEnabled(bool flag)
{
    if (flag || !enabled)
        Link();
    else
        Unlink();
    enabled = flag ? 1 : 0;
    if (!flag || editorMode)
        return;
    if (!mesh && !BindMesh()) {
        Refuse();
        return;
    }
    if (needsSeating)
        Seat();
    else
        Reseat();
}

void CQmPropCloth::AnchorsFollow(const Matrix4& world)
{
    for (uint32_t slot : anchors)
        if (slot < geom.points.count)
            geom.points[slot].position = MatrixTransformPoint(world, LocalOf(geom.points[slot]));
}

void CQmPropCloth::WriteBack(const Matrix4& world)
{
    Matrix4 inverse;
    if (!MatrixInverse(world, inverse))
        return; // a flattened entity: the cloth's vertices stay as they were
    CGmVertexBuffer& buffer = *mesh->mesh->vertexBuffer;
    const GmVertexLayout& layout = buffer.Layout();
    const bool normals = (buffer.Flags() & GE_VEF_NORMAL) != 0;
    if (!buffer.LockRange(0, 0))
        return;
    for (const ClothPoint& point : geom.points) {
        if (point.mass == 0.0f)
            continue;
        const uint32_t vertex = VertexOf(point);
        const Vec3 at = MatrixTransformPoint(inverse, point.position);
        float* p = VertexFloats(buffer, vertex, layout.position);
        p[0] = at.x;
        p[1] = at.y;
        p[2] = at.z;
        if (normals) {
            Vec3 n = MatrixTransformNormal(inverse, point.normal);
            n.Normalize();
            float* q = VertexFloats(buffer, vertex, layout.normal);
            q[0] = n.x;
            q[1] = n.y;
            q[2] = n.z;
        }
    }
    buffer.Unlock();
}

void CQmPropCloth::ReadKeys()
{
    for (uint32_t key = 0; key < KEY_COUNT; ++key)
        keys[key] = GetKeyState(kKeyCodes[key]);
}

void CQmPropCloth::Update()
{
    if (!mesh && !BindMesh()) {
        Refuse();
        return;
    }
    const Matrix4& world = owner->frame.world;
    const Vec3 position = Translation(world);
    const float dt = g_geTimer ? g_geTimer->delta : 0.0f;
    const float limit = std::min(dt * kTeleportRate, kTeleportLimit);
    if (Sub(position, lastPosition).LengthSquared() > limit * limit)
        SetEnabled(true);
    lastPosition = position;
    if (!enabled)
        return;

    if (!editorMode) {
        AnchorsFollow(world);
        WriteBack(world);
    } else {
        ReadKeys();
        DeveloperStep();
    }
    if (g_pGmDevice && g_pGmDevice->CanCall())
        g_pGmDevice->GetDevice()->SetRenderState(D3DRS_FILLMODE, wireframe ? D3DFILL_WIREFRAME : D3DFILL_SOLID);
}

int32_t CQmPropCloth::TableSlotOf(int32_t vertex) const
{
    for (uint32_t slot = 0; slot < pointTable.count; ++slot)
        if (pointTable[slot].index == vertex)
            return int32_t(slot);
    return -1;
}

void CQmPropCloth::AddSelectedSpring()
{
    const int32_t v0 = selection[0], v1 = selection[1];
    const uint32_t count = MeshVertexCount();
    if (v0 < 0 || v1 < 0 || uint32_t(v0) >= count || uint32_t(v1) >= count)
        return;
    for (const TableSpring& spring : springTable) {
        if ((spring.index1 == v0 && spring.index2 == v1) || (spring.index1 == v1 && spring.index2 == v0)) {
            selection[0] = selection[1] = -1;
            return;
        }
    }
    int32_t slot0 = TableSlotOf(v0);
    if (slot0 < 0)
        slot0 = int32_t(pointTable.Add(TablePoint{v0, 0}));
    int32_t slot1 = TableSlotOf(v1);
    if (slot1 < 0)
        slot1 = int32_t(pointTable.Add(TablePoint{v1, 0}));
    springTable.Add(TableSpring{v0, v1, slot0, slot1});
    selection[0] = selection[1] = -1;
}

void CQmPropCloth::RemoveSelectedSpring()
{
    const int32_t v0 = selection[0], v1 = selection[1];
    for (uint32_t i = 0; i < springTable.count; ++i) {
        const TableSpring& spring = springTable[i];
        if ((spring.index1 == v0 && spring.index2 == v1) || (spring.index1 == v1 && spring.index2 == v0)) {
            springTable.RemoveAt(i);
            return;
        }
    }
}

void CQmPropCloth::DeveloperStep()
{
    const bool ctrl = Held(KEY_CTRL);
    wireframe = ctrl ? 1 : 0;
    const bool space = Held(KEY_SPACE);
    const float dt = g_geTimer && g_geTimer->delta != 0.0f ? g_geTimer->delta : 0.001f;
    CGmCamera* camera = CGeHub::s_cameras3d[CGeHub::s_currentSlot];
    Vec3 view = camera ? Sub(camera->target, camera->eye) : Vec3{0.0f, 0.0f, 1.0f};
    view.Normalize();
    Vec3 side = {-view.z, 0.0f, view.x};
    side.Normalize();
    CGeFrame3D& frame = owner->frame;
    const float step = moveSpeed * dt;
    auto move = [&](const Vec3& by) {
        frame.SetPosition(Add(frame.position, by));
        frame.Invalidate();
    };

    if (Held(KEY_LEFT) && !ctrl) {
        move(Scale(side, step));
    } else if (Held(KEY_RIGHT)) {
        move(Scale(side, -step));
    } else if (Held(KEY_UP)) {
        move({0.0f, step, 0.0f});
    } else if (Held(KEY_DOWN)) {
        move({0.0f, -step, 0.0f});
    } else if (Held(KEY_HOME)) {
        move(Scale(view, -2.0f * step));
    } else if (Held(KEY_END)) {
        move(Scale(view, 2.0f * step));
    } else if (Held(KEY_DELETE) || Held(KEY_PAGE_DOWN)) {
        Vec3 angles = frame.angles;
        angles.y += (Held(KEY_DELETE) ? turnSpeed : -turnSpeed) * dt;
        frame.SetAngles(angles);
        frame.Invalidate();
    } else if (ctrl && Held(KEY_A)) {
        AddSelectedSpring();
    } else if (ctrl && Held(KEY_D)) {
        RemoveSelectedSpring();
    } else if (ctrl && Held(KEY_E)) {
        selection[0] = selection[1] = -1;
    } else if (ctrl && Held(KEY_L)) {
        pointTable.Clear();
        springTable.Clear();
        anchors.Clear();
    } else if (ctrl && space && !pickEdgeSpace) {
        WriteFile();
    }
    pickEdgeSpace = space ? 1 : 0;
}

void CQmPropCloth::ToggleAnchor(int32_t vertex)
{
    const int32_t slot = TableSlotOf(vertex);
    if (slot < 0)
        return;
    TablePoint& point = pointTable[uint32_t(slot)];
    point.anchor = point.anchor ? 0 : 1;
    if (point.anchor) {
        anchors.Add(uint32_t(slot));
        return;
    }
    for (uint32_t i = 0; i < anchors.count; ++i) {
        if (anchors[i] == uint32_t(slot)) {
            anchors.RemoveAt(i);
            return;
        }
    }
}

void CQmPropCloth::PickVertex(const Vec3& origin, const Vec3& direction)
{
    const uint32_t count = MeshVertexCount();
    const Matrix4& world = owner->frame.world;
    int32_t pick = -1;
    float nearest = 1e30f;
    const Vec3 half = {kPickHalfSize, kPickHalfSize, kPickHalfSize};
    for (uint32_t v = 0; v < count; ++v) {
        const Vec3 at = MatrixTransformPoint(world, VertexPosition(v));
        const float t = RayBox(origin, direction, Sub(at, half), Add(at, half));
        if (t >= 0.0f && t < nearest) {
            nearest = t;
            pick = int32_t(v);
        }
    }
    if (pick < 0)
        return;
    if (Held(KEY_CTRL) && Held(KEY_F)) {
        ToggleAnchor(pick);
        return;
    }
    for (int i = 0; i < 2; ++i) {
        if (selection[i] < 0) {
            if (selection[1 - i] != pick)
                selection[i] = pick;
            return;
        }
    }
}

void CQmPropCloth::HandleMessage(CCiMessageClient* sender, uint32_t code)
{
    if (!editorMode || code != GeMousePressCode(1) || !sender || (sender->GetTypeId() >> 16) != GE_MOUSE_CATEGORY)
        return;
    const uint32_t slot = CGeHub::s_currentSlot;
    CGmCamera* camera = CGeHub::s_cameras3d[slot];
    if (!camera || !g_mouse || !mesh)
        return;
    // The mouse reports reference-screen coordinates; the camera takes
    // viewport pixels.
    const float* scale = g_gm2dScale[slot];
    const float x = scale[0] != 0.0f ? g_mouse->x / scale[0] : g_mouse->x;
    const float y = scale[1] != 0.0f ? g_mouse->y / scale[1] : g_mouse->y;
    PickVertex(camera->eye, camera->ScreenToRay(x, y));
}

bool CQmPropCloth::WriteFile()
{
    char name[64];
    std::snprintf(name, sizeof name, "cloth_physics_%i.xml", fileCounter);
    std::FILE* out = std::fopen(name, "wb");
    if (!out) {
        GeLog(2, "CQmPropCloth::WriteFile: cannot write %s\n", name);
        return false;
    }
    std::fputs(editorMode ? "<cloth editor_mode=\"true\">\n" : "<cloth>\n", out);
    std::fputs("\t<points>\n", out);
    for (const TablePoint& point : pointTable)
        std::fprintf(out, "\t\t<point index=\"%i\"%s/>\n", point.index, point.anchor ? " anchor=\"1\"" : "");
    std::fputs("\t</points>\n", out);
    std::fputs("\t<springs>\n", out);
    for (const TableSpring& spring : springTable)
        std::fprintf(out, "\t\t<spring index1=\"%i\" index2=\"%i\"/>\n", spring.index1, spring.index2);
    std::fputs("\t</springs>\n", out);
    std::fputs("</cloth>\n", out);
    const bool written = std::fclose(out) == 0;
    ++fileCounter;
    return written;
}

void CQmPropCloth::DrawDebug() const
{
    if (!editorMode) {
        if (enabled && !needsSeating)
            DrawClothDebug(geom, kClothColor);
        return;
    }
    if (!mesh)
        return;
    const Matrix4& world = owner->frame.world;
    auto at = [&](int32_t vertex) { return MatrixTransformPoint(world, VertexPosition(uint32_t(vertex))); };
    const uint32_t count = MeshVertexCount();
    const Vec3 small = {1.0f, 1.0f, 1.0f}, box = {2.0f * kPickHalfSize, 2.0f * kPickHalfSize, 2.0f * kPickHalfSize};
    if (!(Held(KEY_CTRL) && Held(KEY_F)))
        for (uint32_t v = 0; v < count; ++v)
            DrawBox(at(int32_t(v)), small, kVertexColor);
    for (const TablePoint& point : pointTable)
        if (point.index >= 0 && uint32_t(point.index) < count)
            DrawBox(at(point.index), box, point.anchor ? kAnchorColor : kPointColor);
    for (int32_t vertex : selection)
        if (vertex >= 0 && uint32_t(vertex) < count)
            DrawBox(at(vertex), Scale(box, 1.5f), kSelectionColor);
    for (const TableSpring& spring : springTable)
        if (spring.index1 >= 0 && spring.index2 >= 0 && uint32_t(spring.index1) < count &&
            uint32_t(spring.index2) < count)
            DrawLine3D(at(spring.index1), kSpringColor, at(spring.index2));
}

void LoadProperty_Cloth(CQmEntity& entity, const TiXmlElement* element)
{
    auto* cloth = new CQmPropCloth(&entity);
    cloth->LoadFromXML(element->Attribute("file"));
    entity.SetProp(QM_PROP_CLOTH, cloth);
}
