// Evaluation of paths: selection through values, assignment at the end of
// a set-path, and calls of the function a path names (its refinements after it).
#include <algorithm>
#include <cstring>
#include "runtime/actions.h"
#include "runtime/collector.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/evaluator/calls_internal.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/trace.h"
#include "runtime/evaluator/values.h"
#include "runtime/memory.h"
#include "runtime/stack.h"

namespace zel::interpreter {

namespace {
// Cells of a path from its index on; 0 or less when the index is at or past its tail.
inline int64_t path_length(const Cell* path) {
    const SeriesBuffer* buf = series::buffer_of(path);
    return static_cast<int64_t>((buf->tail - buf->head) / sizeof(Cell)) - static_cast<int64_t>(path->w1);
}
}  // namespace

Cell* walk_path(const Cell* path_in, Cell* cursor, Cell* end, const Cell* code, bool set, bool get, bool sub,
                bool case_) {
    Cell path = *path_in;
    collector::Root keep_path(&path);
    if (path_length(&path) <= 0) fire(ERR_SCRIPT, "empty-path");
    // The tracer runs before the path is read: it may change the path.
    if (tracing) {
        trace::event(trace::EV_ENTER, &path, block::rs_head(&path), nullptr, nullptr);
        if (path_length(&path) <= 0) fire(ERR_SCRIPT, "empty-path");
        Cell first = *block::rs_head(&path);
        trace::event(trace::EV_FETCH, &path, block::rs_head(&path), nullptr, &first);
        if (path_length(&path) <= 0) fire(ERR_SCRIPT, "empty-path");
    }
    SeriesBuffer* buf = series::buffer_of(&path);
    Pin pin(buf);
    int32_t len = static_cast<int32_t>(path_length(&path));
    // The index is within the series here, so the first item needs no clamping.
    const Cell* items = buf->head_cell() + path.w1;
    Cell head = *items;
    if (cell::type(&head) != TYPE_WORD) fire(ERR_SCRIPT, "word-first", &path);
    Cell* saved_top = stack::top;
    Cell parent = *word_value(&head);
    uint32_t pt = cell::type(&parent);
    if (is_callable(pt)) {
        // The call keeps the function on the stack: no root needed.
        if (set) fire(ERR_SCRIPT, "invalid-path-set", &path);
        if (get) fire(ERR_SCRIPT, "invalid-path-get", &path);
        Cell* next = tracing ? nullptr : call_path(&parent, cursor, end, code, &path, items);
        cursor = next ? next : eval_code(&parent, cursor, end, code, true, &path, items, nullptr, 0, false);
        return end_path_call(cursor, &path, saved_top, sub);
    }
    Cell gparent;
    set_none(&gparent);
    if (head.w1 && head.w1 != context::global) {
        Cell* owner = context::owner_cell(head.w1);
        if (cell::type(owner) != TYPE_OBJECT) gparent = *owner;
    }
    collector::Root keep_parent(&parent);
    collector::Root keep_gparent(&gparent);
    if (pt == TYPE_UNSET) fire(ERR_SCRIPT, "unset-path", &path, &head);
    if (tracing) trace::event(trace::EV_PUSH, &path, block::rs_head(&path), nullptr, &parent);

    Cell prev_item = head;
    for (int32_t i = 1; i < len; ++i) {
        Cell item = block::rs_head(&path)[i];
        if (tracing) trace::event(trace::EV_FETCH, &path, block::rs_head(&path) + i, nullptr, &item);
        Cell element;
        switch (cell::type(&item)) {
            case TYPE_GET_WORD: element = *context::get(&item); break;
            case TYPE_PAREN: {
                eval_block(&item, false);
                if (pending) return cursor;
                element = *stack::top_cell();
                stack::pop(1);
                // The paren may have removed items of the path itself: the
                // walk stops at its end as it is now, instead of reading the
                // stale copies past it.
                len = std::min(len, static_cast<int32_t>(std::max<int64_t>(path_length(&path), i + 1)));
                break;
            }
            default: element = item;
        }
        collector::Root keep_element(&element);
        if (tracing) trace::event(trace::EV_PUSH, &path, block::rs_head(&path) + i, nullptr, &element);
        if (cell::type(&element) == TYPE_UNSET) fire(ERR_SCRIPT, "invalid-path", &path, &item);
        bool tail = i >= len - 1;
        Cell* value = (set && tail) ? stack::arguments : nullptr;
        bool evt = false;
        if (set && tail && len >= 3) {
            uint32_t gt = cell::type(&gparent);
            evt = (gt == TYPE_OBJECT && gparent.w3 != 0 && cell::type(&prev_item) == TYPE_WORD) ||
                  series::any_block(gt);
        }
        Cell before = parent;
        Cell* result = actions::eval_path(&parent, &element, value, &path, &gparent, &prev_item, i - 1, case_, get,
                                          tail, evt);
        Cell next = *result;
        // Setting a field of a value held in the cell itself (a time's hour)
        // changes the parent in place: the head word's value is that cell.
        if (value && i == 1 && std::memcmp(&before, &parent, sizeof(Cell)) != 0) *word_value(&head) = parent;
        if (!set && !get && is_callable(cell::type(&next))) {
            cursor = eval_code(&next, cursor, end, code, true, &path, block::rs_head(&path) + i, &parent, 0, false);
            if (pending) return cursor;
            Cell r = *stack::top_cell();
            stack::top = saved_top;
            if (sub) stack::push(&r); else stack::set_last_keep(&r);
            if (tracing) trace::event(trace::EV_EXIT, &path, block::rs_tail(&path), nullptr, &r);
            return cursor;
        }
        gparent = parent;
        parent = next;
        prev_item = item;
    }
    if (tracing) trace::event(trace::EV_EXIT, &path, block::rs_tail(&path), nullptr, &parent);
    stack::top = saved_top;
    if (set) return cursor;  // the assigned value is already the frame's result
    if (sub) stack::push(&parent); else stack::set_last_keep(&parent);
    return cursor;
}

Cell* eval_path(const Cell* path_in, Cell* cursor, Cell* end, const Cell* code, bool set, bool get, bool sub,
                bool case_) {
    // The common call, kept apart from the walk (whose frame is larger).
    if (!(tracing | set | get)) return call_named_path(path_in, cursor, end, code, sub, case_);
    return walk_path(path_in, cursor, end, code, set, get, sub, case_);
}

}  // namespace zel::interpreter
