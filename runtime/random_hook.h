// Where the series and logic! actions draw random numbers. The random
// generator module installs its generator here at start; until it does, a
// small built-in generator (fixed seed, so runs repeat) stands in.
#pragma once
#include <cstdint>

namespace zel::random_hook {

struct Source {
    void (*seed)(int32_t seed);
    int32_t (*next)();                          // 0 ... 7FFFFFFFh
    int32_t (*secure_next)();                   // 0 ... 7FFFFFFFh from the secure source
    int32_t (*bounded)(bool secure, int32_t n); // 1 ... n (0 for n = 0; negated for n < 0)
};

// Replaces the generator (null members keep the built-in ones).
void install(const Source& s);

void seed(int32_t s);
int32_t next(bool secure);
int32_t bounded(bool secure, int32_t n);

}  // namespace zel::random_hook
