// Script variables: the program-wide store of named integers that scripts
// keep between locations and across saves ("VarSet", "VarGet"), and that the
// engine itself reads and writes under a few names ("MiniGameMode", "iTutor").
//
// 256 buckets chosen by the low byte of the name's CRC-32, each a chain in
// order of insertion. Names are compared byte for byte. Iteration (the dump and
// the save) runs from bucket 0 to 255 and inside a bucket from the newest
// variable to the oldest.
//
// The save block: "vars", version 1, the record count, 0, then 36-byte records
// (a 32-byte zero-padded name and the value). Only non-zero values are saved,
// and only names that fit the field with their terminator (31 bytes at most):
// a longer name stays out of the save with a level-1 log.
#pragma once

#include <cstdint>

struct QmGameVar {
    char* name;         // zero-terminated copy, owned
    int32_t value;
    QmGameVar* next;
    QmGameVar* prev;
};

class CQmGameVars {
public:
    static constexpr uint32_t kBucketCount = 256;
    static constexpr uint32_t kNameField = 32;
    static constexpr uint32_t kHeaderSize = 16;
    static constexpr uint32_t kRecordSize = kNameField + 4;

    static void Set(const char* name, int32_t value);
    // The variable, or null for an unknown name.
    static QmGameVar* Get(const char* name);
    // The value, 0 for an unknown name.
    static int32_t GetValue(const char* name);
    // Every variable to the debug trace, in iteration order.
    static void Dump();
    static void Clear();
    static uint32_t Count();

    // Allocates (malloc) and fills the save block; the caller frees it.
    static uint32_t Save(uint8_t** out);
    // True when the block has the tag, version 1 and room for its records.
    static bool CheckBlock(const uint8_t* block, uint32_t size);
    // Replaces the store with the block's records; a block that fails
    // CheckBlock changes nothing and gives false.
    static bool Load(const uint8_t* block, uint32_t size);

    // Calls visit for every variable in iteration order.
    template <typename Visit>
    static void ForEach(Visit visit)
    {
        for (uint32_t bucket = 0; bucket < kBucketCount; ++bucket) {
            QmGameVar* last = s_buckets[bucket];
            while (last && last->next)
                last = last->next;
            for (QmGameVar* var = last; var; var = var->prev)
                visit(*var);
        }
    }

private:
    static QmGameVar* s_buckets[kBucketCount];
};
