#include "Platform/System/SysCpuId.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

bool SysCpuId(uint32_t leaf, SysCpuIdResult* out)
{
    *out = SysCpuIdResult{0, 0, 0, 0};
#if defined(__x86_64__) || defined(__i386__)
    // On 32-bit x86 this also tests that the instruction exists (EFLAGS bit 21).
    if (__get_cpuid_max(0, nullptr) == 0)
        return false;
    __cpuid_count(leaf, 0, out->eax, out->ebx, out->ecx, out->edx);
    return true;
#else
    (void)leaf;
    return false;
#endif
}
