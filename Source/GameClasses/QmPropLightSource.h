// The light source property (slot 0): a dynamic light that follows its
// entity. It keeps the description read from the location file (the
// template) and a current description, which is the one registered with the
// render layers and drawn; each update copies the template into the current
// one scaled by the script-set intensity, then moves the template to the
// entity's placement. So a drawn light trails a moving entity by one update.
//
// Choices:
// - The intensity is clamped to 0..4; at 0 the light stays registered but is
//   switched off (its enabled byte), from the next update on.
// - Directions are normalised; a zero or missing "dir" faces +X.
// - The offset ("pos") is added in world axes; the direction turns with the
//   entity.
#pragma once

#include "Engine/Core/Common/GeMath.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmD3dTables.h"
#include "Source/GameClasses/QmEntity.h"

class TiXmlElement;

class CQmPropLightSource : public CQmProp {
public:
    static constexpr float kInfiniteRange = 1e15f; // 999999986991104 as a float

    CQmPropLightSource(CQmEntity* owner, const CGmLightDesc& desc);
    // The current description leaves the light list.
    ~CQmPropLightSource() override;

    // The attributes of a "light_source" element over the default
    // description: "ambient", "diffuse", "specular" (alpha, red, green, blue),
    // "type" ("omni" 1, else 2), "pos", "dir", "range" (a number or
    // "infinity"), "att0".."att2" (missing: 0); the enabled byte set.
    static void ReadDescription(const TiXmlElement* element, CGmLightDesc& desc);
    // The location loader's step for a "light_source" element: reads it,
    // makes the property, puts it in the entity's slot 0 and enables it.
    static CQmPropLightSource* CreateFromXML(CQmEntity* entity, const TiXmlElement* element);

    // Only a change acts: the current description is registered (once) and
    // its enabled byte follows on.
    void SetEnabled(bool on) override;
    void Update() override;
    void SetIntensity(float value);

    CGmLightDesc templateDesc;
    CGmLightDesc current;
    float intensity = 1.0f;
    Vec3 localDirection;
    Vec3 localOffset;
};

// The location loader's reader of the "light_source" tag (CreateFromXML).
void LoadProperty_LightSource(CQmEntity& entity, const TiXmlElement* element);
