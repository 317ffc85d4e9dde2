#pragma once
// Processor identification for the framebuffer library. The MMX feature bit (bit 23 of the EDX
// feature word) means here "the SIMD converters may be used"; the option NOMMX masks it out.
#include <cstdint>

constexpr uint32_t CPUID_EDX_MMX = 1u << 23;

struct cpuid_t {
    uint32_t family = 0, model = 0, stepping = 0;
    uint32_t features_edx = 0, features_ecx = 0; // leaf 1 feature words, each ANDed with its mask
    uint32_t edxmask = 0xFFFFFFFF, ecxmask = 0xFFFFFFFF;
    char vendor[13] = {};
};

extern cpuid_t cpuid;

// Stores the masks that cpuidget applies to the feature words.
void cpuidset(uint32_t edxmask, uint32_t ecxmask);
// Runs the identification instruction for `function`; stores the four result registers and
// returns the first. Returns 0 and stores zeros where the instruction does not exist.
uint32_t cpuidquery(uint32_t function, uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d);
// Fills `cpuid`; returns the family.
uint32_t cpuidget();
