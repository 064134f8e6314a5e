#include "runtime/evaluator/natives_support.h"
#include "runtime/actions.h"
#include "runtime/collector.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/natives_list.h"
#include "runtime/memory.h"

namespace zel::natives {

bool truthy_checked(const Cell* v) {
    if (cell::type(v) == TYPE_UNSET) fire(ERR_SCRIPT, "no-return");
    return truthy(v);
}

void form_into(const Cell* value, Cell* out) {
    Cell v = *value;
    collector::Root keep(&v);
    string::rs_make_at(out, 16);
    actions::form(&v, out, nullptr, NO_LIMIT);
}

void add_reduced(Cell* target, const Cell* value, bool insert) {
    Cell v = *value;
    cell::clear_new_line(&v);
    if (insert) block::insert_value(target, &v, true, false); else block::append_copy(target, &v);
}

bool reduce_to(const Cell* blk_in, Cell* target, bool insert) {
    Cell blk = *blk_in;
    collector::Root keep(&blk);
    Pin pin(&blk);
    Cell* cursor = block::rs_head(&blk);
    Cell* tail = block::rs_tail(&blk);
    // Each value goes into the target as soon as it is made and leaves the
    // stack: a block of any length reduces without filling the stack.
    Cell* start = stack::top;
    while (cursor < tail) {
        cursor = interpreter::eval_expression(cursor, tail, &blk, false, true, false);
        if (interpreter::pending) return false;
        for (Cell* v = start; v < stack::top; ++v) add_reduced(target, v, insert);
        stack::top = start;
        tail = pin.end_within(tail);  // the block may have lost values meanwhile
    }
    return true;
}

bool reduce_into(const Cell* blk, Cell* out) {
    Cell result;
    block::make_at(&result, block::rs_length_q(blk));
    collector::Root keep_result(&result);
    if (!reduce_to(blk, &result, false)) return false;
    *out = result;
    return true;
}

const std::vector<Registration>& registrations() {
    static std::vector<Registration> list;
    if (list.empty()) {
        add_control(list);
        add_core(list);
        add_loops(list);
        add_lexer(list);
    }
    return list;
}

}  // namespace zel::natives
