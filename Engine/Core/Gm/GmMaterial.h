// A material: how a mesh surface looks. Its lighting colours, whether it casts
// and receives shadows, trilinear filtering and up to nine textures come from
// a MATERIAL XML file; the derived CGmShaderPass reads the render states and
// texture stages of the same file and puts them into the device.
//
// The whole file is upper-cased before it is parsed, so names and values match
// in any case and texture names reach the collector upper-cased (it lower-
// cases them itself). A file with a REF attribute is a thin file: the material
// is read from the referred file instead, after every attribute value there
// that starts with "%" has been replaced by the PARAM of that name (a value
// without a matching PARAM stays as it is, "%" included).
//
// Nothing stops the program: a file without MATERIAL or COLORS keeps the
// defaults for everything not yet read; a texture that cannot be loaded is an
// empty entry, which draws as a disabled stage.
#pragma once

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeMap.h"
#include "Engine/Core/Common/GeString.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmGpuResource.h"

#include <cstdint>
#include <memory>

class CGmTexture;
class TiXmlDocument;
class TiXmlElement;

// Parameter name to text, while one referring file is resolved.
using CGmParamMap = CGeStringMap<CGeString>;

// Most textures one material holds.
constexpr uint32_t kGmMaterialMaxTextures = 9;

// Passes every material draws on top of its own (always 0 here: kept for the
// pass count's sake).
extern uint8_t g_gmExtraPassCount;

struct GmColor {
    float r, g, b, a;
};

class CGmMaterial : public CGeResource {
public:
    CGmMaterial();
    // Releases the textures; the resource part unregisters the material.
    ~CGmMaterial() override;

    // Sets the device up for one pass of an object at a world position.
    virtual void Apply(const float* position, uint32_t pass) = 0;
    // 1 plus the extra-pass count.
    virtual uint32_t GetPassCount() const;
    virtual void BuildDeviceMaterial() = 0;
    // Reads what the derived material adds from the MATERIAL element.
    virtual void ParseStates(TiXmlElement* material);

    // Fills a freshly made material from a MATERIAL file.
    void LoadFromXml(const CGeFileData& file);
    // The document to read: the given one, or the referred file parsed and
    // substituted (an unreadable referred file gives an empty document).
    static std::unique_ptr<TiXmlDocument> ResolveReference(std::unique_ptr<TiXmlDocument> document);
    static void SubstituteParams(TiXmlElement* element, const CGmParamMap& params);

    GmColor diffuse = {1, 1, 1, 1};
    GmColor ambient = {1, 1, 1, 1};
    GmColor specular = {1, 1, 1, 1};
    GmColor emissive = {0, 0, 0, 0};
    float specularPower = 1.0f;
    float reflection = 0.0f;
    uint8_t castsShadows = 0;
    uint8_t receivesShadows = 0;
    uint8_t trilinear = 0;
    uint8_t fixedFunctionValid = 0;
    uint32_t passCount = 1;
    CGeArray<CGmTexture*> textures; // one reference each; an entry may be null
    uint32_t vertexFormatFlag = 1;
    CGeString name;
};
