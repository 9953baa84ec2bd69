#include "Source/GameClasses/QmQuests.h"

#include "Engine/Core/Common/GeLog.h"

#include <cstdlib>
#include <cstring>

CQmQuests::Table CQmQuests::s_ungrouped;
CGeStringMap<CQmQuests::Table> CQmQuests::s_groups;

namespace {

const uint32_t kValueMarker = 0x7FFFFFFF;

// Appends words and names to a growing block.
class BlockWriter {
public:
    ~BlockWriter() { free(m_data); }

    void Word(uint32_t value) { Bytes(&value, 4); }

    void Name(const CGeString& name)
    {
        Word(name.Length());
        Bytes(name.c_str(), name.Length() + 1);
    }

    void Table(const CQmQuests::Table& table)
    {
        for (auto* node = table.first; node; node = table.Next(node)) {
            Name(node->key);
            Word((uint32_t)node->value);
        }
    }

    uint32_t Release(uint8_t** out)
    {
        *out = m_data;
        m_data = nullptr;
        return m_size;
    }

private:
    void Bytes(const void* bytes, uint32_t count)
    {
        m_data = static_cast<uint8_t*>(realloc(m_data, m_size + count));
        memcpy(m_data + m_size, bytes, count);
        m_size += count;
    }

    uint8_t* m_data = nullptr;
    uint32_t m_size = 0;
};

// Reads words and names, refusing anything that runs past the block.
class BlockReader {
public:
    BlockReader(const uint8_t* data, uint32_t size) : m_data(data), m_size(size) {}

    bool Word(uint32_t& value)
    {
        if (m_size - m_at < 4)
            return false;
        memcpy(&value, m_data + m_at, 4);
        m_at += 4;
        return true;
    }

    bool Name(CGeString& name)
    {
        uint32_t length;
        if (!Word(length) || length >= m_size - m_at)
            return false;
        name.Resize(length, false);
        if (length) {
            memcpy(name.data, m_data + m_at, length);
            name.data[length] = '\0';
        }
        m_at += length + 1;
        return true;
    }

private:
    const uint8_t* m_data;
    uint32_t m_size;
    uint32_t m_at = 0;
};

// Reads the whole block; with apply set, the entries go into the tables.
bool ReadBlock(const uint8_t* block, uint32_t size, bool apply)
{
    BlockReader reader(block, size);
    uint32_t first;
    if (!reader.Word(first))
        return false;
    const bool withValues = first == kValueMarker;
    uint32_t count = first;
    if (withValues && !reader.Word(count))
        return false;

    auto readEntries = [&](uint32_t entries, CQmQuests::Table* table, const CGeString* groupName) {
        for (uint32_t i = 0; i < entries; ++i) {
            CGeString name;
            uint32_t value = 0;
            if (!reader.Name(name) || (withValues && !reader.Word(value)))
                return false;
            if (apply) {
                if (!table)
                    table = &CQmQuests::s_groups[*groupName];
                (*table)[name] = (int32_t)value;
            }
        }
        return true;
    };

    if (!readEntries(count, apply ? &CQmQuests::s_ungrouped : nullptr, nullptr))
        return false;
    uint32_t groups;
    if (!reader.Word(groups))
        return false;
    for (uint32_t g = 0; g < groups; ++g) {
        CGeString groupName;
        uint32_t entries;
        if (!reader.Name(groupName) || !reader.Word(entries))
            return false;
        // A group is created by its first entry: one without entries is not.
        if (!readEntries(entries, nullptr, &groupName))
            return false;
    }
    return true;
}

CQmQuests::Table* ChooseTable(const char* group, bool create)
{
    if (!group || !*group)
        return &CQmQuests::s_ungrouped;
    if (create)
        return &CQmQuests::s_groups[CGeString(group)];
    auto* node = CQmQuests::s_groups.Find(CGeString(group));
    return node ? &node->value : nullptr;
}

} // namespace

void CQmQuests::Pass(const char* quest, const char* group, int32_t value)
{
    if (!quest || !*quest) {
        GeTrace("CQmQuests::Pass: empty quest name");
        return;
    }
    (*ChooseTable(group, true))[CGeString(quest)] = value;
}

void CQmQuests::Fail(const char* quest, const char* group)
{
    if (!quest || !*quest) {
        GeTrace("CQmQuests::Fail: empty quest name");
        return;
    }
    if (Table* table = ChooseTable(group, false))
        table->EraseKey(CGeString(quest));
}

const int32_t* CQmQuests::Find(const char* quest, const char* group)
{
    Table* table = ChooseTable(group, false);
    auto* node = table && quest ? table->Find(CGeString(quest)) : nullptr;
    return node ? &node->value : nullptr;
}

bool CQmQuests::GetValue(const char* quest, const char* group)
{
    return Find(quest, group) != nullptr;
}

void CQmQuests::Clear()
{
    s_ungrouped.Clear();
    s_groups.Clear();
}

uint32_t CQmQuests::Save(uint8_t** out)
{
    BlockWriter writer;
    writer.Word(kValueMarker);
    writer.Word(s_ungrouped.Count());
    writer.Table(s_ungrouped);
    writer.Word(s_groups.Count());
    for (auto* node = s_groups.first; node; node = s_groups.Next(node)) {
        writer.Name(node->key);
        writer.Word(node->value.Count());
        writer.Table(node->value);
    }
    return writer.Release(out);
}

bool CQmQuests::CheckBlock(const uint8_t* block, uint32_t size)
{
    return block && ReadBlock(block, size, false);
}

bool CQmQuests::Load(const uint8_t* block, uint32_t size)
{
    if (!CheckBlock(block, size)) {
        GeLog(1, "CQmQuests::Load: damaged quest block\n");
        return false;
    }
    Clear();
    return ReadBlock(block, size, true);
}
