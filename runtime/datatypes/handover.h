// Where the number types hand work to datatypes that are not built yet:
// money!'s arithmetic and conversions, date! arithmetic, the compound types
// (pair!, point2D!, point3D!, tuple!), vector!, and the change notices of a
// time! field written through an object or an owned series.
//
// Each hand-over is one named function. Until its owner exists it raises
// internal/not-done with the datatype it waits for; the owner wires it up by
// replacing the one line of the body in handover.cpp.
#pragma once
#include <cstdint>
#include "runtime/cell.h"

namespace zel::handover {

// ---- money! ----
// Arithmetic with the op code over the two operands at the arguments base
// (an integer!, float! or percent! left operand is accepted).
void money_math(int32_t op);
// The whole-number value of a money! (overflow raises money's own error).
int32_t money_to_integer(const Cell* money);
// The amount of a money! as a double.
double money_to_float(const Cell* money);
// Makes a money! from a double amount (through its decimal text) into `out`.
void money_from_float(Cell* out, double amount);
// money!'s compare action.
int32_t money_compare(Cell* a, Cell* b, int32_t op);

// ---- date! ----
// Seconds since 1-Jan-1970 of a date!.
int32_t date_to_epoch(const Cell* date);
// date! addition: the date in the result cell, the other operand (an
// integer! of days, or a time!) in the next cell.
void date_add();

// ---- pair!, point2D!, point3D!, tuple! ----
// Negates the compound value in the cell in place.
void compound_negate(Cell* value);
// The compound type's arithmetic with the op code: the compound value in the
// result cell, the number in the next one.
void compound_math(int32_t op);

// ---- vector! ----
// Element-wise arithmetic of a vector! with a number; the answer is the result.
void vector_math(int32_t op, Cell* vector, Cell* number);

// ---- change notices of a written time! field ----
// The time lives in a field of an object: the object's on-change*.
void object_fire_on_change(Cell* object, Cell* word, Cell* old_value, Cell* new_value);
// Any other owner: told of the set-path with the value and the field index.
void ownership_check(Cell* owner, const char* action, Cell* value, int32_t index);

}  // namespace zel::handover
