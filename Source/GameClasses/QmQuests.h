// Quest states: which quests the player has passed, each a name, optionally
// inside a named group, with an integer value that the caller supplies. Only
// presence is asked for; the value is kept and saved.
//
// The save block (little-endian words; a name is its length L, L bytes and a
// zero): 0x7FFFFFFF, the ungrouped count N and N (name, value) entries, then
// the group count G and G groups (name, entry count M, M entries). Entries
// stand in the maps' key order. A block that starts without the marker is the
// older layout whose entries carry no values: they read as value 0.
#pragma once

#include "Engine/Core/Common/GeMap.h"
#include "Engine/Core/Common/GeString.h"

#include <cstdint>

class CQmQuests {
public:
    using Table = CGeStringMap<int32_t>;

    // An empty quest name is ignored. An empty group means the ungrouped table.
    static void Pass(const char* quest, const char* group, int32_t value);
    // Removes the quest; its group stays, even when it becomes empty.
    static void Fail(const char* quest, const char* group);
    // True when the quest stands in the table its group chooses.
    static bool GetValue(const char* quest, const char* group);
    // The stored value, or null when the quest is not passed.
    static const int32_t* Find(const char* quest, const char* group);
    static void Clear();

    // Allocates (malloc) and fills the save block; the caller frees it.
    static uint32_t Save(uint8_t** out);
    // True when every count and length of the block lies inside it.
    static bool CheckBlock(const uint8_t* block, uint32_t size);
    // Replaces both tables with the block; a block that fails CheckBlock
    // changes nothing and gives false.
    static bool Load(const uint8_t* block, uint32_t size);

    static Table s_ungrouped;
    static CGeStringMap<Table> s_groups;
};
