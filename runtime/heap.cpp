// Heap wrappers over malloc/realloc/free with one list of live blocks.
#include "runtime/heap.h"
#include <cmath>
#include <cstdlib>
#include <cstring>
#include "runtime/errors.h"
#include "runtime/stdout.h"
#include "runtime/print.h"

namespace zel::sys {

namespace {

// The header in front of every block.
struct BlockHeader {
    BlockHeader* prev;
    BlockHeader* next;
    size_t size;
    uint64_t spare;
};
static_assert(sizeof(BlockHeader) % 16 == 0);

BlockHeader* first_block = nullptr;
BlockHeader* last_block = nullptr;
size_t block_count = 0;
size_t block_bytes = 0;

void link(BlockHeader* h) {
    h->prev = last_block;
    h->next = nullptr;
    if (last_block) last_block->next = h; else first_block = h;
    last_block = h;
    ++block_count;
    block_bytes += h->size;
}

void unlink(BlockHeader* h) {
    if (h->prev) h->prev->next = h->next; else first_block = h->next;
    if (h->next) h->next->prev = h->prev; else last_block = h->prev;
    --block_count;
    block_bytes -= h->size;
}

// Finds a listed block by its user address; null for an address that is not
// ours. Blocks are mostly freed soon after they are made, so the walk starts
// from the newest.
BlockHeader* header_of(void* p) {
    if (!p) return nullptr;
    for (BlockHeader* h = last_block; h; h = h->prev)
        if (h + 1 == p) return h;
    return nullptr;
}

// A listed block of `size` bytes, zeroed when `zero`: by calloc rather than
// malloc and memset, for memory fresh from the kernel is already zero, and
// calloc knows when it need not clear (nor touch) it.
void* new_block(size_t size, bool zero) {
    if (size > SIZE_MAX - sizeof(BlockHeader)) runtime_error(94, ZEL_HERE());
    size_t total = size + sizeof(BlockHeader);
    auto* h = static_cast<BlockHeader*>(zero ? std::calloc(1, total) : std::malloc(total));
    if (!h) runtime_error(94, ZEL_HERE());
    h->size = size;
    h->spare = 0;
    link(h);
    return h + 1;
}

}  // namespace

void* alloc(size_t size) { return new_block(size, false); }

void* alloc_zero(size_t size) { return new_block(size, true); }

void free(void* p) {
    BlockHeader* h = header_of(p);
    if (!h) return;
    unlink(h);
    std::free(h);
}

void* realloc(void* p, size_t size) {
    if (!p) return alloc(size);
    if (size == 0) {
        free(p);
        return nullptr;
    }
    BlockHeader* h = header_of(p);
    if (!h) return nullptr;
    if (size > SIZE_MAX - sizeof(BlockHeader)) runtime_error(94, ZEL_HERE());
    unlink(h);
    auto* moved = static_cast<BlockHeader*>(std::realloc(h, size + sizeof(BlockHeader)));
    if (!moved) {
        link(h);
        runtime_error(94, ZEL_HERE());
    }
    moved->size = size;
    link(moved);  // relinking at the end keeps the list consistent after a move
    return moved + 1;
}

void free_all() {
    BlockHeader* h = first_block;
    while (h) {
        BlockHeader* next = h->next;
        std::free(h);
        h = next;
    }
    first_block = last_block = nullptr;
    block_count = 0;
    block_bytes = 0;
}

size_t heap_block_count() { return block_count; }
size_t heap_bytes() { return block_bytes; }

PrintItem PrintItem::float32(float f) {
    return {PRINT_FLOAT32, std::bit_cast<uint32_t>(f)};
}
PrintItem PrintItem::float64(double d) {
    return {PRINT_FLOAT64, std::bit_cast<uint64_t>(d)};
}

static void print_items(const PrintItem* items, int count) {
    for (int i = 0; i < count; ++i) {
        const PrintItem& it = items[i];
        switch (it.type) {
            case PRINT_LOGIC: std_out::print_c_string(it.value ? "true" : "false"); break;
            case PRINT_INTEGER: std_out::print_int(static_cast<int32_t>(it.value)); break;
            case PRINT_CHAR: {
                char s[2] = {static_cast<char>(it.value), 0};
                std_out::print_c_string(s);
                break;
            }
            case PRINT_FLOAT32: std_out::print_float32(std::bit_cast<float>(static_cast<uint32_t>(it.value))); break;
            case PRINT_FLOAT64: std_out::print_float(std::bit_cast<double>(it.value)); break;
            case PRINT_CSTRING: std_out::print_c_string(reinterpret_cast<const char*>(it.value)); break;
            case PRINT_HEX: std_out::print_hex(static_cast<uint32_t>(it.value)); break;
            default: runtime_error(101, ZEL_HERE());
        }
    }
}

void print(const PrintItem* items, int count) {
    print::on_print_begin();
    print_items(items, count);
    print::on_print_end();
}

void print_line(const PrintItem* items, int count) {
    print::on_print_begin();
    print_items(items, count);
    std_out::print_c_string("\n");
    print::on_print_end();
}

void print_char(char c) {
    char s[2] = {c, 0};
    std_out::print_c_string(s);
}

double degrees_to_radians(double x, int mode) {
    x = std::fmod(x, 360.0);
    if (x > 180.0 || x < -180.0) x += x >= 0.0 ? -360.0 : 360.0;
    if (x > 90.0 || x < -90.0) {
        if (mode == 0) x += x >= 0.0 ? -180.0 : 180.0;
        else if (mode == 2) x = x >= 0.0 ? 180.0 - x : -180.0 - x;
    }
    return x * M_PI / 180.0;
}

}  // namespace zel::sys
