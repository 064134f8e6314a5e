// Forming and molding blocks: values separated by blanks, new-line markers
// turned into line breaks with four spaces per indent level, and a
// placeholder for a block met again inside itself.
#include "runtime/actions.h"
#include "runtime/cells.h"
#include "runtime/cycles.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/emit.h"
#include "runtime/datatypes/series.h"

namespace zel::block {

namespace {

inline int64_t index_of(const Cell* b) {
    int32_t i = static_cast<int32_t>(b->w1);
    return i < 0 ? 0 : i;
}

// The value at position i, copied out: molding a value may allocate, and the
// block's buffer is looked up again for every value.
inline bool value_at(const Cell* b, int64_t i, Cell* out) {
    if (i >= series::length_of_buffer(b)) return false;
    *out = reinterpret_cast<Cell*>(series::unit_at(b, 0))[i];
    return true;
}

inline bool blank_char(uint32_t c) { return c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

int32_t form(Cell* blk, Cell* buffer, Cell* arg, int32_t part) {
    if (cycles::mold_placeholder(blk, buffer, &part, false)) return part;
    Cell b = *blk;
    cycles::Guard guard(b.w2);
    Cell v;
    for (int64_t i = index_of(&b); value_at(&b, i, &v); ++i) {
        if (arg && part < 1) break;
        part = actions::form(&v, buffer, arg, part);
        if (i + 1 < series::length_of_buffer(&b) && !blank_char(emit::last_char(buffer)))
            part = emit::character(buffer, ' ', part);
    }
    return part;
}

int32_t mold_between(Cell* blk, Cell* buffer, const char* open, const char* close, bool only, bool all, bool flat,
                     Cell* arg, int32_t part, int32_t indent) {
    if (cycles::mold_placeholder(blk, buffer, &part, true)) return part;
    Cell b = *blk;
    if (!only) part = emit::literal(buffer, open, part);
    int32_t level = indent;
    bool marked = false;
    {
        cycles::Guard guard(b.w2);
        Cell v;
        int64_t first = index_of(&b);
        for (int64_t i = first; value_at(&b, i, &v); ++i) {
            if (arg && part < 1) break;
            if (cell::new_line(&v) && !flat) {
                // A marker on the first value puts the whole block on its own lines.
                if (i == first && !only) {
                    ++level;
                    marked = true;
                }
                if (i != first || !only) {
                    part = emit::character(buffer, '\n', part);
                    part = mold::indent(buffer, level, part);
                }
            } else if (i != first) {
                part = emit::character(buffer, ' ', part);
            }
            part = actions::mold(&v, buffer, false, all, flat, arg, part, level);
        }
    }
    if (marked) {
        part = emit::character(buffer, '\n', part);
        part = mold::indent(buffer, indent, part);
    }
    if (!only) part = emit::literal(buffer, close, part);
    return part;
}

int32_t mold(Cell* blk, Cell* buffer, bool only, bool all, bool flat, Cell* arg, int32_t part, int32_t indent) {
    return mold_between(blk, buffer, "[", "]", only, all, flat, arg, part, indent);
}

}  // namespace zel::block
