// typeset!: construction from blocks, the set operations and the actions.
#include "runtime/datatypes/typeset.h"
#include <cstring>
#include "runtime/datatype.h"
#include "runtime/datatypes/row.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/string.h"
#include "runtime/errors.h"
#include "runtime/memory.h"
#include "runtime/stack.h"

namespace zel::typeset {

namespace {

// The word's value, read in its own context; unset raises no-value.
Cell value_of_word(const Cell* word) {
    Cell w = *word;
    Cell v = *context::get(&w);
    if (cell::type(&v) == TYPE_UNSET) fire(ERR_SCRIPT, "no-value", &w);
    return v;
}

void add_bits(Cell* ts, const Cell* other) {
    ts->w1 |= other->w1;
    ts->w2 |= other->w2;
    ts->w3 |= other->w3;
}

Cell* append_to(const Cell* block, const Cell* value) {
    Cell v = *value;
    Cell* slot = series::alloc_tail_cell(block->w2);
    *slot = v;
    return slot;
}

}  // namespace

Cell* clear(Cell* ts) { return cell::set(ts, TYPE_TYPESET); }

void set_bit(Cell* ts, uint32_t type) {
    if (type >= 96) return;
    uint8_t bytes[12];
    std::memcpy(bytes, &ts->w1, 12);
    bytes[type >> 3] |= static_cast<uint8_t>(0x80u >> (type & 7));
    std::memcpy(&ts->w1, bytes, 12);
}

Cell* make_at(const Cell* block, uint32_t w1, uint32_t w2, uint32_t w3) {
    Cell ts{TYPE_TYPESET, w1, w2, w3};
    return append_to(block, &ts);
}

Cell* push(const Cell* block) {
    Cell ts{TYPE_TYPESET, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
    uint8_t bytes[12];
    std::memcpy(bytes, &ts.w1, 12);
    bytes[TYPE_UNSET >> 3] &= static_cast<uint8_t>(~(0x80u >> (TYPE_UNSET & 7)));
    std::memcpy(&ts.w1, bytes, 12);
    return append_to(block, &ts);
}

Cell* make_from_block(const Cell* target, const Cell* spec) {
    Cell ts;
    clear(&ts);
    Node blk = spec->w2;
    for (uint32_t i = spec->w1; i < series::buffer_of(blk)->length(); ++i) {
        Cell item = series::buffer_of(blk)->head_cell()[i];
        Cell v = cell::type(&item) == TYPE_WORD ? value_of_word(&item) : item;
        switch (cell::type(&v)) {
            case TYPE_DATATYPE: set_bit(&ts, v.w1); break;
            case TYPE_TYPESET: add_bits(&ts, &v); break;
            case TYPE_WORD: set_bit(&ts, TYPE_OBJECT); break;
            case TYPE_BLOCK: break;
            default: fire(ERR_SCRIPT, "invalid-type-spec", &v);
        }
    }
    return append_to(target, &ts);
}

void add(Cell* ts, const Cell* value) {
    Cell v = cell::type(value) == TYPE_WORD ? value_of_word(value) : *value;
    switch (cell::type(&v)) {
        case TYPE_DATATYPE: set_bit(ts, v.w1); break;
        case TYPE_TYPESET: add_bits(ts, &v); break;
        default: fire(ERR_SCRIPT, "invalid-arg", &v);
    }
}

uint32_t count(const Cell* ts) {
    uint32_t n = 0;
    for (uint32_t t = 1; t <= datatype::highest_id(); ++t)
        if (contains(ts, t)) ++n;
    return n;
}

Cell* to_block(const Cell* ts, Cell* out) {
    Cell set = *ts;
    Node blk = series::alloc_cells(count(&set));
    for (uint32_t t = 1; t <= datatype::highest_id(); ++t)
        if (contains(&set, t)) set_datatype(series::alloc_tail_cell(blk), t);
    return set_series(out, TYPE_BLOCK, blk);
}

void set_op(int32_t op) {
    Cell a = stack::arguments[0];
    Cell b = stack::arguments[1];
    if (op == 8) return;
    if (cell::type(&b) == TYPE_DATATYPE) {
        uint32_t t = b.w1;
        clear(&b);
        set_bit(&b, t);
    } else if (cell::type(&b) != TYPE_TYPESET) {
        fire(ERR_SCRIPT, "invalid-arg", &b);
    }
    uint32_t x[3], y[3];
    std::memcpy(x, &a.w1, sizeof x);
    std::memcpy(y, &b.w1, sizeof y);
    for (int i = 0; i < 3; ++i) {
        switch (op) {
            case 5: case 9: x[i] |= y[i]; break;
            case 6: case 10: x[i] &= y[i]; break;
            case 7: case 12: x[i] ^= y[i]; break;
            case 11: x[i] &= ~y[i]; break;
            default: sys::runtime_error(101, ZEL_HERE());
        }
    }
    std::memcpy(&a.w1, x, sizeof x);
    stack::set_last(&a);
}

void and_() { set_op(6); }
void or_() { set_op(5); }
void xor_() { set_op(7); }

Cell* make(Cell* /*proto*/, Cell* spec, uint32_t type) {
    Cell s = *spec;
    if (cell::type(&s) == TYPE_TYPESET) return stack::push(&s);
    if (cell::type(&s) != TYPE_BLOCK) {
        Cell t;
        set_datatype(&t, TYPE_TYPESET);
        fire(ERR_SCRIPT, "bad-to-arg", &t, &s);
    }
    Cell ts;
    clear(&ts);
    for (uint32_t i = s.w1; i < series::buffer_of(s.w2)->length(); ++i) {
        Cell item = series::buffer_of(s.w2)->head_cell()[i];
        add(&ts, &item);
    }
    cell::set_type(&ts, type);
    return stack::push(&ts);
}

Cell* complement(Cell* value) {
    Cell ts{TYPE_TYPESET, ~value->w1, ~value->w2, ~value->w3};
    return stack::push(&ts);
}

Cell* find(Cell* series, Cell* value, Cell*, bool, bool, bool, bool, Cell*, Cell*, bool, bool, bool, bool) {
    if (cell::type(value) != TYPE_DATATYPE) fire(ERR_SCRIPT, "invalid-arg", value);
    Cell result;
    set_logic(&result, contains(series, value->w1));
    return stack::push(&result);
}

int32_t compare(Cell* value1, Cell* value2, int32_t op) {
    if (cell::type(value2) != TYPE_TYPESET) return NOT_COMPARABLE;
    switch (op) {
        case COMP_EQUAL:
        case COMP_NOT_EQUAL:
        case COMP_STRICT_EQUAL:
        case COMP_SAME:
        case COMP_FIND:
            return value1->w1 == value2->w1 && value1->w2 == value2->w2 && value1->w3 == value2->w3 ? 0 : 1;
        case COMP_SORT:
        case COMP_CASE_SORT: {
            uint32_t a = count(value1), b = count(value2);
            return a == b ? 0 : (a < b ? -1 : 1);
        }
        default: return NOT_COMPARABLE;
    }
}

namespace {

// The names of the set's types in id order, each followed by a blank; the
// prefix and the closing bracket unless `only`. A limit (given with /part)
// stops the list once the budget is spent.
int32_t mold_types(const Cell* value, Cell* buffer, bool only, bool limited, int32_t part) {
    Cell set = *value;
    if (!only) {
        string::concatenate_literal(buffer, "make typeset! [");
        part -= 15;
    }
    bool wrote = false;
    for (uint32_t t = 1; t <= datatype::highest_id(); ++t) {
        if (limited && part <= 0) break;
        if (!contains(&set, t)) continue;
        string::concatenate_literal(buffer, datatype::name_of(t));
        string::concatenate_literal(buffer, " ");
        part -= static_cast<int32_t>(datatype::entry(t).name_len) + 2;
        wrote = true;
    }
    if (wrote) {
        SeriesBuffer* b = series::buffer_of(buffer);
        b->tail -= b->unit();  // the trailing blank
        if (only) return part + 1;
    }
    if (!only) {
        string::concatenate_literal(buffer, "]");
        if (!wrote) --part;
    }
    return part;
}

}  // namespace

int32_t form(Cell* value, Cell* buffer, Cell* arg, int32_t part) {
    return mold_types(value, buffer, false, arg != nullptr, part);
}

int32_t mold(Cell* value, Cell* buffer, bool only, bool, bool, Cell* arg, int32_t part, int32_t) {
    return mold_types(value, buffer, only, arg != nullptr, part);
}

void init() {
    datatypes::register_row(TYPE_TYPESET, 0, "typeset!", nullptr,
                            {{ACT_MAKE, actions::entry(make)},
                             {ACT_TO, actions::entry(make)},
                             {ACT_FORM, actions::entry(form)},
                             {ACT_MOLD, actions::entry(mold)},
                             {ACT_COMPARE, actions::entry(compare)},
                             {ACT_AND_T, actions::entry(and_)},
                             {ACT_COMPLEMENT, actions::entry(complement)},
                             {ACT_OR_T, actions::entry(or_)},
                             {ACT_XOR_T, actions::entry(xor_)},
                             {ACT_FIND, actions::entry(find)}});
}

}  // namespace zel::typeset
