// The particle-effect file reader: "PS_COLLECTION" with its "PARTICLE_SYSTEM"
// elements (properties and behaviours) and the first "psys_effect" script,
// read into a CGcPsysEffect that owns the systems.
//
// A system without "Name", without "EP_PS_ParticleCount" or "EP_PS_Image", or
// whose texture cannot be found is skipped (the last three with a level-2
// log line) and the rest of the file loads. A later system of the same name
// replaces (and deletes) the earlier one.
#include "Engine/Anim/GcParticleSystem.h"
#include "Engine/Anim/GcPsysEffect.h"
#include "Engine/Anim/GcPsysProperties.h"
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeFormat.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GePath.h"
#include "Engine/Core/Common/GeTextConvert.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmTexture.h"

#include <cstring>

namespace {

// The unsigned value of an optional property, or the fallback.
uint32_t UnsignedOr(const CGcPsysPropertyMap& properties, uint32_t id, uint32_t fallback)
{
    const CGcPsysPropertyMap::Entry* entry = properties.Find(GcPsysProperty(id).name);
    return entry ? ConvertPsysValue(GC_VALUE_UNSIGNED, entry->text).integer : fallback;
}

void ReadSystem(const TiXmlElement* element, GcPsysSystemTable& table)
{
    const char* name = element->Attribute("Name");
    if (!name)
        return;
    CGcPsysPropertyMap properties;
    for (const TiXmlElement* p = element->FirstChildElement("PROPERTY"); p; p = p->NextSiblingElement("PROPERTY")) {
        const char* propertyName = p->Attribute("Name");
        if (!propertyName)
            continue;
        const char* text = p->GetText();
        properties.Set(Utf8StringToWide(CGeString(propertyName)), Utf8StringToWide(CGeString(text ? text : "")));
    }
    CGcParticleSystem* system = CGcParticleSystem::CreateFromProperties(properties, name);
    if (!system)
        return;
    CGcParticleSystem*& slot = table[CGeString(name)];
    delete slot;
    slot = system;

    XmlHandle handle;
    for (const TiXmlElement* p = element->FirstChildElement("PROC"); p; p = p->NextSiblingElement("PROC")) {
        GcBehaviourEntry entry;
        entry.operation = FindParticleBehaviour(p->Attribute("Type"));
        if (!entry.operation)
            continue;
        handle.element = const_cast<TiXmlElement*>(p);
        for (int n = 0; n < 8; ++n)
            entry.values[n] = XmlGetFloat(FormatString("Val%d", n).c_str(), handle);
        system->AddBehaviour(entry);
    }
}

} // namespace

CGcParticleSystem* CGcParticleSystem::CreateFromProperties(const CGcPsysPropertyMap& properties, const char* name)
{
    const CGcPsysPropertyMap::Entry* count = properties.Find(GcPsysProperty(GC_P_PARTICLE_COUNT).name);
    const CGcPsysPropertyMap::Entry* image = properties.Find(GcPsysProperty(GC_P_IMAGE).name);
    if (!count || !image) {
        GeLog(2, "LoadPsysEffect: particle system '%s' has no %s; skipped\n", name,
              count ? "EP_PS_Image" : "EP_PS_ParticleCount");
        return nullptr;
    }
    const uint32_t particles = ConvertPsysValue(GC_VALUE_UNSIGNED, count->text).integer;
    const uint32_t framesTotal = UnsignedOr(properties, GC_P_FRAMES_TOTAL, 1);
    const uint32_t framesPerLine = UnsignedOr(properties, GC_P_FRAMES_PER_LINE, 1);
    const CGeString path = DataRootPrefix + WideStringToAnsi(image->text);
    bool found = false;
    CGmTexture* texture = rescollect::LoadTexture(path, false, &found);
    if (!found) {
        GeLog(2, "LoadPsysEffect: no texture '%s' for particle system '%s'; skipped\n", path.c_str(), name);
        if (texture)
            texture->Release();
        return nullptr;
    }
    CGcParticleSystem* system = new CGcParticleSystem(GcParticleSettings(), particles);
    system->SetImage(texture, framesTotal, framesPerLine);
    texture->Release();
    for (uint32_t i = 0; i < properties.Count(); ++i) {
        const CGcPsysPropertyMap::Entry& entry = properties[i];
        const uint32_t id = FindPsysProperty(entry.name.c_str());
        if (id == GC_P_COUNT || id == GC_P_PARTICLE_COUNT || id == GC_P_IMAGE || id == GC_P_FRAMES_TOTAL ||
            id == GC_P_FRAMES_PER_LINE)
            continue;
        system->SetProperty(entry.name.c_str(), ConvertPsysValue(GcPsysProperty(id).kind, entry.text));
    }
    return system;
}

void LoadPsysEffect(const char* path, CGcPsysEffect** effect)
{
    CGeFileData file = LoadFileData(path, false);
    if (!file.data || !file.size) {
        FreeFileData(file);
        return;
    }
    TiXmlDocument document;
    XmlParseDocumentText(file.data, file.size, document);
    FreeFileData(file);
    const TiXmlElement* root = document.FirstChildElement();
    if (!root || strcmp(root->Value(), "PS_COLLECTION") != 0)
        return;

    GcPsysSystemTable systems;
    const TiXmlElement* script = nullptr;
    for (const TiXmlElement* element = root->FirstChildElement(); element; element = element->NextSiblingElement()) {
        if (strcmp(element->Value(), "PARTICLE_SYSTEM") == 0)
            ReadSystem(element, systems);
        else if (!script && strcmp(element->Value(), "psys_effect") == 0)
            script = element;
    }
    CGcPsysEffect* result = new CGcPsysEffect();
    result->LoadFromXmlHandle(script, systems);
    *effect = result;
}
