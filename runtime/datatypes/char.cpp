// char!: arithmetic within the code-point range, conversions, form, mold
// and compare, and the registration (parent integer!).
#include "runtime/datatypes/char.h"
#include <cmath>
#include "runtime/actions.h"
#include "runtime/datatypes/emit.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/handover.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/number_common.h"
#include "runtime/datatypes/row.h"
#include "runtime/datatypes/string_actions.h"
#include "runtime/errors.h"
#include "runtime/memory.h"
#include "runtime/stack.h"
#include "runtime/unicode.h"

namespace zel::char_ {

Cell* push(uint32_t cp) { return cell::set(stack::push_new(), TYPE_CHAR, 0, cp); }

Cell* make_in(const Cell* block, uint32_t cp) { return cell::set(block::alloc_tail(block), TYPE_CHAR, 0, cp); }

void do_math(int32_t op) {
    Cell* left = stack::arguments;
    Cell* right = left + 1;
    int32_t operand;
    switch (cell::type(right)) {
        case TYPE_CHAR: case TYPE_INTEGER: operand = integer::get(right); break;
        case TYPE_FLOAT: {
            double d = float_::get(right);
            if (!integer::fits(d)) fire(ERR_MATH, "overflow");
            operand = static_cast<int32_t>(d);
            break;
        }
        case TYPE_VECTOR:
            handover::vector_math(op, right, left);
            return;
        default:
            number::fire_invalid_type(right);
    }
    // A divide is always truncated (no result cell); an overflow of add,
    // subtract or multiply turns the scratch cell into a float!.
    Cell scratch;
    set_integer(&scratch, 0);
    int32_t v = integer::do_math_op(integer::get(left), operand, op, op == OP_DIV ? nullptr : &scratch);
    if (cell::type(&scratch) != TYPE_INTEGER || v < 0 || static_cast<uint32_t>(v) > MAX_CODE_POINT)
        fire(ERR_MATH, "overflow");
    left->w2 = static_cast<uint32_t>(v);
}

namespace {

// The code point at the head of a binary!: one UTF-8 sequence, validated,
// never read past the binary's tail.
uint32_t from_utf8(const Cell* spec) {
    number::TextSpan b = number::bytes_of(spec);
    uint32_t n = b.count < 4 ? b.count : 4;
    if (n == 0) number::fire_bad_to_arg(TYPE_CHAR, spec);
    int32_t cp = unicode::load_utf8_char(b.start, &n);
    if (cp < 0) number::fire_bad_to_arg(TYPE_CHAR, spec);  // cut short
    return static_cast<uint32_t>(cp);
}

int32_t form(Cell* value, Cell* buffer, Cell*, int32_t part) { return emit::character(buffer, value->w2, part); }

// The code point is read first: writing may move the series the value lies in.
int32_t mold(Cell* value, Cell* buffer, bool, bool all, bool, Cell*, int32_t part, int32_t) {
    uint32_t cp = value->w2;
    emit::literal(buffer, "#\"", 0);
    string::append_escaped_char(buffer, cp, string::ESCAPE_MODE, all);
    emit::character(buffer, '"', 0);
    return part - 4;
}

}  // namespace

Cell* make(Cell* proto, Cell* spec, uint32_t) {
    uint32_t ts = cell::type(spec), cp;
    switch (ts) {
        case TYPE_CHAR: case TYPE_INTEGER: {
            int32_t v = integer::get(spec);
            if (v < 0 || static_cast<uint32_t>(v) > MAX_CODE_POINT) fire(ERR_SCRIPT, "out-of-range", spec);
            cp = static_cast<uint32_t>(v);
            break;
        }
        case TYPE_FLOAT: case TYPE_PERCENT: {
            double d = float_::get(spec);  // truncated toward zero, NaN refused
            if (!(d > -1.0 && d < MAX_CODE_POINT + 1.0)) fire(ERR_SCRIPT, "out-of-range", spec);
            cp = static_cast<uint32_t>(d);
            break;
        }
        case TYPE_BINARY: cp = from_utf8(spec); break;
        default: {
            if (!number::is_text_type(ts)) number::fire_bad_to_arg(TYPE_CHAR, spec);
            number::TextSpan t = number::text_of(spec);
            if (t.count == 0) number::fire_bad_to_arg(TYPE_CHAR, spec);
            cp = unicode::get_char(t.start, t.unit);
        }
    }
    return cell::set(proto, TYPE_CHAR, 0, cp);
}

int32_t compare(Cell* a, Cell* b, int32_t op) {
    uint32_t tb = cell::type(b);
    if ((op == COMP_STRICT_EQUAL || op == COMP_SAME || op == COMP_FIND) && tb != TYPE_CHAR) return 1;
    if (tb != TYPE_CHAR && tb != TYPE_INTEGER) return NOT_COMPARABLE;
    int32_t x = integer::get(a), y = integer::get(b);
    return (x > y) - (x < y);
}

void init() {
    using number::math_action;
    datatypes::empty_row()
        .set(ACT_MAKE, make).set(ACT_TO, make).set(ACT_FORM, form).set(ACT_MOLD, mold).set(ACT_COMPARE, compare)
        .set(ACT_ADD, math_action<do_math, OP_ADD>).set(ACT_SUBTRACT, math_action<do_math, OP_SUB>)
        .set(ACT_MULTIPLY, math_action<do_math, OP_MUL>).set(ACT_DIVIDE, math_action<do_math, OP_DIV>)
        .set(ACT_REMAINDER, math_action<do_math, OP_REM>).set(ACT_OR_T, math_action<do_math, OP_OR>)
        .set(ACT_AND_T, math_action<do_math, OP_AND>).set(ACT_XOR_T, math_action<do_math, OP_XOR>)
        .set(ACT_RANDOM, datatype::INHERIT).set(ACT_ABSOLUTE, datatype::INHERIT).set(ACT_EVEN_Q, datatype::INHERIT)
        .set(ACT_ODD_Q, datatype::INHERIT)
        .register_as(TYPE_CHAR, TYPE_INTEGER, "char!");
}

}  // namespace zel::char_
