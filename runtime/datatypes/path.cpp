// Paths: elements separated by "/", with a prefix or suffix for the lit,
// set and get forms; make and to build them from numbers and blocks.
#include "runtime/datatypes/path.h"
#include "runtime/actions.h"
#include "runtime/cells.h"
#include "runtime/cycles.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/block_support.h"
#include "runtime/datatypes/emit.h"
#include "runtime/datatypes/row.h"
#include "runtime/datatypes/types.h"
#include "runtime/errors.h"
#include "runtime/stack.h"

namespace zel {

namespace {

Cell* push_as(Cell* blk, uint32_t type) {
    cell::set_type(blk, type);
    return stack::push(blk);
}

// Each element formed or molded in turn, "/" between them.
int32_t walk(Cell* path, Cell* buffer, bool mold, bool all, bool flat, Cell* arg, int32_t part) {
    if (cycles::mold_placeholder(path, buffer, &part, mold)) return part;
    Cell p = *path;
    cycles::Guard guard(p.w2);
    for (int64_t i = block::index_of(&p); i < block::cell_count(&p); ++i) {
        Cell v = *block::cell_ptr(&p, i);
        part = mold ? actions::mold(&v, buffer, false, all, flat, arg, part, 0) : actions::form(&v, buffer, arg, part);
        if (arg && part <= 0) return part;
        if (i + 1 < block::cell_count(&p)) part = emit::character(buffer, '/', part);
    }
    return part;
}

int32_t path_form(Cell* value, Cell* buffer, Cell* arg, int32_t part) {
    return walk(value, buffer, false, false, false, arg, part);
}

int32_t path_mold(Cell* value, Cell* buffer, bool, bool all, bool flat, Cell* arg, int32_t part, int32_t) {
    return walk(value, buffer, true, all, flat, arg, part);
}

// The path mold between an optional prefix and suffix.
int32_t mold_marked(Cell* value, Cell* buffer, const char* prefix, const char* suffix, bool all, bool flat, Cell* arg,
                    int32_t part) {
    if (*prefix) part = emit::literal(buffer, prefix, part);
    part = walk(value, buffer, true, all, flat, arg, part);
    if (*suffix) part = emit::literal(buffer, suffix, part);
    return part;
}

int32_t lit_mold(Cell* v, Cell* b, bool, bool all, bool flat, Cell* arg, int32_t part, int32_t) {
    return mold_marked(v, b, "'", "", all, flat, arg, part);
}
int32_t set_mold(Cell* v, Cell* b, bool, bool all, bool flat, Cell* arg, int32_t part, int32_t) {
    return mold_marked(v, b, "", ":", all, flat, arg, part);
}
int32_t get_mold(Cell* v, Cell* b, bool, bool all, bool flat, Cell* arg, int32_t part, int32_t) {
    return mold_marked(v, b, ":", "", all, flat, arg, part);
}

// Numbers give an empty path with room for that many elements (truncated,
// at least one); block-family values convert as blocks do.
Cell* make(Cell* proto, Cell* spec, uint32_t type) {
    uint32_t st = cell::type(spec);
    if (st == TYPE_INTEGER || st == TYPE_FLOAT || st == TYPE_PERCENT) {
        Cell number = *spec;
        if (st == TYPE_PERCENT) cell::set_type(&number, TYPE_FLOAT);
        int32_t n = number::to_integer(&number);
        block::make_at(proto, n == 0 ? 1 : n);
        proto->header = type;
        return proto;
    }
    if (any_block(st)) return block::to(proto, spec, type);
    Cell dt;
    set_datatype(&dt, type);
    fire(ERR_SCRIPT, "bad-make-arg", &dt, spec);
}

// Objects, maps and typesets become the one element of a new path.
Cell* to(Cell* proto, Cell* spec, uint32_t type) {
    uint32_t st = cell::type(spec);
    if (st == TYPE_MAP || st == TYPE_OBJECT || st == TYPE_TYPESET) {
        Cell s = *spec;
        block::make_at(proto, 1);
        block::append_copy(proto, &s);
        proto->header = type;
        return proto;
    }
    return block::to(proto, spec, type);
}

}  // namespace

namespace path {

Cell* push(Cell* blk) { return push_as(blk, TYPE_PATH); }

Cell* make_at(Cell* cell, int32_t n) {
    block::make_at(cell, n);
    cell->header = TYPE_PATH;
    return cell;
}

void init() {
    datatypes::inherited_row()
        .set(ACT_MAKE, make)
        .set(ACT_TO, to)
        .set(ACT_FORM, path_form)
        .set(ACT_MOLD, path_mold)
        .set(ACT_COPY, block::copy)
        .empty(ACT_RANDOM)
        .empty(ACT_SORT)
        .empty(ACT_TRIM)
        .register_as(TYPE_PATH, TYPE_BLOCK, "path!");
}

}  // namespace path

namespace lit_path {
Cell* push(Cell* blk) { return push_as(blk, TYPE_LIT_PATH); }
void init() { datatypes::inherited_row().set(ACT_MOLD, lit_mold).register_as(TYPE_LIT_PATH, TYPE_PATH, "lit-path!"); }
}  // namespace lit_path

namespace set_path {
Cell* push(Cell* blk) { return push_as(blk, TYPE_SET_PATH); }
void init() { datatypes::inherited_row().set(ACT_MOLD, set_mold).register_as(TYPE_SET_PATH, TYPE_PATH, "set-path!"); }
}  // namespace set_path

namespace get_path {
Cell* push(Cell* blk) { return push_as(blk, TYPE_GET_PATH); }
void init() { datatypes::inherited_row().set(ACT_MOLD, get_mold).register_as(TYPE_GET_PATH, TYPE_PATH, "get-path!"); }
}  // namespace get_path

}  // namespace zel
