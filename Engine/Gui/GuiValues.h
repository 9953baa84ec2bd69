// Typed values of GUI properties: readers that take whatever kind a caller
// passed (XML text gives the registry's kind, scripts and game code may pass
// another), and makers of the kinds that the property getters convert.
#pragma once

#include "Engine/Core/Common/GeString.h"
#include "Engine/Core/Common/GeValue.h"

#include <cstdint>

float GuiValueFloat(const CGeValue& value);
int32_t GuiValueInt(const CGeValue& value);
uint32_t GuiValueUInt(const CGeValue& value);
uint8_t GuiValueBool(const CGeValue& value);
// The 8-bit text of a string value (a wide one is converted).
CGeString GuiValueString(const CGeValue& value);
CGeWString GuiValueWideString(const CGeValue& value);

CGeValue GuiMakeBool(uint8_t value);
CGeValue GuiMakeInt(int32_t value);
CGeValue GuiMakeUInt(uint32_t value);
CGeValue GuiMakeFloat(float value);
