#include "Engine/Core/Common/GeXmlNesting.h"

#include <cstring>

namespace {

// Reads a text node by node as TinyXML 2.6 does and counts the elements that
// are open at once. Every routine stops (returns null) exactly where
// TinyXML's counterpart gives up, and steps over characters as it does, so
// that both read the same markup. The probe's own recursion is bounded by
// the limit.
class CXmlNestingProbe {
public:
    CXmlNestingProbe(uint32_t limit, bool declarationMeansUtf8)
        : m_limit(limit), m_declarationMeansUtf8(declarationMeansUtf8)
    {
    }

    bool Fits(const char* text);

private:
    static bool IsSpace(unsigned char c)
    {
        return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    }
    // Bytes from 127 up count as letters, whatever the encoding.
    static bool IsNameStart(unsigned char c)
    {
        return c >= 127 || c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    }
    static bool IsNameChar(unsigned char c)
    {
        return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == ':';
    }
    static bool StartsWith(const char* p, const char* tag) { return std::strncmp(p, tag, std::strlen(tag)) == 0; }
    static bool StartsWithNoCase(const char* p, const char* tag);

    const char* SkipSpace(const char* p) const;
    const char* Entity(const char* p) const;
    const char* Step(const char* p) const;
    const char* ReadText(const char* p, const char* end) const;
    static const char* SkipPast(const char* p, const char* end);
    const char* Attribute(const char* p) const;
    const char* Declaration(const char* p) const;
    const char* Unknown(const char* p) const;
    const char* Node(const char* p, uint32_t depth);
    const char* Element(const char* p, uint32_t depth);
    const char* Content(const char* p, uint32_t depth);

    const uint32_t m_limit;
    const bool m_declarationMeansUtf8;
    bool m_utf8 = false;
    bool m_tooDeep = false;
};

bool CXmlNestingProbe::StartsWithNoCase(const char* p, const char* tag)
{
    for (; *tag; ++p, ++tag) {
        unsigned char a = static_cast<unsigned char>(*p);
        unsigned char b = static_cast<unsigned char>(*tag);
        if (a >= 'A' && a <= 'Z')
            a = static_cast<unsigned char>(a + 32);
        if (b >= 'A' && b <= 'Z')
            b = static_cast<unsigned char>(b + 32);
        if (a != b)
            return false;
    }
    return true;
}

const char* CXmlNestingProbe::SkipSpace(const char* p) const
{
    if (!p || !*p)
        return nullptr;
    for (;;) {
        const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
        // In UTF-8 mode the byte-order mark and two non-characters read as blanks.
        if (m_utf8 && u[0] == 0xEF && ((u[1] == 0xBB && u[2] == 0xBF) || (u[1] == 0xBF && (u[2] == 0xBE || u[2] == 0xBF)))) {
            p += 3;
            continue;
        }
        if (!*p || !IsSpace(u[0]))
            return p;
        ++p;
    }
}

// A character reference "&#...;" or "&#x...;" is taken whole, and a broken
// one stops the reading; anything else starting with '&' is one character.
const char* CXmlNestingProbe::Entity(const char* p) const
{
    if (p[1] != '#' || !p[2])
        return p + 1;
    const bool hex = p[2] == 'x';
    if (hex && !p[3])
        return nullptr;
    const char* end = std::strchr(p + (hex ? 3 : 2), ';');
    if (!end)
        return nullptr;
    for (const char* q = end - 1; *q != (hex ? 'x' : '#'); --q) {
        const bool digit = *q >= '0' && *q <= '9';
        const bool hexLetter = (*q >= 'a' && *q <= 'f') || (*q >= 'A' && *q <= 'F');
        if (!digit && !(hex && hexLetter))
            return nullptr;
    }
    return end + 1;
}

// One character: in UTF-8 mode a lead byte takes its whole sequence, even
// past the text's terminator (hence the padding).
const char* CXmlNestingProbe::Step(const char* p) const
{
    const unsigned char c = static_cast<unsigned char>(*p);
    int length = 1;
    if (m_utf8 && c >= 0xC2 && c <= 0xF4)
        length = c <= 0xDF ? 2 : c <= 0xEF ? 3 : 4;
    if (length == 1)
        return c == '&' ? Entity(p) : p + 1;
    return p + length;
}

// Reads up to the end marker and past it; a text that runs out first gives
// the position of its zero byte, where every caller stops.
const char* CXmlNestingProbe::ReadText(const char* p, const char* end) const
{
    while (p && *p && !StartsWith(p, end))
        p = Step(p);
    return p && *p ? p + std::strlen(end) : p;
}

// name = 'value', name = "value" or name = value.
const char* CXmlNestingProbe::Attribute(const char* p) const
{
    p = SkipSpace(p);
    if (!p || !IsNameStart(static_cast<unsigned char>(*p)))
        return nullptr;
    while (*p && IsNameChar(static_cast<unsigned char>(*p)))
        ++p;
    p = SkipSpace(p);
    if (!p || *p != '=')
        return nullptr;
    p = SkipSpace(p + 1);
    if (!p)
        return nullptr;
    if (*p == '\'' || *p == '"') {
        const char quote[2] = {*p, 0};
        return ReadText(p + 1, quote);
    }
    for (; *p && !IsSpace(static_cast<unsigned char>(*p)) && *p != '/' && *p != '>'; ++p) {
        if (*p == '\'' || *p == '"')
            return nullptr;
    }
    return p;
}

// "<?xml ...>": only version, encoding and standalone are read as attributes;
// any other word is skipped up to a blank or '>'.
const char* CXmlNestingProbe::Declaration(const char* p) const
{
    p += 5;
    while (p && *p) {
        if (*p == '>')
            return p + 1;
        p = SkipSpace(p);
        if (p && (StartsWithNoCase(p, "version") || StartsWithNoCase(p, "encoding") || StartsWithNoCase(p, "standalone"))) {
            p = Attribute(p);
            continue;
        }
        while (p && *p && *p != '>' && !IsSpace(static_cast<unsigned char>(*p)))
            ++p;
    }
    return nullptr;
}

const char* CXmlNestingProbe::SkipPast(const char* p, const char* end)
{
    while (*p && !StartsWith(p, end))
        ++p;
    return *p ? p + std::strlen(end) : p;
}

const char* CXmlNestingProbe::Unknown(const char* p) const
{
    ++p;
    while (*p && *p != '>')
        ++p;
    return *p == '>' ? p + 1 : p;
}

// One node starting at '<' (after blanks); depth counts the open elements
// around it.
const char* CXmlNestingProbe::Node(const char* p, uint32_t depth)
{
    p = SkipSpace(p);
    if (!p || *p != '<')
        return nullptr;
    if (StartsWithNoCase(p, "<?xml"))
        return Declaration(p);
    // Comments and CDATA sections are read byte by byte, without references.
    if (StartsWith(p, "<!--"))
        return SkipPast(p + 4, "-->");
    if (StartsWith(p, "<![CDATA["))
        return SkipPast(p + 9, "]]>");
    if (StartsWith(p, "<!") || !IsNameStart(static_cast<unsigned char>(p[1])))
        return Unknown(p);
    return Element(p, depth + 1);
}

const char* CXmlNestingProbe::Element(const char* p, uint32_t depth)
{
    p = SkipSpace(p + 1);
    const char* name = p;
    if (!p || !IsNameStart(static_cast<unsigned char>(*p)))
        return nullptr;
    while (*p && IsNameChar(static_cast<unsigned char>(*p)))
        ++p;
    const size_t nameLength = static_cast<size_t>(p - name);
    while (p && *p) {
        p = SkipSpace(p);
        if (!p)
            return nullptr;
        if (*p == '/')
            return p[1] == '>' ? p + 2 : nullptr;
        if (*p == '>') {
            if (depth > m_limit) {
                m_tooDeep = true;
                return nullptr;
            }
            p = Content(p + 1, depth);
            // The content ends at "</"; only this element's own end tag, with
            // blanks allowed before its '>', goes on.
            if (!p || !*p || std::strncmp(p + 2, name, nameLength) != 0)
                return nullptr;
            p = SkipSpace(p + 2 + nameLength);
            return p && *p == '>' ? p + 1 : nullptr;
        }
        p = Attribute(p);
    }
    return nullptr;
}

const char* CXmlNestingProbe::Content(const char* p, uint32_t depth)
{
    const char* withBlanks = p;
    p = SkipSpace(p);
    while (p && *p) {
        if (*p != '<') {
            // Text runs to the next '<'; the blanks before it belong to it.
            p = ReadText(withBlanks, "<");
            p = p && *p ? p - 1 : nullptr;
        } else if (StartsWith(p, "</")) {
            return p;
        } else {
            p = Node(p, depth);
            if (m_tooDeep)
                return nullptr;
        }
        withBlanks = p;
        p = SkipSpace(p);
    }
    return p;
}

bool CXmlNestingProbe::Fits(const char* text)
{
    const unsigned char* u = reinterpret_cast<const unsigned char*>(text);
    m_utf8 = u[0] == 0xEF && u[1] == 0xBB && u[2] == 0xBF;
    bool encodingKnown = m_utf8;
    const char* p = SkipSpace(text);
    while (p && *p) {
        const char* start = SkipSpace(p);
        if (!start || *start != '<')
            break;
        const bool declaration = StartsWithNoCase(start, "<?xml");
        p = Node(p, 0);
        if (m_tooDeep)
            return false;
        // The first declaration settles the encoding of the rest of the text.
        if (declaration && !encodingKnown) {
            encodingKnown = true;
            m_utf8 = m_declarationMeansUtf8;
        }
        p = SkipSpace(p);
    }
    return true;
}

} // namespace

bool XmlNestingWithin(const char* text, uint32_t limit)
{
    // TinyXML reads on in UTF-8 or in single bytes after the first
    // declaration, by what it names; the text must fit either way.
    return CXmlNestingProbe(limit, true).Fits(text) && CXmlNestingProbe(limit, false).Fits(text);
}
