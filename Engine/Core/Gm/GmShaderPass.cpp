#include "Engine/Core/Gm/GmShaderPass.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeMath.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GmTexture.h"

#include <tinyxml.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

IGmLightSource* g_pGmLightSource = nullptr;

namespace {

struct KeywordTables {
    CGeStringMap<uint32_t> arguments;
    CGeStringMap<uint32_t> operations;
    CGeStringMap<uint32_t> renderStates;
    CGeStringMap<uint32_t> addressModes;
};

// Built at the first parse and kept to the end of the program.
KeywordTables* g_keywords = nullptr;

void BuildKeywordTables()
{
    if (g_keywords)
        return;
    static KeywordTables tables;
    struct Word {
        const char* word;
        uint32_t value;
    };
    static const Word kArguments[] = {
        {"DIFFUSE", 0}, {"CURRENT", 1}, {"TEXTURE", 2}, {"TFACTOR", 3}, {"SPECULAR", 4},
    };
    static const Word kOperations[] = {
        {"DISABLE", 1},
        {"SELECTARG1", 2},
        {"SELECTARG2", 3},
        {"MODULATE", 4},
        {"MODULATE2X", 5},
        {"MODULATE4X", 6},
        {"ADD", 7},
        {"ADDSIGNED", 8},
        {"ADDSIGNED2X", 9},
        {"SUBTRACT", 10},
        {"ADDSMOOTH", 11},
        {"BLENDDIFFUSEALPHA", 12},
        {"BLENDTEXTUREALPHA", 13},
        {"BLENDFACTORALPHA", 14},
        {"BLENDTEXTUREALPHAPM", 15},
        {"BLENDCURRENTALPHA", 16},
        {"PREMODULATE", 17},
        {"MODULATEALPHA_ADDCOLOR", 18},
        {"MODULATECOLOR_ADDALPHA", 19},
        {"MODULATEINVALPHA_ADDCOLOR", 20},
        {"MODULATEINVCOLOR_ADDALPHA", 21},
        {"BUMPENVMAP", 22},
        {"MULTIPLYADD", 25},
        {"LERP", 26},
    };
    // One table for blend factors, cull modes and material colour sources:
    // any attribute accepts any of the words.
    static const Word kRenderStates[] = {
        {"ZERO", 1},
        {"ONE", 2},
        {"SRCCOLOR", 3},
        {"INVSRCCOLOR", 4},
        {"SRCALPHA", 5},
        {"INVSRCALPHA", 6},
        {"DESTALPHA", 7},
        {"INVDESTALPHA", 8},
        {"DESTCOLOR", 9},
        {"INVDESTCOLOR", 10},
        {"SRCALPHASAT", 11},
        {"BOTHSRCALPHA", 12},
        {"BOTHINVSRCALPHA", 13},
        {"BLENDFACTOR", 14},
        {"INVBLENDFACTOR", 15},
        {"NONE", 1},
        {"CW", 2},
        {"CCW", 3},
        {"MATERIAL", 0},
        {"VERTEX_COLOR1", 1},
        {"VERTEX_COLOR2", 2},
    };
    static const Word kAddressModes[] = {{"WRAP", 0}, {"MIRROR", 1}, {"CLAMP", 2}};
    for (const Word& w : kArguments)
        tables.arguments[CGeString(w.word)] = w.value;
    for (const Word& w : kOperations)
        tables.operations[CGeString(w.word)] = w.value;
    for (const Word& w : kRenderStates)
        tables.renderStates[CGeString(w.word)] = w.value;
    for (const Word& w : kAddressModes)
        tables.addressModes[CGeString(w.word)] = w.value;
    g_keywords = &tables;
}

// The attribute's word looked up in a table into field; a missing attribute
// or an unknown word leaves the field.
void ReadWord(TiXmlElement* element, const char* attribute, const CGeStringMap<uint32_t>& table, uint32_t& field)
{
    const char* word = element->Attribute(attribute);
    if (!word)
        return;
    if (const auto* node = table.Find(CGeString(word)))
        field = node->value;
    else
        GeTrace("CGmShaderPass: unknown word %s for %s", word, attribute);
}

void ReadInt(TiXmlElement* element, const char* attribute, uint32_t& field)
{
    int value = 0;
    if (element->Attribute(attribute, &value))
        field = uint32_t(value);
}

D3DCOLORVALUE ToColorValue(const GmColor& c)
{
    return {c.r, c.g, c.b, c.a};
}

D3DCOLORVALUE ColourAt(const LightDesc& light, int first)
{
    return {light.f[first], light.f[first + 1], light.f[first + 2], light.f[first + 3]};
}

} // namespace

CGmShaderPass::CGmShaderPass() = default;

CGmShaderPass::~CGmShaderPass() = default;

uint32_t CGmShaderPass::GetPassCount() const
{
    return CGmMaterial::GetPassCount();
}

void CGmShaderPass::BuildDeviceMaterial()
{
    deviceMaterial.Diffuse = ToColorValue(diffuse);
    deviceMaterial.Ambient = ToColorValue(ambient);
    deviceMaterial.Specular = ToColorValue(specular);
    deviceMaterial.Emissive = ToColorValue(emissive);
    deviceMaterial.Power = specularPower;
}

void CGmShaderPass::ParseStates(TiXmlElement* material)
{
    BuildKeywordTables();
    ReadRenderState(material);
    ReadFixedFunctionGroup(material);
}

void CGmShaderPass::ReadRenderState(TiXmlElement* material)
{
    TiXmlElement* state = material->FirstChildElement("RENDERSTATE");
    if (!state)
        return;
    ReadInt(state, "ZTEST", zTest);
    ReadInt(state, "ZWRITE", zWrite);
    ReadInt(state, "ALPHABLEND", alphaBlend);
    ReadInt(state, "ALPHATEST", alphaTest);
    XmlHandle handle;
    handle.element = state;
    if (state->Attribute("ALPHAREF"))
        alphaRef = uint32_t(int32_t(XmlGetFloat("ALPHAREF", handle) * 255.0f));
    if (state->Attribute("TEXTUREFACTOR")) {
        const Vec4 c = XmlGetVector4("TEXTUREFACTOR", handle);
        textureFactor = ColorToArgb(c.x, c.y, c.z, c.w);
    }
    if (reflection > 0.0f)
        textureFactor = uint32_t(int32_t(reflection * 255.0f)) << 24;
    ReadWord(state, "SRCBLEND", g_keywords->renderStates, srcBlend);
    ReadWord(state, "DESTBLEND", g_keywords->renderStates, destBlend);
    uint32_t cull = 0xFFFFFFFF;
    ReadWord(state, "CULLMODE", g_keywords->renderStates, cull);
    if (cull != 0xFFFFFFFF)
        cullMode = cull == 0 ? 0 : cull - 1;
    ReadWord(state, "DIFFUSE_MATERIAL_SRC", g_keywords->renderStates, diffuseMaterialSource);
    if (cullMode == 0 && alphaBlend == 1)
        passCount = 2; // double-sided and transparent: back faces first
    if (!stages.IsEmpty()) {
        ReadWord(state, "TEXADDRESSU", g_keywords->addressModes, addressU);
        ReadWord(state, "TEXADDRESSV", g_keywords->addressModes, addressV);
    }
}

void CGmShaderPass::ReadFixedFunctionGroup(TiXmlElement* material)
{
    BuildDeviceMaterial();
    TiXmlElement* group = material->FirstChildElement("FFP_GROUP");
    TiXmlElement* sampler = group ? group->FirstChildElement("SAMPLERSTATE") : nullptr;
    if (!sampler) {
        fixedFunctionValid = 0;
        return;
    }
    for (; sampler; sampler = sampler->NextSiblingElement("SAMPLERSTATE")) {
        CGmStageRecord stage;
        ReadWord(sampler, "CARG1", g_keywords->arguments, stage.colorArg1);
        ReadWord(sampler, "CARG2", g_keywords->arguments, stage.colorArg2);
        ReadWord(sampler, "CARG3", g_keywords->arguments, stage.colorArg0);
        ReadWord(sampler, "AARG1", g_keywords->arguments, stage.alphaArg1);
        ReadWord(sampler, "AARG2", g_keywords->arguments, stage.alphaArg2);
        ReadWord(sampler, "AARG3", g_keywords->arguments, stage.alphaArg0);
        ReadWord(sampler, "COLOROP", g_keywords->operations, stage.colorOp);
        ReadWord(sampler, "ALPHAOP", g_keywords->operations, stage.alphaOp);
        if (const char* index = sampler->Attribute("TEXCOORDINDEX"))
            stage.texCoordIndex = uint32_t(atoi(index));
        if (const char* generation = sampler->Attribute("TEXGEN")) {
            if (strcmp(generation, "CAMERA_REFLECT") == 0)
                stage.texCoordIndex += kGmTexGenCameraReflect;
        }
        if (sampler->Attribute("TEXSCALE")) {
            XmlHandle handle;
            handle.element = sampler;
            const Vec2 scale = XmlGetVector2("TEXSCALE", handle);
            stage.texScaleU = scale.x;
            stage.texScaleV = scale.y;
        }
        stages.Add(stage);
    }
    // Again, now that there are stages: the address modes count only then.
    ReadRenderState(material);
}

void CGmShaderPass::Apply(const float* position, uint32_t pass)
{
    CGmDeviceWrapper* wrapper = g_pGmDevice;
    if (!wrapper)
        return;
    IDirect3DDevice9* device = wrapper->GetDevice();
    // Direct calls are guarded like every device call; their results are not
    // checked.
    const bool direct = device && wrapper->CanCall();

    if (cullMode == 0 && passCount > 1)
        wrapper->SetCullMode(pass == 0 ? 1 : 2);
    else
        wrapper->SetCullMode(cullMode);
    wrapper->SetZEnable(zTest == 1);
    wrapper->SetZWriteEnable(zWrite == 1);

    if (direct) {
        device->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
        device->SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, 0);
        device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
        device->SetRenderState(D3DRS_SPECULARMATERIALSOURCE, 0);
        device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, diffuseMaterialSource);
        device->SetMaterial(&deviceMaterial);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, alphaBlend);
        device->SetRenderState(D3DRS_ALPHATESTENABLE, alphaTest);
        device->SetRenderState(D3DRS_ALPHAREF, alphaRef);
        device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
        device->SetRenderState(D3DRS_SRCBLEND, srcBlend);
        device->SetRenderState(D3DRS_DESTBLEND, destBlend);
        device->SetRenderState(D3DRS_TEXTUREFACTOR, textureFactor);
    }

    for (uint32_t i = 0; i < stages.Count() && i < 8; ++i) {
        wrapper->SetAddressU(i, addressU);
        wrapper->SetAddressV(i, addressV);
    }

    const uint32_t n = std::min(std::min(stages.Count(), textures.Count()), 8u);
    for (uint32_t i = 0; i < n; ++i) {
        const CGmStageRecord& stage = stages[i];
        if (!textures[i]) {
            if (direct) {
                device->SetTextureStageState(i, D3DTSS_COLOROP, D3DTOP_DISABLE);
                device->SetTextureStageState(i, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
            }
            continue;
        }
        textures[i]->Bind(i);
        if (!direct)
            continue;
        device->SetTextureStageState(i, D3DTSS_COLORARG1, stage.colorArg1);
        device->SetTextureStageState(i, D3DTSS_COLORARG2, stage.colorArg2);
        device->SetTextureStageState(i, D3DTSS_COLORARG0, stage.colorArg0);
        device->SetTextureStageState(i, D3DTSS_COLOROP, stage.colorOp);
        device->SetTextureStageState(i, D3DTSS_ALPHAARG1, stage.alphaArg1);
        device->SetTextureStageState(i, D3DTSS_ALPHAARG2, stage.alphaArg2);
        device->SetTextureStageState(i, D3DTSS_ALPHAARG0, stage.alphaArg0);
        device->SetTextureStageState(i, D3DTSS_ALPHAOP, stage.alphaOp);
        device->SetTextureStageState(i, D3DTSS_TEXCOORDINDEX, stage.texCoordIndex);
        if (stage.texScaleU == 1.0f && stage.texScaleV == 1.0f) {
            device->SetTextureStageState(i, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
        } else {
            device->SetTextureStageState(i, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
            D3DMATRIX scale = {};
            scale._11 = stage.texScaleU;
            scale._22 = stage.texScaleV;
            scale._33 = 1.0f;
            device->SetTransform(D3DTRANSFORMSTATETYPE(D3DTS_TEXTURE0 + i), &scale);
        }
    }
    for (uint32_t i = n; i < 8; ++i) {
        if (!direct)
            break;
        device->SetTexture(i, nullptr);
        device->SetTextureStageState(i, D3DTSS_COLOROP, D3DTOP_DISABLE);
        device->SetTextureStageState(i, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    }

    wrapper->SetLighting(1);
    if (direct)
        ApplyLights(position);

    if (direct) {
        device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        device->SetSamplerState(0, D3DSAMP_MIPFILTER, trilinear ? D3DTEXF_LINEAR : D3DTEXF_NONE);
    }
}

void CGmShaderPass::ApplyLights(const float* position)
{
    IDirect3DDevice9* device = g_pGmDevice->GetDevice();
    LightDesc chosen[kGmMaxPassLights];
    uint32_t count = 0;
    if (g_pGmLightSource && position)
        count = std::min(g_pGmLightSource->ChooseLights(position, chosen, kGmMaxPassLights), kGmMaxPassLights);
    float ambientSum[4] = {0, 0, 0, 0};
    for (uint32_t k = 0; k < count; ++k) {
        const LightDesc& desc = chosen[k];
        D3DLIGHT9 light = {};
        light.Diffuse = ColourAt(desc, 0);
        light.Ambient = ColourAt(desc, 4);
        light.Specular = ColourAt(desc, 8);
        uint8_t kind;
        memcpy(&kind, &desc.f[15], 1);
        const D3DVECTOR positionOf = {desc.f[20], desc.f[21], desc.f[22]};
        const D3DVECTOR direction = {desc.f[12], desc.f[13], desc.f[14]};
        switch (kind) {
        case GM_LIGHT_POINT:
            light.Type = D3DLIGHT_POINT;
            light.Position = positionOf;
            light.Range = desc.f[16];
            light.Attenuation0 = desc.f[17];
            light.Attenuation1 = desc.f[18];
            light.Attenuation2 = desc.f[19];
            break;
        case GM_LIGHT_SPOT:
            light.Type = D3DLIGHT_SPOT;
            light.Position = positionOf;
            light.Direction = direction;
            light.Range = desc.f[16];
            light.Falloff = 1.0f;
            light.Attenuation0 = desc.f[17];
            light.Attenuation1 = desc.f[18];
            light.Attenuation2 = desc.f[19];
            light.Theta = desc.f[24];
            light.Phi = desc.f[25];
            break;
        default:
            light.Type = D3DLIGHT_DIRECTIONAL;
            light.Direction = direction;
            break;
        }
        for (int c = 0; c < 4; ++c)
            ambientSum[c] += desc.f[4 + c];
        device->SetLight(k, &light);
        device->LightEnable(k, TRUE);
    }
    if (g_pGmLightSource)
        g_pGmLightSource->SetAmbientSum(ambientSum);
    for (uint32_t k = count; k < kGmMaxPassLights; ++k)
        device->LightEnable(k, FALSE);
}
