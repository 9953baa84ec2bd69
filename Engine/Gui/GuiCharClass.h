// The character rules of typed text, in the engine's 8-bit code page
// (Windows-1251), without any C locale: which typed bytes are graphic
// characters, and lower and upper case of the code page's letters.
//
// Graphic: 0x21 to 0x7E, and from 0x80 every byte the code page prints,
// Cyrillic letters included; 0x98 (undefined), 0xA0 (a space) and 0xAD (an
// invisible soft hyphen) are not graphic. Case: the Latin letters A to Z,
// the Cyrillic letters А to я, and the code page's other Cyrillic letters
// (Ё, Ђ, Ѓ, Є, Ѕ, І, Ї, Ј, Љ, Њ, Ћ, Ќ, Ў, Џ, Ґ and their small forms); any
// other character is its own lower and upper case.
#pragma once

#include <cstdint>

bool GuiIsGraphicAnsi(uint8_t byte);
char16_t GuiToLower(char16_t c);
char16_t GuiToUpper(char16_t c);
