// A thin layer over TinyXML through which every XML file of the game is read:
// document loading from the packs or the disk, attribute getters on a small
// handle, number-list parsing and the word tables of enumerations.
//
// Element navigation (first child, next sibling, names) uses TinyXML directly.
// Attribute values are the file's UTF-8 bytes as TinyXML stores them. White
// space condensing stays off, so text keeps its blanks as written.
#pragma once

#include <cstdint>

#include <tinyxml.h>

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeMath.h"
#include "Engine/Core/Common/GeString.h"

// Reads attributes of one element. With reportMissing set, a missing attribute
// is reported (to the debug trace) before the getter falls back to its default.
struct XmlHandle {
    uint8_t reportMissing = 0;
    TiXmlElement* element = nullptr;
};

// The shared handle, created by the engine core's start-up.
extern XmlHandle* g_xmlHandle;

// Loading. Both return false only when the file cannot be read; a file that
// does not parse cleanly still gives true with whatever TinyXML made of it.
// An empty file and a parse error are logged (level 1) with the file's name,
// and for a parse error TinyXML's description, row and column.
bool XmlLoadDocument(const CGeString& path, TiXmlDocument& document);
bool XmlLoadDocumentFromDisk(const CGeString& path, TiXmlDocument& document);
// Parses size bytes of text (no terminator needed) into the document. A text
// whose elements nest more than 1000 deep is refused: the document stays
// empty and the result is false.
bool XmlParseDocumentText(const uint8_t* bytes, uint32_t size, TiXmlDocument& document);

// Reports a missing attribute with the element's path ("root -> ... -> name").
void XmlReportMissing(const TiXmlElement* element, const char* name);

// Attribute getters: (attribute name, handle). None fails; a missing attribute
// gives the stated default.
bool XmlHasAttribute(const char* name, const XmlHandle& handle);
const char* XmlGetText(const char* name, const XmlHandle& handle);  // null when missing
bool XmlGetBool(const char* name, const XmlHandle& handle);         // only "true", any case
int32_t XmlGetInt(const char* name, const XmlHandle& handle);       // atoi; 0 when missing
// The value text (null when missing); value, when given, receives the decimal
// number the text starts with, as atof reads it (no hexadecimal, inf or nan),
// or 0.
const char* XmlGetDouble(const char* name, const XmlHandle& handle, double* value = nullptr);
float XmlGetFloat(const char* name, const XmlHandle& handle);
CGeWString XmlGetWideText(const char* name, const XmlHandle& handle); // UTF-8 to UTF-16

// Number-list attributes; the result starts as zeros and a list too short is
// reported like a missing attribute.
Vec2 XmlGetVector2(const char* name, const XmlHandle& handle);
// x and y from two numbers on, z from three on; w is always 0.
Vec4 XmlGetVector3(const char* name, const XmlHandle& handle);
Vec4 XmlGetVector4(const char* name, const XmlHandle& handle); // needs all four
// Files write colours as alpha, red, green, blue; the result is r, g, b, a.
Vec4 XmlGetColor(const char* name, const XmlHandle& handle);
// XmlGetVector4 on the shared handle.
void XmlGetVector4Ex(const char* name, Vec4& out);

// The text of the named child element (the first child element when name is
// null); null when there is no such child or it holds no text.
const char* XmlGetNodeValue(const TiXmlElement* element, const char* name);
// The number of child elements with that name (of all when name is null).
uint32_t XmlCountChildren(const TiXmlElement* element, const char* name);

// Enumeration words, matched after upper-casing.
enum GeBlendModeWord {
    GE_BLEND_NOTEXTURE = 0,
    GE_BLEND_COPY = 1,
    GE_BLEND_ADD = 2,
    GE_BLEND_MODULATE = 3,
    GE_BLEND_MODULATE2X = 4,
    GE_BLEND_ALPHA = 5,
    GE_BLEND_ALPHA_STENCIL = 7,
};
// Attribute "blendmode"; missing or unknown words give COPY.
uint32_t ParseBlendMode(const XmlHandle& handle);
// Attribute "mode": a play-mode word, or a word, ':' and a count n giving
// (n << 16) | mode; missing or unknown gives FORWARD (1).
uint32_t ParseAnimPlayMode(const XmlHandle& handle);

// Number lists: every maximal run of the characters "-0123456789.Ee" is read
// as a decimal number (as XmlGetDouble reads one); anything else separates
// runs. Each returns the count of numbers in the text. XmlParseNumber empties
// its output first; the float and index forms append to theirs (indexes
// truncated and wrapped to 16 bits).
uint32_t XmlParseNumber(const char* text, CGeArray<double>& out);
uint32_t XmlParseFloatList(const char* text, CGeArray<float>& out);
uint32_t XmlParseIndexList(const char* text, CGeArray<uint16_t>& out);

// Hexadecimal text with an optional "0x" prefix; texts shorter than three
// characters give 0, and reading stops at the first non-hex character.
int32_t ParseIntegerText(const char* text);
