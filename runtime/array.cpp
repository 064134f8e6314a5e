// Typed buffers over byte series: element access, growth at the tail and
// removal. Every position is checked against the used part; a bad one raises
// script error `out-of-range` instead of reading or writing outside it.
#include "runtime/array.h"
#include <cstring>
#include "runtime/errors.h"
#include "runtime/memory.h"

namespace zel::array {

namespace {

SeriesBuffer* buffer(Node buf) { return series::buffer_of(buf); }
uint32_t used_bytes(const SeriesBuffer* b) { return b->tail - b->head; }

[[noreturn]] void out_of_range(int64_t position) {
    Cell arg;
    int32_t shown = position > INT32_MAX ? INT32_MAX : position < INT32_MIN ? INT32_MIN : static_cast<int32_t>(position);
    set_integer(&arg, shown);
    fire(ERR_SCRIPT, "out-of-range", &arg);
}

// Address of the 32-bit element n (1-based), checked.
uint8_t* int_slot(Node buf, int64_t n) {
    SeriesBuffer* b = buffer(buf);
    if (n < 1 || static_cast<uint64_t>(n) > used_bytes(b) / 4) out_of_range(n);
    return b->head_ptr() + (n - 1) * 4;
}

uint32_t load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

}  // namespace

Node make(uint64_t count, uint32_t unit) {
    if (unit != 1 && unit != 4) sys::runtime_error(101, ZEL_HERE());
    if (count > UINT32_MAX / unit) fire(ERR_INTERNAL, "no-memory");
    Node node = series::alloc_bytes(count * unit);
    SeriesBuffer* b = buffer(node);
    b->flags = (b->flags & ~SERIES_UNIT_MASK) | unit;
    return node;
}

uint32_t length(Node buf) { return buffer(buf)->length(); }

void clear(Node buf) {
    SeriesBuffer* b = buffer(buf);
    b->tail = b->head;
}

void set_tail(Node buf, int64_t n) {
    SeriesBuffer* b = buffer(buf);
    int64_t keep = n - 1;
    if (keep < 0) keep = 0;
    if (keep > b->length()) keep = b->length();  // never uncovers bytes past the old tail
    b->tail = b->head + static_cast<uint32_t>(keep) * b->unit();
}

Node copy(Node buf) {
    SeriesBuffer* b = buffer(buf);
    uint32_t unit = b->unit(), used = used_bytes(b);
    Node node = make(used / unit, unit);
    b = buffer(buf);  // the allocation may have moved it
    SeriesBuffer* nb = buffer(node);
    std::memcpy(nb->head_ptr(), b->head_ptr(), used);
    nb->tail = nb->head + used;
    return node;
}

uint8_t* data(Node buf) { return buffer(buf)->head_ptr(); }

void append_byte(Node buf, uint8_t byte) { *series::grow_tail(buf, 1) = byte; }

uint8_t pick_byte(Node buf, int64_t n) {
    SeriesBuffer* b = buffer(buf);
    if (n < 1 || static_cast<uint64_t>(n) > used_bytes(b)) out_of_range(n);
    return b->head_ptr()[n - 1];
}

uint8_t* append_bytes(Node buf, const uint8_t* bytes, uint64_t count) {
    // Bytes taken from this very buffer are found again after it grows.
    SeriesBuffer* b = buffer(buf);
    bool inside = bytes >= b->data() && bytes < b->end_ptr();
    uint64_t from = inside ? static_cast<uint64_t>(bytes - b->data()) : 0;
    if (count > UINT32_MAX - uint64_t{b->tail}) fire(ERR_INTERNAL, "no-memory");
    uint8_t* at = series::grow_tail(buf, count);
    if (inside) bytes = buffer(buf)->data() + from;
    if (count) std::memmove(at, bytes, count);
    return at;
}

void append_int(Node buf, uint32_t value) { std::memcpy(series::grow_tail(buf, 4), &value, 4); }
void append_ptr(Node buf, uint32_t value) { append_int(buf, value); }

uint32_t pick_int(Node buf, int64_t n) { return load32(int_slot(buf, n)); }
uint32_t pick_ptr(Node buf, int64_t n) { return pick_int(buf, n); }

void poke_ptr(Node buf, int64_t n, uint32_t value) { std::memcpy(int_slot(buf, n), &value, 4); }

void insert_ptr(Node buf, uint32_t value, int64_t index) {
    SeriesBuffer* b = buffer(buf);
    if (index < 0 || static_cast<uint64_t>(index) > used_bytes(b) / 4) out_of_range(index);
    if (uint64_t{b->tail} + 4 > b->size) b = series::expand_copy(b, 0);
    uint8_t* at = b->head_ptr() + index * 4;
    std::memmove(at + 4, at, static_cast<size_t>(b->tail_ptr() - at));
    std::memcpy(at, &value, 4);
    b->tail += 4;
}

int64_t find_int(Node buf, uint32_t value) {
    SeriesBuffer* b = buffer(buf);
    const uint8_t* p = b->head_ptr();
    uint32_t used = used_bytes(b) & ~3u;
    for (uint32_t off = 0; off < used; off += 4)
        if (load32(p + off) == value) return off;
    return -1;
}

int64_t find_ptr(Node buf, uint32_t value) { return find_int(buf, value); }

void remove_ptr(Node buf, uint32_t value) {
    int64_t off = find_ptr(buf, value);
    if (off >= 0) remove_at(buf, off, 4);
}

void remove_at(Node buf, int64_t offset, int64_t count) {
    SeriesBuffer* b = buffer(buf);
    uint32_t used = used_bytes(b);
    if (offset < 0 || offset > used) out_of_range(offset);
    if (count <= 0) return;
    uint32_t n = count > used - offset ? used - static_cast<uint32_t>(offset) : static_cast<uint32_t>(count);
    uint8_t* at = b->head_ptr() + offset;
    std::memmove(at, at + n, used - offset - n);
    b->tail -= n;
}

}  // namespace zel::array
