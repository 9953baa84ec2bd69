// Text helpers over engine strings that the string classes do not need
// themselves. CGeString::ReplaceAll, CGeString::FindLastOf,
// CGeWString::ReplaceAll and CGeWString::Split are defined beside them in
// GeStringText.cpp.
#pragma once

#include <cstdint>

// The number of characters a text visual shows: control characters 1 to 31
// are not counted, nor the markups "&i" and "&c", nor a colour markup "&0x"
// with the ten characters after its '&' (fewer when the text ends first).
// Any other '&' counts as a character. A null text gives 0.
uint32_t CountPrintableChars(const char16_t* text);
