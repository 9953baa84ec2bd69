// The catalogues' fuzz entry, shared by the libFuzzer target and the corpus
// replay test.
//
// The first byte chooses the reader by its remainder over 4 (0: a strings
// document, 1: an inventory item file, 2: an actor file, 3: an overlay
// document); the rest is the file. Strings are read into a table,
// which must hold exactly the ids of the root's "string" children that carry
// both "id" and "str", each with its text. An item file is taken exactly when
// its root is "items_list" with a "stringlist"; then the catalogue must hold
// one item per distinct name of the "inv_item" children with "name" and
// "string_id", with a text, cursor type and initial-value flag as the element
// says; Clear must empty it again. An actor file gives a catalogue actor
// exactly when it has an "entity" element (the root or the root's child),
// hidden, with an actor property, loaded once under its name and gone after
// Clear. An overlay document is made exactly when its root is
// "overlay_document" with a "name", with at most one sprite per "sprite2d"
// child hung below it; loaded twice, the first stays alive beside the second.
#pragma once

#include "tests/fuzz/FuzzOutcome.h"

#include <cstddef>
#include <cstdint>

FuzzOutcome RunCatalogueFuzz(const uint8_t* data, size_t size);

// For libFuzzer: aborts on a fault.
int FuzzCatalogue(const uint8_t* data, size_t size);
