// Control-flow natives: conditionals, loops and do.
#include <cmath>
#include "runtime/actions.h"
#include "runtime/cells.h"
#include "runtime/collector.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/lexer.h"
#include "runtime/evaluator/natives_list.h"
#include "runtime/evaluator/natives_support.h"
#include "runtime/evaluator/trace.h"
#include "runtime/evaluator/values.h"
#include "runtime/memory.h"
#include "runtime/words.h"

namespace zel::natives {

namespace {

void if_(const int32_t*) {
    if (truthy(arg(0))) {
        run(arg(1));
        return;
    }
    result_none();
}

void unless_(const int32_t*) {
    if (!truthy(arg(0))) {
        run(arg(1));
        return;
    }
    result_none();
}

void either_(const int32_t*) { run(truthy(arg(0)) ? arg(1) : arg(2)); }

// any and all evaluate one expression at a time into the result slot.
void any_all(bool any) {
    Cell blk = *arg(0);
    stack::push(&blk);  // kept referenced during the evaluation
    Pin pin(&blk);
    Cell* cursor = block::rs_head(&blk);
    Cell* tail = block::rs_tail(&blk);
    if (cursor >= tail) {
        result_none();
        return;
    }
    while (cursor < tail) {
        cursor = interpreter::eval_next(&blk, cursor, tail, false);
        if (interpreter::pending) return;
        tail = pin.end_within(tail);  // the block may have lost values meanwhile
        bool t = truthy(stack::arguments);
        if (any && t) {
            stack::keep();
            return;
        }
        if (!any && !t) {
            result_none();
            return;
        }
    }
    if (any) result_none(); else stack::keep();
}
void any_(const int32_t*) { any_all(true); }
void all_(const int32_t*) { any_all(false); }

// Evaluates a loop condition block; a break or continue inside it is an error.
bool condition(const Cell* cond) {
    eval_loop_block(cond);
    if (interpreter::pending == THROWN_BREAK || interpreter::pending == THROWN_CONTINUE) {
        interpreter::pending = 0;
        fire(ERR_THROW, "while-cond");
    }
    return true;
}

void while_(const int32_t*) {
    Cell cond = *arg(0);
    interpreter::LoopBody body(arg(1));
    stack::mark_loop(&words::_body_tag);
    for (;;) {
        stack::reset();
        condition(&cond);
        if (interpreter::pending) return;
        if (!truthy_checked(stack::arguments)) break;
        stack::reset();
        Iteration it = run_body(body);
        if (it == ITER_EXIT) return;
        if (it == ITER_BREAK) {
            // A break's value (unset without /return) is the result.
            stack::unwind_last();
            return;
        }
    }
    set_unset(stack::arguments);
    stack::keep();
    stack::unwind_last();
}

void until_(const int32_t*) {
    interpreter::LoopBody body(arg(0));
    stack::mark_loop(&words::_body_tag);
    for (;;) {
        stack::reset();
        eval_loop_block(body);
        if (interpreter::pending == THROWN_BREAK) {
            interpreter::pending = 0;
            break;
        }
        if (interpreter::pending == THROWN_CONTINUE) {
            interpreter::pending = 0;
            continue;
        }
        if (interpreter::pending) return;
        if (truthy_checked(stack::arguments)) break;
    }
    stack::unwind_last();
}

// The loop count of loop and repeat: floats are truncated after a range check.
int32_t count_arg(Cell* c) {
    if (cell::type(c) == TYPE_FLOAT) return number::to_integer(c);
    return cell::get_int(c);
}

// Runs a body under a loop frame `n` times (forever when n is -1), setting
// the counter word, when given, to the run's number (from 1) first; the
// body's last value, or a break's, becomes the result. Returns at once when
// another exit is pending.
void run_loop(const Cell* body_in, int64_t n, const Cell* counter) {
    interpreter::LoopBody body(body_in);
    mark_loop_unset();
    body.run_counted(n, counter);
    if (interpreter::pending == THROWN_BREAK) interpreter::pending = 0;
    else if (interpreter::pending) return;
    stack::unwind_last();
}

void loop_(const int32_t*) {
    int32_t n = count_arg(arg(0));
    if (n < 1) {
        result_none();
        return;
    }
    run_loop(arg(1), n, nullptr);
}

void repeat_(const int32_t*) {
    Cell w = *arg(0);
    int32_t n = count_arg(arg(1));
    if (n < 1) {
        result_none();
        return;
    }
    run_loop(arg(2), n, &w);
}

void forever_(const int32_t*) { run_loop(arg(0), -1, nullptr); }

void switch_(const int32_t* refs) {
    Cell value = *arg(0);
    Cell cases = *arg(1);
    Pin pin(&cases);
    Cell* p = block::rs_head(&cases);
    Cell* tail = block::rs_tail(&cases);
    if (cell::type(&value) != TYPE_BLOCK) {
        for (; p < tail; ++p) {
            if (cell::type(p) != cell::type(&value) || !actions::compare(p, &value, COMP_EQUAL)) continue;
            for (Cell* q = p + 1; q < tail; ++q) {
                if (cell::type(q) == TYPE_BLOCK) {
                    Cell b = *q;
                    run(&b);
                    return;
                }
            }
            break;
        }
    }
    if (ref(refs, 0)) {
        run(arg(refs[0]));
        return;
    }
    result_none();
}

void case_(const int32_t* refs) {
    bool all = ref(refs, 0);
    Cell cases = *arg(0);
    stack::push(&cases);
    Pin pin(&cases);
    Cell* cursor = block::rs_head(&cases);
    Cell* tail = block::rs_tail(&cases);
    if (cursor >= tail) {
        result_none();
        return;
    }
    Cell result;
    set_none(&result);
    bool matched = false;
    while (cursor < tail) {
        matched = false;
        cursor = interpreter::eval_next(&cases, cursor, tail, false);
        if (interpreter::pending) return;
        tail = pin.end_within(tail);  // the block may have lost values meanwhile
        if (cursor >= tail) {
            Cell w = words::_anon_tag;
            w.w2 = words::case_;
            fire(ERR_SCRIPT, "need-value", &w);
        }
        if (truthy_checked(stack::arguments)) {
            if (cell::type(cursor) == TYPE_BLOCK) {
                Cell b = *cursor;
                ++cursor;
                if (!run(&b)) return;
            } else {
                cursor = interpreter::eval_next(&cases, cursor, tail, false);
                if (interpreter::pending) return;
            }
            tail = pin.end_within(tail);
            result = *stack::arguments;
            matched = true;
            if (!all) {
                stack::set_last_keep(&result);
                return;
            }
        } else {
            // Skip the body that follows a false condition.
            ++cursor;
        }
    }
    if (all && matched) stack::set_last_keep(&result); else result_none();
}

void do_value(const int32_t* refs);

void do_(const int32_t* refs) {
    bool started = ref(refs, 3) && trace::start_run(arg(refs[3]));
    if (!started) {
        do_value(refs);
        return;
    }
    try {
        do_value(refs);
    } catch (const Thrown& t) {
        if (t.code == THROWN_ERROR) trace::end_run_after_error(); else trace::end_run();
        throw;
    } catch (...) {
        trace::end_run();
        throw;
    }
    trace::end_run();
}

// do of a block (or of the block a string loads into); do/next evaluates
// one expression and moves the position word on.
void do_block(Cell* value, const int32_t* refs) {
    if (block::rs_length_q(value) < 0) value->w1 = series::buffer_of(value)->length();
    // The preprocessor that expands directives is not part of the library
    // yet: evaluating the block unexpanded would run code it was meant to
    // remove, so the request is refused.
    if (ref(refs, 0)) fire(ERR_INTERNAL, "not-done");
    if (ref(refs, 2)) {
        Cell pos_word = *arg(refs[2]);
        int32_t index = interpreter::eval_next_index(value);
        if (interpreter::pending) return;
        Cell moved = *value;
        moved.w1 = static_cast<uint32_t>(index);
        Cell r = *stack::arguments;
        word::set(&pos_word, &moved);
        stack::set_last_keep(&r);
        return;
    }
    run(value);
}

void do_value(const int32_t* refs) {
    Cell value = *arg(0);
    collector::Root keep(&value);
    switch (cell::type(&value)) {
        case TYPE_BLOCK:
        case TYPE_PAREN:
        case TYPE_HASH:
            do_block(&value, refs);
            return;
        case TYPE_STRING: {
            Cell blk;
            lexer::load_string(&blk, &value, -1, false, true, true, true, nullptr, nullptr, nullptr);
            collector::Root keep_blk(&blk);
            do_block(&blk, refs);
            return;
        }
        case TYPE_FILE:
        case TYPE_URL:
            // Scripts are run by the boot library's do-file, which is not
            // there yet: refuse rather than hand the file back as a result.
            fire(ERR_INTERNAL, "not-done");
        case TYPE_PATH: {
            Cell* cursor = &value;
            interpreter::eval_expression(cursor, cursor + 1, nullptr, false, false, false);
            return;
        }
        case TYPE_ERROR: stack::throw_error(&value);
        default: {
            Cell* cursor = &value;
            interpreter::eval_expression(cursor, cursor + 1, nullptr, false, false, true);
            return;
        }
    }
}

}  // namespace

void add_control(std::vector<Registration>& out) {
    out.insert(out.end(), {
        {"if", if_}, {"unless", unless_}, {"either", either_}, {"any", any_}, {"all", all_},
        {"while", while_}, {"until", until_}, {"loop", loop_}, {"repeat", repeat_}, {"forever", forever_},
        {"switch", switch_}, {"case", case_}, {"do", do_},
    });
}

}  // namespace zel::natives
