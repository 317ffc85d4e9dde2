#include "framebuffer/cpuid.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define HAVE_CPUID 1
#endif

cpuid_t cpuid;

void cpuidset(uint32_t edxmask, uint32_t ecxmask) {
    cpuid.edxmask = edxmask;
    cpuid.ecxmask = ecxmask;
}

uint32_t cpuidquery(uint32_t function, uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d) {
    a = b = c = d = 0;
#ifdef HAVE_CPUID
    __cpuid_count(function, 0, a, b, c, d);
#else
    (void)function;
#endif
    return a;
}

uint32_t cpuidget() {
    cpuid.family = cpuid.model = cpuid.stepping = 0;
    cpuid.features_edx = cpuid.features_ecx = 0;
    std::memset(cpuid.vendor, 0, sizeof cpuid.vendor);
#ifdef HAVE_CPUID
    // Every processor that runs this code has the identification instruction (the flags-register
    // probes of older processors always pass here).
    cpuid.family = 4;
    uint32_t a, b, c, d;
    cpuidquery(0, a, b, c, d);
    std::memcpy(cpuid.vendor + 0, &b, 4);
    std::memcpy(cpuid.vendor + 4, &d, 4);
    std::memcpy(cpuid.vendor + 8, &c, 4);
    cpuidquery(1, a, b, c, d);
    cpuid.family = (a >> 8) & 0xF;
    cpuid.model = (a >> 4) & 0xF;
    cpuid.stepping = a & 0xF;
    cpuid.features_edx = d & cpuid.edxmask;
    cpuid.features_ecx = c & cpuid.ecxmask;
#endif
    return cpuid.family;
}
