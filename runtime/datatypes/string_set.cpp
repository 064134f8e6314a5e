// The set operations on text (unique, union, intersect, exclude, difference),
// record by record, a record being one code point or the /skip size.
#include <algorithm>
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/string_actions.h"
#include "runtime/datatypes/string_support.h"
#include "runtime/errors.h"
#include "runtime/stack.h"

namespace zel::string {

namespace {

enum SetOp { OP_UNIQUE = 8, OP_UNION, OP_INTERSECT, OP_EXCLUDE, OP_DIFFERENCE };

// Appends the records of `src` that pass the op's test against `other`,
// skipping those whose first code point already starts a record of the result.
void pass(Cell* result, const Cell* src, const Cell* other, int op, uint32_t step, bool case_) {
    uint32_t head = head_index(src);
    uint32_t len = static_cast<uint32_t>(rs_abs_length_q(src));
    for (uint64_t i = head; i < len; i += step) {
        uint32_t c = get_char_at(src, static_cast<uint32_t>(i));
        bool keep = true;
        if (op == OP_INTERSECT) keep = contains_char(other, c, step, case_);
        else if (op == OP_EXCLUDE || op == OP_DIFFERENCE) keep = !contains_char(other, c, step, case_);
        if (!keep || contains_char(result, c, step, case_)) continue;
        uint64_t end = std::min<uint64_t>(i + step, len);
        for (uint64_t j = i; j < end; ++j)
            append_char(series::buffer_of(result), get_char_at(src, static_cast<uint32_t>(j)));
    }
}

}  // namespace

void do_set_op(bool case_, Cell* skip, int op) {
    Cell* a = stack::arguments;
    Cell* b = stack::arguments + 1;
    rs_head(a);
    if (op != OP_UNIQUE) rs_head(b);
    uint32_t step = 1;
    if (skip) {
        int32_t n = cell::get_int(skip);
        if (n < 1) support::refine_error("skip", skip);
        step = static_cast<uint32_t>(n);
    }
    uint64_t room = static_cast<uint64_t>(rs_length_q(a)) + (op == OP_UNION ? rs_length_q(b) : 0);
    Cell result;
    rs_make_at(&result, static_cast<uint32_t>(std::min<uint64_t>(room, 0xFFFFFFF0u)));
    cell::set_type(&result, cell::type(a));
    pass(&result, a, b, op, step, case_);
    if (op == OP_UNION || op == OP_DIFFERENCE) pass(&result, b, a, op, step, case_);
    *a = result;
}

}  // namespace zel::string
