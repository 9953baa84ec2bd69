#include "Source/GameClasses/QmLocationLoader.h"

#include "Engine/Core/Common/GeDeviceConfig.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeMath.h"
#include "Engine/Core/Common/GePath.h"
#include "Engine/Core/Common/GeRandom.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmShadow.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Core/Gm/GmVideoDecoder.h"
#include "Engine/Physics/GeStaticEnvironment.h"
#include "Source/GameClasses/QmAiMap.h"
#include "Source/GameClasses/QmBackGround.h"
#include "Source/GameClasses/QmCurveWay.h"
#include "Source/GameClasses/QmEntityLoader.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmImageList.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmShadeBox.h"
#include "Source/GameClasses/QmSkySphere.h"
#include "Source/GameClasses/QmSoundLink.h"
#include "Source/GameClasses/QmSprite.h"

#include <cmath>
#include <cstring>
#include <tinyxml.h>

uint32_t g_locationKeepAliveCount = 0;
CQmLocation* g_loadingLocation = nullptr;

namespace {

const float kDegreesToRadians = 0.017453292f;
const float kTwoPi = 6.28318530718f;

CGeStringMap<CGmVisual2D*> s_locationSprites;

XmlHandle Handle(const TiXmlElement* element)
{
    XmlHandle handle;
    handle.element = const_cast<TiXmlElement*>(element);
    return handle;
}

Vec3 ToVec3(const Vec4& v)
{
    return Vec3{v.x, v.y, v.z};
}

// Six numbers of a box attribute; missing ones are 0.
void ReadBox(const XmlHandle& handle, const char* name, Vec3& minCorner, Vec3& maxCorner)
{
    CGeArray<float> values;
    const char* text = XmlGetText(name, handle);
    if (text)
        XmlParseFloatList(text, values);
    float v[6] = {};
    for (uint32_t i = 0; i < 6 && i < values.Count(); ++i)
        v[i] = values[i];
    minCorner = Vec3{v[0], v[1], v[2]};
    maxCorner = Vec3{v[3], v[4], v[5]};
}

bool Is(const TiXmlElement* element, const char* name)
{
    return element->Value() && std::strcmp(element->Value(), name) == 0;
}

// The back-buffer size from the device settings (the device, or the
// reference size, when there are none).
void BackBufferSize(uint32_t& width, uint32_t& height)
{
    width = height = 0;
    if (g_videoSettings && g_videoSettings->width > 0 && g_videoSettings->height > 0) {
        width = uint32_t(g_videoSettings->width);
        height = uint32_t(g_videoSettings->height);
    } else if (g_pGmDevice) {
        width = g_pGmDevice->BackBufferWidth();
        height = g_pGmDevice->BackBufferHeight();
    }
    if (!width || !height) {
        width = uint32_t(g_referenceScreenSize[0]);
        height = uint32_t(g_referenceScreenSize[1]);
    }
}

// The frame source of a sprite element as an image set; false when the
// element names none.
bool ReadFrameSource(const XmlHandle& handle, bool is3d, CGmImageSet& images)
{
    if (const char* list = XmlGetText("imagelist", handle)) {
        CGeArray<CGmTexture*> textures;
        if (!LoadImageList((g_dataRoot + list).c_str(), textures))
            GeTrace("LoadSprite: image list '%s' cannot be read", list);
        images.InitFromList(textures.data, textures.Count());
        for (CGmTexture* texture : textures)
            if (texture)
                texture->Release();
        return true;
    }
    if (const char* image = XmlGetText("image", handle)) {
        bool found = false;
        CGmTexture* texture = rescollect::LoadTexture(g_dataRoot + image, false, &found);
        if (!found)
            GeTrace("LoadSprite: picture '%s' cannot be read", image);
        if (!is3d && XmlHasAttribute("rect", handle)) {
            const Vec4 rect = XmlGetVector4("rect", handle);
            const float left = std::trunc(rect.x), top = std::trunc(rect.y);
            images.InitFromRect(texture, left, top, std::trunc(rect.z) - left, std::trunc(rect.w) - top);
        } else {
            const int32_t frames = XmlGetInt("totalframes", handle);
            const int32_t perLine = XmlGetInt("framesperline", handle);
            images.Init(texture, frames < 1 ? 1u : uint32_t(frames), perLine < 1 ? 1u : uint32_t(perLine));
        }
        if (texture)
            texture->Release();
        return true;
    }
    if (const char* video = XmlGetText("videotrack", handle)) {
        CGmVideoDecoder* decoder = rescollect::LoadVideo(g_dataRoot + video);
        images.InitFromVideo(decoder);
        if (decoder)
            decoder->Release();
        return true;
    }
    return false;
}

void ReadSequences(const TiXmlElement* element, CGmVisual2D* sprite, QmSpriteSequenceMap& map)
{
    for (const TiXmlElement* child = element->FirstChildElement("sequence"); child;
         child = child->NextSiblingElement("sequence")) {
        const XmlHandle handle = Handle(child);
        auto* record = new QmSpriteSequence;
        record->begin = uint32_t(XmlGetInt("begin", handle));
        record->end = uint32_t(XmlGetInt("end", handle));
        record->speed = XmlHasAttribute("speed", handle) ? XmlGetFloat("speed", handle) : 25.0f;
        uint32_t mode = XmlHasAttribute("mode", handle) ? ParseAnimPlayMode(handle) : 0x11u;
        if (XmlHasAttribute("mode", handle) && !(mode & 0x10u) && !(mode >> 16))
            mode |= 1u << 16;
        record->mode = mode & 0xFFFFu;
        record->repeats = mode >> 16;
        record->sprite = sprite;
        const char* name = XmlGetText("name", handle);
        QmAddSpriteSequence(map, CGeString(name ? name : ""), record);
    }
}

void ReadCamera(CGmPerspectiveCamera& camera, const TiXmlElement* element)
{
    const XmlHandle handle = Handle(element);
    camera.eye = ToVec3(XmlGetVector3("pos", handle));
    camera.up = ToVec3(XmlGetVector3("upvec", handle));
    camera.target = ToVec3(XmlGetVector3("target", handle));
    camera.fov = XmlGetFloat("fov", handle);
    camera.nearPlane = XmlGetFloat("znear", handle);
    camera.farPlane = XmlGetFloat("zfar", handle);
    if (XmlHasAttribute("roll", handle)) {
        float roll = XmlGetFloat("roll", handle);
        roll -= 360.0f * std::trunc(roll / 360.0f);
        Vec3 direction = {camera.target.x - camera.eye.x, camera.target.y - camera.eye.y,
                          camera.target.z - camera.eye.z};
        direction.Normalize();
        const float half = roll * kDegreesToRadians * 0.5f;
        const float s = std::sin(half);
        const Quat turn = {direction.x * s, direction.y * s, direction.z * s, std::cos(half)};
        camera.up = QuatRotateVector(turn, camera.up);
    }
    camera.screenWidth = g_referenceScreenSize[0];
    camera.screenHeight = g_referenceScreenSize[1];
    camera.boundWidth = float(g_referenceScreenSize[0]);
    camera.boundHeight = float(g_referenceScreenSize[1]);
    uint32_t width = 0, height = 0;
    BackBufferSize(width, height);
    camera.Apply(GeViewport{0, 0, width, height, 0.0f, 1.0f});
}

CGmSprite* AsScreenSprite(CGmVisual2D* sprite)
{
    auto* screen = dynamic_cast<CGmSprite*>(sprite);
    if (!screen)
        delete sprite;
    return screen;
}

void ReadBackground(QmCameraGroup& group, const TiXmlElement* element)
{
    const XmlHandle handle = Handle(element);
    const char* colour = XmlGetText("argbimage", handle);
    const char* depth = XmlGetText("zimage", handle);
    const char* mask = XmlGetText("zmaskimage", handle);
    auto* background =
        new CQmBackGround(colour ? (g_dataRoot + colour).c_str() : "", depth ? (g_dataRoot + depth).c_str() : "",
                          mask ? (g_dataRoot + mask).c_str() : "", group.camera);
    group.backgrounds.Add(background);
    for (const TiXmlElement* child = element->FirstChildElement(); child; child = child->NextSiblingElement()) {
        const XmlHandle childHandle = Handle(child);
        if (Is(child, "sprite2d")) {
            const bool overlay = XmlGetBool("overlay", childHandle);
            if (CGmSprite* sprite = AsScreenSprite(LoadSprite(child, true)))
                (overlay ? background->overlaySprites : background->plainSprites).Add(sprite);
        } else if (Is(child, "sprite2d_glow")) {
            CGmSprite* sprite = AsScreenSprite(LoadSprite(child, true));
            if (!sprite)
                continue;
            QmGlowRecord record;
            record.sprite = sprite;
            if (const char* maskName = XmlGetText("imagemask", childHandle)) {
                bool found = false;
                CGmTexture* texture = rescollect::LoadTexture(g_dataRoot + maskName, true, &found);
                if (texture && found)
                    record.mask = CQmBackGround::CopyPicture(*texture, 0, 0, false);
                if (texture)
                    texture->Release();
            }
            background->glows.Add(record);
        }
    }
}

} // namespace

// Sprites ---------------------------------------------------------------------

void RegisterLocationSprite(const CGeString& name, CGmVisual2D* sprite)
{
    if (auto* node = s_locationSprites.Find(name)) {
        GeLog(2, "Sprite with name %s is already exists in location!\n", name.c_str());
        node->value = sprite;
        return;
    }
    s_locationSprites[name] = sprite;
}

CGmVisual2D* FindLocationSprite(const CGeString& name)
{
    auto* node = s_locationSprites.Find(name);
    return node ? node->value : nullptr;
}

void ClearLocationSprites()
{
    s_locationSprites.Clear();
}

CGmVisual2D* LoadSprite(const TiXmlElement* element, bool registerInLocation)
{
    if (!element)
        return nullptr;
    const XmlHandle handle = Handle(element);
    const bool is3d = Is(element, "sprite3d");
    CGmImageSet images;
    if (!ReadFrameSource(handle, is3d, images)) {
        GeTrace("LoadSprite: sprite element without a picture");
        return nullptr;
    }
    CGmVisual2D* sprite = nullptr;
    QmSpriteSequenceMap* sequences = nullptr;
    if (is3d) {
        auto* animSprite = new CQmAnimSprite(images);
        sequences = &animSprite->sequences;
        sprite = animSprite;
    } else {
        auto* screenSprite = new CQmSprite(images);
        sequences = &screenSprite->sequences;
        sprite = screenSprite;
    }
    if (XmlHasAttribute("pos", handle)) {
        sprite->frame.SetPosition(ToVec3(XmlGetVector3("pos", handle)));
    } else {
        sprite->frame.SetPosition(Vec3{0.0f, 0.0f, 0.0f});
        sprite->frame.SetAngles(Vec3{0.0f, 0.0f, 0.0f});
        sprite->frame.SetScale(Vec3{1.0f, 1.0f, 1.0f});
    }
    sprite->frame.Invalidate();
    sprite->frame.UpdateWorldMatrix();
    sprite->SetBlendMode(ParseBlendMode(handle));
    if (XmlHasAttribute("size", handle)) {
        const Vec2 size = XmlGetVector2("size", handle);
        sprite->SetSize(size.x, size.y);
    }
    if (XmlHasAttribute("hotpoint", handle)) {
        const Vec2 hot = XmlGetVector2("hotpoint", handle);
        for (Vec2& point : sprite->hotPoints)
            point = hot;
    }
    sprite->SetFrameAnim(CGeFrameAnim(sprite->imageSet.frameCount));
    const char* name = XmlGetText("name", handle);
    if (registerInLocation && name)
        RegisterLocationSprite(CGeString(name), sprite);
    ReadSequences(element, sprite, *sequences);
    return sprite;
}

// Sections --------------------------------------------------------------------

bool LoadCameraGroup(CQmLocation& location, const TiXmlElement* group, uint32_t index)
{
    const TiXmlElement* cameraElement = group ? group->FirstChildElement("camera3d") : nullptr;
    if (!cameraElement) {
        GeTrace("LoadCameraGroup: camera group without camera3d skipped");
        return false;
    }
    auto* camera = new CGmPerspectiveCamera();
    ReadCamera(*camera, cameraElement);
    location.cameraGroups.Add(QmCameraGroup());
    QmCameraGroup& record = location.cameraGroups[location.cameraGroups.Count() - 1];
    record.camera = camera;
    for (const TiXmlElement* child = cameraElement->NextSiblingElement(); child; child = child->NextSiblingElement()) {
        if (Is(child, "background")) {
            ReadBackground(record, child);
        } else if (Is(child, "zone")) {
            QmCameraZone zone;
            ReadBox(Handle(child), "aabb", zone.min, zone.max);
            zone.group = index;
            location.zones.Add(zone);
        }
    }
    return true;
}

void LoadSkySphere(CQmLocation& location, const TiXmlElement* sphere)
{
    if (!sphere)
        return;
    for (const TiXmlElement* sky = sphere->FirstChildElement("sky"); sky; sky = sky->NextSiblingElement("sky")) {
        const XmlHandle handle = Handle(sky);
        const char* clouds = XmlGetText("clouds", handle);
        const Vec4 colour0 = XmlGetColor("color0", handle);
        const Vec4 colour1 = XmlGetColor("color1", handle);
        float speed = 0.0f;
        if (XmlHasAttribute("speed", handle)) {
            speed = XmlGetFloat("speed", handle);
        } else {
            const int k = GeRand() % 4096;
            speed = 0.005f * (1.0f + float(k) / 4096.0f);
        }
        float angle = 0.0f;
        if (XmlHasAttribute("angle", handle)) {
            angle = XmlGetFloat("angle", handle);
        } else {
            const int k = GeRand() % 4096;
            angle = float(k) / 4096.0f;
        }
        const float pitch = XmlGetFloat("pitch", handle);
        const int32_t tiling = XmlHasAttribute("tiling", handle) ? XmlGetInt("tiling", handle) : 1;
        if (!clouds)
            continue;
        auto* object = new CQmSkySphere(colour0, speed, colour1, clouds);
        object->angle = angle * kTwoPi;
        if (float(tiling) != object->tiling) {
            if (tiling >= 1 && tiling <= 64) {
                object->tiling = float(tiling);
            } else {
                GeTrace("LoadSkySphere: tiling %d out of 1 to 64", tiling);
                object->tiling = 1.0f;
            }
        }
        if (pitch != 0.0f)
            object->pitch = pitch * kDegreesToRadians;
        delete location.skySphere;
        location.skySphere = object;
    }
}

void LoadShadeBoxes(CQmLocation& location, const TiXmlElement* shadeBox)
{
    if (!shadeBox)
        return;
    for (const TiXmlElement* box = shadeBox->FirstChildElement("box"); box; box = box->NextSiblingElement("box")) {
        const XmlHandle handle = Handle(box);
        auto* record = new CQmShadeBox;
        ReadBox(handle, "aabb", record->min, record->max);
        record->depth = XmlGetFloat("depth", handle);
        const auto scale = [&](const char* name) {
            return XmlHasAttribute(name, handle) ? XmlGetFloat(name, handle) : 1.0f;
        };
        record->ambientReduction = 1.0f - scale("ambscale");
        record->diffuseReduction = 1.0f - scale("difscale");
        record->specularReduction = 1.0f - scale("specscale");
        record->omni = XmlGetBool("omni", handle) ? 1 : 0;
        record->enabled = 1;
        location.shadeBoxes.Add(record);
    }
}

void LoadLinked2dObject(CQmLocation& location, const TiXmlElement* object)
{
    if (!object)
        return;
    const char* nameText = XmlGetText("name", Handle(object));
    CQmLinked2dObject linked;
    linked.name = nameText ? nameText : "";
    for (const TiXmlElement* child = object->FirstChildElement("sprite"); child;
         child = child->NextSiblingElement("sprite")) {
        const char* spriteName = XmlGetText("name", Handle(child));
        CGmVisual2D* sprite = spriteName ? FindLocationSprite(CGeString(spriteName)) : nullptr;
        if (!sprite) {
            GeTrace("LoadLinked2dObject: no sprite '%s'", spriteName ? spriteName : "");
            continue;
        }
        QmSpriteSequenceMap* sequences = QmSpriteSequences(sprite);
        if (!sequences || !sequences->Count()) {
            QmLinkedSequence step;
            step.begin = 0;
            step.end = 0;
            step.mode = 1;
            step.repeats = 0;
            step.sprite = sprite;
            linked.animations[CGeString("bad_animation")].Add(step);
            continue;
        }
        for (auto* node = sequences->first; node; node = sequences->Next(node))
            linked.animations[node->key].Add(*node->value);
    }
    location.linkedObjects[linked.name] = linked;
}

CQmOverlayDocument* LoadOverlayDocument(CQmLocation& location, const TiXmlElement* element)
{
    const char* name = element ? XmlGetText("name", Handle(element)) : nullptr;
    if (!name) {
        GeLog(2, "Unnamed document - ignored!\n");
        return nullptr;
    }
    auto* document = new CQmOverlayDocument;
    document->name = name;
    for (const TiXmlElement* child = element->FirstChildElement("sprite2d"); child;
         child = child->NextSiblingElement("sprite2d")) {
        CGmVisual2D* sprite = LoadSprite(child, false);
        if (!sprite)
            continue;
        document->frame.AddChild(&sprite->frame);
        document->children.Add(sprite);
    }
    location.StoreDocument(document);
    return document;
}

// The keep-alive step and the file walk ---------------------------------------

void LocationLoadKeepAlive()
{
    ++g_locationKeepAliveCount;
    if (g_pGmDevice)
        PumpWindowMessages();
    QmSoundAfterFrame(CGeHub::s_cameras3d[CGeHub::s_currentSlot]);
}

namespace {

template <typename Reader>
void ForEach(const TiXmlElement* root, const char* name, Reader reader)
{
    for (const TiXmlElement* child = root->FirstChildElement(name); child; child = child->NextSiblingElement(name))
        reader(child);
}

void ReadWalkGrid(CQmLocation& location, const TiXmlElement* element)
{
    const XmlHandle handle = Handle(element);
    const char* file = XmlGetText("filename", handle);
    if (!file || location.walkGridCount >= CQmLocation::kMaxWalkGrids)
        return;
    if (!location.LoadWalkGrid(file))
        return;
    CQmAiMap* grid = location.walkGrids[location.walkGridCount - 1];
    if (XmlHasAttribute("max_line_distance", handle)) {
        const float value = XmlGetFloat("max_line_distance", handle);
        if (value >= 10.0f)
            grid->maxLineDistance = value;
    }
    if (XmlHasAttribute("circle_factor", handle)) {
        const float value = XmlGetFloat("circle_factor", handle);
        if (value > 0.0f && value <= 0.5f)
            grid->circleFactor = value;
    }
    if (XmlHasAttribute("height_bias", handle))
        grid->heightBias = XmlGetFloat("height_bias", handle);
}

// A curve way joins the location under its name; a refused one, or a second
// one of a name, is dropped.
void ReadCurveWay(CQmLocation& location, const TiXmlElement* element)
{
    auto* record = new QmCurveWay;
    if (!LoadCurveWay(*record, element)) {
        delete record;
        return;
    }
    const CGeString key(record->name);
    if (location.curveWays.Find(key)) {
        GeTrace("LoadLocation: curve way %s is already in the location", record->name);
        delete record;
        return;
    }
    location.curveWays.InsertNode(key, record);
}

void ReadSections(CQmLocation& location, const TiXmlElement* root)
{
    ForEach(root, "ai_map", [&](const TiXmlElement* e) { ReadWalkGrid(location, e); });
    LocationLoadKeepAlive();

    if (const TiXmlElement* environment = root->FirstChildElement("physical_environment")) {
        if (const char* file = XmlGetText("file", Handle(environment))) {
            location.staticEnvironmentFile = file;
            LoadStaticEnvironment((g_dataRoot + file).c_str());
        }
    }
    if (const TiXmlElement* light = root->FirstChildElement("shade_light")) {
        const XmlHandle handle = Handle(light);
        location.shadeLightPosition = XmlGetVector3("pos", handle);
        location.shadeLightColor = XmlGetColor("color", handle);
        location.hasShadeLight = 1;
    }
    LocationLoadKeepAlive();

    LoadSkySphere(location, root->FirstChildElement("sky_sphere"));
    LocationLoadKeepAlive();

    uint32_t groupIndex = 0;
    ForEach(root, "camera_group", [&](const TiXmlElement* e) {
        if (LoadCameraGroup(location, e, groupIndex))
            ++groupIndex;
    });
    ForEach(root, "linked_2d_object", [&](const TiXmlElement* e) { LoadLinked2dObject(location, e); });
    LocationLoadKeepAlive();
    ClearLocationSprites();

    ForEach(root, "entity", [&](const TiXmlElement* e) { LoadEntity(e, true, nullptr); });
    ForEach(root, "curve_way", [&](const TiXmlElement* e) { ReadCurveWay(location, e); });
    LocationLoadKeepAlive();

    ForEach(root, "shade_box", [&](const TiXmlElement* e) { LoadShadeBoxes(location, e); });
    ForEach(root, "overlay_document", [&](const TiXmlElement* e) { LoadOverlayDocument(location, e); });
    LocationLoadKeepAlive();
}

} // namespace

void LoadLocation(CQmLocation& location, const char* path, const uint8_t* data, uint32_t size)
{
    CQmLocation* const previousTarget = g_loadingLocation;
    g_loadingLocation = &location;
    location.name = GetPathBaseName(CGeString(path ? path : ""));
    if (data && size) {
        TiXmlDocument document;
        const bool parsed = XmlParseDocumentText(data, size, document) && !document.Error();
        g_shadowMode = 0;
        const TiXmlElement* root = parsed ? document.FirstChildElement("location") : nullptr;
        if (root)
            ReadSections(location, root);
        else
            GeLog(2, "LoadLocation: %s has no location element\n", location.name.c_str());
    }
    g_loadingLocation = previousTarget;
}

bool LoadLocationFromFile(CQmLocation& location, const uint8_t* data, uint32_t size, const CGeString& key)
{
    LoadLocation(location, key.c_str(), data, size);
    return true;
}
