#include "Engine/Anim/GmMeshResource.h"

#include "Engine/Anim/JaPlayer.h"

#include "Engine/Anim/GeAnimArray.h"
#include "Engine/Core/Common/GeLittleEndian.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GePath.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmD3dTables.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GmMesh.h"
#include "Engine/Core/Gm/GmResCollector.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

Matrix4 LocalMatrix(const GmJointRecord& joint)
{
    Matrix4 m = QuatToMatrix(Quat{joint.rotation[0], joint.rotation[1], joint.rotation[2], joint.rotation[3]});
    m.m[3] += joint.position[0];
    m.m[7] += joint.position[1];
    m.m[11] += joint.position[2];
    return m;
}

Vec3 ReadVec3(const uint8_t* p)
{
    Vec3 v;
    std::memcpy(&v, p, 12);
    return v;
}

void WriteVec3(uint8_t* p, const Vec3& v)
{
    std::memcpy(p, &v, 12);
}

} // namespace

CGmMeshResource::CGmMeshResource()
{
    subTypeId = GE_RES_MESH_RESOURCE;
}

CGmMeshResource* CGmMeshResource::Clone() const
{
    CGmMeshResource* copy = new CGmMeshResource();
    copy->joints = joints;
    copy->world = world;
    copy->inverseBind = inverseBind;
    copy->dirty = dirty;
    return copy;
}

IGmSkeleton* CGmMeshResource::CloneSkeleton() const
{
    CGmMeshResource* copy = Clone();
    copy->subTypeId = GE_RES_NONE;
    return copy;
}

Matrix4 CGmMeshResource::WorldMatrix(uint32_t joint) const
{
    Matrix4 m;
    std::memcpy(m.m, world[joint].m, sizeof m.m);
    return m;
}

void CGmMeshResource::UpdateWorldMatrices()
{
    if (!dirty)
        return;
    const uint32_t n = joints.Count();
    if (world.Count() != n)
        AnimResetArray(world, n);
    if (g_pGeSimd) {
        g_pGeSimd->TransformRecords(world.data, joints.data, n);
    } else {
        for (uint32_t i = 0; i < n; ++i) {
            const Matrix4 local = LocalMatrix(joints[i]);
            std::memcpy(world[i].m, local.m, sizeof local.m);
            world[i].parent = joints[i].parent;
        }
    }
    for (uint32_t i = 1; i < n; ++i) {
        const uint32_t parent = world[i].parent;
        if (parent >= i)
            continue; // the reordering guarantees parents come first
        const Matrix4 combined = MatrixMultiply4x4(WorldMatrix(parent), WorldMatrix(i));
        std::memcpy(world[i].m, combined.m, sizeof combined.m);
    }
    dirty = 0;
}

void CGmMeshResource::SetPose(const IGmJointPoseSource& source)
{
    // The source may know fewer joints than the skeleton (a player made for
    // another model): only the joints both know change.
    uint32_t n = joints.Count();
    if (const CJaPlayer* player = dynamic_cast<const CJaPlayer*>(&source))
        n = std::min(n, player->jointCount);
    for (uint32_t j = 0; j < n; ++j) {
        GmJointKey key;
        source.GetJointKey(key, j);
        GmJointRecord& joint = joints[j];
        joint.position[0] = key.position.x;
        joint.position[1] = key.position.y;
        joint.position[2] = key.position.z;
        std::memcpy(joint.rotation, &key.rotation, 16);
    }
    dirty = 1;
    UpdateWorldMatrices();
}

Matrix4 CGmMeshResource::SkinningMatrix(uint32_t joint) const
{
    if (joint >= world.Count() || joint >= inverseBind.Count())
        return Matrix4::Identity();
    return MatrixMultiply4x4(WorldMatrix(joint), inverseBind[joint]);
}

void CGmMeshResource::SkinMeshVertices(const CGmMesh& mesh, CGmVertexBuffer& target) const
{
    const CGmVertexBuffer* source = mesh.vertexBuffer;
    if (!source || !source->GetData() || !target.GetData())
        return;
    const uint32_t jointCount = world.Count();
    if (m_skinScratch.Count() != jointCount)
        AnimResetArray(m_skinScratch, jointCount);
    for (uint32_t j = 0; j < jointCount; ++j)
        m_skinScratch[j] = SkinningMatrix(j);
    const Matrix4 identity = Matrix4::Identity();

    target.CopyFrom(*source);
    const GmVertexLayout& from = source->Layout();
    const GmVertexLayout& to = target.Layout();
    const bool hasPosition = (from.flags & to.flags & GE_VEF_XYZ) != 0;
    const bool hasNormal = (from.flags & to.flags & GE_VEF_NORMAL) != 0;
    const bool indexed = from.blendCount > 0 && (from.flags & GE_VEF_LASTBETA_UBYTE4) != 0;
    // As indexed vertex blending reads a vertex: n stored weights, the last
    // of n + 1 matrices weighted 1 - the others; matrix k is joint k, or the
    // joint in index byte k when the last blend value holds indices.
    // Four index bytes name at most four matrices.
    const uint32_t weights = indexed ? std::min(from.blendCount - 1, 3u) : from.blendCount;
    const uint32_t count = std::min(source->Count(), target.Count());
    for (uint32_t v = 0; v < count; ++v) {
        const uint8_t* in = source->GetData() + size_t(v) * from.stride;
        uint8_t* out = target.GetData() + size_t(v) * to.stride;
        const Vec3 p = hasPosition ? ReadVec3(in + from.position) : Vec3{0, 0, 0};
        const Vec3 nrm = hasNormal ? ReadVec3(in + from.normal) : Vec3{0, 0, 0};
        Vec3 pOut = {0, 0, 0}, nOut = {0, 0, 0};
        float rest = 1.0f;
        for (uint32_t k = 0; k <= weights; ++k) {
            float w;
            if (k < weights) {
                std::memcpy(&w, in + from.blend + 4 * k, 4);
                rest -= w;
            } else {
                w = rest;
            }
            const uint32_t joint = indexed ? in[from.lastBlend + k] : k;
            const Matrix4& m = joint < jointCount ? m_skinScratch[joint] : identity;
            const Vec3 tp = MatrixTransformPoint(m, p);
            const Vec3 tn = MatrixTransformNormal(m, nrm);
            pOut = {pOut.x + w * tp.x, pOut.y + w * tp.y, pOut.z + w * tp.z};
            nOut = {nOut.x + w * tn.x, nOut.y + w * tn.y, nOut.z + w * tn.z};
        }
        if (hasPosition)
            WriteVec3(out + to.position, pOut);
        if (hasNormal)
            WriteVec3(out + to.normal, nOut);
    }
}

bool CGmMeshResource::LoadBinary(const CGeFileData& file)
{
    const uint8_t* data = file.data;
    const uint64_t size = file.size;
    if (size < 4 || ReadLe32(data) != kGemeshSignature)
        return false;
    if (size < kGemeshJointOffsetOffset + 4) {
        GeLog(2, "CGmMeshResource: %s refused: header cut short\n", file.path.c_str());
        return false;
    }
    const uint32_t version = ReadLe32(data + 4);
    const uint64_t count = ReadLe32(data + kGemeshJointCountOffset);
    const uint64_t offset = ReadLe32(data + kGemeshJointOffsetOffset);
    if (offset > size || count * kGemeshJointBytes > size - offset) {
        GeLog(2, "CGmMeshResource: %s refused: joint records outside the file\n", file.path.c_str());
        return false;
    }
    AnimResetArray(joints, uint32_t(count));
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* p = data + offset + uint64_t(i) * kGemeshJointBytes;
        GmJointRecord& joint = joints[i];
        if (version == 1) {
            std::memcpy(joint.position, p + 16, 12);
            std::memcpy(&joint.position[3], p + 28, 4);
            std::memcpy(joint.rotation, p, 16);
        } else {
            std::memcpy(joint.position, p, 16);
            std::memcpy(joint.rotation, p + 16, 16);
        }
        joint.parent = ReadLe32(p + 32);
    }
    jointNames.Clear();
    return FinishLoad(file.path.c_str());
}

bool CGmMeshResource::LoadXml(const CGeFileData& file)
{
    TiXmlDocument document;
    XmlParseDocumentText(file.data, file.size, document);
    TiXmlElement* root = document.FirstChildElement("GE_MESH");
    if (!root)
        return false;
    XmlHandle handle;
    handle.element = root;
    const char* type = XmlGetText("Type", handle);
    if (!type || std::strcmp(type, "SKELETAL") != 0)
        return false;
    if (XmlCountChildren(root, "GE_JOINTS_HIERARCHY") != 1)
        return false;
    TiXmlElement* hierarchy = root->FirstChildElement("GE_JOINTS_HIERARCHY");
    if (!hierarchy->FirstChildElement("JOINT"))
        return false;
    joints.Clear();
    jointNames.Clear();
    for (TiXmlElement* e = hierarchy->FirstChildElement("JOINT"); e; e = e->NextSiblingElement("JOINT")) {
        XmlHandle jh;
        jh.element = e;
        const Vec4 position = XmlGetVector3("Position", jh);
        const Vec4 direction = XmlGetVector4("Direction", jh);
        GmJointRecord joint = {};
        joint.position[0] = position.x;
        joint.position[1] = position.y;
        joint.position[2] = position.z;
        joint.rotation[0] = direction.x;
        joint.rotation[1] = direction.y;
        joint.rotation[2] = direction.z;
        joint.rotation[3] = direction.w;
        joint.parent = uint32_t(XmlGetInt("Parent", jh));
        joints.Add(joint);
        jointNames.Add(CGeString());
    }
    return FinishLoad(file.path.c_str());
}

bool CGmMeshResource::FinishLoad(const char* path)
{
    const uint32_t n = joints.Count();
    uint32_t root = n;
    for (uint32_t i = 0; i < n && root == n; ++i) {
        if (int32_t(joints[i].parent) == -1)
            root = i;
    }
    if (root == n) {
        joints.Clear();
        jointNames.Clear();
        world.Clear();
        inverseBind.Clear();
        GeLog(2, "CGmMeshResource: %s refused: no root joint\n", path);
        return false;
    }
    // Children of each joint in stored order, as index ranges into one list.
    std::vector<uint32_t> firstChild(n + 1, 0), children(n);
    for (uint32_t i = 0; i < n; ++i) {
        if (joints[i].parent < n)
            ++firstChild[joints[i].parent + 1];
    }
    for (uint32_t i = 0; i < n; ++i)
        firstChild[i + 1] += firstChild[i];
    std::vector<uint32_t> fill(firstChild.begin(), firstChild.end() - 1);
    for (uint32_t i = 0; i < n; ++i) {
        if (joints[i].parent < n)
            children[fill[joints[i].parent]++] = i;
    }
    // Pre-order walk: each joint's parent is already placed, and a joint is
    // reached only from its one parent, so nothing is placed twice.
    std::vector<uint32_t> newIndex(n, n), order, stack{root};
    order.reserve(n);
    while (!stack.empty()) {
        const uint32_t j = stack.back();
        stack.pop_back();
        if (newIndex[j] != n)
            continue;
        newIndex[j] = uint32_t(order.size());
        order.push_back(j);
        for (uint32_t c = firstChild[j + 1]; c-- > firstChild[j];) {
            if (children[c] != root)
                stack.push_back(children[c]);
        }
    }
    CGeArray<GmJointRecord> placed;
    AnimResetArray(placed, uint32_t(order.size()));
    for (uint32_t i = 0; i < order.size(); ++i) {
        placed[i] = joints[order[i]];
        placed[i].parent = i == 0 ? 0 : newIndex[joints[order[i]].parent];
    }
    joints.Swap(placed);
    if (!jointNames.IsEmpty())
        AnimResetArray(jointNames, joints.Count());
    if (joints.Count() != n)
        GeTrace("CGmMeshResource: %s: %u joints outside the first root's tree dropped", path,
                unsigned(n - joints.Count()));

    dirty = 1;
    AnimResetArray(world, joints.Count());
    AnimResetArray(inverseBind, joints.Count());
    UpdateWorldMatrices();
    for (uint32_t i = 0; i < joints.Count(); ++i) {
        if (!MatrixInverse(WorldMatrix(i), inverseBind[i]))
            inverseBind[i] = Matrix4::Identity();
    }
    return true;
}

bool IsSkeletalGeMesh(const CGeFileData& file)
{
    return IsSkeletalMeshFile(file);
}

bool LoadGeMesh(CGmMeshResource& resource, const CGeFileData& file)
{
    if (!file.data || !file.size)
        return false;
    const CGeString extension = ToLowerString(GetPathExtension(file.path));
    if (extension == "xml")
        return resource.LoadXml(file);
    if (extension == "gemesh")
        return resource.LoadBinary(file);
    return false;
}
