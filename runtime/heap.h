// The runtime's heap wrappers: every block sits on one doubly linked list so
// that the orderly quit and the failure reporter can free everything in one
// pass. Also the typed print used by low-level reports.
#pragma once
#include <cstddef>
#include <cstdint>

namespace zel::sys {

// Takes `size` bytes; out of memory ends the process with runtime error 94.
void* alloc(size_t size);
void* alloc_zero(size_t size);
// Frees a block from `alloc`; an address that is not a listed block is ignored.
void free(void* p);
// null allocates; size 0 frees and returns null; otherwise resizes in place or moves.
void* realloc(void* p, size_t size);
// Frees every listed block and empties the list.
void free_all();
// Number of listed blocks and their requested bytes (statistics, tests).
size_t heap_block_count();
size_t heap_bytes();

// Typed print items: a type code, the value, and (for 64-bit floats) the high half.
enum PrintType : uint32_t {
    PRINT_LOGIC = 1, PRINT_INTEGER = 2, PRINT_CHAR = 3, PRINT_FLOAT32 = 4,
    PRINT_FLOAT64 = 5, PRINT_CSTRING = 6, PRINT_HEX = 7,
};
struct PrintItem {
    PrintType type;
    uint64_t value;  // the bits of the value (pointer for a C string)
    static PrintItem logic(bool b) { return {PRINT_LOGIC, b}; }
    static PrintItem integer(int32_t i) { return {PRINT_INTEGER, static_cast<uint32_t>(i)}; }
    static PrintItem character(char c) { return {PRINT_CHAR, static_cast<unsigned char>(c)}; }
    static PrintItem float32(float f);
    static PrintItem float64(double d);
    static PrintItem cstring(const char* s) { return {PRINT_CSTRING, reinterpret_cast<uintptr_t>(s)}; }
    static PrintItem hex(uint32_t h) { return {PRINT_HEX, h}; }
};
// Prints each item by its type with nothing between items; `print_line` adds a line feed.
void print(const PrintItem* items, int count);
void print_line(const PrintItem* items, int count);
void print_char(char c);

// Reduces an angle in degrees and converts it to radians; mode 0 folds for
// the tangent, 1 for the cosine (no folding), 2 for the sine.
double degrees_to_radians(double x, int mode);

}  // namespace zel::sys
