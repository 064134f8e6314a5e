// Internal to the sorts: how records of a given width are reached, moved and
// compared. Widths of 4, 8 and 16 bytes (integers, pointers, cells) get their
// own fixed-size code; any other width goes through the run-time width.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>
#include "runtime/sort.h"

namespace zel::sort::detail {

// Records of a width known at compile time.
template <size_t W>
struct Fixed {
    size_t w() const { return W; }
    void swap(uint8_t* a, uint8_t* b) const {
        uint8_t t[W];
        std::memcpy(t, a, W);
        std::memcpy(a, b, W);
        std::memcpy(b, t, W);
    }
    void copy(uint8_t* dst, const uint8_t* src) const { std::memcpy(dst, src, W); }
};

// Records of a width known only at run time: swapped as 32-bit words when the
// width allows, byte by byte otherwise.
struct Dynamic {
    size_t width;
    bool bytewise;
    size_t w() const { return width; }
    void swap(uint8_t* a, uint8_t* b) const { sort::swap(a, b, width, bytewise); }
    void copy(uint8_t* dst, const uint8_t* src) const { std::memcpy(dst, src, width); }
};

// The caller's callback with its two pass-through arguments.
struct Callback {
    Compare fn;
    void* u;
    void* v;
    int operator()(const uint8_t* a, const uint8_t* b) const { return fn(a, b, u, v); }
};

// Calls fn with the record policy that fits width w.
template <typename Fn>
void with_width(size_t w, Fn&& fn) {
    switch (w) {
        case 4: fn(Fixed<4>{}); break;
        case 8: fn(Fixed<8>{}); break;
        case 16: fn(Fixed<16>{}); break;
        default: fn(Dynamic{w, w % 4 != 0}); break;
    }
}

// The stable merge sort over a caller-provided work area of (n / 2) * w bytes.
void merge_sort_in(uint8_t* base, size_t n, size_t w, uint8_t* work, const Callback& cmp);
// The unstable sort.
void quick_sort_in(uint8_t* base, size_t n, size_t w, const Callback& cmp);

}  // namespace zel::sort::detail
