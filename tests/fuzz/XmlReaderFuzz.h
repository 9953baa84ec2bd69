// The XML reader's fuzz entry, shared by the libFuzzer target and the corpus
// replay test.
//
// The input is a whole XML file. It goes through the loader's parse, every
// attribute of every element through every getter, and, when the loader let
// it through, the nesting probe is held against the tree TinyXML built: the
// probe may never claim less nesting than TinyXML reached.
//
// The outcome is whether the loader took the text; taken, its tree must be
// the one TinyXML alone makes of the text, refused, it must keep nothing.
#pragma once

#include "tests/fuzz/FuzzOutcome.h"

#include <cstddef>
#include <cstdint>

FuzzOutcome RunXmlReaderFuzz(const uint8_t* data, size_t size);

// For libFuzzer: aborts on a broken rule.
int FuzzXmlReader(const uint8_t* data, size_t size);
