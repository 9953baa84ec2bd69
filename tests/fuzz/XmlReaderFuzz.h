// The XML reader's fuzz entry, shared by the libFuzzer target and the corpus
// replay test.
//
// The input is a whole XML file. It goes through the loader's parse, every
// attribute of every element through every getter, and, when the loader let
// it through, the nesting probe is held against the tree TinyXML built: the
// probe may never claim less nesting than TinyXML reached (it aborts if so).
#pragma once

#include <cstddef>
#include <cstdint>

int FuzzXmlReader(const uint8_t* data, size_t size);
