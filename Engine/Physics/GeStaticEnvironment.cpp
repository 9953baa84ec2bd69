#include "Engine/Physics/GeStaticEnvironment.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Physics/GePhysWorld.h"

#include <cstring>

namespace {

constexpr float kDegreesToRadians = 0.017453292f;

// Euler order codes of the file's two angle orders.
constexpr int kEulerOrderZXY = 1;
constexpr int kEulerOrderXYZ = 0;

Vec3 ReadVector(const char* name, const XmlHandle& handle)
{
    const Vec4 v = XmlGetVector3(name, handle);
    return Vec3{v.x, v.y, v.z};
}

// Written so that a NaN is refused too.
bool Positive(float v)
{
    return v > 0.0f;
}

CGeCollisionGeom* CreateGeom(const char* type, const XmlHandle& handle)
{
    if (std::strcmp(type, "plane") == 0)
        return new CGeCollisionGeomPlane;
    if (std::strcmp(type, "aabb") == 0 || std::strcmp(type, "box") == 0) {
        if (!XmlHasAttribute("size", handle))
            return nullptr;
        const Vec3 size = ReadVector("size", handle);
        if (!Positive(size.x) || !Positive(size.y) || !Positive(size.z))
            return nullptr;
        if (type[0] == 'a') {
            auto* box = new CGeCollisionGeomAabb;
            box->size = size;
            return box;
        }
        auto* box = new CGeCollisionGeomBox;
        box->size = size;
        return box;
    }
    if (std::strcmp(type, "sphere") == 0) {
        const float radius = XmlGetFloat("radius", handle);
        if (!Positive(radius))
            return nullptr;
        auto* sphere = new CGeCollisionGeomSphere;
        sphere->radius = radius;
        return sphere;
    }
    const bool cylinder = std::strcmp(type, "cylinder") == 0;
    if (cylinder || std::strcmp(type, "capsule") == 0) {
        const float height = XmlGetFloat("height", handle);
        const float radius = XmlGetFloat("radius", handle);
        if (!Positive(height) || !Positive(radius))
            return nullptr;
        CGeCollisionGeomCylinder* shape = cylinder ? new CGeCollisionGeomCylinder : new CGeCollisionGeomCapsule;
        shape->length = height;
        shape->radius = radius;
        return shape;
    }
    return nullptr;
}

} // namespace

CGeCollisionGeom* LoadStaticGeom(const TiXmlElement* element)
{
    if (!element)
        return nullptr;
    XmlHandle handle; // missing attributes are expected here: no report
    handle.element = const_cast<TiXmlElement*>(element);
    const char* type = XmlGetText("type", handle);
    if (!type) {
        GeTrace("static environment: a geom without a type is skipped");
        return nullptr;
    }
    CGeCollisionGeom* geom = CreateGeom(type, handle);
    if (!geom)
        return nullptr;

    const Vec3 pos = ReadVector("pos", handle);
    const Vec3 degrees = ReadVector("rot_euler", handle);
    const char* order = XmlGetText("euler_type", handle);
    const int orderCode = order && std::strcmp(order, "XYZ") == 0 ? kEulerOrderXYZ : kEulerOrderZXY;
    const Vec3 radians{degrees.x * kDegreesToRadians, degrees.y * kDegreesToRadians, degrees.z * kDegreesToRadians};
    Matrix4 m = MatrixFromEulerAngles(radians, orderCode);
    m.At(0, 3) += pos.x;
    m.At(1, 3) += pos.y;
    m.At(2, 3) += pos.z;
    geom->SetRotation(m);
    return geom;
}

uint32_t LoadStaticEnvironmentDocument(const TiXmlDocument& document)
{
    ClearStaticEnvironment();
    const TiXmlElement* root = document.RootElement();
    if (!root || root->ValueStr() != "static_environment") {
        GeLog(1, "static environment: the file has no \"static_environment\" root, nothing read");
        return 0;
    }
    uint32_t count = 0;
    for (const TiXmlElement* child = root->FirstChildElement("geom"); child;
         child = child->NextSiblingElement("geom")) {
        CGeCollisionGeom* geom = LoadStaticGeom(child);
        if (geom && !geom->space) {
            g_staticBody.Add(geom);
            ++count;
        }
    }
    g_staticBody.SetTransform(Matrix4::Identity());
    if (!g_staticBody.group)
        g_collisionWorld.AddBody(&g_staticBody);
    return count;
}

void LoadStaticEnvironment(const char* path)
{
    if (!path)
        return;
    TiXmlDocument document;
    if (!XmlLoadDocument(CGeString(path), document)) {
        ClearStaticEnvironment();
        GeTrace("static environment: cannot read '%s'", path);
        return;
    }
    LoadStaticEnvironmentDocument(document);
}
