#include "Engine/Anim/GcPsysEffect.h"

#include "Engine/Anim/GcParticleSystem.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Common/GeXml.h"

#include <cstring>
#include <new>

namespace {

uint32_t CommandOf(const char* text)
{
    if (!text)
        return GC_KEY_NONE;
    if (strcmp(text, "start") == 0)
        return GC_KEY_START;
    if (strcmp(text, "stop") == 0)
        return GC_KEY_STOP;
    if (strcmp(text, "resume") == 0)
        return GC_KEY_RESUME;
    return GC_KEY_NONE;
}

} // namespace

CGcPsysEffect::CGcPsysEffect()
{
    typeId = kGcPsysEffectType;
}

CGcPsysEffect::~CGcPsysEffect()
{
    for (CGcParticleSystem* system : systems)
        delete system;
}

void CGcPsysEffect::LoadFromXmlHandle(const TiXmlElement* script, const GcPsysSystemTable& table)
{
    XmlHandle handle;
    for (const TiXmlElement* element = script ? script->FirstChildElement("particle_system") : nullptr; element;
         element = element->NextSiblingElement("particle_system")) {
        handle.element = const_cast<TiXmlElement*>(element);
        const char* name = XmlGetText("name", handle);
        CGcParticleSystem* system = table.Lookup(CGeString(name ? name : ""));
        if (!system) {
            GeLog(2, "CGcPsysEffect::LoadFromXmlHandle: no particle system named '%s' found!", name ? name : "");
            continue;
        }
        if (!element->FirstChildElement("key")) {
            GeLog(2, "CGcPsysEffect::LoadFromXmlHandle: no tag 'key' found! Effect ignored!\n");
            continue;
        }
        frame.AddChild(&system->frame);
        GcPsysEntry& entry = entries[entries.Add(GcPsysEntry())];
        entry.name = name;
        entry.system = system;
        entry.looped = XmlGetInt("looped", handle);
        XmlHandle keyHandle;
        for (const TiXmlElement* k = element->FirstChildElement("key"); k; k = k->NextSiblingElement("key")) {
            keyHandle.element = const_cast<TiXmlElement*>(k);
            GcPsysKey key;
            key.time = XmlGetFloat("time", keyHandle);
            key.event = XmlGetInt("event", keyHandle);
            key.command = CommandOf(XmlGetText("command", keyHandle));
            entry.keys.Add(key);
        }
    }
    // Every system of the file ends here: kept when an entry plays it.
    for (auto* node = table.first; node; node = table.Next(node)) {
        CGcParticleSystem* system = node->value;
        bool named = false;
        for (const GcPsysEntry& entry : entries)
            named = named || entry.system == system;
        if (named)
            systems.Add(system);
        else
            delete system;
    }
}

void CGcPsysEffect::Start()
{
    playing = 1;
    for (GcPsysEntry& entry : entries) {
        entry.nextKey = 0;
        entry.time = 0.0f;
    }
}

void CGcPsysEffect::Stop()
{
    playing = 0;
    for (GcPsysEntry& entry : entries)
        entry.system->emitting = 0;
}

void CGcPsysEffect::RunKey(GcPsysEntry& entry, const GcPsysKey& key)
{
    CGcParticleSystem* system = entry.system;
    switch (key.command) {
    case GC_KEY_START: system->StartEmission(); break;
    case GC_KEY_STOP: system->emitting = 0; break;
    case GC_KEY_RESUME:
        system->emitting = 1;
        if (system->finished)
            system->StartEmission();
        break;
    default: break;
    }
    if (key.event > 0 && eventCount < kGcMaxEffectEvents)
        events[eventCount++] = key.event;
}

void CGcPsysEffect::Update()
{
    const float dt = g_geTimer ? g_geTimer->delta : 0.0f;
    for (GcPsysEntry& entry : entries) {
        entry.system->Update();
        if (!playing)
            continue;
        const uint32_t count = entry.keys.Count();
        for (uint32_t run = 0; run < count && entry.nextKey < count; ++run) {
            const GcPsysKey key = entry.keys[entry.nextKey];
            if (key.time > entry.time)
                break;
            RunKey(entry, key);
            if (entry.nextKey + 1 < count) {
                ++entry.nextKey;
            } else if (entry.looped) {
                entry.time = 0.0f;
                entry.nextKey = 0;
            } else {
                entry.time -= key.time;
                entry.nextKey = count;
            }
        }
        entry.time += dt;
    }
}

void CGcPsysEffect::Render()
{
    if (!visible)
        return;
    for (GcPsysEntry& entry : entries)
        entry.system->Render();
}

bool CGcPsysEffect::PopEvent(int32_t* event)
{
    if (!eventCount)
        return false;
    *event = events[0];
    memmove(events, events + 1, (eventCount - 1) * sizeof(events[0]));
    --eventCount;
    return true;
}
