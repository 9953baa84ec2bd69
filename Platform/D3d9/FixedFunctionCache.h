// The never-evicting map from fixed-function keys to linked programs. The
// builder that compiles and links is supplied by the owner, so the cache's
// bookkeeping can be tested without GL.
// Internal header of the platform layer: only Platform/ and its tests include it.
#pragma once

#include "Platform/D3d9/FixedFunctionKey.h"

#include <cstdint>
#include <functional>
#include <unordered_map>

class FfpProgramCache {
public:
    // Returns the program for key, 0 when it cannot be built.
    using Builder = std::function<uint32_t(const FfpKey& key)>;

    explicit FfpProgramCache(Builder builder) : m_builder(std::move(builder)) {}

    // The program for key, built on the first request. A key whose build
    // failed stays mapped to 0, so a broken program is not rebuilt per draw.
    uint32_t Find(const FfpKey& key);

    size_t Size() const { return m_programs.size(); }
    uint64_t Hits() const { return m_hits; }
    uint64_t Misses() const { return m_misses; }

    void Clear();

private:
    Builder m_builder;
    std::unordered_map<FfpKey, uint32_t, FfpKeyHash> m_programs;
    uint64_t m_hits = 0;
    uint64_t m_misses = 0;
};
