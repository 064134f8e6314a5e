// The fast paths of compiled code: integer and float arithmetic and
// comparison inline, block picks and series queries inline, and everything
// else through the generic entries inside a native call frame.
#include <initializer_list>
#include "runtime/actions_stack.h"
#include "runtime/datatypes/series.h"
#include "runtime/errors.h"
#include "runtime/stack.h"

namespace zel::actions {

namespace {

// Runs `call` in a native call frame named by the word, with copies of the
// values pushed as its arguments; the result is left as the top value.
template <typename Call>
void in_native_frame(const Cell* word, std::initializer_list<const Cell*> values, Call call) {
    Cell copies[3];
    size_t n = 0;
    for (const Cell* v : values) copies[n++] = *v;
    stack::mark_native(word);
    for (size_t i = 0; i < n; ++i) stack::push(&copies[i]);
    call();
    stack::unwind();
}

// The slot of a math op, or runtime error 101 for an op no caller produces.
int math_slot(int32_t op) {
    switch (op) {
        case OP_ADD: return ACT_ADD;
        case OP_SUB: return ACT_SUBTRACT;
        case OP_MUL: return ACT_MULTIPLY;
        case OP_OR: return ACT_OR_T;
        case OP_AND: return ACT_AND_T;
        case OP_XOR: return ACT_XOR_T;
        default: sys::runtime_error(101, ZEL_HERE());
    }
}

// Two integers combined in 64 bits; an overflow of add, subtract or
// multiply becomes a float! of the same operation in double precision.
void push_integer_math(int32_t op, int32_t a, int32_t b) {
    int64_t r;
    double d;
    switch (op) {
        case OP_ADD: r = int64_t{a} + b; d = double(a) + double(b); break;
        case OP_SUB: r = int64_t{a} - b; d = double(a) - double(b); break;
        case OP_MUL: r = int64_t{a} * b; d = double(a) * double(b); break;
        case OP_OR: set_integer(stack::push_new(), a | b); return;
        case OP_AND: set_integer(stack::push_new(), a & b); return;
        default: set_integer(stack::push_new(), a ^ b); return;
    }
    if (r >= INT32_MIN && r <= INT32_MAX) set_integer(stack::push_new(), static_cast<int32_t>(r));
    else set_float(stack::push_new(), d);
}

bool integer_outcome(int32_t op, int32_t a, int32_t b) {
    switch (op) {
        case COMP_EQUAL:
        case COMP_STRICT_EQUAL: return a == b;
        case COMP_NOT_EQUAL: return a != b;
        case COMP_LESSER: return a < b;
        case COMP_LESSER_EQUAL: return a <= b;
        case COMP_GREATER: return a > b;
        default: return a >= b;
    }
}

// The outcome of a comparison: inline for two integers, else through the
// generic compare in a native frame.
bool outcome(int32_t op, const Cell* word, const Cell* value1, const Cell* value2) {
    if (cell::type(value1) == TYPE_INTEGER && cell::type(value2) == TYPE_INTEGER && op <= COMP_GREATER_EQUAL)
        return integer_outcome(op, cell::get_int(value1), cell::get_int(value2));
    in_native_frame(word, {value1, value2}, [op] { compare_to_logic(op); });
    bool b = stack::top[-1].w1 != 0;
    stack::pop(1);
    return b;
}

// Takes the last stacked value off the stack and combines it with the
// operand through `fn`, which pushes the result in its place.
template <typename Fn>
void with_top(const Cell* value2, Fn fn) {
    Cell v1 = *stack::top_cell(), v2 = *value2;
    stack::pop(1);
    fn(&v1, &v2);
}

inline Cell integer_cell(int32_t i) {
    Cell c;
    set_integer(&c, i);
    return c;
}

}  // namespace

void math_fast(int32_t op, const Cell* word, const Cell* value1, const Cell* value2) {
    int slot = math_slot(op);
    uint32_t t1 = cell::type(value1), t2 = cell::type(value2);
    if (t1 == TYPE_INTEGER && t2 == TYPE_INTEGER) {
        push_integer_math(op, cell::get_int(value1), cell::get_int(value2));
        return;
    }
    if (t1 == TYPE_FLOAT && t2 == TYPE_FLOAT && op <= OP_MUL) {
        double a = cell::get_float(value1), b = cell::get_float(value2);
        set_float(stack::push_new(), op == OP_ADD ? a + b : op == OP_SUB ? a - b : a * b);
        return;
    }
    in_native_frame(word, {value1, value2}, [slot] { typed<StackFn>(get_action_first_arg(slot))(); });
}

void math_fast2(int32_t op, const Cell* word, const Cell* value, int32_t constant) {
    Cell c = integer_cell(constant);
    math_fast(op, word, value, &c);
}

void math_fast_top(int32_t op, const Cell* word, const Cell* value2) {
    with_top(value2, [&](const Cell* a, const Cell* b) { math_fast(op, word, a, b); });
}

void math_fast_top_int(int32_t op, const Cell* word, int32_t constant) {
    Cell c = integer_cell(constant);
    math_fast_top(op, word, &c);
}

void compare_fast(int32_t op, const Cell* word, const Cell* value1, const Cell* value2) {
    bool b = outcome(op, word, value1, value2);
    set_logic(stack::push_new(), b);
}

void compare_int_fast(int32_t op, const Cell* word, const Cell* value1, int32_t constant) {
    Cell c = integer_cell(constant);
    compare_fast(op, word, value1, &c);
}

int32_t compare_test(int32_t op, const Cell* word, const Cell* value1, const Cell* value2, bool expected) {
    return outcome(op, word, value1, value2) != expected ? 1 : 0;
}

int32_t compare_int_test(int32_t op, const Cell* word, const Cell* value1, int32_t constant, bool expected) {
    Cell c = integer_cell(constant);
    return compare_test(op, word, value1, &c, expected);
}

bool compare_to_result(int32_t op, const Cell* word, const Cell* value1, const Cell* value2) {
    bool b = outcome(op, word, value1, value2);
    set_logic(stack::arguments, b);
    return b;
}

bool compare_int_to_result(int32_t op, const Cell* word, const Cell* value1, int32_t constant) {
    Cell c = integer_cell(constant);
    return compare_to_result(op, word, value1, &c);
}

void compare_fast_top(int32_t op, const Cell* word, const Cell* value2) {
    with_top(value2, [&](const Cell* a, const Cell* b) { compare_fast(op, word, a, b); });
}

void compare_fast_top_int(int32_t op, const Cell* word, int32_t constant) {
    Cell c = integer_cell(constant);
    compare_fast_top(op, word, &c);
}

void path_pick_fast(const Cell* value, const Cell* index, const Cell* word) {
    if (cell::type(value) == TYPE_BLOCK && cell::type(index) == TYPE_INTEGER) {
        int64_t n = cell::get_int(index);
        int64_t head = static_cast<int32_t>(value->w1);
        int64_t len = series::length_of_buffer(value) - head;
        if (n < 1 || n > len) set_none(stack::push_new());
        else stack::push(reinterpret_cast<const Cell*>(series::unit_at(value, head + n - 1)));
        return;
    }
    in_native_frame(word, {value, index}, [] {
        Cell* b = stack::arguments;
        stack::set_last(eval_path(b, b + 1, nullptr, nullptr, nullptr, nullptr, -1, false, true, false, false));
    });
}

void series_query_fast(const Cell* value, int32_t query, const Cell* word) {
    static const StackEntry generic[] = {nullptr,     length_q_stack, index_q_stack, head_q_stack, tail_q_stack,
                                         next_stack, back_stack,     head_stack,    tail_stack};
    if (query < 1 || query > 8) sys::runtime_error(101, ZEL_HERE());
    if (cell::type(value) != TYPE_BLOCK) {
        StackEntry entry = generic[query];
        in_native_frame(word, {value}, [entry] { entry(nullptr); });
        return;
    }
    int64_t head = static_cast<int32_t>(value->w1);
    int64_t len = series::length_of_buffer(value) - head;
    Cell r = *value;
    switch (query) {
        case 1: set_integer(&r, static_cast<int32_t>(len < 0 ? 0 : len)); break;
        case 2: set_integer(&r, static_cast<int32_t>(head + 1)); break;
        case 3: set_logic(&r, head == 0); break;
        case 4: set_logic(&r, len <= 0); break;
        case 5: if (len >= 1) r.w1 = static_cast<uint32_t>(head + 1); break;
        case 6: if (head > 0) r.w1 = static_cast<uint32_t>(head - 1); break;
        case 7: r.w1 = 0; break;
        default: r.w1 = static_cast<uint32_t>(head + len); break;
    }
    stack::push(&r);
}

}  // namespace zel::actions
