// The resource collector: the program-wide cache from resource names to shared
// resources, created by the engine core's start-up.
#pragma once

class CGmResCollector {
public:
    CGmResCollector() = default;
    ~CGmResCollector() = default;
    CGmResCollector(const CGmResCollector&) = delete;
    CGmResCollector& operator=(const CGmResCollector&) = delete;
};

extern CGmResCollector* g_pGmResCollector;
