#include "tools/animwrite/AnimWriter.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace animwrite {

namespace {

void PutLe32(Bytes& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}

void PutF32(Bytes& out, float f)
{
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    PutLe32(out, bits);
}

std::string Num(float f)
{
    char text[48];
    std::snprintf(text, sizeof text, "%.9g", double(f));
    return text;
}

} // namespace

TrackSpec MakeTrack(uint32_t frames, uint32_t joints, float rate)
{
    TrackSpec spec;
    spec.rate = rate;
    spec.joints = joints;
    for (uint32_t f = 0; f < frames; ++f) {
        const float half = float(f) * 10.0f * 3.14159265f / 360.0f;
        for (uint32_t j = 0; j < joints; ++j) {
            CGeJointKey key;
            key.position = {float(f), float(j), 0.0f};
            key.rotation = {0.0f, 0.0f, std::sin(half), std::cos(half)};
            spec.keys.push_back(key);
        }
        spec.root.push_back({float(f), 0.0f, 0.0f});
    }
    return spec;
}

Bytes WriteGeat(const TrackSpec& spec, uint32_t version)
{
    const uint32_t frames = spec.Frames();
    std::string names;
    std::vector<int32_t> offsets;
    for (uint32_t f = 0; f < frames; ++f) {
        const char* event = f < spec.events.size() ? spec.events[f] : nullptr;
        if (!event) {
            offsets.push_back(-1);
            continue;
        }
        offsets.push_back(int32_t(names.size()));
        names += event;
        names.push_back('\0');
    }
    Bytes out;
    PutLe32(out, kGeatSignature);
    PutLe32(out, version);
    PutF32(out, spec.rate);
    PutLe32(out, frames - 1);
    PutLe32(out, kGeatHeaderBytes);
    PutLe32(out, uint32_t(spec.keys.size()) * kGeatKeyBytes);
    PutLe32(out, version == 2 ? uint32_t(names.size()) : 0);
    PutLe32(out, 0);
    out.push_back(spec.looped);
    PutLe32(out, spec.loopFrame);
    for (const CGeJointKey& key : spec.keys) {
        PutF32(out, key.position.x);
        PutF32(out, key.position.y);
        PutF32(out, key.position.z);
        PutF32(out, key.rotation.x);
        PutF32(out, key.rotation.y);
        PutF32(out, key.rotation.z);
        PutF32(out, key.rotation.w);
    }
    for (uint32_t f = 0; f < frames; ++f) {
        PutF32(out, spec.root[f].x);
        PutF32(out, spec.root[f].y);
        PutF32(out, spec.root[f].z);
        if (version == 1)
            out.push_back(offsets[f] >= 0 ? 1 : 0);
        else
            PutLe32(out, uint32_t(offsets[f]));
    }
    if (version == 2)
        out.insert(out.end(), names.begin(), names.end());
    return out;
}

std::string WriteTrackXml(const TrackSpec& spec)
{
    std::string text = "<ge_mesh_anim_track type=\"skeletal_animation\" name=\"test\" framerate=\"" + Num(spec.rate) +
                       "\" looped=\"" + (spec.looped ? "true" : "false") + "\" loopedframe=\"" +
                       std::to_string(spec.loopFrame) + "\">\n";
    uint32_t k = 0;
    for (uint32_t f = 0; f < spec.Frames(); ++f) {
        const Vec3& r = spec.root[f];
        text += "<frame translation=\"" + Num(r.x) + " " + Num(r.y) + " " + Num(r.z) + "\"";
        if (f < spec.events.size() && spec.events[f])
            text += std::string(" event=\"") + spec.events[f] + "\"";
        text += ">\n";
        for (uint32_t j = 0; j < spec.joints && k < spec.keys.size(); ++j, ++k) {
            const CGeJointKey& key = spec.keys[k];
            text += "<joint position=\"" + Num(key.position.x) + " " + Num(key.position.y) + " " + Num(key.position.z) +
                    "\" direction=\"" + Num(key.rotation.x) + " " + Num(key.rotation.y) + " " + Num(key.rotation.z) +
                    " " + Num(key.rotation.w) + "\"/>\n";
        }
        text += "</frame>\n";
    }
    if (!spec.jointsInfo.empty()) {
        text += "<joints_info>\n";
        for (int index : spec.jointsInfo)
            text += "<joint index=\"" + std::to_string(index) + "\"/>\n";
        text += "</joints_info>\n";
    }
    text += "</ge_mesh_anim_track>\n";
    return text;
}

std::string WriteSkeletonXml(const std::vector<SkeletonJoint>& joints)
{
    std::string text = "<GE_MESH Type=\"SKELETAL\" Name=\"test\">\n<GE_JOINTS_HIERARCHY>\n";
    for (const SkeletonJoint& j : joints) {
        text += "<JOINT Parent=\"" + std::to_string(j.parent) + "\" Position=\"" + Num(j.position[0]) + " " +
                Num(j.position[1]) + " " + Num(j.position[2]) + "\" Direction=\"" + Num(j.rotation[0]) + " " +
                Num(j.rotation[1]) + " " + Num(j.rotation[2]) + " " + Num(j.rotation[3]) + "\"/>\n";
    }
    text += "</GE_JOINTS_HIERARCHY>\n</GE_MESH>\n";
    return text;
}

std::vector<SkeletonJoint> MakeChain(uint32_t count)
{
    std::vector<SkeletonJoint> joints(count);
    for (uint32_t i = 0; i < count; ++i) {
        joints[i].parent = int32_t(i) - 1;
        joints[i].position[1] = i ? 1.0f : 0.0f;
    }
    return joints;
}

Bytes FromText(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

} // namespace animwrite
