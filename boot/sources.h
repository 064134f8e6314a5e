// The boot library's Zel sources, embedded in the program at build time.
#pragma once

namespace zel::boot {

struct Source {
    const char* name;
    const char* text;
    unsigned length;
};

extern const Source SOURCES[];
extern const unsigned SOURCE_COUNT;

}  // namespace zel::boot
