// The native table: positions, names and entries.
#include "runtime/evaluator/natives.h"
#include <cstring>
#include "runtime/evaluator/natives_list.h"

namespace zel::natives {

namespace {

const char* const NAMES[NATIVE_COUNT] = {
    "if", "unless", "either", "any", "all", "while", "until", "loop", "repeat", "forever", "foreach",
    "forall", "remove-each", "func", "function", "does", "has", "switch", "case", "do", "get", "set",
    "print", "prin", "equal?", "not-equal?", "strict-equal?", "lesser?", "greater?", "lesser-or-equal?",
    "greater-or-equal?", "same?", "not", "type?", "reduce", "compose", "stats", "bind", "in", "parse",
    "union", "intersect", "unique", "difference", "exclude", "complement?", "dehex", "enhex", "negative?",
    "positive?", "max", "min", "shift", "to-hex", "sine", "cosine", "tangent", "arcsine", "arccosine",
    "arctangent", "arctangent2", "NaN?", "log-2", "log-10", "log-e", "exp", "square-root", "construct",
    "value?", "try", "uppercase", "lowercase", "as-pair", "as-point2D", "as-point3D", "as-money", "break",
    "continue", "exit", "return", "throw", "catch", "extend", "debase", "to-local-file", "wait",
    "checksum", "unset", "new-line", "new-line?", "enbase", "context?", "set-env", "get-env", "list-env",
    "now", "sign?", "as", "call", "zero?", "size?", "browse", "compress", "decompress", "recycle",
    "transcode", "apply",
};

}  // namespace

NativeFn table[TABLE_SIZE];

const char* name_of(uint32_t position) {
    return position >= 1 && position <= NATIVE_COUNT ? NAMES[position - 1] : nullptr;
}

uint32_t position_of(const char* name) {
    // The first byte is compared inline: start-up looks up every native.
    for (uint32_t i = 0; i < NATIVE_COUNT; ++i)
        if (NAMES[i][0] == name[0] && std::strcmp(NAMES[i], name) == 0) return i + 1;
    return 0;
}

void init() {
    std::memset(table, 0, sizeof table);
    for (const Registration& r : registrations()) {
        uint32_t pos = position_of(r.name);
        if (pos) table[pos - 1] = r.fn;
    }
}

}  // namespace zel::natives
