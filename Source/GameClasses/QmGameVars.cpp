#include "Source/GameClasses/QmGameVars.h"

#include "Engine/Core/Common/GeCrc32.h"
#include "Engine/Core/Common/GeLog.h"

#include <cstdlib>
#include <cstring>

QmGameVar* CQmGameVars::s_buckets[kBucketCount] = {};

namespace {

uint32_t BucketOf(const char* name)
{
    return Crc32((uint32_t)strlen(name), name) & 0xFF;
}

void PutU32(uint8_t* at, uint32_t value)
{
    memcpy(at, &value, 4);
}

uint32_t GetU32(const uint8_t* at)
{
    uint32_t value;
    memcpy(&value, at, 4);
    return value;
}

bool FitsSave(const QmGameVar& var)
{
    return var.value != 0 && strlen(var.name) < CQmGameVars::kNameField;
}

} // namespace

void CQmGameVars::Set(const char* name, int32_t value)
{
    if (QmGameVar* var = Get(name)) {
        var->value = value;
        return;
    }
    const size_t length = strlen(name);
    QmGameVar* var = new QmGameVar{static_cast<char*>(malloc(length + 1)), value, nullptr, nullptr};
    memcpy(var->name, name, length + 1);
    QmGameVar** link = &s_buckets[BucketOf(name)];
    while (*link) {
        var->prev = *link;
        link = &(*link)->next;
    }
    *link = var;
}

QmGameVar* CQmGameVars::Get(const char* name)
{
    for (QmGameVar* var = s_buckets[BucketOf(name)]; var; var = var->next) {
        if (strcmp(var->name, name) == 0)
            return var;
    }
    return nullptr;
}

int32_t CQmGameVars::GetValue(const char* name)
{
    const QmGameVar* var = Get(name);
    return var ? var->value : 0;
}

void CQmGameVars::Dump()
{
    ForEach([](const QmGameVar& var) { GeTrace("%s = %d\n", var.name, var.value); });
}

void CQmGameVars::Clear()
{
    for (QmGameVar*& head : s_buckets) {
        while (head) {
            QmGameVar* next = head->next;
            free(head->name);
            delete head;
            head = next;
        }
    }
}

uint32_t CQmGameVars::Count()
{
    uint32_t count = 0;
    ForEach([&](const QmGameVar&) { ++count; });
    return count;
}

uint32_t CQmGameVars::Save(uint8_t** out)
{
    uint32_t count = 0;
    ForEach([&](const QmGameVar& var) {
        if (FitsSave(var))
            ++count;
        else if (var.value != 0)
            GeLog(1, "CQmGameVars::Save: variable name '%s' is too long to be saved\n", var.name);
    });
    const uint32_t size = kHeaderSize + kRecordSize * count;
    uint8_t* block = static_cast<uint8_t*>(calloc(1, size));
    memcpy(block, "vars", 4);
    PutU32(block + 4, 1);
    PutU32(block + 8, count);
    uint8_t* record = block + kHeaderSize;
    ForEach([&](const QmGameVar& var) {
        if (!FitsSave(var))
            return;
        memcpy(record, var.name, strlen(var.name) + 1);
        PutU32(record + kNameField, (uint32_t)var.value);
        record += kRecordSize;
    });
    *out = block;
    return size;
}

bool CQmGameVars::CheckBlock(const uint8_t* block, uint32_t size)
{
    if (size < kHeaderSize || memcmp(block, "vars", 4) != 0 || GetU32(block + 4) != 1)
        return false;
    return GetU32(block + 8) <= (size - kHeaderSize) / kRecordSize;
}

bool CQmGameVars::Load(const uint8_t* block, uint32_t size)
{
    if (!CheckBlock(block, size)) {
        GeLog(1, "CQmGameVars::Load: damaged variable block\n");
        return false;
    }
    Clear();
    const uint32_t count = GetU32(block + 8);
    const uint8_t* record = block + kHeaderSize;
    for (uint32_t i = 0; i < count; ++i, record += kRecordSize) {
        // A name field without its terminator is cut to the field.
        char name[kNameField + 1];
        memcpy(name, record, kNameField);
        name[kNameField] = '\0';
        Set(name, (int32_t)GetU32(record + kNameField));
    }
    return true;
}
