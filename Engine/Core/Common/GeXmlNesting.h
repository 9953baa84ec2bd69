// How deep TinyXML would nest the elements of a text, found without parsing.
//
// TinyXML parses child elements by recursion and frees them the same way, so
// a text nested some ten thousand levels deep runs it out of stack. The probe
// reads the text the way TinyXML does (the same node kinds, attribute
// quoting, character steps in UTF-8 mode and stopping points) and counts the
// open elements; the XML loader refuses a text that goes deeper than any game
// file does before TinyXML sees it.
#pragma once

#include <cstdint>

// The padding of zero bytes that a parsed text needs after its terminator. In
// UTF-8 mode TinyXML steps over a whole multi-byte character even when the
// text ends inside it: up to three bytes past the terminator, which must read
// as zeros so that it stops there. The padding leaves room to spare.
constexpr uint32_t kXmlTextPadding = 16;

// True when no element of the text (terminated and padded as above) would be
// nested more than `limit` levels deep.
bool XmlNestingWithin(const char* text, uint32_t limit);
