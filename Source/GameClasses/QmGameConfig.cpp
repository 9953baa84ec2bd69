#include "Source/GameClasses/QmGameConfig.h"

#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeFormat.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeXml.h"
#include "Source/GameClasses/QmUserFolder.h"

#include <tinyxml.h>

#include <cstdlib>
#include <cstring>

float CQmGameConfig::s_musicVolume = 0.5f;
bool CQmGameConfig::s_shadowVolumesOn = true;
int32_t CQmGameConfig::s_minigames = 0;

namespace {

// One enumeration attribute: its words and codes, the code of any other word,
// and the word written for a code that has none of its own.
struct ConfigWord {
    const char* text;
    int32_t code;
};

struct ConfigEnum {
    const ConfigWord* words;
    uint32_t count;
    int32_t otherCode;
    const char* otherText;
};

const ConfigWord kDeviceTypeWords[] = {{"HARDWARE", 0}, {"SOFTWARE", 1}};
const ConfigWord kVertexWords[] = {{"HARDWARE", 0x1001}};
const ConfigWord kFormatWords[] = {{"R8G8B8", 3}, {"R5G6B5", 4}};
const ConfigWord kDepthWords[] = {{"D16", 22}, {"D16_LOCK", 18}, {"D15S1", 20},
                                  {"D24S8", 21}, {"D32", 19}, {"NONE", 0}};
const ConfigWord kFilterWords[] = {{"POINT", 1}, {"LINEAR", 2}, {"ANISOTROPIC", 3}};

const ConfigEnum kDeviceType = {kDeviceTypeWords, 2, 0, "SOFTWARE"};
const ConfigEnum kVertexProcessing = {kVertexWords, 1, 0x1002, "SOFTWARE"};
const ConfigEnum kFormat = {kFormatWords, 2, 3, "R8G8B8"};
const ConfigEnum kDepthStencil = {kDepthWords, 6, 22, "D16"};
const ConfigEnum kFilter = {kFilterWords, 3, 2, "LINEAR"};

// Reads the attributes of one element; a missing attribute is traced and
// gives the caller's default.
class SectionReader {
public:
    explicit SectionReader(TiXmlElement* element) : m_element(element) {}

    const char* Attribute(const char* name)
    {
        const char* text = m_element->Attribute(name);
        if (!text)
            GeTrace("$w@config@\xcd\xe5 \xed\xe0\xe9\xe4\xe5\xed \xe0\xf2\xf0\xe8\xe1\xf3\xf2 %s \xf3 \xf2\xe5\xe3\xe0 %s, "
                    "\xe2\xfb\xf1\xf2\xe0\xe2\xeb\xff\xe5\xec \xf3\xec\xee\xeb\xf7\xe0\xed\xe8\xe5\n",
                    name, m_element->Value());
        return text;
    }

    int32_t Int(const char* name, int32_t fallback)
    {
        const char* text = Attribute(name);
        return text ? atoi(text) : fallback;
    }

    float Real(const char* name, float fallback)
    {
        const char* text = Attribute(name);
        return text ? (float)atof(text) : fallback;
    }

    bool Bool(const char* name, bool fallback)
    {
        const char* text = Attribute(name);
        return text ? strcmp(text, "TRUE") == 0 : fallback;
    }

    int32_t Enum(const char* name, const ConfigEnum& table, int32_t fallback)
    {
        const char* text = Attribute(name);
        if (!text)
            return fallback;
        for (uint32_t i = 0; i < table.count; ++i) {
            if (strcmp(text, table.words[i].text) == 0)
                return table.words[i].code;
        }
        return table.otherCode;
    }

private:
    TiXmlElement* m_element;
};

const char* EnumText(const ConfigEnum& table, int32_t code)
{
    for (uint32_t i = 0; i < table.count; ++i) {
        if (table.words[i].code == code)
            return table.words[i].text;
    }
    return table.otherText;
}

const char* BoolText(bool value)
{
    return value ? "TRUE" : "FALSE";
}

TiXmlElement* AddElement(TiXmlElement* parent, const char* name)
{
    return parent->LinkEndChild(new TiXmlElement(name))->ToElement();
}

void SetText(TiXmlElement* element, const char* name, const char* text)
{
    element->SetAttribute(name, text);
}

void SetFormatted(TiXmlElement* element, const char* name, const char* format, double value)
{
    element->SetAttribute(name, FormatString(format, value).c_str());
}

void SetInt(TiXmlElement* element, const char* name, int32_t value)
{
    element->SetAttribute(name, FormatString("%d", value).c_str());
}

} // namespace

bool ReadAudioConfig(TiXmlElement* config, GeDeviceConfig& settings)
{
    TiXmlBase::SetCondenseWhiteSpace(false);
    TiXmlElement* section = config->FirstChildElement("audio_config");
    TiXmlElement* card = section ? section->FirstChildElement("sound_card") : nullptr;
    TiXmlElement* properties = section ? section->FirstChildElement("properties") : nullptr;
    if (!card || !properties)
        return false;
    settings.soundCard = SectionReader(card).Int("number", 0);
    settings.soundVolume = SectionReader(properties).Real("volume", 1.0f);
    return true;
}

bool ReadVideoConfig(TiXmlElement* config, GeDeviceConfig& settings)
{
    TiXmlBase::SetCondenseWhiteSpace(false);
    TiXmlElement* section = config->FirstChildElement("video_config");
    TiXmlElement* adapter = section ? section->FirstChildElement("adapter") : nullptr;
    TiXmlElement* device = section ? section->FirstChildElement("device") : nullptr;
    TiXmlElement* screen = section ? section->FirstChildElement("screen") : nullptr;
    if (!adapter || !device || !screen)
        return false;
    settings.adapter = SectionReader(adapter).Int("number", 0);
    SectionReader deviceReader(device);
    settings.deviceType = deviceReader.Enum("type", kDeviceType, 0);
    settings.vertexProcessing = deviceReader.Enum("vertex_processing", kVertexProcessing, 0x1002);
    SectionReader reader(screen);
    settings.width = reader.Int("width", 1280);
    settings.height = reader.Int("height", 1024);
    settings.backBufferCount = reader.Int("bb_count", 1);
    settings.refreshRate = reader.Int("hz", 60);
    settings.backBufferFormat = reader.Enum("format", kFormat, 3);
    settings.depthStencilFormat = reader.Enum("depth_stencil", kDepthStencil, 21);
    settings.vsync = reader.Bool("vsync", false);
    // Read like every attribute, but loaded settings never ask for a window.
    (void)reader.Bool("windowed", true);
    settings.windowed = 0;
    settings.halfPixelOffset = reader.Real("pixel_bias", -0.5f);
    settings.multisampleType = reader.Int("anti_alias_samples", 0);
    settings.minFilter = (uint32_t)reader.Enum("min_texture_filter", kFilter, 2);
    settings.magFilter = (uint32_t)reader.Enum("mag_texture_filter", kFilter, 2);
    settings.mipFilter = (uint32_t)reader.Enum("mip_filter", kFilter, 2);
    settings.maxTextureSize = (uint32_t)reader.Int("max_texture_size", 1024);
    settings.anisotropy = (uint16_t)reader.Int("anisotrop_stage", 0);
    settings.gamma = reader.Real("gamma", 1.0f);
    return true;
}

bool CQmGameConfig::ReadLocal(TiXmlElement* config)
{
    TiXmlBase::SetCondenseWhiteSpace(false);
    TiXmlElement* section = config->FirstChildElement("local_config");
    if (!section)
        return false;
    SectionReader reader(section);
    s_shadowVolumesOn = reader.Bool("shadow_volumes_on", true);
    s_musicVolume = reader.Real("music_volume", 1.0f);
    const int32_t minigames = reader.Int("minigames", 0);
    s_minigames = minigames < 0 ? 0 : minigames;
    return true;
}

void WriteAudioConfig(TiXmlElement* config, const GeDeviceConfig& settings)
{
    TiXmlElement* section = AddElement(config, "audio_config");
    SetInt(AddElement(section, "sound_card"), "number", settings.soundCard);
    SetFormatted(AddElement(section, "properties"), "volume", "%.2f", settings.soundVolume);
}

void WriteVideoConfig(TiXmlElement* config, const GeDeviceConfig& settings)
{
    TiXmlElement* section = AddElement(config, "video_config");
    SetInt(AddElement(section, "adapter"), "number", settings.adapter);
    TiXmlElement* device = AddElement(section, "device");
    SetText(device, "type", EnumText(kDeviceType, settings.deviceType));
    SetText(device, "vertex_processing", EnumText(kVertexProcessing, settings.vertexProcessing));
    TiXmlElement* screen = AddElement(section, "screen");
    SetInt(screen, "width", settings.width);
    SetInt(screen, "height", settings.height);
    SetInt(screen, "bb_count", settings.backBufferCount);
    SetInt(screen, "hz", settings.refreshRate);
    SetText(screen, "format", EnumText(kFormat, settings.backBufferFormat));
    SetText(screen, "depth_stencil", EnumText(kDepthStencil, settings.depthStencilFormat));
    SetText(screen, "vsync", BoolText(settings.vsync != 0));
    SetText(screen, "windowed", BoolText(settings.windowed != 0));
    SetFormatted(screen, "pixel_bias", "%.2f", settings.halfPixelOffset);
    SetInt(screen, "anti_alias_samples", settings.multisampleType);
    SetText(screen, "min_texture_filter", EnumText(kFilter, (int32_t)settings.minFilter));
    SetText(screen, "mag_texture_filter", EnumText(kFilter, (int32_t)settings.magFilter));
    SetText(screen, "mip_filter", EnumText(kFilter, (int32_t)settings.mipFilter));
    SetInt(screen, "max_texture_size", (int32_t)settings.maxTextureSize);
    SetInt(screen, "anisotrop_stage", settings.anisotropy);
    SetFormatted(screen, "gamma", "%.3f", settings.gamma);
}

void CQmGameConfig::WriteLocal(TiXmlElement* config)
{
    TiXmlElement* section = AddElement(config, "local_config");
    SetText(section, "shadow_volumes_on", BoolText(s_shadowVolumesOn));
    SetFormatted(section, "music_volume", "%.2f", s_musicVolume);
    SetInt(section, "minigames", s_minigames);
}

bool CQmGameConfig::Load(const char* path)
{
    if (!g_videoSettings)
        return false;
    SetDefaultDeviceConfig(*g_videoSettings);
    TiXmlBase::SetCondenseWhiteSpace(false);

    // The whole file must parse: a cut or damaged file is replaced by the
    // defaults rather than half read.
    TiXmlDocument document;
    CGeFileData file = ReadWholeFile(path, false);
    const bool parsed = file.size > 0 && XmlParseDocumentText(file.data, file.size, document) && !document.Error();
    FreeFileData(file);
    TiXmlElement* config = parsed ? document.RootElement() : nullptr;
    if (!config || strcmp(config->Value(), "config") != 0) {
        Save(path);
        return false;
    }
    const bool audio = ReadAudioConfig(config, *g_videoSettings);
    const bool video = ReadVideoConfig(config, *g_videoSettings);
    const bool local = ReadLocal(config);
    return audio && video && local;
}

bool CQmGameConfig::Save(const char* path)
{
    if (!g_videoSettings)
        return false;
    TiXmlDocument document;
    document.LinkEndChild(new TiXmlDeclaration("1.0", "utf-8", ""));
    TiXmlElement* config = document.LinkEndChild(new TiXmlElement("config"))->ToElement();
    WriteAudioConfig(config, *g_videoSettings);
    WriteVideoConfig(config, *g_videoSettings);
    WriteLocal(config);

    TiXmlPrinter printer;
    document.Accept(&printer);
    if (!QmReplaceFile(path, printer.CStr(), (uint32_t)printer.Size())) {
        GeLog(2, "CQmGameConfig::Save: cannot write %s\n", path);
        return false;
    }
    return true;
}

void CQmGameConfig::ResetToProgramStart()
{
    s_musicVolume = 0.5f;
    s_shadowVolumesOn = true;
    s_minigames = 0;
}
