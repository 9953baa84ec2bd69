#include "Engine/Gui/GuiCharClass.h"

namespace {

// The capitals U+0401 to U+040F that Windows-1251 has (all but U+040D);
// their small forms are 0x50 higher.
bool IsCodePageCapitalBeyondA(char16_t c)
{
    return c >= 0x0401 && c <= 0x040F && c != 0x040D;
}

} // namespace

bool GuiIsGraphicAnsi(uint8_t byte)
{
    if (byte >= 0x21 && byte <= 0x7E)
        return true;
    return byte >= 0x80 && byte != 0x98 && byte != 0xA0 && byte != 0xAD;
}

char16_t GuiToLower(char16_t c)
{
    if (c >= u'A' && c <= u'Z')
        return (char16_t)(c + 0x20);
    if (c >= 0x0410 && c <= 0x042F)
        return (char16_t)(c + 0x20);
    if (IsCodePageCapitalBeyondA(c))
        return (char16_t)(c + 0x50);
    if (c == 0x0490)
        return 0x0491;
    return c;
}

char16_t GuiToUpper(char16_t c)
{
    if (c >= u'a' && c <= u'z')
        return (char16_t)(c - 0x20);
    if (c >= 0x0430 && c <= 0x044F)
        return (char16_t)(c - 0x20);
    if (IsCodePageCapitalBeyondA((char16_t)(c - 0x50)))
        return (char16_t)(c - 0x50);
    if (c == 0x0491)
        return 0x0490;
    return c;
}
