// Small pieces the number datatypes share: reading the text or bytes of a
// series value from its head, the conversion errors.
#pragma once
#include <cstdint>
#include "runtime/cell.h"

namespace zel::number {

// The code points of a text value from its head to its tail, in its unit.
// Valid until the next call that may allocate.
struct TextSpan {
    const uint8_t* start;
    uint32_t count;  // code points (0 when the head lies past the tail)
    uint32_t unit;   // 1, 2 or 4
};
TextSpan text_of(const Cell* text);
// The bytes of a binary! from its head (unit 1).
inline TextSpan bytes_of(const Cell* binary) { return text_of(binary); }

// string!, file!, url!, tag!, email!, ref!: the types whose text converts.
bool is_text_type(uint32_t t);
// block!, paren!, hash!: the types whose cells a make spec may list.
bool is_block_type(uint32_t t);
// The cells of a block value from its head; *count gets their number.
Cell* cells_of(const Cell* block, uint32_t* count);

// script/bad-to-arg: "cannot MAKE/TO" type "from:" spec.
[[noreturn]] void fire_bad_to_arg(uint32_t type, const Cell* spec);
// script/type-limit naming the type that cannot hold the value.
[[noreturn]] void fire_type_limit(uint32_t type);
// script/not-related with the word of the current call and a datatype.
[[noreturn]] void fire_not_related_call(uint32_t type);
// script/invalid-type with the datatype of a value.
[[noreturn]] void fire_invalid_type(const Cell* value);

// The arithmetic actions of a type are each one call of its kernel with an
// op code: `math_action<do_math, OP_ADD>` is the add action.
template <auto Kernel, int32_t Op>
void math_action() {
    Kernel(Op);
}

// A word! naming an action (an error argument such as the word subtract).
Cell* word_named(const char* name, Cell* out);

}  // namespace zel::number
