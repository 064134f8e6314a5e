// The random source used by the actions, with a built-in stand-in.
#include "runtime/random_hook.h"

namespace zel::random_hook {

namespace {

// The stand-in: a 64-bit splitmix generator; its outputs keep 31 bits.
uint64_t state = 19650218u;

void builtin_seed(int32_t s) { state = static_cast<uint32_t>(s); }

int32_t builtin_next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return static_cast<int32_t>((z ^ (z >> 31)) & 0x7FFFFFFFu);
}

// Maps outputs onto 1 ... n by rejection, so that every value is equally likely.
int32_t builtin_bounded(bool secure, int32_t n) {
    if (n == 0) return 0;
    if (n == INT32_MIN) return -1 - next(secure);
    int32_t m = n < 0 ? -n : n;
    int32_t limit = (0x7FFFFFFF / m) * m;
    int32_t r;
    do r = next(secure); while (r >= limit);
    int32_t v = r % m + 1;
    return n < 0 ? -v : v;
}

Source source = {builtin_seed, builtin_next, builtin_next, builtin_bounded};

}  // namespace

void install(const Source& s) {
    if (s.seed) source.seed = s.seed;
    if (s.next) source.next = s.next;
    if (s.secure_next) source.secure_next = s.secure_next;
    if (s.bounded) source.bounded = s.bounded;
}

void seed(int32_t s) { source.seed(s); }
int32_t next(bool secure) { return secure ? source.secure_next() : source.next(); }
int32_t bounded(bool secure, int32_t n) { return source.bounded(secure, n); }

}  // namespace zel::random_hook
