#include "LocationPainter.h"

#include "DepthPictureWriter.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Gm/GmCamera.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <tinyxml.h>

namespace {

bool LoadXml(const std::string& path, TiXmlDocument& document, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    document.Parse(text.c_str());
    if (document.Error() || !document.RootElement()) {
        error = path + " is not XML";
        return false;
    }
    return true;
}

Vec3 Read3(const TiXmlElement* element, const char* name)
{
    XmlHandle handle;
    handle.element = const_cast<TiXmlElement*>(element);
    const Vec4 v = XmlGetVector3(name, handle);
    return Vec3{v.x, v.y, v.z};
}

float ReadFloat(const TiXmlElement* element, const char* name, float fallback)
{
    const char* text = element->Attribute(name);
    return text ? float(std::atof(text)) : fallback;
}

uint32_t ReadArgb(const TiXmlElement* element)
{
    const char* text = element->Attribute("argb");
    return text ? uint32_t(std::strtoul(text, nullptr, 16)) : 0xFFFFFFFFu;
}

std::string Text(const TiXmlElement* element, const char* name)
{
    const char* text = element->Attribute(name);
    return text ? text : "";
}

// The nearest t > 0 at which the ray meets the box; false when it misses.
bool HitBox(const Vec3& origin, const Vec3& direction, const PaintedBox& box, float& t)
{
    float low = 0.0f, high = 1e30f;
    const float o[3] = {origin.x, origin.y, origin.z};
    const float d[3] = {direction.x, direction.y, direction.z};
    const float lo[3] = {box.min.x, box.min.y, box.min.z};
    const float hi[3] = {box.max.x, box.max.y, box.max.z};
    for (int axis = 0; axis < 3; ++axis) {
        if (d[axis] == 0.0f) {
            if (o[axis] < lo[axis] || o[axis] > hi[axis])
                return false;
            continue;
        }
        float t0 = (lo[axis] - o[axis]) / d[axis];
        float t1 = (hi[axis] - o[axis]) / d[axis];
        if (t0 > t1)
            std::swap(t0, t1);
        low = t0 > low ? t0 : low;
        high = t1 < high ? t1 : high;
        if (low > high)
            return false;
    }
    t = low;
    return low > 0.0f;
}

bool WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

} // namespace

std::vector<uint8_t> ColourTga(uint32_t width, uint32_t height, const std::vector<uint32_t>& pixels)
{
    std::vector<uint8_t> bytes(18, 0);
    bytes[2] = 2;
    bytes[12] = uint8_t(width);
    bytes[13] = uint8_t(width >> 8);
    bytes[14] = uint8_t(height);
    bytes[15] = uint8_t(height >> 8);
    bytes[16] = 32;
    bytes[17] = 0x28; // top row first, eight alpha bits
    bytes.reserve(18 + pixels.size() * 4);
    for (uint32_t argb : pixels)
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(uint8_t(argb >> shift));
    return bytes;
}

bool ReadPainting(const std::string& path, Painting& painting, std::string& error)
{
    TiXmlDocument document;
    if (!LoadXml(path, document, error))
        return false;
    const TiXmlElement* root = document.RootElement();
    if (std::string(root->Value()) != "painting") {
        error = path + " has no painting element";
        return false;
    }
    painting.width = uint32_t(ReadFloat(root, "width", 0.0f));
    painting.height = uint32_t(ReadFloat(root, "height", 0.0f));
    painting.colourFile = Text(root, "colour");
    painting.depthFile = Text(root, "depth");
    painting.pickingFile = Text(root, "picking");
    if (!painting.width || !painting.height || painting.width > 4096 || painting.height > 4096) {
        error = path + ": width and height must lie in 1 to 4096";
        return false;
    }
    if (const TiXmlElement* floor = root->FirstChildElement("floor")) {
        painting.hasFloor = true;
        painting.floorY = ReadFloat(floor, "y", 0.0f);
        painting.floorNear = ReadFloat(floor, "near", -1e30f);
        painting.floorFar = ReadFloat(floor, "far", 1e30f);
        painting.floorArgb = ReadArgb(floor);
    }
    for (const TiXmlElement* box = root->FirstChildElement("box"); box; box = box->NextSiblingElement("box"))
        painting.boxes.push_back(PaintedBox{Read3(box, "min"), Read3(box, "max"), ReadArgb(box)});
    return true;
}

bool ReadLocationCamera(const std::string& path, PaintCamera& camera, std::string& error)
{
    TiXmlDocument document;
    if (!LoadXml(path, document, error))
        return false;
    const TiXmlElement* group = document.RootElement()->FirstChildElement("camera_group");
    const TiXmlElement* element = group ? group->FirstChildElement("camera3d") : nullptr;
    if (!element) {
        error = path + " has no camera_group with a camera3d";
        return false;
    }
    camera.eye = Read3(element, "pos");
    camera.target = Read3(element, "target");
    camera.up = Read3(element, "upvec");
    camera.fov = ReadFloat(element, "fov", 0.0f);
    camera.nearPlane = ReadFloat(element, "znear", 0.0f);
    camera.farPlane = ReadFloat(element, "zfar", 0.0f);
    return true;
}

void PaintPictures(const Painting& painting, const PaintCamera& spec, std::vector<uint32_t>& colour,
                   std::vector<float>& depth)
{
    CGmPerspectiveCamera camera;
    camera.screenWidth = int32_t(painting.width);
    camera.screenHeight = int32_t(painting.height);
    camera.boundWidth = float(painting.width);
    camera.boundHeight = float(painting.height);
    camera.eye = spec.eye;
    camera.target = spec.target;
    camera.up = spec.up;
    camera.fov = spec.fov;
    camera.nearPlane = spec.nearPlane;
    camera.farPlane = spec.farPlane;
    camera.Apply(GeViewport{0, 0, painting.width, painting.height, 0.0f, 1.0f});
    Vec3 forward = {spec.target.x - spec.eye.x, spec.target.y - spec.eye.y, spec.target.z - spec.eye.z};
    forward.Normalize();

    const size_t count = size_t(painting.width) * painting.height;
    colour.assign(count, 0x00000000u);
    depth.assign(count, kDepthNoGeometry);
    for (uint32_t y = 0; y < painting.height; ++y) {
        for (uint32_t x = 0; x < painting.width; ++x) {
            const Vec3 direction = camera.ScreenToRay(float(x) + 0.5f, float(y) + 0.5f);
            float nearest = 1e30f;
            uint32_t argb = 0;
            if (painting.hasFloor && direction.y != 0.0f) {
                const float t = (painting.floorY - spec.eye.y) / direction.y;
                const float z = spec.eye.z + direction.z * t;
                if (t > 0.0f && z >= painting.floorNear && z <= painting.floorFar) {
                    nearest = t;
                    argb = painting.floorArgb;
                }
            }
            for (const PaintedBox& box : painting.boxes) {
                float t = 0.0f;
                if (HitBox(spec.eye, direction, box, t) && t < nearest) {
                    nearest = t;
                    argb = box.argb;
                }
            }
            if (nearest >= 1e30f)
                continue;
            const size_t at = size_t(y) * painting.width + x;
            colour[at] = argb;
            depth[at] = nearest * Vec3::Dot(direction, forward);
        }
    }
}

bool WritePaintedPictures(const std::string& root, const Painting& painting, const PaintCamera& camera)
{
    std::vector<uint32_t> colour;
    std::vector<float> depth;
    PaintPictures(painting, camera, colour, depth);
    const std::filesystem::path base(root);
    bool written = true;
    if (!painting.colourFile.empty())
        written = WriteBytes(base / painting.colourFile, ColourTga(painting.width, painting.height, colour)) && written;
    DepthPicture picture(painting.width, painting.height, kDepthNoGeometry);
    picture.depths = depth;
    for (const std::string& file : {painting.depthFile, painting.pickingFile})
        if (!file.empty())
            written = WriteBytes(base / file, picture.Serialize()) && written;
    return written;
}
