// The series loops: foreach, forall and remove-each, with their steps.
#include "runtime/actions.h"
#include "runtime/collector.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/series.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/natives_list.h"
#include "runtime/evaluator/natives_support.h"
#include "runtime/evaluator/values.h"
#include "runtime/memory.h"
#include "runtime/words.h"

namespace zel::natives {

namespace {

// The number of values from the series' position to its tail.
int64_t remaining(const Cell* s) {
    int64_t len = series::length_of_buffer(s) - static_cast<int32_t>(s->w1);
    return len < 0 ? 0 : len;
}

// Value i (0-based) from the series' position, as a value of its own.
void value_at(Cell* s, int64_t i, Cell* out) {
    if (series::any_block(cell::type(s))) {
        *out = *(block::rs_head(s) + i);
        cell::clear_new_line(out);
        return;
    }
    Cell* v = actions::pick(s, static_cast<int32_t>(i + 1), nullptr);
    *out = *v;
}

void check_words(const Cell* words_blk) {
    Cell w = *words_blk;
    if (block::rs_length_q(&w) <= 0) fire(ERR_SCRIPT, "invalid-arg", &w);
    for (Cell* p = block::rs_head(&w); p < block::rs_tail(&w); ++p) {
        uint32_t t = cell::type(p);
        if (t != TYPE_WORD && t != TYPE_SET_WORD && t != TYPE_GET_WORD && t != TYPE_LIT_WORD) {
            Cell bad = *p;
            fire(ERR_SCRIPT, "invalid-arg", &bad);
        }
    }
}

// Sets the loop word (or each word of a block) from the series position;
// values past the tail are none. Returns the number of values taken: 0 when
// the body has emptied the words block, which ends the loop. The body may
// also have put other values in it, so its words are checked at each step.
int64_t set_loop_words(Cell* s, const Cell* words_blk) {
    if (cell::type(words_blk) != TYPE_BLOCK) {
        Cell v;
        value_at(s, 0, &v);
        Cell w = *words_blk;
        interpreter::set_word(&w, &v);
        return 1;
    }
    Cell wb = *words_blk;
    int32_t n = block::rs_length_q(&wb);
    if (n <= 0) return 0;
    check_words(&wb);
    int64_t left = remaining(s);
    for (int32_t i = 0; i < n; ++i) {
        Cell v;
        if (i < left) value_at(s, i, &v); else set_none(&v);
        Cell w = *(block::rs_head(&wb) + i);
        w.header = (w.header & ~CELL_TYPE_MASK) | TYPE_WORD;
        word::set(&w, &v);
    }
    return n;
}

void foreach_(const int32_t*) {
    Cell words_arg = *arg(0);
    Cell s = *arg(1);
    interpreter::LoopBody body(arg(2));
    // An empty block of words is refused at once; its words are checked at
    // each step (so not at all over an empty series).
    if (cell::type(&words_arg) == TYPE_BLOCK) {
        if (block::rs_length_q(&words_arg) <= 0) fire(ERR_SCRIPT, "invalid-arg", &words_arg);
    } else if (cell::type(&s) == TYPE_MAP) {
        fire(ERR_SCRIPT, "invalid-arg", &words_arg);
    }
    stack::push(&s);
    stack::push(&words_arg);
    collector::Root keep(&s);
    mark_loop_unset();
    while (remaining(&s) > 0) {
        int64_t step = set_loop_words(&s, &words_arg);
        if (step == 0) break;
        s.w1 += static_cast<uint32_t>(step);
        stack::reset();
        Iteration it = run_body(body);
        if (it == ITER_EXIT) return;
        if (it == ITER_BREAK) break;
    }
    stack::unwind_last();
}

void forall_(const int32_t*) {
    Cell w = *arg(0);
    interpreter::LoopBody body(arg(1));
    Cell s = *context::get(&w);
    uint32_t t = cell::type(&s);
    if (!series::any_series(t)) {
        Cell name, type_cell, argw;
        errors::caller_word(&name);
        set_datatype(&type_cell, t);
        argw = w;
        fire(ERR_SCRIPT, "expect-arg", &name, &type_cell, &argw);
    }
    Cell start = s;
    collector::Root keep(&start);
    mark_loop_unset();
    bool broke = false;
    while (remaining(&s) > 0) {
        stack::reset();
        Iteration it = run_body(body);
        if (it == ITER_EXIT) return;
        if (it == ITER_BREAK) {
            broke = true;
            break;
        }
        Cell now = *context::get(&w);
        if (cell::type(&now) != t || now.w2 != start.w2) fire(ERR_SCRIPT, "bad-loop-series", &now);
        now.w1 += 1;
        word::set(&w, &now);
        s = now;
    }
    if (!broke) word::set(&w, &start);
    stack::unwind_last();
}

void remove_each_(const int32_t*) {
    Cell words_arg = *arg(0);
    Cell data = *arg(1);
    interpreter::LoopBody body(arg(2));
    // The values taken per step are counted once: the body may change the
    // words block, but each step moves (or removes) by this count. No words
    // at all takes nothing, and the data comes back as it was.
    int64_t count = cell::type(&words_arg) == TYPE_BLOCK ? block::rs_length_q(&words_arg) : 1;
    Cell s = data;
    collector::Root keep(&s);
    collector::Root keep_data(&data);
    stack::mark_loop(&words::_body_tag);
    while (count > 0 && remaining(&s) > 0) {
        if (set_loop_words(&s, &words_arg) == 0) break;
        stack::reset();
        Iteration it = run_body(body);
        if (it == ITER_EXIT) return;
        if (it == ITER_BREAK) break;
        // A continue skips the removal of the values just visited.
        if (it != ITER_CONTINUE && truthy(stack::arguments)) {
            Cell part;
            set_integer(&part, static_cast<int32_t>(count));
            Cell at = s;
            actions::remove(&at, count > 1 ? &part : nullptr, nullptr);
        } else {
            s.w1 += static_cast<uint32_t>(count);
        }
    }
    stack::unwind();
    stack::set_last_keep(&data);
}

}  // namespace

void add_loops(std::vector<Registration>& out) {
    out.insert(out.end(), {{"foreach", foreach_}, {"forall", forall_}, {"remove-each", remove_each_}});
}

}  // namespace zel::natives
