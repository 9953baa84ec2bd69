#include "tests/fuzz/XmlReaderFuzz.h"

#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Common/GeXmlNesting.h"

#include <cstdlib>
#include <string>

namespace {

// Every getter on every attribute; the tree is at most 1001 levels deep here.
uint32_t ReadElements(const TiXmlElement* element)
{
    uint32_t deepest = 0;
    for (; element; element = element->NextSiblingElement()) {
        XmlHandle handle;
        handle.element = const_cast<TiXmlElement*>(element);
        handle.reportMissing = 1;
        for (const TiXmlAttribute* attribute = element->FirstAttribute(); attribute; attribute = attribute->Next()) {
            const char* name = attribute->Name();
            double number = 0.0;
            XmlHasAttribute(name, handle);
            XmlGetText(name, handle);
            XmlGetBool(name, handle);
            XmlGetInt(name, handle);
            XmlGetDouble(name, handle, &number);
            XmlGetFloat(name, handle);
            XmlGetWideText(name, handle);
            XmlGetVector2(name, handle);
            XmlGetVector3(name, handle);
            XmlGetColor(name, handle);
            CGeArray<float> floats;
            XmlParseFloatList(attribute->Value(), floats);
            CGeArray<uint16_t> indexes;
            XmlParseIndexList(attribute->Value(), indexes);
            ParseIntegerText(attribute->Value());
        }
        ParseBlendMode(handle);
        ParseAnimPlayMode(handle);
        XmlGetNodeValue(element, nullptr);
        XmlCountChildren(element, nullptr);
        const uint32_t depth = 1 + ReadElements(element->FirstChildElement());
        if (depth > deepest)
            deepest = depth;
    }
    return deepest;
}

} // namespace

int FuzzXmlReader(const uint8_t* data, size_t size)
{
    if (size > 0xFFFFFFFFu)
        return 0;
    TiXmlDocument document;
    if (!XmlParseDocumentText(data, static_cast<uint32_t>(size), document))
        return 0;
    const uint32_t depth = ReadElements(document.FirstChildElement());

    std::string text(reinterpret_cast<const char*>(data), size);
    text.append(kXmlTextPadding + 1, '\0');
    if (depth >= 3 && XmlNestingWithin(text.c_str(), depth - 2))
        abort();
    return 0;
}
