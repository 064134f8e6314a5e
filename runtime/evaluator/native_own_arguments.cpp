// Natives and actions made with an argument block other than their slot's
// own. An entry reads its arguments by position and trusts their types, as
// its own argument block (the one the boot library gives it) promises. A
// value made later on the same slot with another block may only name at
// least the arguments the entry reads; where that block's types are not
// the own ones, each call checks the arguments against the own types
// before the entry runs.
#include "runtime/cells.h"
#include "runtime/datatype.h"
#include "runtime/datatypes/native.h"
#include "runtime/evaluator/calls_internal.h"
#include "runtime/runtime.h"

namespace zel::interpreter {

namespace {

// The own argument list of each native and action slot (0 for none yet).
Node own_native[natives::TABLE_SIZE + 1];
Node own_action[ACTION_SLOTS + 1];
bool frozen = false;

Node& own_list(const Cell* fn) {
    return cell::type(fn) == TYPE_NATIVE ? own_native[fn->w1] : own_action[fn->w1];
}

// Where a list's arguments stand: its leading ones, and those of each
// refinement by number (from 1), as descriptor indexes and counts.
struct Layout {
    const Cell* descs;
    int32_t n;
    int32_t first = 0, count = 0;

    explicit Layout(Node list) {
        SeriesBuffer* b = series::buffer_of(list);
        descs = b->head_cell();
        n = static_cast<int32_t>(b->length());
        first = 1;
        while (first < n && is_argument_or_return(first) && kind_of(descs + first) == ARG_RETURN) ++first;
        while (first + count < n && is_argument(first + count)) ++count;
    }
    bool is_argument_or_return(int32_t i) const { return cell::type(descs + i) == TYPE_TYPESET; }
    bool is_argument(int32_t i) const { return is_argument_or_return(i) && kind_of(descs + i) != ARG_RETURN; }
    // The descriptor index of refinement `r`, or -1.
    int32_t refinement(uint32_t r) const {
        for (int32_t i = first + count; i < n; ++i)
            if (cell::type(descs + i) == TYPE_REFINEMENT && descs[i].w3 == r) return i;
        return -1;
    }
    int32_t arguments_after(int32_t at) const {
        int32_t k = 0;
        while (at + 1 + k < n && is_argument(at + 1 + k)) ++k;
        return k;
    }
    uint32_t refinements() const {
        return n > 1 && cell::type(descs + n - 1) == TYPE_INTEGER ? static_cast<uint32_t>(cell::get_int(descs + n - 1))
                                                                   : 0;
    }
};

bool same_types(const Cell* a, const Cell* b) { return a->w1 == b->w1 && a->w2 == b->w2 && a->w3 == b->w3; }

// Raises expect-arg for the argument at descriptor `at` of the call's own list.
[[noreturn]] void refuse(const Cell* fn, const Layout& mine, int32_t at, const Cell* value) {
    const CallFrame* f = stack::top_frame();
    Cell name;
    cell::set(&name, TYPE_WORD, f->ctx, stack::frame_symbol(f), 0);
    expect_arg(&name, fn, value, spec_position(mine.descs, at));
}

}  // namespace

bool note_native_spec(Cell* fn) {
    Node& own = own_list(fn);
    Node list = arg_list(fn);
    if (!frozen || !own) {
        // The boot library's own definitions; the values stay referenced
        // from the runtime's root block, so their lists stay alive.
        own = list;
        *series::alloc_tail_cell(runtime::root) = *fn;
        return true;
    }
    Layout theirs(own), mine(list);
    if (mine.count < theirs.count) return false;
    bool same = true;
    for (int32_t k = 0; k < theirs.count; ++k)
        same = same && same_types(theirs.descs + theirs.first + k, mine.descs + mine.first + k);
    for (uint32_t r = 1; r <= theirs.refinements(); ++r) {
        int32_t t = theirs.refinement(r), m = mine.refinement(r);
        if (t < 0 || m < 0) continue;
        int32_t need = theirs.arguments_after(t);
        if (mine.arguments_after(m) < need) return false;
        for (int32_t j = 1; j <= need; ++j) same = same && same_types(theirs.descs + t + j, mine.descs + m + j);
    }
    if (!same) fn->header = (fn->header | native::FLAG_FOREIGN_SPEC) & ~FLAG_PLAIN_NATIVE;
    return true;
}

void freeze_native_specs() { frozen = true; }

void check_own_arguments(const Cell* fn, const int32_t* refs) {
    Layout theirs(own_list(fn)), mine(arg_list(fn));
    for (int32_t k = 0; k < theirs.count; ++k) {
        const Cell* v = stack::arguments + k;
        if (!typeset::contains(theirs.descs + theirs.first + k, cell::type(v))) refuse(fn, mine, mine.first + k, v);
    }
    uint32_t count = theirs.refinements();
    for (uint32_t r = 1; r <= count && r <= static_cast<uint32_t>(MAX_REFS); ++r) {
        if (refs[r - 1] < 0) continue;
        int32_t t = theirs.refinement(r), m = mine.refinement(r);
        if (t < 0 || m < 0) continue;
        for (int32_t j = 0, need = theirs.arguments_after(t); j < need; ++j) {
            const Cell* v = stack::arguments + refs[r - 1] + j;
            if (!typeset::contains(theirs.descs + t + 1 + j, cell::type(v))) refuse(fn, mine, m + 1 + j, v);
        }
    }
}

}  // namespace zel::interpreter
