#include "Source/GameClasses/QmPropSoundSource.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GePath.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Sound/SmSoundData.h"
#include "Engine/Core/Sound/SmSoundManager.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <type_traits>

CQmPropSoundSource::PlayObserver CQmPropSoundSource::playObserver = nullptr;

namespace {

// The option that stands for "no loop": a kind the sound ignores.
constexpr uint32_t kNoLoop = 0xFFFF;

bool Same(const Vec3& a, const Vec3& b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

Vec3 WorldPosition(const CGeFrame3D& frame)
{
    return {frame.world.m[3], frame.world.m[7], frame.world.m[11]};
}

// The frame's X axis in the world, normalised.
Vec3 WorldDirection(const CGeFrame3D& frame)
{
    Vec3 d = {frame.world.m[0], frame.world.m[4], frame.world.m[8]};
    d.Normalize();
    return d;
}

// A rotation whose X axis is the unit vector d.
Matrix4 FacingMatrix(const Vec3& d, const Vec3& position)
{
    const Vec3 helper = std::abs(d.y) < 0.99f ? Vec3{0, 1, 0} : Vec3{0, 0, 1};
    Vec3 z = Vec3::Cross(d, helper);
    z.Normalize();
    const Vec3 y = Vec3::Cross(z, d);
    Matrix4 m = MatrixFromAxes(d, y, z);
    m.m[3] = position.x;
    m.m[7] = position.y;
    m.m[11] = position.z;
    return m;
}

bool IsAlive(const QmSoundPlayRecord* record)
{
    return record && record->ref.sound && CSmSoundManager::IsSoundAlive(record->ref.sound);
}

// A parameter child's "value": the default when the child is absent, 0 when
// it has no value.
template <typename T>
T ReadParameter(const TiXmlElement* slot, const char* name, T absent)
{
    const TiXmlElement* child = slot->FirstChildElement(name);
    if (!child)
        return absent;
    const char* value = child->Attribute("value");
    if (!value)
        return T(0);
    return std::is_integral<T>::value ? T(atoi(value)) : T(atof(value));
}

Vec3 ReadVector(const TiXmlElement* slot, const char* name, const Vec3& absent)
{
    const TiXmlElement* child = slot->FirstChildElement(name);
    if (!child)
        return absent;
    XmlHandle handle;
    handle.element = const_cast<TiXmlElement*>(child);
    const Vec4 v = XmlGetVector3("value", handle);
    return {v.x, v.y, v.z};
}

} // namespace

CQmSoundSlot::~CQmSoundSlot()
{
    for (QmSoundPlayRecord* record : records)
        delete record;
    records.Clear();
}

float QmSoundPanAt(const Vec3& worldPosition)
{
    const CGmCamera* camera = CGeHub::s_cameras3d[CGeHub::s_currentSlot];
    if (!camera || camera->currentViewport.Width == 0)
        return 0.0f;
    const Vec4 screen = camera->ProjectPoint(worldPosition);
    const float pan = screen.x * 0.25f / static_cast<float>(camera->currentViewport.Width) - 0.125f;
    return std::min(1.0f, std::max(-1.0f, pan));
}

CQmPropSoundSource::CQmPropSoundSource(CQmEntity* owner) : CQmProp(owner), soundManager(g_soundManager) {}

CQmPropSoundSource::~CQmPropSoundSource()
{
    DeleteSlots();
}

void LoadProperty_SoundSource(CQmEntity& entity, const TiXmlElement* element)
{
    CQmPropSoundSource::CreateFromXML(&entity, element);
}

CQmPropSoundSource* CQmPropSoundSource::CreateFromXML(CQmEntity* entity, const TiXmlElement* element)
{
    if (!entity)
        return nullptr;
    auto* source = new CQmPropSoundSource(entity);
    source->soundManager = g_soundManager;
    if (!source->LoadFromXML(element)) {
        delete source;
        return nullptr;
    }
    entity->SetProp(QM_PROP_SOUND_SOURCE, source);
    source->SetEnabled(true);
    return source;
}

void CQmPropSoundSource::DeleteSlots()
{
    for (auto* node = slots.first; node; node = slots.Next(node)) {
        CQmSoundSlot* slot = node->value;
        Stop(slot);
        if (slot->frame.parent)
            CGeFrame3D::DetachChild(&slot->frame, slot->frame.parent);
        delete slot;
    }
    slots.Clear();
}

bool CQmPropSoundSource::LoadFromXML(const TiXmlElement* element)
{
    if (!element || strcmp(element->Value(), "sound_source") != 0)
        return false;
    if (g_xmlHandle)
        g_xmlHandle->reportMissing = 0;
    DeleteSlots();
    for (const TiXmlElement* child = element->FirstChildElement("slot"); child;
         child = child->NextSiblingElement("slot")) {
        const char* name = child->Attribute("name");
        const CGeString slotName(name ? name : "");
        QmSoundParams params;
        params.innerCone = ReadParameter<int32_t>(child, "inner_cone", 360);
        params.outerCone = ReadParameter<int32_t>(child, "outter_cone", 360);
        params.minDistance = ReadParameter<float>(child, "min_dist", 100.0f);
        params.maxDistance = ReadParameter<float>(child, "max_dist", 3000.0f);
        params.outsideVolume = ReadParameter<float>(child, "outside_volume", 0.0f);
        params.volume = ReadParameter<float>(child, "volume", 1.0f);
        Vec3 direction = ReadVector(child, "direction", {1, 0, 0});
        direction.Normalize();
        const Vec3 position = ReadVector(child, "position", {0, 0, 0});

        CQmSoundSlot* slot = slots.Lookup(slotName);
        if (!slot) {
            slot = new CQmSoundSlot;
            slot->owner = this;
            slot->params = params;
            slot->frame.SetComposeMode(CGeFrame3D::COMPOSE_FIXED);
            if (owner)
                owner->frame.AddChild(&slot->frame);
            slots[slotName] = slot;
        }
        slot->frame.SetMatrix(FacingMatrix({1, 0, 0}, position));
        slot->frame.UpdateWorldMatrix();
        UpdateSlot(slot);
        slot->frame.SetMatrix(FacingMatrix(direction, position));
        UpdateSlot(slot);
    }
    return true;
}

CQmSoundSlot* CQmPropSoundSource::FindSlot(const char* slotName) const
{
    return slotName ? slots.Lookup(CGeString(slotName)) : nullptr;
}

QmSoundPlayRecord* CQmPropSoundSource::PlayByName(const char* slotName, const char* file, bool loop, float volume,
                                                  void* ownerTag, bool mode2d)
{
    CQmSoundSlot* slot = FindSlot(slotName);
    return slot ? Start(file, slot, loop, volume, ownerTag, mode2d) : nullptr;
}

void CQmPropSoundSource::Play(CSmSoundEntry* entry, QmSoundPlayRecord* record, const CSmPlayOption* o, uint32_t count)
{
    if (playObserver)
        playObserver(o, count);
    const CSmPlayOption* end = nullptr;
    if (count == 3) {
        CSmSound::PlayEx(entry, record->ref.Slot(), &o[0], &o[1], &o[2], end);
        return;
    }
    CSmSound::PlayEx(entry, record->ref.Slot(), &o[0], &o[1], &o[2], &o[3], &o[4], &o[5], &o[6], &o[7], &o[8], &o[9],
                     &o[10], end);
}

QmSoundPlayRecord* CQmPropSoundSource::Start(const char* file, CQmSoundSlot* slot, bool loop, float volume,
                                             void* ownerTag, bool mode2d)
{
    if (!soundManager || !slot || !file)
        return nullptr;
    const CGeString name(file);
    CSmSoundEntry* entry = CSmSoundManager::FindSound(soundManager, name);
    if (!entry)
        entry = CSmSoundManager::CreateSound(soundManager, name);
    if (!entry)
        return nullptr;
    entry->ownerKey = reinterpret_cast<uintptr_t>(ownerTag);

    QmSoundPlayRecord* record = nullptr;
    for (uint32_t i = slot->records.Count(); i-- > 0 && !record;) {
        if (!slot->records[i]->ref.sound)
            record = slot->records[i];
    }
    if (!record) {
        record = new QmSoundPlayRecord;
        slot->records.Add(record);
    }
    record->volume = volume;

    slot->frame.UpdateWorldMatrix();
    const Vec3 p = WorldPosition(slot->frame);
    const CSmPlayOption loopOption = CSmPlayOption::Uint(loop ? CSmPlayOption::kLoop : kNoLoop, 0);
    const QmSoundParams& s = slot->params;
    if (!mode2d) {
        const Vec3 d = WorldDirection(slot->frame);
        const CSmPlayOption options[11] = {
            loopOption,
            CSmPlayOption::Float(CSmPlayOption::kMinDistance, s.minDistance),
            CSmPlayOption::Float(CSmPlayOption::kMaxDistance, s.maxDistance),
            CSmPlayOption::Float(CSmPlayOption::kConeOutsideVolume, s.outsideVolume),
            CSmPlayOption::Uint(CSmPlayOption::kOutsideConeAngle, static_cast<uint32_t>(s.outerCone)),
            CSmPlayOption::Uint(CSmPlayOption::kInsideConeAngle, static_cast<uint32_t>(s.innerCone)),
            CSmPlayOption::Vector(CSmPlayOption::kPosition, p.x, p.y, p.z),
            CSmPlayOption::Vector(CSmPlayOption::kConeOrientation, d.x, d.y, d.z),
            CSmPlayOption::Vector(CSmPlayOption::kVelocity, 0.0f, 0.0f, 0.0f),
            CSmPlayOption::Float(CSmPlayOption::kVolume, s.volume * volume),
            CSmPlayOption::Uint(CSmPlayOption::k3d, 1),
        };
        Play(entry, record, options, 11);
    } else {
        const CSmPlayOption options[3] = {
            loopOption,
            CSmPlayOption::Float(CSmPlayOption::kPan, QmSoundPanAt(p)),
            CSmPlayOption::Float(CSmPlayOption::kVolume, s.volume * volume * 0.7f),
        };
        Play(entry, record, options, 3);
    }
    return record;
}

void CQmPropSoundSource::StopByName(const char* slotName)
{
    if (CQmSoundSlot* slot = FindSlot(slotName))
        Stop(slot);
}

void CQmPropSoundSource::Stop(CQmSoundSlot* slot)
{
    if (!slot)
        return;
    for (QmSoundPlayRecord* record : slot->records) {
        if (IsAlive(record)) {
            if (record->ref.sound->buffer)
                record->ref.sound->Stop();
            else
                GeTrace("CQmPropSoundSource::Stop: a sound without a buffer\n");
        }
        delete record; // its handle lets go of the sound
    }
    slot->records.Clear();
}

void CQmPropSoundSource::StopAll()
{
    for (auto* node = slots.first; node; node = slots.Next(node))
        Stop(node->value);
}

void CQmPropSoundSource::SetPlacement(CQmSoundSlot* slot, const QmSoundParams& params)
{
    if (!slot)
        return;
    slot->applied = slot->params;
    slot->params = params;
    UpdateSlot(slot);
}

void CQmPropSoundSource::StopFile(CQmSoundSlot* slot, const char* file)
{
    if (!slot || !file)
        return;
    const size_t length = strlen(file);
    for (QmSoundPlayRecord* record : slot->records) {
        if (!IsAlive(record))
            continue;
        const CSmSound* sound = record->ref.sound;
        if (!sound->entry || !sound->entry->data)
            continue;
        const CGeString path = GetPathRelativeToBase(CGeString(sound->entry->data->GetName()));
        if (path.Length() == length && memcmp(path.c_str(), file, length) == 0)
            record->ref.sound->Stop();
    }
}

void CQmPropSoundSource::SetEnabled(bool on)
{
    enabled = on ? 1 : 0;
    for (auto* node = slots.first; node; node = slots.Next(node)) {
        CQmSoundSlot* slot = node->value;
        for (QmSoundPlayRecord* record : slot->records) {
            if (!IsAlive(record))
                continue;
            record->ref.sound->muted = (slot->enabled && on) ? 0 : 1;
            record->ref.sound->ApplyVolume();
        }
    }
}

void CQmPropSoundSource::Update()
{
    for (auto* node = slots.first; node; node = slots.Next(node))
        UpdateSlot(node->value);
}

void CQmPropSoundSource::UpdateSlot(CQmSoundSlot* slot)
{
    slot->frame.UpdateWorldMatrix();
    const Vec3 p = WorldPosition(slot->frame);
    const Vec3 d = WorldDirection(slot->frame);
    const QmSoundParams& now = slot->params;
    const QmSoundParams& was = slot->applied;
    const bool moved = !Same(p, slot->appliedPosition);
    const bool turned = !Same(d, slot->appliedDirection);
    if (!moved && !turned && now == was)
        return;
    const float delta = g_geTimer ? g_geTimer->delta : 0.0f;
    for (QmSoundPlayRecord* record : slot->records) {
        if (!IsAlive(record))
            continue;
        CSmSound* sound = record->ref.sound;
        if (!sound->is3d) {
            if (moved)
                sound->SetPan(QmSoundPanAt(p));
            continue;
        }
        auto* sound3d = static_cast<CSmSound3D*>(sound);
        if (moved) {
            sound3d->SetPosition(p);
            sound3d->UpdateVelocity(delta);
        }
        if (turned)
            sound3d->SetConeOrientation(d);
        if (now.innerCone != was.innerCone || now.outerCone != was.outerCone) {
            sound3d->insideConeAngle = static_cast<uint32_t>(now.innerCone);
            sound3d->outsideConeAngle = static_cast<uint32_t>(now.outerCone);
            if (CSmSoundManager::soundEnabled && sound3d->buffer3d)
                sound3d->buffer3d->SetConeAngles(sound3d->insideConeAngle, sound3d->outsideConeAngle, DS3D_DEFERRED);
        }
        if (now.minDistance != was.minDistance || now.maxDistance != was.maxDistance)
            sound3d->SetDistances(now.minDistance, now.maxDistance);
        if (now.outsideVolume != was.outsideVolume)
            sound3d->SetConeOutsideVolume(now.outsideVolume);
        if (now.volume != was.volume)
            sound->SetVolume(record->volume * now.volume);
    }
    slot->appliedPosition = p;
    slot->appliedDirection = d;
    slot->applied = now;
}
