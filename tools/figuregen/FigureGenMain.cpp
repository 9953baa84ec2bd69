// figuregen: writes the demo hero, a small skinned figure of boxes, and its
// tracks, with the animation writers.
//
//   figuregen DATA_DIR
//
// Writes DATA_DIR/meshes/hero.xml (a GE_MESH of Type SKELETAL: every vertex
// on one joint, the joints hierarchy after the vertices) and the looping
// tracks DATA_DIR/anims/hero/stand.geat, walk.geat and run.geat, and the
// one-shot wave.geat. The figure faces +x with its feet at y = 0, about 170
// units tall. "stand" sways a little in place; "walk" and "run" swing legs and
// arms while the root moves along +x at 150 and 300 units a second, with a
// "step" event at each footfall; "wave" raises the right arm and waves it
// twice in place.
#include "tools/animwrite/AnimWriter.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

const float kPi = 3.14159265f;

enum Joint { kHips, kSpine, kHead, kLeftThigh, kLeftShin, kRightThigh, kRightShin, kLeftArm, kRightArm, kJoints };

// Place relative to the parent (rest turns are all identity) and parent.
const float kJointPlace[kJoints][3] = {
    {0, 80, 0}, {0, 10, 0}, {0, 55, 0}, {0, -5, 12}, {0, -40, 0}, {0, -5, -12}, {0, -40, 0}, {0, 50, 24}, {0, 50, -24},
};
const int kParent[kJoints] = {-1, kHips, kSpine, kHips, kLeftThigh, kHips, kRightThigh, kSpine, kSpine};

// One box per joint: centre relative to the joint, full size.
const float kPart[kJoints][6] = {
    {0, 0, 0, 20, 15, 36},      {0, 25, 0, 22, 50, 40},     {0, 12, 0, 22, 24, 22},
    {0, -20, 0, 12, 40, 12},    {0, -17.5f, 0, 12, 35, 14}, {0, -20, 0, 12, 40, 12},
    {0, -17.5f, 0, 12, 35, 14}, {0, -28, 0, 10, 56, 10},    {0, -28, 0, 10, 56, 10},
};

std::string Num(float v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", double(v));
    return text;
}

void JointWorld(int j, float out[3])
{
    out[0] = out[1] = out[2] = 0.0f;
    for (int k = j; k >= 0; k = kParent[k])
        for (int i = 0; i < 3; ++i)
            out[i] += kJointPlace[k][i];
}

std::string MeshXml()
{
    std::string vertices, faces;
    uint32_t base = 0;
    // The six faces of a box: normal axis and sign; four corners each.
    for (int j = 0; j < kJoints; ++j) {
        float origin[3];
        JointWorld(j, origin);
        const float* part = kPart[j];
        for (int axis = 0; axis < 3; ++axis) {
            for (int sign = -1; sign <= 1; sign += 2) {
                const int u = (axis + 1) % 3, v = (axis + 2) % 3;
                const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
                for (const auto& c : corners) {
                    float p[3], n[3] = {0, 0, 0};
                    p[axis] = float(sign) * part[3 + axis] * 0.5f;
                    p[u] = c[0] * part[3 + u] * 0.5f;
                    p[v] = c[1] * part[3 + v] * 0.5f;
                    n[axis] = float(sign);
                    vertices += "<VERTEX XYZ=\"" + Num(origin[0] + part[0] + p[0]) + " " +
                                Num(origin[1] + part[1] + p[1]) + " " + Num(origin[2] + part[2] + p[2]) +
                                "\" Normal=\"" + Num(n[0]) + " " + Num(n[1]) + " " + Num(n[2]) +
                                "\" Weights=\"1\" Joints=\"" + std::to_string(j) + "\"/>\n";
                }
                const uint32_t a = base, b = base + 1, c = base + 2, d = base + 3;
                faces += "<FACE VERTS=\"" + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c) +
                         "\"/>\n<FACE VERTS=\"" + std::to_string(a) + " " + std::to_string(c) + " " +
                         std::to_string(d) + "\"/>\n";
                base += 4;
            }
        }
    }
    std::vector<SkeletonJoint> joints(kJoints);
    for (int j = 0; j < kJoints; ++j) {
        for (int i = 0; i < 3; ++i)
            joints[j].position[i] = kJointPlace[j][i];
        joints[j].parent = kParent[j];
    }
    std::string skeleton = animwrite::WriteSkeletonXml(joints);
    const size_t from = skeleton.find("<GE_JOINTS_HIERARCHY>");
    const size_t to = skeleton.find("</GE_MESH>");
    return "<?xml version=\"1.0\"?>\n<!-- The demo hero, written by figuregen. -->\n"
           "<GE_MESH Type=\"SKELETAL\" Name=\"hero\" MaxBonePerVertexCount=\"1\">\n<VERTEX_DATA>\n" +
           vertices + "</VERTEX_DATA>\n<INDEX_DATA>\n" + faces + "</INDEX_DATA>\n" + skeleton.substr(from, to - from) +
           "</GE_MESH>\n";
}

Quat AboutZ(float angle)
{
    return {0.0f, 0.0f, std::sin(angle * 0.5f), std::cos(angle * 0.5f)};
}

// A looping cycle of frames + 1 keys (the last repeats the first) at rate;
// swing is the thigh's amplitude in radians (0: the standing sway), speed
// the root's along +x.
animwrite::TrackSpec Cycle(uint32_t frames, float rate, float swing, float speed)
{
    animwrite::TrackSpec spec;
    spec.rate = rate;
    spec.looped = 1;
    spec.joints = kJoints;
    for (uint32_t f = 0; f <= frames; ++f) {
        const float phase = 2.0f * kPi * float(f) / float(frames);
        const float s = std::sin(phase);
        for (int j = 0; j < kJoints; ++j) {
            CGeJointKey key;
            key.position = {kJointPlace[j][0], kJointPlace[j][1], kJointPlace[j][2]};
            float angle = 0.0f;
            if (swing == 0.0f) {
                angle = j == kSpine ? 0.05f * s : (j == kLeftArm || j == kRightArm) ? 0.04f * s : 0.0f;
            } else {
                const float side = (j == kLeftThigh || j == kRightArm) ? 1.0f : -1.0f;
                if (j == kLeftThigh || j == kRightThigh)
                    angle = side * swing * s;
                else if (j == kLeftShin || j == kRightShin)
                    angle = -swing * 0.8f * std::fmax(0.0f, (j == kLeftShin ? -1.0f : 1.0f) * s);
                else if (j == kLeftArm || j == kRightArm)
                    angle = side * swing * 0.8f * s;
                else if (j == kHips)
                    key.position.y += 2.0f * std::fabs(std::cos(phase));
            }
            key.rotation = AboutZ(angle);
            spec.keys.push_back(key);
        }
        spec.root.push_back(Vec3{speed * float(f) / rate, 0.0f, 0.0f});
        const bool footfall = swing != 0.0f && (f == 0 || f * 2 == frames);
        spec.events.push_back(footfall ? "step" : nullptr);
    }
    return spec;
}

// The right arm raised overhead and swung to and fro twice over frames keys
// at rate; played once.
animwrite::TrackSpec Wave(uint32_t frames, float rate)
{
    animwrite::TrackSpec spec;
    spec.rate = rate;
    spec.looped = 0;
    spec.joints = kJoints;
    for (uint32_t f = 0; f <= frames; ++f) {
        const float t = float(f) / float(frames);
        const float raise = 2.6f * std::sin(kPi * t); // up and down again
        const float swing = 0.35f * std::sin(4.0f * kPi * t);
        for (int j = 0; j < kJoints; ++j) {
            CGeJointKey key;
            key.position = {kJointPlace[j][0], kJointPlace[j][1], kJointPlace[j][2]};
            key.rotation = AboutZ(j == kRightArm ? raise + swing * std::sin(kPi * t) : 0.0f);
            spec.keys.push_back(key);
        }
        spec.root.push_back(Vec3{0.0f, 0.0f, 0.0f});
        spec.events.push_back(nullptr);
    }
    return spec;
}

bool Write(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out) {
        std::fprintf(stderr, "figuregen: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: figuregen DATA_DIR\n");
        return 2;
    }
    const std::string root = argv[1];
    std::error_code error;
    std::filesystem::create_directories(root + "/meshes", error);
    std::filesystem::create_directories(root + "/anims/hero", error);
    bool ok = Write(root + "/meshes/hero.xml", MeshXml());
    const struct {
        const char* name;
        animwrite::TrackSpec spec;
    } tracks[] = {
        {"stand", Cycle(40, 20.0f, 0.0f, 0.0f)},
        {"walk", Cycle(20, 20.0f, 0.45f, 150.0f)},
        {"run", Cycle(12, 20.0f, 0.7f, 300.0f)},
        {"wave", Wave(30, 20.0f)},
    };
    for (const auto& track : tracks) {
        const animwrite::Bytes bytes = animwrite::WriteGeat(track.spec);
        ok = Write(root + "/anims/hero/" + track.name + ".geat", std::string(bytes.begin(), bytes.end())) && ok;
    }
    return ok ? 0 : 1;
}
