// The string! action implementations. string! registers them; url!, file!,
// tag!, email! and ref! inherit them or call them directly.
//
// Results: an action that answers the series itself changes the argument
// cell's head index in place and returns it; a new value (a made string, a
// selected char!) is pushed on the argument stack; `none` is a shared cell.
#pragma once
#include <cstdint>
#include "runtime/cell.h"

namespace zel::string {

// The escape mode under which control characters, the double quote and the
// caret mold with their caret escapes.
constexpr int ESCAPE_MODE = 253;

Cell* make(Cell* proto, Cell* spec, uint32_t type);
Cell* to(Cell* proto, Cell* spec, uint32_t type);
int32_t form(Cell* value, Cell* buffer, Cell* arg, int32_t part);
int32_t mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, Cell* arg, int32_t part, int32_t indent);
Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path, Cell* gparent, Cell* p_item, int32_t index,
                bool case_, bool get, bool tail, bool evt);
int32_t compare(Cell* a, Cell* b, int32_t op);
// append (append set) and insert (clear) share one implementation.
Cell* append(Cell* series, Cell* value, int32_t part, bool only, int32_t dup, bool append);
Cell* change(Cell* series, Cell* value, int32_t part, bool only, int32_t dup);
Cell* find(Cell* series, Cell* value, Cell* part, bool only, bool case_, bool same, bool any, Cell* with,
           Cell* skip, bool last, bool reverse, bool tail, bool match);
Cell* select(Cell* series, Cell* value, Cell* part, bool only, bool case_, bool same, bool any, Cell* with,
             Cell* skip, bool last, bool reverse);
Cell* sort(Cell* series, bool case_, Cell* skip, Cell* comparator, Cell* part, bool all, bool reverse,
           bool stable);
Cell* swap(Cell* a, Cell* b);
Cell* take(Cell* series, Cell* part, bool deep, bool last);
Cell* trim(Cell* series, bool head, bool tail, bool auto_, bool lines, bool all, Cell* with);

// Appends one code point as mold writes it (caret escapes in ESCAPE_MODE;
// with `all`, every code point above 7Fh in the ^(hex) form).
void append_escaped_char(Cell* buffer, uint32_t cp, int mode, bool all);

// Set operations on the two texts at the arguments base (8 unique, 9 union,
// 10 intersect, 11 exclude, 12 difference); the result replaces the first.
void do_set_op(bool case_, Cell* skip, int op);

// The text of a value as `form` writes it, appended to the buffer; used
// wherever a value is joined into a text (append, to, paths).
void form_into(Cell* buffer, Cell* value);

}  // namespace zel::string
