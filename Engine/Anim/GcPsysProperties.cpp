#include "Engine/Anim/GcPsysProperties.h"

#include "Engine/Core/Common/GeTextConvert.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace {

const GcPsysPropertyInfo kProperties[GC_P_COUNT] = {
    {u"EP_PS_ParticleCount", GC_VALUE_UNSIGNED},
    {u"EP_PS_Image", GC_VALUE_STRING},
    {u"EP_PS_ImageFramesTotal", GC_VALUE_UNSIGNED},
    {u"EP_PS_ImageFramesPerLine", GC_VALUE_UNSIGNED},
    {u"EP_PS_animated", GC_VALUE_BOOL},
    {u"EP_PS_SO_Synchronized", GC_VALUE_BOOL},
    {u"EP_PS_SO_Precalculated", GC_VALUE_BOOL},
    {u"EP_PS_SO_Increasable", GC_VALUE_BOOL},
    {u"EP_PS_SO_bornCount", GC_VALUE_UNSIGNED},
    {u"EP_PS_SO_bornGranularity", GC_VALUE_UNSIGNED},
    {u"EP_PS_xAxisIsSpeedColinear", GC_VALUE_BOOL},
    {u"EP_PS_lod_auto", GC_VALUE_BOOL},
    {u"EP_PS_lod_minDistance", GC_VALUE_FLOAT},
    {u"EP_PS_initialColor1", GC_VALUE_COLOUR},
    {u"EP_PS_initialColor2", GC_VALUE_COLOUR},
    {u"EP_PS_blendMode", GC_VALUE_BLEND},
    {u"EP_PS_preOpBlendMode", GC_VALUE_BLEND},
    {u"EP_PS_psType", GC_VALUE_SYSTEM_TYPE},
    {u"EP_PS_emitterType", GC_VALUE_EMITTER_TYPE},
    {u"EP_PS_emitterW", GC_VALUE_FLOAT},
    {u"EP_PS_emitterH", GC_VALUE_FLOAT},
    {u"EP_PS_emitterD", GC_VALUE_FLOAT},
    {u"EP_PS_minInitialSizeX", GC_VALUE_FLOAT},
    {u"EP_PS_minInitialSizeY", GC_VALUE_FLOAT},
    {u"EP_PS_minInitialSizeZ", GC_VALUE_FLOAT},
    {u"EP_PS_maxInitialSizeX", GC_VALUE_FLOAT},
    {u"EP_PS_maxInitialSizeY", GC_VALUE_FLOAT},
    {u"EP_PS_maxInitialSizeZ", GC_VALUE_FLOAT},
    {u"EP_PS_initialDirectionX", GC_VALUE_FLOAT},
    {u"EP_PS_initialDirectionY", GC_VALUE_FLOAT},
    {u"EP_PS_initialDirectionZ", GC_VALUE_FLOAT},
    {u"EP_PS_initialAngle", GC_VALUE_FLOAT},
    {u"EP_PS_initialAngle_min", GC_VALUE_FLOAT},
    {u"EP_PS_minInitialSpeed", GC_VALUE_FLOAT},
    {u"EP_PS_maxInitialSpeed", GC_VALUE_FLOAT},
    {u"EP_PS_maxTurnAngle", GC_VALUE_FLOAT},
    {u"EP_PS_turnVectorX", GC_VALUE_FLOAT},
    {u"EP_PS_turnVectorY", GC_VALUE_FLOAT},
    {u"EP_PS_turnVectorZ", GC_VALUE_FLOAT},
    {u"EP_PS_minLiveTime", GC_VALUE_FLOAT},
    {u"EP_PS_maxLiveTime", GC_VALUE_FLOAT},
    {u"EP_PS_appearTime", GC_VALUE_FLOAT},
    {u"EP_PS_selfSpeed", GC_VALUE_FLOAT},
    {u"EP_PS_animationSpeed", GC_VALUE_FLOAT},
    {u"EP_PS_X", GC_VALUE_FLOAT},
    {u"EP_PS_Y", GC_VALUE_FLOAT},
    {u"EP_PS_Z", GC_VALUE_FLOAT},
    {u"EP_PS_pivotX", GC_VALUE_FLOAT},
    {u"EP_PS_pivotY", GC_VALUE_FLOAT},
    {u"EP_PS_orientNormalX", GC_VALUE_FLOAT},
    {u"EP_PS_orientNormalY", GC_VALUE_FLOAT},
    {u"EP_PS_orientNormalZ", GC_VALUE_FLOAT},
};

const char* const kBlendNames[] = {
    "NOTEXTURE", "COPY", "ADD", "MODULATE", "MODULATE2X", "ALPHA_BLEND", "ALPHA_BLEND_NO_TEST", "ALPHA_STENCIL"};

// Three-way order of two wide texts by their UTF-16 units.
int WideOrder(const char16_t* a, const char16_t* b)
{
    for (;; ++a, ++b) {
        if (*a != *b)
            return *a < *b ? -1 : 1;
        if (!*a)
            return 0;
    }
}

// Digits of a base from the start of the text (after blanks), saturated to
// 32 bits; no digit gives 0.
uint32_t ReadDigits(const char* text, int base)
{
    while (*text == ' ' || *text == '\t' || *text == '\r' || *text == '\n')
        ++text;
    uint64_t value = 0;
    for (;; ++text) {
        int digit;
        const char c = *text;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            break;
        value = value * uint64_t(base) + uint64_t(digit);
        if (value > 0xFFFFFFFFull)
            value = 0xFFFFFFFFull + 1;
    }
    return value > 0xFFFFFFFFull ? 0xFFFFFFFFu : uint32_t(value);
}

uint32_t IndexOfName(const char* text, const char* const* names, uint32_t count, uint32_t fallback)
{
    for (uint32_t i = 0; i < count; ++i)
        if (strcmp(text, names[i]) == 0)
            return i;
    return fallback;
}

} // namespace

const GcPsysPropertyInfo& GcPsysProperty(uint32_t id)
{
    return kProperties[id < GC_P_COUNT ? id : 0];
}

uint32_t FindPsysProperty(const char16_t* name)
{
    for (uint32_t i = 0; i < GC_P_COUNT; ++i)
        if (WideOrder(name, kProperties[i].name) == 0)
            return i;
    return GC_P_COUNT;
}

GcPsysValue ConvertPsysValue(GcPsysValueKind kind, const CGeWString& wide)
{
    GcPsysValue value;
    value.kind = kind;
    const CGeString text = WideStringToAnsi(wide);
    const char* s = text.c_str();
    switch (kind) {
    case GC_VALUE_FLOAT:
        if (sscanf(s, "%f", &value.number) != 1)
            value.number = 0.0f;
        break;
    case GC_VALUE_UNSIGNED: value.integer = ReadDigits(s, 10); break;
    case GC_VALUE_COLOUR:
        if (s[0] == '0' && (s[1] == 'x' || s[1] == 'X'))
            value.integer = ReadDigits(s + 2, 16);
        else
            value.integer = ReadDigits(s, 10);
        break;
    case GC_VALUE_STRING: value.text = text; break;
    case GC_VALUE_BOOL: value.integer = text == "True" ? 1 : 0; break;
    case GC_VALUE_BLEND: value.integer = IndexOfName(s, kBlendNames, 8, 1); break;
    case GC_VALUE_SYSTEM_TYPE: {
        static const char* const names[] = {"QUADS", "MESHES"};
        value.integer = IndexOfName(s, names, 2, 0);
        break;
    }
    case GC_VALUE_EMITTER_TYPE: {
        static const char* const names[] = {"POINT", "CUBOID", "SPHEROID"};
        value.integer = IndexOfName(s, names, 3, 0);
        break;
    }
    }
    return value;
}

void CGcPsysPropertyMap::Set(const CGeWString& name, const CGeWString& text)
{
    uint32_t at = 0;
    while (at < entries.Count()) {
        const int order = WideOrder(entries[at].name.c_str(), name.c_str());
        if (order == 0) {
            entries[at].text = text;
            return;
        }
        if (order > 0)
            break;
        ++at;
    }
    entries.InsertSlot(at);
    new (&entries[at]) Entry{name, text};
}

const CGcPsysPropertyMap::Entry* CGcPsysPropertyMap::Find(const char16_t* name) const
{
    for (const Entry& entry : entries)
        if (WideOrder(entry.name.c_str(), name) == 0)
            return &entry;
    return nullptr;
}
