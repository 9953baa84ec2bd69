#include "Engine/Core/Gm/GmMaterial.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GePath.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmTexture.h"

#include <tinyxml.h>

#include <cstring>
#include <vector>

uint8_t g_gmExtraPassCount = 0;

namespace {

// The file's bytes with a to z made upper case, parsed.
std::unique_ptr<TiXmlDocument> ParseUpperCased(const CGeFileData& file)
{
    std::unique_ptr<TiXmlDocument> document(new TiXmlDocument());
    if (!file.data || !file.size)
        return document;
    std::vector<uint8_t> text(file.data, file.data + file.size);
    for (uint8_t& c : text) {
        if (c >= 'a' && c <= 'z')
            c = uint8_t(c - 'a' + 'A');
    }
    XmlParseDocumentText(text.data(), uint32_t(text.size()), *document);
    return document;
}

bool HasText(const char* text)
{
    return text && text[0];
}

} // namespace

CGmMaterial::CGmMaterial()
{
    subTypeId = GE_RES_MATERIAL;
}

CGmMaterial::~CGmMaterial()
{
    for (CGmTexture*& texture : textures) {
        if (texture)
            texture->Release();
        texture = nullptr;
    }
}

uint32_t CGmMaterial::GetPassCount() const
{
    return 1u + g_gmExtraPassCount;
}

void CGmMaterial::ParseStates(TiXmlElement*) {}

void CGmMaterial::LoadFromXml(const CGeFileData& file)
{
    std::unique_ptr<TiXmlDocument> document = ParseUpperCased(file);
    if (!document->FirstChildElement("MATERIAL")) {
        GeTrace("CGmMaterial: no MATERIAL in %s", file.path.c_str());
        return;
    }
    document = ResolveReference(std::move(document));
    TiXmlElement* material = document ? document->FirstChildElement("MATERIAL") : nullptr;
    if (!material) {
        GeTrace("CGmMaterial: the material referred to by %s cannot be read", file.path.c_str());
        return;
    }
    const char* nameText = material->Attribute("NAME");
    name = nameText ? CGeString(nameText) : file.path;

    TiXmlElement* colours = material->FirstChildElement("COLORS");
    if (!colours) {
        GeTrace("CGmMaterial: no COLORS in %s", file.path.c_str());
        return;
    }
    XmlHandle handle;
    handle.element = colours;
    auto readColour = [&](const char* attribute, GmColor& out) {
        if (!HasText(colours->Attribute(attribute)))
            return;
        const Vec4 c = XmlGetColor(attribute, handle);
        out = {c.x, c.y, c.z, c.w};
    };
    readColour("AMBIENT", ambient);
    readColour("DIFFUSE", diffuse);
    readColour("SPECULAR", specular);
    readColour("EMISSIVE", emissive);
    // A missing number keeps its default (a power of 1, no reflection).
    if (colours->Attribute("SPECULARPOWER"))
        specularPower = XmlGetFloat("SPECULARPOWER", handle);
    if (colours->Attribute("REFLECTION"))
        reflection = XmlGetFloat("REFLECTION", handle);

    if (TiXmlElement* shadows = material->FirstChildElement("SHADOW_DECLARATION")) {
        if (shadows->FirstChildElement("SHADOW_CASTER"))
            castsShadows = 1;
        receivesShadows = shadows->FirstChildElement("SHADOW_RECEIVER") ? 1 : 0;
    }
    if (material->FirstChildElement("TRILINEAR_FILTER"))
        trilinear = 1;
    if (TiXmlElement* list = material->FirstChildElement("TEXTURES")) {
        for (TiXmlElement* sampler = list->FirstChildElement("SAMPLER"); sampler;
             sampler = sampler->NextSiblingElement("SAMPLER")) {
            const char* fileName = sampler->Attribute("FILENAME");
            if (HasText(fileName))
                textures.Add(rescollect::LoadTexture(DataRootPrefix + fileName));
            if (textures.Count() > kGmMaterialMaxTextures - 1)
                break;
        }
    }
    fixedFunctionValid = 1;
    ParseStates(material);
}

std::unique_ptr<TiXmlDocument> CGmMaterial::ResolveReference(std::unique_ptr<TiXmlDocument> document)
{
    TiXmlElement* material = document ? document->FirstChildElement("MATERIAL") : nullptr;
    const char* ref = material ? material->Attribute("REF") : nullptr;
    if (!HasText(ref))
        return document;
    TiXmlBase::SetCondenseWhiteSpace(false);
    CGmParamMap params;
    for (TiXmlElement* param = material->FirstChildElement("PARAM"); param;
         param = param->NextSiblingElement("PARAM")) {
        const char* paramName = param->Attribute("NAME");
        const char* value = param->Attribute("VALUE");
        if (paramName && value)
            params[CGeString(paramName)] = CGeString(value);
    }
    CGeFileData referred = LoadFileData((DataRootPrefix + ref).c_str(), false);
    std::unique_ptr<TiXmlDocument> resolved = ParseUpperCased(referred);
    FreeFileData(referred);
    if (TiXmlElement* root = resolved->FirstChildElement("MATERIAL"))
        SubstituteParams(root, params);
    return resolved;
}

void CGmMaterial::SubstituteParams(TiXmlElement* element, const CGmParamMap& params)
{
    for (TiXmlAttribute* attribute = element->FirstAttribute(); attribute; attribute = attribute->Next()) {
        const char* value = attribute->Value();
        if (!value || value[0] != '%')
            continue;
        if (const auto* node = params.Find(CGeString(value + 1)))
            attribute->SetValue(node->value.c_str());
    }
    for (TiXmlElement* child = element->FirstChildElement(); child; child = child->NextSiblingElement())
        SubstituteParams(child, params);
}
