// integer!: cells, the arithmetic kernel and its hand-over by the right
// operand's type, compare, the small actions and the registration. Power
// and round are in integer_math.cpp, make and to in integer_to.cpp.
#include "runtime/datatypes/integer.h"
#include <charconv>
#include <utility>
#include "runtime/actions.h"
#include "runtime/datatypes/emit.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/handover.h"
#include "runtime/datatypes/number_common.h"
#include "runtime/datatypes/row.h"
#include "runtime/errors.h"
#include "runtime/memory.h"
#include "runtime/random_hook.h"
#include "runtime/stack.h"

namespace zel::integer {

Cell* box(int32_t value) { return set_integer(stack::arguments, value); }
Cell* push(int32_t value) { return set_integer(stack::push_new(), value); }

Cell* make_in(Cell* c, int32_t value) {
    cell::set_type(c, TYPE_INTEGER);
    c->w2 = static_cast<uint32_t>(value);
    return c;
}

Cell* make_at_tail(const Cell* block, int32_t value) { return set_integer(block::alloc_tail(block), value); }

int32_t get_result() { return cell::type(stack::arguments) == TYPE_INTEGER ? get(stack::arguments) : 0; }

int32_t abs(int32_t v) {
    if (v == MIN) fire(ERR_MATH, "overflow");
    return v < 0 ? -v : v;
}

bool overflow_q(double d) { return !(d <= 2147483647.0 && d >= -2147483648.0); }

const char* form_buffer(int32_t value, int* length) {
    static char text[12];
    char* end = std::to_chars(text, text + sizeof text - 1, value).ptr;
    *end = '\0';
    *length = static_cast<int>(end - text);
    return text;
}

namespace {

// The exact double result of an operation that overflowed 32 bits.
int32_t overflowed(Cell* result, double exact) {
    if (!result) fire(ERR_MATH, "overflow");
    float_::make_in(result, exact);
    return 0;
}

// The word of an op code, for error reports.
const char* op_word(int32_t op) {
    static const char* const words[] = {"add", "subtract", "multiply", "divide", "remainder", "or~", "and~", "xor~"};
    return op >= 0 && op <= OP_XOR ? words[op] : "add";
}

}  // namespace

int32_t do_math_op(int32_t left, int32_t right, int32_t op, Cell* result) {
    int32_t r;
    switch (op) {
        case OP_ADD:
            if (__builtin_add_overflow(left, right, &r)) return overflowed(result, double(left) + double(right));
            break;
        case OP_SUB:
            if (__builtin_sub_overflow(left, right, &r)) return overflowed(result, double(left) - double(right));
            break;
        case OP_MUL:
            if (__builtin_mul_overflow(left, right, &r)) return overflowed(result, double(left) * double(right));
            break;
        case OP_DIV:
        case OP_REM:
            if (right == 0) fire(ERR_MATH, "zero-divide");
            if (left == MIN && right == -1) fire(ERR_MATH, "overflow");
            if (op == OP_REM) {
                r = left % right;
            } else if (result && left % right != 0) {
                float_::make_in(result, double(left) / double(right));
                return 0;
            } else {
                r = left / right;
            }
            break;
        case OP_OR: r = left | right; break;
        case OP_AND: r = left & right; break;
        case OP_XOR: r = left ^ right; break;
        default: sys::runtime_error(101, ZEL_HERE());
    }
    if (result) result->w2 = static_cast<uint32_t>(r);
    return r;
}

void do_math(int32_t op) {
    Cell* left = stack::arguments;
    Cell* right = left + 1;
    uint32_t tr = cell::type(right);
    switch (tr) {
        case TYPE_CHAR: case TYPE_INTEGER:
            do_math_op(get(left), get(right), op, left);
            return;
        case TYPE_FLOAT: case TYPE_PERCENT: case TYPE_TIME:
            float_::do_math(op);
            return;
        case TYPE_MONEY:
            handover::money_math(op);
            return;
        case TYPE_PAIR: case TYPE_POINT2D: case TYPE_POINT3D: case TYPE_TUPLE: {
            bool tuple = tr == TYPE_TUPLE;
            if (op == OP_DIV || (tuple && op == OP_SUB)) {
                Cell word, t;
                fire(ERR_SCRIPT, "not-related", number::word_named(op_word(op), &word), set_datatype(&t, TYPE_INTEGER));
            }
            std::swap(*left, *right);
            if (op == OP_SUB) {  // n - compound is -compound + n
                handover::compound_negate(left);
                op = OP_ADD;
            }
            handover::compound_math(op);
            return;
        }
        case TYPE_VECTOR:
            handover::vector_math(op, right, left);
            return;
        case TYPE_DATE:
            if (op != OP_ADD) {
                Cell word, t;
                fire(ERR_SCRIPT, "not-related", number::word_named(op_word(op), &word), set_datatype(&t, TYPE_INTEGER));
            }
            std::swap(*left, *right);
            handover::date_add();
            return;
        default:
            number::fire_invalid_type(right);
    }
}

int32_t compare(Cell* a, Cell* b, int32_t op) {
    uint32_t tb = cell::type(b);
    if ((op == COMP_STRICT_EQUAL || op == COMP_SAME || op == COMP_FIND) && tb != TYPE_INTEGER) return 1;
    switch (tb) {
        case TYPE_CHAR: case TYPE_INTEGER: {
            int32_t x = get(a), y = get(b);
            return (x > y) - (x < y);
        }
        case TYPE_FLOAT: case TYPE_PERCENT: case TYPE_TIME: {
            Cell f;
            float_::make_in(cell::set(&f, TYPE_FLOAT), get(a));
            return float_::compare(&f, b, op);
        }
        case TYPE_MONEY: {
            Cell money;
            handover::money_from_float(&money, get(a));
            return handover::money_compare(&money, b, op);
        }
        default:
            return NOT_COMPARABLE;
    }
}

namespace {

void absolute() { stack::arguments->w2 = static_cast<uint32_t>(abs(get(stack::arguments))); }

Cell* negate(Cell* value) {
    if (get(value) == MIN) fire(ERR_MATH, "overflow");
    value->w2 = static_cast<uint32_t>(-get(value));
    return value;
}

Cell* complement(Cell* value) {
    value->w2 = ~value->w2;
    return value;
}

bool even_q(Cell* value) { return (value->w2 & 1) == 0; }
bool odd_q(Cell* value) { return (value->w2 & 1) != 0; }

Cell* random(Cell* value, bool seed, bool secure, bool) {
    if (seed) {
        random_hook::seed(get(value));
        return set_unset(value);
    }
    if (get(value) != 0) value->w2 = static_cast<uint32_t>(random_hook::bounded(secure, get(value)));
    return value;
}

int32_t form(Cell* value, Cell* buffer, Cell*, int32_t part) {
    int length;
    const char* text = form_buffer(get(value), &length);
    return emit::bytes(buffer, text, static_cast<uint32_t>(length), part);
}

int32_t mold(Cell* value, Cell* buffer, bool, bool, bool, Cell* arg, int32_t part, int32_t) {
    return form(value, buffer, arg, part);
}

}  // namespace

void init() {
    using number::math_action;
    datatypes::empty_row()
        .set(ACT_MAKE, make).set(ACT_RANDOM, random).set(ACT_TO, to).set(ACT_FORM, form).set(ACT_MOLD, mold)
        .set(ACT_COMPARE, compare).set(ACT_ABSOLUTE, absolute).set(ACT_NEGATE, negate).set(ACT_POWER, power)
        .set(ACT_ROUND, round).set(ACT_EVEN_Q, even_q).set(ACT_ODD_Q, odd_q).set(ACT_COMPLEMENT, complement)
        .set(ACT_ADD, math_action<do_math, OP_ADD>).set(ACT_SUBTRACT, math_action<do_math, OP_SUB>)
        .set(ACT_MULTIPLY, math_action<do_math, OP_MUL>).set(ACT_DIVIDE, math_action<do_math, OP_DIV>)
        .set(ACT_REMAINDER, math_action<do_math, OP_REM>).set(ACT_OR_T, math_action<do_math, OP_OR>)
        .set(ACT_AND_T, math_action<do_math, OP_AND>).set(ACT_XOR_T, math_action<do_math, OP_XOR>)
        .register_as(TYPE_INTEGER, 0, "integer!");
}

}  // namespace zel::integer
