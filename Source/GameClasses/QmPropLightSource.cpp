#include "Source/GameClasses/QmPropLightSource.h"

#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Gm/GmLayers.h"
#include "Engine/Core/Gm/GmShaderPass.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

CQmPropLightSource::CQmPropLightSource(CQmEntity* owner, const CGmLightDesc& desc) : CQmProp(owner)
{
    templateDesc.Assign(desc);
    current.Assign(desc);
    localDirection = {desc.f[12], desc.f[13], desc.f[14]};
    localOffset = {desc.f[20], desc.f[21], desc.f[22]};
}

CQmPropLightSource::~CQmPropLightSource()
{
    if (g_pGmLayers)
        g_pGmLayers->RemoveLight(&current);
}

void CQmPropLightSource::ReadDescription(const TiXmlElement* element, CGmLightDesc& desc)
{
    desc.Init();
    XmlHandle handle;
    handle.element = const_cast<TiXmlElement*>(element);
    const Vec4 colours[3] = {XmlGetColor("diffuse", handle), XmlGetColor("ambient", handle),
                             XmlGetColor("specular", handle)};
    for (int c = 0; c < 3; ++c) {
        desc.f[4 * c + 0] = colours[c].x;
        desc.f[4 * c + 1] = colours[c].y;
        desc.f[4 * c + 2] = colours[c].z;
        desc.f[4 * c + 3] = colours[c].w;
    }
    const char* type = XmlGetText("type", handle);
    if (!type)
        XmlReportMissing(element, "type");
    desc.SetType(!type || strcmp(type, "omni") == 0 ? GM_LIGHT_POINT : GM_LIGHT_DIRECTIONAL);

    const Vec4 pos = XmlGetVector3("pos", handle);
    Vec4 dir4 = XmlGetVector3("dir", handle);
    Vec3 dir = {dir4.x, dir4.y, dir4.z};
    dir.Normalize();
    desc.f[12] = dir.x;
    desc.f[13] = dir.y;
    desc.f[14] = dir.z;
    desc.f[20] = pos.x;
    desc.f[21] = pos.y;
    desc.f[22] = pos.z;

    const char* range = XmlGetText("range", handle);
    if (!range)
        XmlReportMissing(element, "range");
    desc.f[16] = !range || strcmp(range, "infinity") == 0 ? kInfiniteRange : static_cast<float>(atof(range));
    desc.f[17] = XmlGetFloat("att0", handle);
    desc.f[18] = XmlGetFloat("att1", handle);
    desc.f[19] = XmlGetFloat("att2", handle);
    desc.SetEnabled(true);
}

void LoadProperty_LightSource(CQmEntity& entity, const TiXmlElement* element)
{
    CQmPropLightSource::CreateFromXML(&entity, element);
}

CQmPropLightSource* CQmPropLightSource::CreateFromXML(CQmEntity* entity, const TiXmlElement* element)
{
    if (!entity || !element)
        return nullptr;
    CGmLightDesc desc;
    ReadDescription(element, desc);
    auto* light = new CQmPropLightSource(entity, desc);
    entity->SetProp(QM_PROP_LIGHT_SOURCE, light);
    light->SetEnabled(true);
    return light;
}

void CQmPropLightSource::SetEnabled(bool on)
{
    if ((enabled != 0) == on)
        return;
    enabled = on ? 1 : 0;
    if (g_pGmLayers)
        g_pGmLayers->AddLight(&current);
    current.SetEnabled(on);
}

void CQmPropLightSource::Update()
{
    current.Assign(templateDesc);
    for (int i = 0; i < 12; ++i)
        current.f[i] *= intensity;
    current.SetEnabled(current.Enabled() && intensity > 0.0f);

    if (!owner)
        return;
    const Matrix4& world = owner->frame.world;
    templateDesc.f[20] = world.m[3] + localOffset.x;
    templateDesc.f[21] = world.m[7] + localOffset.y;
    templateDesc.f[22] = world.m[11] + localOffset.z;
    Vec3 direction = MatrixTransformNormal(world, localDirection);
    direction.Normalize();
    templateDesc.f[12] = direction.x;
    templateDesc.f[13] = direction.y;
    templateDesc.f[14] = direction.z;
}

void CQmPropLightSource::SetIntensity(float value)
{
    intensity = std::min(4.0f, std::max(0.0f, value));
}
