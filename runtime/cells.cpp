#include "runtime/cells.h"
#include <cmath>
#include <cstring>
#include "runtime/datatypes/context.h"
#include "runtime/errors.h"
#include "runtime/memory.h"
#include "runtime/stack.h"

namespace zel {

namespace typeset {

static void raise_expect_arg(int position, uint32_t type_id) {
    Cell fn_word, type_cell, arg_word;
    errors::caller_word(&fn_word);
    set_datatype(&type_cell, type_id);
    errors::caller_arg_word(position, &arg_word);
    fire(ERR_SCRIPT, "expect-arg", &fn_word, &type_cell, &arg_word);
}

const Cell* check_arg(const Cell* ts, int position, const Cell* arg) {
    uint32_t t = cell::type(arg);
    if (!contains(ts, t)) raise_expect_arg(position, t);
    return arg;
}

void check_slot(int slot, const Cell* ts, int position) {
    if (slot >= 0) check_arg(ts, position, stack::arguments + slot);
}

const Cell* check_optional(const Cell* refinement, const Cell* ts, int position, const Cell* arg) {
    if (refinement->w1 != 0) check_arg(ts, position, arg);
    return arg;
}

const Cell* check_set(int position, const Cell* arg) {
    if (cell::type(arg) == TYPE_UNSET) raise_expect_arg(position, TYPE_UNSET);
    return arg;
}

}  // namespace typeset

namespace context {

// The values live on the argument stack (header flag) or in the values
// node's buffer; a context whose function is not running raises not-defined.
Cell* local(Node ctx, uint32_t index) {
    Cell* cc = series::buffer_of(ctx)->head_cell();
    if (cc->w2 == 0) {
        Cell idx;
        set_integer(&idx, static_cast<int32_t>(index));
        fire(ERR_SCRIPT, "not-defined", &idx);
    }
    if (cc->header & FLAG_STACK_VALUES) return stack::values_at(cc->w2) + index;
    return series::buffer_of(cc->w2)->head_cell() + index;
}

}  // namespace context

namespace number {

int32_t to_integer(const Cell* c) {
    if (cell::type(c) == TYPE_FLOAT) {
        double d = cell::get_float(c);
        // NaN fails both comparisons, so it is out of range too.
        if (!(d <= 2147483647.0 && d >= -2147483648.0)) fire(ERR_SCRIPT, "out-of-range", c);
        return static_cast<int32_t>(std::trunc(d));
    }
    return static_cast<int32_t>(c->w2);
}

}  // namespace number

namespace zelbin {
namespace {
Cell* base = nullptr;
}
void set_value_base(Cell* b) { base = b; }
Cell* value_base() { return base; }
}  // namespace zelbin

namespace mold {

int32_t indent(const Cell* str, int32_t levels, int32_t width) {
    if (levels <= 0) return width;
    uint32_t unit = series::buffer_of(str)->unit();
    uint64_t n = uint64_t(levels) * 4;
    uint8_t* p = series::grow_tail(str->w2, n * unit);
    for (uint64_t i = 0; i < n; ++i) {
        uint32_t space = ' ';
        std::memcpy(p + i * unit, &space, unit);  // little-endian: low bytes first
    }
    return width - 4 * levels;
}

}  // namespace mold

namespace buffer {

uint8_t* repeat(uint8_t* buf, size_t count, size_t size) {
    size_t total = count * size;
    if (total == 0) return buf;
    size_t done = size;
    while (done * 2 <= total) {
        std::memcpy(buf + done, buf, done);
        done *= 2;
    }
    if (done < total) std::memcpy(buf + done, buf, total - done);
    return buf + total;
}

}  // namespace buffer
}  // namespace zel
