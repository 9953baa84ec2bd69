#include "Platform/D3d9/FixedFunctionCache.h"

uint32_t FfpProgramCache::Find(const FfpKey& key)
{
    auto found = m_programs.find(key);
    if (found != m_programs.end()) {
        ++m_hits;
        return found->second;
    }
    ++m_misses;
    uint32_t program = m_builder(key);
    m_programs.emplace(key, program);
    return program;
}

void FfpProgramCache::Clear()
{
    m_programs.clear();
    m_hits = 0;
    m_misses = 0;
}
