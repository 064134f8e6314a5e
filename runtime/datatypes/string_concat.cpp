// Joining text: appending, inserting or overwriting a run of code points from
// another text value or from raw bytes, exchanging adjacent regions, and
// moving code points between two texts of different units.
#include <algorithm>
#include <cstring>
#include <vector>
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/string_support.h"
#include "runtime/errors.h"
#include "runtime/unicode.h"

namespace zel::string {

using support::shift_of;

void copy_units(uint8_t* dst, uint32_t to, const uint8_t* src, uint32_t from, uint64_t n) {
    if (from == to) {
        std::memmove(dst, src, static_cast<size_t>(n * to));
        return;
    }
    for (uint64_t i = 0; i < n; ++i) unicode::put_char(dst + i * to, to, get_char(src + i * from, from));
}

void concatenate(Cell* target, const Cell* source, int32_t part, int32_t offset, bool keep_unit, int mode) {
    (void)keep_unit;  // a wider target always takes the source code point by code point
    Cell name;
    source = support::as_text(source, &name);
    Node tnode = target->w2;
    Node snode = source->w2;
    SeriesBuffer* tbuf = series::buffer_of(tnode);
    SeriesBuffer* sbuf = series::buffer_of(snode);
    uint32_t su = unit_of(sbuf);
    uint32_t tu = unit_of(tbuf);
    uint64_t count = static_cast<uint32_t>(rs_length_q(source));
    if (part >= 0 && static_cast<uint64_t>(part) < count) count = static_cast<uint64_t>(part);
    uint32_t shead = head_index(source);
    // Same buffer: take the run aside first, since widening, growing or
    // shifting the target moves it.
    std::vector<uint8_t> saved;
    if (tnode == snode) {
        const uint8_t* s = sbuf->head_ptr() + (uint64_t{shead} << shift_of(su));
        saved.assign(s, s + count * su);
    }
    uint64_t used = tbuf->tail - tbuf->head;
    uint32_t unit = std::max(tu, su);
    uint64_t old_len = used >> shift_of(tu);
    uint64_t pos = mode == 0 ? old_len : std::min<uint64_t>(offset < 0 ? 0 : static_cast<uint64_t>(offset), old_len);
    uint64_t end = (pos + count) * unit;
    uint64_t need = mode == 2 ? std::max(old_len * unit, end) : (old_len + count) * unit;
    tbuf = reserve(tbuf, unit, need);
    uint8_t* base = tbuf->head_ptr();
    uint64_t old_tail = old_len * unit;
    if (mode == 1) std::memmove(base + end, base + pos * unit, static_cast<size_t>(old_tail - pos * unit));
    const uint8_t* src = saved.empty() ? series::buffer_of(snode)->head_ptr() + (uint64_t{shead} << shift_of(su))
                                       : saved.data();
    copy_units(base + pos * unit, unit, src, su, count);
    uint64_t new_tail = mode == 1 ? old_tail + count * unit : std::max(old_tail, end);
    tbuf->tail = static_cast<uint32_t>(tbuf->head + new_tail);
}

void concatenate_bytes(Cell* str, const uint8_t* bytes, uint32_t n) {
    if (n == 0) return;
    // Take the bytes aside when they lie in the buffer that may move.
    SeriesBuffer* buf = series::buffer_of(str);
    std::vector<uint8_t> saved;
    if (bytes >= buf->data() && bytes < buf->end_ptr()) {
        saved.assign(bytes, bytes + n);
        bytes = saved.data();
    }
    uint8_t high = 0;
    for (uint32_t i = 0; i < n; ++i) high |= bytes[i];
    uint32_t unit = unit_of(buf);
    // As when appending one by one: a byte of 80h or more widens unit 1.
    uint32_t want = (high & 0x80) ? std::max(unit, 2u) : unit;
    uint64_t used = buf->tail - buf->head;
    buf = reserve(buf, want, (used >> shift_of(unit)) * want + uint64_t{n} * want);
    copy_units(buf->tail_ptr(), want, bytes, 1, n);
    buf->tail += n * want;
}

void concatenate_literal(Cell* str, const char* text) {
    concatenate_bytes(str, reinterpret_cast<const uint8_t*>(text), static_cast<uint32_t>(std::strlen(text)));
}

void concatenate_utf8(Cell* str, const char* text, uint32_t n) {
    const auto* p = reinterpret_cast<const uint8_t*>(text);
    const uint8_t* end = p + n;
    Node node = str->w2;
    while (p < end) {
        uint32_t cp;
        const uint8_t* next = unicode::fast_decode_utf8_char(p, end, &cp);
        if (cp == unicode::UTF8_INVALID) unicode::fire_invalid_utf8(p, static_cast<uint32_t>(end - p));
        append_char(series::buffer_of(node), cp);
        p = next;
    }
}

void swap_regions(uint8_t* a, uint32_t len_a, uint32_t len_b) { std::rotate(a, a + len_a, a + len_a + len_b); }

void move_chars(const Cell* source, const Cell* target, uint32_t n_bytes) {
    SeriesBuffer* sbuf = series::buffer_of(source);
    uint32_t su = unit_of(sbuf);
    uint32_t shead = head_index(source);
    uint32_t n = n_bytes / su;
    n = std::min(n, static_cast<uint32_t>(rs_length_q(source)));
    uint32_t at = head_index(target);
    Node tnode = target->w2;
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t cp = get_char_at(source, shead + i);
        insert_char(series::buffer_of(tnode), at + i, cp);
    }
    remove_part(source, shead, n);
}

}  // namespace zel::string
