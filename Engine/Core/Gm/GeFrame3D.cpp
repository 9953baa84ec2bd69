#include "Engine/Core/Gm/GeFrame3D.h"

namespace {

void ComposeEuler(CGeFrame3D& f)
{
    // R * S over the 3x3 block, then the translation: the same as T * R * S
    // without two full matrix products.
    const Matrix4 r = MatrixFromEulerAngles(f.angles, static_cast<int>(f.angleOrder));
    const float s[3] = {f.scale.x, f.scale.y, f.scale.z};
    Matrix4 m = Matrix4::Identity();
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            m.At(row, col) = r.At(row, col) * s[col];
    m.m[3] += f.position.x;
    m.m[7] += f.position.y;
    m.m[11] += f.position.z;
    f.local = m;
}

void ComposeQuaternion(CGeFrame3D& f)
{
    Matrix4 t = Matrix4::Identity();
    t.m[3] = f.position.x;
    t.m[7] = f.position.y;
    t.m[11] = f.position.z;
    Matrix4 s = Matrix4::Identity();
    s.m[0] = f.scale.x;
    s.m[5] = f.scale.y;
    s.m[10] = f.scale.z;
    f.local = MatrixMultiply4x4(t, MatrixMultiply4x4(QuatToMatrix(f.rotation), s));
}

void ComposeFixed(CGeFrame3D&) {}

}  // namespace

CGeFrame3D::CGeFrame3D() : compose(ComposeEuler)
{
    children.pool.cellsPerBlock = 1;
}

CGeFrame3D::~CGeFrame3D()
{
    // Owners should detach first; a frame that dies anyway must not leave a
    // parent listing it or children pointing at it.
    if (parent)
        DetachChild(this, parent);
    for (auto* node = children.head; node; node = node->next) {
        CGeFrame3D* child = node->value;
        child->parent = nullptr;
        child->Invalidate(); // a root now: its world is its local
    }
    children.Destroy();
}

void CGeFrame3D::AddChild(CGeFrame3D* child)
{
    if (!child)
        return;
    if (child->parent)
        DetachChild(child, child->parent);
    child->parent = this;
    if (children.Find(children.head, children.tail, child))
        return;
    children.PushBack(child);
    child->Invalidate();
}

bool CGeFrame3D::DetachChild(CGeFrame3D* child, CGeFrame3D* parent)
{
    if (!child)
        return false;
    child->parent = nullptr;
    if (!parent || parent->children.count == 0)
        return false;
    auto* node = parent->children.Find(parent->children.head, parent->children.tail, child);
    if (!node)
        return false;
    parent->children.Remove(node);
    return true;
}

void CGeFrame3D::SetComposeMode(uint32_t mode)
{
    composeMode = mode;
    switch (mode) {
    case COMPOSE_EULER:
        compose = ComposeEuler;
        break;
    case COMPOSE_QUATERNION:
        compose = ComposeQuaternion;
        break;
    case COMPOSE_FIXED:
        compose = ComposeFixed;
        break;
    default:
        break;
    }
    worldDirty = 1;
    localDirty = 1;
    InvalidateChildren();
}

void CGeFrame3D::Invalidate()
{
    worldDirty = 1;
    localDirty = 1;
    InvalidateChildren();
}

void CGeFrame3D::InvalidateChildren()
{
    for (auto* node = children.head; node; node = node->next)
        node->value->Invalidate();
}

void CGeFrame3D::UpdateWorldMatrix()
{
    if (!worldDirty)
        return;
    Invalidate();
    compose(*this);
    if (parent) {
        parent->UpdateWorldMatrix();
        world = MatrixMultiply4x4(parent->world, local);
    } else {
        world = local;
    }
    worldDirty = 0;
}

void CGeFrame3D::SetMatrix(const Matrix4& m)
{
    local = m;
    worldDirty = 1;
    localDirty = 1;
    InvalidateChildren();
}

void CGeFrame3D::SetPosition(const Vec3& v)
{
    position = v;
    worldDirty = 1;
}

void CGeFrame3D::SetAngles(const Vec3& v)
{
    angles = v;
    worldDirty = 1;
}

void CGeFrame3D::SetScale(const Vec3& v)
{
    scale = v;
    worldDirty = 1;
}
