// Helpers shared by the text-encoding and case-mapping tests: building text
// series from code points and reading them back.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "runtime/memory.h"
#include "runtime/unicode.h"

namespace zel::test {

using CodePoints = std::vector<uint32_t>;
using Bytes = std::vector<uint8_t>;

// The code points between a text buffer's head and tail.
inline CodePoints code_points(Node node) {
    SeriesBuffer* buf = series::buffer_of(node);
    uint32_t unit = buf->unit();
    CodePoints out;
    for (uint32_t off = buf->head; off < buf->tail; off += unit) out.push_back(unicode::get_char(buf->data() + off, unit));
    return out;
}

// A string! cell over a new text series of the given unit holding cps.
inline Cell make_text(const CodePoints& cps, uint32_t unit, uint32_t head = 0) {
    Node node = series::alloc_text(cps.size(), unit);
    SeriesBuffer* buf = series::buffer_of(node);
    for (uint32_t cp : cps) {
        unicode::put_char(buf->tail_ptr(), unit, cp);
        buf->tail += unit;
    }
    Cell c;
    set_series(&c, TYPE_STRING, node, head);
    return c;
}

inline Bytes bytes_of(const std::string& s) { return Bytes(s.begin(), s.end()); }

}  // namespace zel::test
