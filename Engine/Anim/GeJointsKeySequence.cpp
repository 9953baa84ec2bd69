#include "Engine/Anim/GeJointsKeySequence.h"

#include "Engine/Anim/GeAnimArray.h"
#include "Engine/Core/Common/GeLittleEndian.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GePath.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Gm/GmResCollector.h"

#include <cmath>
#include <cstring>

namespace {

bool UsableFrameRate(float rate)
{
    return std::isfinite(rate) && rate > 0.0f;
}

void FillIdentityMap(CGeArray<uint16_t>& map, uint32_t n)
{
    AnimResetArray(map, n);
    for (uint32_t i = 0; i < n; ++i)
        map[i] = uint16_t(i);
}

// An offset names an event only when a terminated name starts there inside
// the block.
bool NameInsideBlock(const CGeArray<uint8_t>& names, int32_t offset)
{
    if (offset < 0 || uint32_t(offset) >= names.Count())
        return false;
    return std::memchr(names.data + offset, 0, names.Count() - uint32_t(offset)) != nullptr;
}

} // namespace

CGeJointsKeySequence::CGeJointsKeySequence() : name("unknown")
{
    subTypeId = GE_RES_ANIM_TRACK;
}

const char* CGeJointsKeySequence::EventName(int32_t frame) const
{
    if (frame < 0 || uint32_t(frame) >= frameEvents.Count())
        return nullptr;
    const int32_t offset = frameEvents[uint32_t(frame)];
    if (offset < 0 || uint32_t(offset) >= eventNames.Count())
        return nullptr;
    return reinterpret_cast<const char*>(eventNames.data + offset);
}

void CGeJointsKeySequence::Fail()
{
    keys.Clear();
    frameEvents.Clear();
    jointMap.Clear();
    eventNames.Clear();
    rootCurve.Clear();
    jointCount = 0;
    duration = 0.0f;
}

bool CGeJointsKeySequence::CreateFromBinary(const CGeFileData& file)
{
    const uint8_t* data = file.data;
    const uint64_t size = file.size;
    if (size < 4 || ReadLe32(data) != kGeatSignature) {
        duration = 0.0f;
        GeLog(2, "@ja_seq@CGeJointsKeySequence::CreateFromBinary(): invalid file id!\n");
        return false;
    }
    const uint32_t version = size >= 8 ? ReadLe32(data + 4) : 0;
    if (version != 1 && version != 2) {
        duration = 0.0f;
        GeLog(2, "@ja_seq@CGeJointsKeySequence::CreateFromBinary(): invalid file version %i !\n", int(version));
        return false;
    }
    auto refuse = [&](const char* why) {
        Fail();
        GeLog(2, "@ja_seq@CGeJointsKeySequence::CreateFromBinary(): %s: %s\n", why, file.path.c_str());
        return false;
    };
    if (size < kGeatHeaderBytes)
        return refuse("header cut short");
    const float rate = ReadLeF32(data + 0x08);
    const uint32_t last = ReadLe32(data + 0x0C);
    const uint64_t keyOffset = ReadLe32(data + 0x10);
    const uint64_t keyBytes = ReadLe32(data + 0x14);
    const uint64_t nameBytes = version == 2 ? ReadLe32(data + 0x18) : 0;
    if (!UsableFrameRate(rate))
        return refuse("frame rate not a positive number");
    if (last == 0xFFFFFFFFu)
        return refuse("no frame count fits the last frame index");
    const uint64_t frames = uint64_t(last) + 1;
    const uint64_t recordBytes = version == 1 ? kGeatFrameBytesV1 : kGeatFrameBytesV2;
    const uint64_t recordsAt = keyOffset + keyBytes;
    if (recordsAt > size || frames * recordBytes > size - recordsAt)
        return refuse("key block or frame records outside the file");
    const uint64_t namesAt = recordsAt + frames * recordBytes;
    if (nameBytes > size - namesAt)
        return refuse("event-name block outside the file");

    frameRate = rate;
    duration = float(last) / rate;
    looped = data[0x20];
    loopFrame = ReadLe32(data + 0x21);

    const uint32_t keyCount = uint32_t(keyBytes / kGeatKeyBytes);
    jointCount = uint32_t(keyCount / frames);
    AnimResetArray(keys, keyCount);
    for (uint32_t k = 0; k < keyCount; ++k) {
        const uint8_t* p = data + keyOffset + uint64_t(k) * kGeatKeyBytes;
        CGeJointKey& key = keys[k];
        key.position = {ReadLeF32(p), ReadLeF32(p + 4), ReadLeF32(p + 8)};
        key.reserved = 0;
        std::memcpy(&key.rotation, p + 12, 16);
    }

    // The name block comes first so that the frames' offsets can be checked.
    eventNames.Clear();
    if (version == 1) {
        eventNames.Add(uint8_t('1'));
        eventNames.Add(uint8_t(0));
    } else if (nameBytes) {
        AnimResetArray(eventNames, uint32_t(nameBytes));
        std::memcpy(eventNames.data, data + namesAt, size_t(nameBytes));
    }

    AnimResetArray(frameEvents, uint32_t(frames));
    rootCurve.Clear();
    for (uint32_t i = 0; i < frames; ++i) {
        const uint8_t* p = data + recordsAt + uint64_t(i) * recordBytes;
        rootCurve.AddKnot(float(i) / rate, Vec3{ReadLeF32(p), ReadLeF32(p + 4), ReadLeF32(p + 8)});
        if (version == 1) {
            frameEvents[i] = p[12] ? 0 : -1;
        } else {
            const int32_t offset = ReadLeI32(p + 12);
            frameEvents[i] = NameInsideBlock(eventNames, offset) ? offset : -1;
        }
    }
    if (jointMap.IsEmpty())
        FillIdentityMap(jointMap, jointCount);
    return true;
}

bool CGeJointsKeySequence::CreateFromXml(const CGeFileData& file)
{
    TiXmlDocument document;
    XmlParseDocumentText(file.data, file.size, document);
    TiXmlElement* root = document.FirstChildElement("ge_mesh_anim_track");
    XmlHandle handle;
    handle.element = root;
    const char* type = root ? XmlGetText("type", handle) : nullptr;
    TiXmlElement* firstFrame = root ? root->FirstChildElement("frame") : nullptr;
    if (!type || std::strcmp(type, "skeletal_animation") != 0 || !firstFrame ||
        !firstFrame->FirstChildElement("joint")) {
        Fail();
        return false;
    }
    auto refuse = [&](const char* why) {
        Fail();
        GeLog(2, "@ja_seq@CGeJointsKeySequence::CreateFromXml(): %s: %s\n", why, file.path.c_str());
        return false;
    };
    const float rate = XmlGetFloat("framerate", handle);
    if (!UsableFrameRate(rate))
        return refuse("frame rate not a positive number");
    const uint32_t frames = XmlCountChildren(root, "frame");
    const uint32_t joints = XmlCountChildren(firstFrame, "joint");

    // Every frame must give one key per joint: a ragged file would shift all
    // later keys and leave the last frames without any.
    for (TiXmlElement* frame = firstFrame; frame; frame = frame->NextSiblingElement("frame")) {
        if (XmlCountChildren(frame, "joint") != joints)
            return refuse("frames with different joint counts");
    }
    jointMap.Clear();
    if (TiXmlElement* info = root->FirstChildElement("joints_info")) {
        for (TiXmlElement* joint = info->FirstChildElement("joint"); joint;
             joint = joint->NextSiblingElement("joint")) {
            XmlHandle jh;
            jh.element = joint;
            jointMap.Add(uint16_t(XmlGetInt("index", jh)));
        }
        if (jointMap.Count() != joints)
            return refuse("joints_info does not list every joint");
    } else {
        FillIdentityMap(jointMap, joints);
    }

    frameRate = rate;
    looped = XmlGetBool("looped", handle) ? 1 : 0;
    loopFrame = uint32_t(XmlGetInt("loopedframe", handle));
    duration = float(frames - 1) / rate;
    jointCount = joints;
    keys.Clear();
    frameEvents.Clear();
    eventNames.Clear();
    rootCurve.Clear();
    float t = 0.0f;
    for (TiXmlElement* frame = firstFrame; frame; frame = frame->NextSiblingElement("frame")) {
        XmlHandle fh;
        fh.element = frame;
        const Vec4 translation = XmlGetVector3("translation", fh);
        rootCurve.AddKnot(t, Vec3{translation.x, translation.y, translation.z});
        const char* event = XmlGetText("event", fh);
        if (!event || std::strcmp(event, "false") == 0) {
            frameEvents.Add(-1);
        } else {
            frameEvents.Add(int32_t(eventNames.Count()));
            for (const char* c = event; *c; ++c)
                eventNames.Add(uint8_t(*c));
            eventNames.Add(uint8_t(0));
        }
        for (TiXmlElement* joint = frame->FirstChildElement("joint"); joint;
             joint = joint->NextSiblingElement("joint")) {
            XmlHandle jh;
            jh.element = joint;
            const Vec4 position = XmlGetVector3("position", jh);
            const Vec4 direction = XmlGetVector4("direction", jh);
            CGeJointKey key;
            key.position = {position.x, position.y, position.z};
            key.rotation = {direction.x, direction.y, direction.z, direction.w};
            keys.Add(key);
        }
        t += 1.0f / rate;
    }
    return true;
}

bool LoadJointsAnimTrack(CGeJointsKeySequence& track, const CGeFileData& file)
{
    bool read = false;
    if (file.data && file.size) {
        const CGeString extension = ToLowerString(GetPathExtension(file.path));
        if (extension == "xml")
            read = track.CreateFromXml(file);
        else if (extension == "geat")
            read = track.CreateFromBinary(file);
    }
    track.name = GetPathBaseName(file.path);
    return read;
}
