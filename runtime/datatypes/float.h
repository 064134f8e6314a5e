// float!: the IEEE-754 double, and the numeric core of percent! and time!,
// which keep the same cell layout (the double in words 2-3) and inherit most
// of its actions. This module owns the arithmetic kernel, the tolerant
// equality, the rounding engine and the double-to-text former.
#pragma once
#include <cstdint>
#include "runtime/cell.h"

namespace zel::float_ {

// When on, form tidies long texts (0.30000000000000004 forms as 0.3).
extern bool pretty_print_q;
// Set by the script option; nothing reads it.
extern bool full_support_q;

inline double get(const Cell* c) { return cell::get_float(c); }
// Writes a float! into the call's result slot.
Cell* box(double d);
// Writes type float! (flags kept) and the double into the cell.
Cell* make_in(Cell* c, double d);
// The same with any type of the float family (float!, percent!, time!).
Cell* make_as(Cell* c, uint32_t type, double d);
Cell* push(double d);
// The same from the double's low and high 32-bit words; make_at_tail
// appends the value at a block's tail (the Zelbin decoders).
Cell* push64(uint32_t low, uint32_t high);
Cell* make_at_tail(const Cell* block, uint32_t low, uint32_t high);

bool is_nan(double d);
bool is_special(double d);
bool is_nan32(float f);
// Equality within 10 units in the last place (NaN equals nothing).
bool almost_equal(double a, double b);
bool almost_equal32(float a, float b);

// The op (add .. remainder) on two doubles; any other op raises cannot-use.
double do_math_op(double left, double right, int32_t op);
// Arithmetic of the two operands at the arguments base, by the rules of the
// float family's result types; the result replaces the left cell.
Cell* do_math(int32_t op);

// Text kinds of form_buffer.
enum FormKind : int {
    FORM_FLOAT32 = 0,     // a 32-bit vector element
    FORM_FLOAT = 1,       // float! and 64-bit vector elements
    FORM_PERCENT32 = 2,   // a 32-bit percent element, already times 100
    FORM_PERCENT = 3,     // percent!, already times 100
    FORM_SECONDS = 4,     // the seconds of a time!
    FORM_POINT = 5,       // a point2D! or point3D! coordinate
};
// The text of a double in a static buffer (valid until the next call).
const char* form_buffer(double value, int kind);
// printf's "%.<precision>g" of a finite double, written from its correctly
// rounded digits (printf is several times slower), in the same buffer.
const char* format_g(double value, int precision);

// Actions that other types call directly.
int32_t form(Cell* value, Cell* buffer, Cell* arg, int32_t part);
int32_t mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, Cell* arg, int32_t part, int32_t indent);
Cell* make(Cell* proto, Cell* spec, uint32_t type);
int32_t compare(Cell* a, Cell* b, int32_t op);
void power();
Cell* round(Cell* value, Cell* scale, bool even, bool down, bool half_down, bool floor, bool ceiling,
            bool half_ceiling);

// The rounding engine on a double: scale s (already positive; 0 leaves the
// value alone) and the direction flags.
struct RoundMode {
    bool even, down, half_down, floor, ceiling, half_ceiling;
};
double round_double(double n, double s, const RoundMode& mode);
// The scale of round for a value: 1 (0.01 for a percent!) without /to, else
// the magnitude of the scale (read in percents for a percent! value). A
// scale that is not a number or a time! raises not-related.
double round_scale(const Cell* value, const Cell* scale);

// A random double between 0 and the bound.
double random_double(double bound, bool secure);

void init();

}  // namespace zel::float_
