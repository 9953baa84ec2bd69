// The registry of the 212 numbered properties that GUI controls, bound frames
// and particle systems are configured with, and the conversions every reader
// and writer of properties uses: name to number, typed value to wide text and
// back, enumeration value to name and back.
//
// The four tables are filled once during static initialisation (the generated
// GuiPropertyTable.cpp) and never change. Names are looked up exactly (case
// matters); enumeration names ignoring letter case. The text forms are the
// ones the game's XML files were written with, quirks included: "True" reads
// as 1 for every enumeration, only "False" is a false boolean, UInt texts go
// through a 64-bit parse of which the low 32 bits stay, colours print as
// "%#010x" (zero as "0x00000000") and floats as "%.3f" with a '.' whatever the
// C locale says. Nothing here fails: an unknown name gives 212, an unmatched
// enumeration name -1, a text that is no number 0.
#pragma once

#include "Engine/Core/Common/GeString.h"
#include "Engine/Core/Common/GeValue.h"
#include "Engine/Gui/GuiPropertyIds.h"

#include <cstdint>

const uint32_t GUI_PROPERTY_COUNT = 212;

// Value types of the properties.
enum EnPropertyType : int32_t {
    PT_None = 0,
    PT_Float = 1,
    PT_Int = 2,
    PT_UInt = 3,
    PT_Color4b = 4,
    PT_WString = 5,
    PT_String = 6,
    PT_EnTextAlignment = 7,
    PT_EnGmSpriteBlendMode = 8,
    PT_EnTextWrap = 9,
    PT_EnCharCase = 10,
    PT_EnCursorType = 11,
    PT_EnDirectionType = 12,
    PT_EnBool = 13,
    PT_EnGcPartSysType = 14,
    PT_EnGcEmitterType = 15,
    PT_EnTextAutosize = 16,
};

// The enumerations' values (a value is its name's position in the table).
enum EnTextAlignment : uint32_t { TA_LEFT = 0, TA_RIGHT = 1, TA_CENTER = 2 };
enum EnTextWrap : uint32_t { TW_NONE = 0, TW_SYMBOL = 1, TW_WORD = 2, TW_FULL_WIDTH = 3 };
enum EnCharCase : uint32_t { CC_Normal = 0, CC_Lower = 1, CC_Upper = 2 };
enum EnDirectionType : uint32_t { DT_Horizontal = 0, DT_Vertical = 1 };
enum EnTextAutosize : uint32_t { TAS_None = 0, TAS_Both = 1, TAS_Vertical = 2 };
enum EnCursorType : uint32_t {
    CT_None = 0,
    CT_Default,
    CT_Text,
    CT_Move,
    CT_ResizeNS,
    CT_ResizeWE,
    CT_ResizeNWSE,
    CT_ResizeSWNE,
    CT_Pointing,
    CT_Wait,
    CT_Help,
    CT_Cross,
    CT_Deny,
};

// The tables, indexed by property number: identifier ("EP_X"), short name
// (kept, never looked up), value type, flag (kept, never read).
extern char g_propertyIdNames[GUI_PROPERTY_COUNT][50];
extern char g_propertyShortNames[GUI_PROPERTY_COUNT][50];
extern int32_t g_propertyTypes[GUI_PROPERTY_COUNT];
extern uint8_t g_propertyFlags[GUI_PROPERTY_COUNT];

// Fills row number (0 to 211; others are ignored); names are cut to 49 bytes.
void RegisterProperty(int32_t type, uint32_t number, const char* identifier, const char* shortName, uint8_t flag);

// The identifier of a property; empty for a number beyond the table.
CGeString GetPropertyIdName(uint32_t number);

// The number of the property with this identifier, or GUI_PROPERTY_COUNT.
uint32_t FindPropertyByName(const CGeString& name);

// The value type of a property; PT_None beyond the table.
int32_t GetPropertyType(uint32_t number);

// The name of an enumeration value. A value beyond its type's table gives its
// decimal text; a type that is no enumeration gives the empty text.
CGeString GetEnumValueName(uint32_t value, int32_t type);

// The value of an enumeration name (any letter case); otherwise the leading
// decimal number for EnCursorType, 0 or 1 for "False" or "True" for the other
// types, and -1 when nothing matched.
int32_t GetEnumValueByName(const CGeString& text, int32_t type);

// The text form of a value, as the property's registered type decides.
CGeWString PropertyValueToText(const CGeValue& value, uint32_t number);

// The typed value of a property from its text; the kind follows the type.
CGeValue PropertyValueFromText(const CGeWString& text, uint32_t number);

// The characters the edit field lets through when it takes numbers only.
extern const CGeWString g_numericFilterChars;
