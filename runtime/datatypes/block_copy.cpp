// Making and copying blocks: make, to, copy (shallow, deep and by kind),
// clone, and take.
#include "runtime/actions.h"
#include "runtime/cells.h"
#include "runtime/cycles.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/block_support.h"
#include "runtime/errors.h"
#include "runtime/evaluator/lexer.h"
#include "runtime/names.h"
#include "runtime/stack.h"

namespace zel::block {

namespace {

// Values whose copy copy/types makes.
inline bool copyable_kind(uint32_t t) {
    return any_series(t) || t == TYPE_OBJECT || t == TYPE_ERROR || t == TYPE_MAP || t == TYPE_BITSET;
}

inline bool of_kind(const Cell* kind, uint32_t t) {
    return cell::type(kind) == TYPE_DATATYPE ? kind->w1 == t : typeset::contains(kind, t);
}

// Replaces cell i of the block by `value` (the buffer may have moved since
// the cell was read).
inline void store(const Cell* blk, int64_t i, const Cell* value) { *cell_ptr(blk, i) = *value; }

// Replaces every series value of a fresh copy by its own deep copy; with
// `only_blocks` only nested block! values are copied (clone without any_block).
void deep_copy_cells(const Cell* copy, bool only_blocks) {
    Cell blk = *copy;
    for (int64_t i = 0; i < cell_count(&blk); ++i) {
        Cell c = *cell_ptr(&blk, i);
        uint32_t t = cell::type(&c);
        if (only_blocks ? t != TYPE_BLOCK : !any_series(t)) continue;
        Cell out;
        if (any_block(t)) {
            // Nested blocks are copied here, so that clone's restriction holds.
            if (cycles::find(c.w2)) fire(ERR_INTERNAL, "no-cycle");
            cycles::Guard guard(c.w2);
            series::copy(&c, &out, nullptr, false, nullptr);
            if (cell::type(&out) == TYPE_HASH) cell::set_type(&out, TYPE_BLOCK);
            deep_copy_cells(&out, only_blocks);
        } else {
            actions::copy(&c, &out, nullptr, true, nullptr);
        }
        store(&blk, i, &out);
    }
}

// The body of an object! or map! as a block.
Cell* body_of(Cell* spec, Cell* out) {
    Cell s = *spec;
    Cell* body = actions::reflect(&s, names::symbol("body"));
    return copy_cell(body, out);
}

[[noreturn]] void bad_make(uint32_t type, const Cell* spec) {
    Cell dt;
    set_datatype(&dt, type);
    fire(ERR_SCRIPT, "bad-make-arg", &dt, spec);
}

// A shallow copy of a block-family value from its head, in the target type.
Cell* shallow_as(Cell* spec, Cell* out, uint32_t type) {
    Cell s = *spec;
    series::copy(&s, out, nullptr, false, nullptr);
    out->header = type;
    return out;
}

}  // namespace

void copy_deep_types(Cell* blk, uint32_t from, uint32_t to, uint32_t step, bool deep, const Cell* kind) {
    Cell b = *blk, k = *kind;
    for (int64_t i = from; i < to && i < cell_count(&b); i += step) {
        Cell c = *cell_ptr(&b, i);
        uint32_t t = cell::type(&c);
        if (!of_kind(&k, t) || !copyable_kind(t)) continue;
        Cell out;
        actions::copy(&c, &out, nullptr, deep, deep ? &k : nullptr);
        store(&b, i, &out);
    }
}

Cell* copy(Cell* blk, Cell* result, Cell* part, bool deep, Cell* types) {
    Cell src = *blk;
    series::copy(&src, result, part, false, nullptr);
    if (!deep && !types) return result;
    if (cell::type(result) == TYPE_HASH) cell::set_type(result, TYPE_BLOCK);
    uint32_t n = static_cast<uint32_t>(cell_count(result));
    if (!deep) {
        copy_deep_types(result, 0, n, 1, false, types);
        return result;
    }
    if (cycles::find(src.w2)) fire(ERR_INTERNAL, "no-cycle");
    cycles::Guard guard(src.w2);
    if (types) copy_deep_types(result, 0, n, 1, true, types);
    else deep_copy_cells(result, false);
    return result;
}

Cell* clone(const Cell* blk, bool deep, bool any_block) {
    Cell src = *blk;
    Cell* out = stack::push_new();
    set_none(out);
    series::copy(&src, out, nullptr, false, nullptr);
    if (deep) {
        if (cycles::find(src.w2)) fire(ERR_INTERNAL, "no-cycle");
        cycles::Guard guard(src.w2);
        deep_copy_cells(out, !any_block);
    }
    return out;
}

Cell* make(Cell* proto, Cell* spec, uint32_t type) {
    uint32_t st = cell::type(spec);
    if (any_block(st)) return shallow_as(spec, proto, type);
    switch (st) {
        case TYPE_INTEGER:
        case TYPE_FLOAT: {
            make_at(proto, number::to_integer(spec));
            proto->header = type;
            return proto;
        }
        case TYPE_OBJECT:
        case TYPE_MAP: {
            body_of(spec, proto);
            cell::set_type(proto, type);
            return proto;
        }
        default: bad_make(type, spec);
    }
}

Cell* to(Cell* proto, Cell* spec, uint32_t type) {
    uint32_t st = cell::type(spec);
    if (any_block(st)) return shallow_as(spec, proto, type);
    Cell s = *spec;
    switch (st) {
        case TYPE_OBJECT:
        case TYPE_MAP:
            body_of(&s, proto);
            break;
        case TYPE_STRING:
            lexer::load_string(proto, &s, -1, false, true, true, true, nullptr, nullptr, nullptr);
            break;
        case TYPE_TYPESET: {
            make_at(proto, 8);
            for (uint32_t t = 1; t < TYPE_TABLE_ROWS; ++t) {
                if (!typeset::contains(&s, t)) continue;
                Cell dt;
                append_copy(proto, set_datatype(&dt, t));
            }
            break;
        }
        default:
            make_at(proto, 1);
            append_copy(proto, &s);
            break;
    }
    cell::set_type(proto, type);
    return proto;
}

Cell* take(Cell* blk, Cell* part, bool deep, bool last) {
    Cell* taken = series::take(blk, part, deep, last);
    if (cell::type(taken) == TYPE_NONE) return taken;
    if (deep) deep_copy_cells(taken, false);
    if (!part && cell_count(taken) == 1) copy_cell(cell_ptr(taken, 0), taken);
    return taken;
}

}  // namespace zel::block
