// Action slots and their dispatch.
//
// Every datatype operation is one of 62 actions. A datatype's row of the
// action table holds, per slot, its implementation, its parent's, or none.
// Each slot has one C++ signature that every implementation of that slot
// shares (the typedefs below); the typed entries look the implementation up
// by the first value's type and call it.
//
// Refinement arguments are passed as `Cell*`, null when the refinement was
// not used. Flag refinements are plain bools. Counts the stack entries have
// already worked out (/part and /dup of append, insert and change, the limit
// of form and mold) are plain integers: -1 means /part was not given and
// NO_LIMIT means no limit.
#pragma once
#include <cstdint>
#include "runtime/cell.h"
#include "runtime/datatype.h"

namespace zel {

enum ActionSlot : int {
    ACT_MAKE = 1, ACT_RANDOM, ACT_REFLECT, ACT_TO, ACT_FORM, ACT_MOLD, ACT_EVAL_PATH,
    ACT_SET_PATH, ACT_COMPARE, ACT_ABSOLUTE, ACT_ADD, ACT_DIVIDE, ACT_MULTIPLY, ACT_NEGATE,
    ACT_POWER, ACT_REMAINDER, ACT_ROUND, ACT_SUBTRACT, ACT_EVEN_Q, ACT_ODD_Q, ACT_AND_T,
    ACT_COMPLEMENT, ACT_OR_T, ACT_XOR_T, ACT_APPEND, ACT_AT, ACT_BACK, ACT_CHANGE, ACT_CLEAR,
    ACT_COPY, ACT_FIND, ACT_HEAD, ACT_HEAD_Q, ACT_INDEX_Q, ACT_INSERT, ACT_LENGTH_Q, ACT_MOVE,
    ACT_NEXT, ACT_PICK, ACT_POKE, ACT_PUT, ACT_REMOVE, ACT_REVERSE, ACT_SELECT, ACT_SORT,
    ACT_SKIP, ACT_SWAP, ACT_TAIL, ACT_TAIL_Q, ACT_TAKE, ACT_TRIM, ACT_CREATE, ACT_CLOSE,
    ACT_DELETE, ACT_MODIFY, ACT_OPEN, ACT_OPEN_Q, ACT_QUERY, ACT_READ, ACT_RENAME, ACT_UPDATE,
    ACT_WRITE,
};
static_assert(ACT_WRITE == 62 && ACT_APPEND == 25 && ACT_SORT == 45);

// Comparison operation codes shared by every compare implementation.
enum CompareOp : int32_t {
    COMP_EQUAL = 0, COMP_NOT_EQUAL, COMP_STRICT_EQUAL, COMP_LESSER, COMP_LESSER_EQUAL,
    COMP_GREATER, COMP_GREATER_EQUAL, COMP_SORT, COMP_CASE_SORT, COMP_SAME,
    COMP_EQUAL_WORD, COMP_NOT_EQUAL_WORD, COMP_FIND,
};
// A compare implementation's answer for values it cannot compare.
constexpr int32_t NOT_COMPARABLE = -2;

// Math op codes passed to every datatype's arithmetic.
enum MathOp : int32_t { OP_ADD = 0, OP_SUB, OP_MUL, OP_DIV, OP_REM, OP_OR, OP_AND, OP_XOR };

constexpr int32_t NO_LIMIT = 0x7FFFFFFF;

namespace actions {

// Implementation signatures, one per slot (the slot numbers in brackets).
using MakeFn = Cell* (*)(Cell* proto, Cell* spec, uint32_t type);                          // [1] make, [4] to
using RandomFn = Cell* (*)(Cell* value, bool seed, bool secure, bool only);               // [2]
using ReflectFn = Cell* (*)(Cell* value, uint32_t field_symbol);                            // [3]
using FormFn = int32_t (*)(Cell* value, Cell* buffer, Cell* arg, int32_t part);             // [5]
using MoldFn = int32_t (*)(Cell* value, Cell* buffer, bool only, bool all, bool flat, Cell* arg,
                           int32_t part, int32_t indent);                                   // [6]
using EvalPathFn = Cell* (*)(Cell* parent, Cell* element, Cell* value, Cell* path, Cell* gparent,
                             Cell* p_item, int32_t index, bool case_, bool get, bool tail,
                             bool evt);                                                     // [7]
using CompareFn = int32_t (*)(Cell* value1, Cell* value2, int32_t op);                      // [9]
using StackFn = void (*)();  // [10-13, 15, 16, 18, 21, 23, 24, 26, 27, 32-34, 38, 46, 48, 49]
using UnaryFn = Cell* (*)(Cell* value);                       // [14, 22, 29, 52-54, 57, 58, 61]
using RoundFn = Cell* (*)(Cell* value, Cell* scale, bool even, bool down, bool half_down, bool floor,
                          bool ceiling, bool half_ceiling);                                 // [17]
using PredicateFn = bool (*)(Cell* value);                                                  // [19, 20]
using AppendFn = Cell* (*)(Cell* series, Cell* value, int32_t part, bool only, int32_t dup,
                           bool append);                                                    // [25, 35]
using ChangeFn = Cell* (*)(Cell* series, Cell* value, int32_t part, bool only, int32_t dup); // [28]
using CopyFn = Cell* (*)(Cell* value, Cell* result, Cell* part, bool deep, Cell* types);    // [30]
using FindFn = Cell* (*)(Cell* series, Cell* value, Cell* part, bool only, bool case_, bool same,
                         bool any, Cell* with, Cell* skip, bool last, bool reverse, bool tail,
                         bool match);                                                       // [31]
using LengthFn = int32_t (*)(Cell* value);                                                  // [36]
using MoveFn = Cell* (*)(Cell* origin, Cell* target, Cell* part);                           // [37]
using PickFn = Cell* (*)(Cell* series, int32_t index, Cell* index_cell);                    // [39]
using PokeFn = Cell* (*)(Cell* series, int32_t index, Cell* value, Cell* index_cell);       // [40]
using PutFn = Cell* (*)(Cell* series, Cell* key, Cell* value, bool case_);                  // [41]
using RemoveFn = Cell* (*)(Cell* series, Cell* part, Cell* key);                            // [42]
using ReverseFn = Cell* (*)(Cell* series, Cell* part, Cell* skip);                          // [43]
using SelectFn = Cell* (*)(Cell* series, Cell* value, Cell* part, bool only, bool case_, bool same,
                           bool any, Cell* with, Cell* skip, bool last, bool reverse);      // [44]
using SortFn = Cell* (*)(Cell* series, bool case_, Cell* skip, Cell* comparator, Cell* part,
                         bool all, bool reverse, bool stable);                              // [45]
using SwapFn = Cell* (*)(Cell* series1, Cell* series2);                                     // [47]
using TakeFn = Cell* (*)(Cell* series, Cell* part, bool deep, bool last);                   // [50]
using TrimFn = Cell* (*)(Cell* series, bool head, bool tail, bool auto_, bool lines, bool all,
                         Cell* with);                                                       // [51]
using ModifyFn = Cell* (*)(Cell* target, Cell* field, Cell* value, bool case_);             // [55]
using OpenFn = Cell* (*)(Cell* port, bool new_, bool read, bool write, bool seek, Cell* allow); // [56]
using ReadFn = Cell* (*)(Cell* source, Cell* part, Cell* seek, bool binary, bool lines, bool info,
                         Cell* as);                                                         // [59]
using RenameFn = Cell* (*)(Cell* from, Cell* to);                                           // [60]
using WriteFn = Cell* (*)(Cell* destination, Cell* data, bool binary, bool lines, bool info,
                          bool append, Cell* part, Cell* seek, Cell* allow, Cell* as);      // [62]

// Stores a typed implementation in a registration list.
template <typename Fn>
inline ActionFn entry(Fn fn) {
    return reinterpret_cast<ActionFn>(fn);
}

// The implementation for a type and slot; an empty slot raises expect-arg
// (or no-port-action for a port whose actor lacks it). Never returns null.
ActionFn get_action(uint32_t type, const Cell* value, int slot);
inline ActionFn get_action_by_value(const Cell* value, int slot) { return get_action(cell::type(value), value, slot); }
// The implementation for the first argument of the current call.
ActionFn get_action_first_arg(int slot);
// The eval-path implementation of the parent's type; an empty slot raises
// bad-path-type2 (no path) or bad-path-type (with the path cut at `index`).
ActionFn get_action_for_path(const Cell* parent, int slot, const Cell* path, const Cell* element, int32_t index);
// The integer index of the current call's second argument (pick, poke).
int32_t index_arg();

template <typename Fn>
inline Fn typed(ActionFn f) {
    return reinterpret_cast<Fn>(f);
}

// Generic comparison: the compare implementation of value1's type, then the
// op decides; values that cannot be ordered raise invalid-compare.
bool compare(Cell* value1, Cell* value2, int32_t op);
// The raw answer of the compare implementation (-1, 0, 1 or -2).
int32_t compare_int(Cell* value1, Cell* value2, int32_t op);

// Typed entries: look the implementation up by the first value and call it.
Cell* make(Cell* proto, Cell* spec);
Cell* to(Cell* proto, Cell* spec);
int32_t form(Cell* value, Cell* buffer, Cell* arg, int32_t part);
int32_t mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, Cell* arg, int32_t part, int32_t indent);
Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path, Cell* gparent, Cell* p_item,
                int32_t index, bool case_, bool get, bool tail, bool evt);
Cell* random(Cell* value, bool seed, bool secure, bool only);
Cell* reflect(Cell* value, uint32_t field_symbol);
Cell* negate(Cell* value);
Cell* complement(Cell* value);
Cell* clear(Cell* value);
Cell* round(Cell* value, Cell* scale, bool even, bool down, bool half_down, bool floor, bool ceiling,
            bool half_ceiling);
bool even_q(Cell* value);
bool odd_q(Cell* value);
Cell* append(Cell* series, Cell* value, int32_t part, bool only, int32_t dup);
Cell* insert(Cell* series, Cell* value, int32_t part, bool only, int32_t dup);
Cell* change(Cell* series, Cell* value, int32_t part, bool only, int32_t dup);
Cell* copy(Cell* value, Cell* result, Cell* part, bool deep, Cell* types);
Cell* find(Cell* series, Cell* value, Cell* part, bool only, bool case_, bool same, bool any, Cell* with,
           Cell* skip, bool last, bool reverse, bool tail, bool match);
int32_t length_q(Cell* value);
Cell* move(Cell* origin, Cell* target, Cell* part);
Cell* pick(Cell* series, int32_t index, Cell* index_cell);
Cell* poke(Cell* series, int32_t index, Cell* value, Cell* index_cell);
Cell* put(Cell* series, Cell* key, Cell* value, bool case_);
Cell* remove(Cell* series, Cell* part, Cell* key);
Cell* reverse(Cell* series, Cell* part, Cell* skip);
Cell* select(Cell* series, Cell* value, Cell* part, bool only, bool case_, bool same, bool any, Cell* with,
             Cell* skip, bool last, bool reverse);
Cell* sort(Cell* series, bool case_, Cell* skip, Cell* comparator, Cell* part, bool all, bool reverse,
           bool stable);
Cell* swap(Cell* series1, Cell* series2);
Cell* take(Cell* series, Cell* part, bool deep, bool last);
Cell* trim(Cell* series, bool head, bool tail, bool auto_, bool lines, bool all, Cell* with);
Cell* modify(Cell* target, Cell* field, Cell* value, bool case_);

// Names of the action words, by slot ("make" ... "write"; "eval-path",
// "set-path" and "compare" for the internal slots).
const char* slot_name(int slot);

}  // namespace actions
}  // namespace zel
