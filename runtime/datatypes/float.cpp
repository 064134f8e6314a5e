// float!: cells, the tolerant equality, the arithmetic kernel, compare,
// power, the small actions and the registration. Forming, rounding and
// make live in float_form.cpp, float_round.cpp and float_make.cpp.
#include "runtime/datatypes/float.h"
#include <cmath>
#include "runtime/actions.h"
#include "runtime/datatypes/handover.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/number_common.h"
#include "runtime/datatypes/row.h"
#include "runtime/errors.h"
#include "runtime/memory.h"
#include "runtime/random_hook.h"
#include "runtime/stack.h"

namespace zel::float_ {

bool pretty_print_q = true;
bool full_support_q = false;

namespace {
constexpr double EPSILON = 2.220446049250313e-16;  // 2^-52
// Units in the last place within which two doubles count as equal.
constexpr uint64_t ULPS = 10;

uint64_t bits_of(double d) { return std::bit_cast<uint64_t>(d); }

// The 64 bits of a double mapped to an unsigned key in numeric order.
uint64_t ordered_key(double d) {
    uint64_t u = bits_of(d);
    return (u >> 63) ? ~u + 1 : u | (uint64_t{1} << 63);
}

bool is_float_family(uint32_t t) { return t == TYPE_FLOAT || t == TYPE_PERCENT || t == TYPE_TIME; }
}  // namespace

Cell* box(double d) { return make_as(cell::set(stack::arguments, TYPE_FLOAT), TYPE_FLOAT, d); }

Cell* make_in(Cell* c, double d) { return make_as(c, TYPE_FLOAT, d); }

Cell* make_as(Cell* c, uint32_t type, double d) {
    cell::set_type(c, type);
    c->w1 = 0;
    cell::set_float_payload(c, d);
    return c;
}

Cell* push(double d) { return make_in(cell::set(stack::push_new(), TYPE_FLOAT), d); }

Cell* push64(uint32_t low, uint32_t high) { return cell::set(stack::push_new(), TYPE_FLOAT, 0, low, high); }

Cell* make_at_tail(const Cell* block, uint32_t low, uint32_t high) {
    return cell::set(block::alloc_tail(block), TYPE_FLOAT, 0, low, high);
}

bool is_nan(double d) { return std::isnan(d); }
bool is_special(double d) { return !std::isfinite(d); }
bool is_nan32(float f) { return f != f; }

bool almost_equal(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return false;
    if (a == b || std::fabs(a - b) < EPSILON) return true;
    uint64_t ka = ordered_key(a), kb = ordered_key(b);
    return (ka > kb ? ka - kb : kb - ka) <= ULPS;
}

bool almost_equal32(float a, float b) {
    if (a != a || b != b) return false;
    if (a == b) return true;
    uint32_t ua = std::bit_cast<uint32_t>(a), ub = std::bit_cast<uint32_t>(b);
    uint32_t ma = ua & 0x7FFFFFFFu, mb = ub & 0x7FFFFFFFu;
    if (ma >= 0x7F7FFFFFu || mb >= 0x7F7FFFFFu)
        return (ua >> 31) == (ub >> 31) && (ma > mb ? ma - mb : mb - ma) < 0x100000u;
    if (ma == 0 && mb == 0) return true;
    int64_t pa = (ua >> 31) ? int64_t{0x80000000} - ua : ua;
    int64_t pb = (ub >> 31) ? int64_t{0x80000000} - ub : ub;
    return pa - pb >= -10 && pa - pb <= 10;
}

double do_math_op(double left, double right, int32_t op) {
    switch (op) {
        case OP_ADD: return left + right;
        case OP_SUB: return left - right;
        case OP_MUL: return left * right;
        case OP_DIV: return left / right;
        case OP_REM:
            if (right * 0.0 == 0.0) return std::fmod(left, right);  // right is finite
            if (std::isnan(right) || !std::isfinite(left)) return std::nan("");
            return left;  // a finite left against an infinity
        default: {
            Cell word, t;
            errors::caller_word(&word);
            fire(ERR_SCRIPT, "cannot-use", &word, set_datatype(&t, TYPE_FLOAT));
        }
    }
}

Cell* do_math(int32_t op) {
    Cell* left = stack::arguments;
    Cell* right = left + 1;
    uint32_t tl = cell::type(left), tr = cell::type(right);
    switch (tr) {
        case TYPE_TUPLE:
            handover::compound_math(op);
            return left;
        case TYPE_MONEY:
            handover::money_math(op);
            return left;
        case TYPE_PAIR: case TYPE_POINT2D: case TYPE_POINT3D:
            if (tl == TYPE_TIME) break;
            if (op == OP_SUB || op == OP_DIV) {
                Cell word, t;
                fire(ERR_SCRIPT, "not-related", number::word_named(op == OP_SUB ? "subtract" : "divide", &word),
                     set_datatype(&t, tr));
            } else {
                // The compound value goes left; the number keeps its type on
                // the right (a whole number arrives as a float!).
                bool whole = tl == TYPE_INTEGER || tl == TYPE_CHAR;
                Cell number = *left;
                *left = *right;
                make_as(right, whole ? TYPE_FLOAT : tl, whole ? double(integer::get(&number)) : get(&number));
                handover::compound_math(op);
            }
            return left;
        case TYPE_VECTOR:
            handover::vector_math(op, right, left);
            return left;
        default:
            break;
    }
    bool number = tr == TYPE_INTEGER || is_float_family(tr) || (tr == TYPE_CHAR && tl != TYPE_TIME && tl != TYPE_PERCENT);
    if (!number) number::fire_invalid_type(right);
    // Integers (and a char! left operand, which no action passes here but a
    // direct caller might) are converted exactly.
    double l = tl == TYPE_INTEGER || tl == TYPE_CHAR ? double(integer::get(left)) : get(left);
    double r = tr == TYPE_INTEGER || tr == TYPE_CHAR ? double(integer::get(right)) : get(right);
    uint32_t type = (tl == TYPE_TIME || tr == TYPE_TIME) ? TYPE_TIME : tl == TYPE_PERCENT ? TYPE_PERCENT : TYPE_FLOAT;
    return make_as(left, type, do_math_op(l, r, op));
}

int32_t compare(Cell* a, Cell* b, int32_t op) {
    uint32_t ta = cell::type(a), tb = cell::type(b);
    if ((op == COMP_STRICT_EQUAL || op == COMP_SAME || op == COMP_FIND) && ta != tb) return 1;
    double x = get(a), y;
    switch (tb) {
        case TYPE_INTEGER: y = integer::get(b); break;
        case TYPE_FLOAT: case TYPE_PERCENT: case TYPE_TIME: y = get(b); break;
        case TYPE_MONEY: {
            double m = std::fabs(x);
            if (m != 0.0 && m < 1e-05) return -1;
            if (m >= 1e17) return 1;
            Cell money;
            handover::money_from_float(&money, x);
            return handover::money_compare(&money, b, op);
        }
        default: return NOT_COMPARABLE;
    }
    switch (op) {
        case COMP_EQUAL: case COMP_NOT_EQUAL: return almost_equal(x, y) ? 0 : 1;
        case COMP_STRICT_EQUAL: return x == y ? 0 : 1;
        case COMP_SAME: return bits_of(x) == bits_of(y) ? 0 : 1;
        default: break;
    }
    // Every ordering test with a NaN answers false.
    if (std::isnan(x) || std::isnan(y)) {
        if (op == COMP_LESSER || op == COMP_LESSER_EQUAL) return 1;
        if (op == COMP_GREATER || op == COMP_GREATER_EQUAL) return -1;
        return 0;
    }
    return x < y ? -1 : x > y ? 1 : 0;
}

void power() {
    Cell* base = stack::arguments;
    Cell* exponent = base + 1;
    uint32_t te = cell::type(exponent);
    if (te != TYPE_INTEGER && te != TYPE_FLOAT) {
        Cell word, t, arg;
        errors::caller_word(&word);
        errors::caller_arg_word(2, &arg);
        fire(ERR_SCRIPT, "expect-arg", &word, set_datatype(&t, te), &arg);
    }
    double e = te == TYPE_INTEGER ? double(integer::get(exponent)) : get(exponent);
    make_as(base, cell::type(base), std::pow(get(base), e));
}

double random_double(double bound, bool secure) {
    if (secure) {
        double a = random_hook::next(true), b = random_hook::next(true);
        return bound * (b + a / 2147483647.0) / 2147483648.0;
    }
    return bound * random_hook::next(false) / 2147483647.0;
}

namespace {

// Clears the sign bit of the double in place.
void absolute() { make_as(stack::arguments, cell::type(stack::arguments), std::fabs(get(stack::arguments))); }

// 0.0 minus the value, so both zeros negate to +0.0.
Cell* negate(Cell* value) { return make_as(value, cell::type(value), 0.0 - get(value)); }

// The value truncated to 32 bits; outside that range it counts as MIN.
int32_t truncated(const Cell* value) {
    double d = get(value);
    return integer::fits(d) ? static_cast<int32_t>(d) : integer::MIN;
}
bool even_q(Cell* value) { return (truncated(value) & 1) == 0; }
bool odd_q(Cell* value) { return (truncated(value) & 1) != 0; }

Cell* random(Cell* value, bool seed, bool secure, bool) {
    if (seed) {
        random_hook::seed(static_cast<int32_t>(value->w2 ^ value->w3));
        return set_unset(value);
    }
    return make_as(value, cell::type(value), random_double(get(value), secure));
}

}  // namespace

void init() {
    using number::math_action;
    datatypes::empty_row()
        .set(ACT_MAKE, make).set(ACT_TO, make).set(ACT_RANDOM, random).set(ACT_FORM, form).set(ACT_MOLD, mold)
        .set(ACT_COMPARE, compare).set(ACT_ABSOLUTE, absolute).set(ACT_NEGATE, negate).set(ACT_POWER, power)
        .set(ACT_ROUND, round).set(ACT_EVEN_Q, even_q).set(ACT_ODD_Q, odd_q)
        .set(ACT_ADD, math_action<do_math, OP_ADD>).set(ACT_SUBTRACT, math_action<do_math, OP_SUB>)
        .set(ACT_MULTIPLY, math_action<do_math, OP_MUL>).set(ACT_DIVIDE, math_action<do_math, OP_DIV>)
        .set(ACT_REMAINDER, math_action<do_math, OP_REM>)
        .register_as(TYPE_FLOAT, 0, "float!");
}

}  // namespace zel::float_
