#include "tests/fuzz/XmlReaderFuzz.h"

#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Common/GeXmlNesting.h"

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

uint32_t CountElements(const TiXmlNode* node)
{
    uint32_t count = 0;
    for (const TiXmlElement* element = node->FirstChildElement(); element; element = element->NextSiblingElement())
        count += 1 + CountElements(element);
    return count;
}

} // namespace

FuzzOutcome RunXmlReaderFuzz(const uint8_t* data, size_t size)
{
    FuzzOutcome outcome;
    if (size > 0xFFFFFFFFu)
        return outcome;
    TiXmlDocument document;
    outcome.taken = XmlParseDocumentText(data, static_cast<uint32_t>(size), document);
    if (!outcome.taken) {
        // Refused for its nesting: nothing of it is kept.
        FUZZ_EXPECT(outcome, document.FirstChild() == nullptr);
        return outcome;
    }
    const uint32_t depth = ReadElements(document.FirstChildElement());

    // Taken: the whole of what TinyXML alone makes of the same text.
    std::string text(reinterpret_cast<const char*>(data), size);
    text.append(kXmlTextPadding + 1, '\0');
    TiXmlDocument reference;
    reference.Parse(text.c_str(), nullptr, TIXML_DEFAULT_ENCODING);
    FUZZ_EXPECT(outcome, CountElements(&document) == CountElements(&reference));
    FUZZ_EXPECT(outcome, document.Error() == reference.Error());
    // The probe may never claim less nesting than TinyXML reached.
    FUZZ_EXPECT(outcome, depth < 3 || !XmlNestingWithin(text.c_str(), depth - 2));
    return outcome;
}

int FuzzXmlReader(const uint8_t* data, size_t size)
{
    return FuzzVerdict(RunXmlReaderFuzz(data, size), "XmlReaderFuzz.cpp");
}
