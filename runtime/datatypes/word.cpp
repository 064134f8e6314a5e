// Making words and reading and writing their values.
#include "runtime/datatypes/word.h"
#include <cstring>
#include "runtime/datatypes/context.h"
#include "runtime/errors.h"
#include "runtime/runtime.h"
#include "runtime/stack.h"

namespace zel::word {

namespace {

constexpr uint32_t UNBOUND = 0xFFFFFFFFu;

inline uint32_t symbol_of(const char* name) { return make_symbol(name); }

// A word entry copied out, retyped.
inline Cell* retyped(Cell* c, uint32_t type) {
    cell::set_type(c, type);
    return c;
}

}  // namespace

Cell* save_in_root(const Cell* c) {
    Cell copy = *c;
    Cell* slot = series::alloc_tail_cell(runtime::root);
    *slot = copy;
    return slot;
}

Cell* make_global(uint32_t symbol, Cell* out) {
    context::add_global_word(symbol, false, true, out);
    if (runtime::collect_words) save_in_root(out);
    return out;
}

Cell* load(const char* name, Cell* out) {
    context::add_global_word(symbol_of(name), true, true, out);
    if (runtime::collect_words) save_in_root(out);
    return out;
}

Cell* make_at(uint32_t symbol, Cell* target) {
    Cell w{TYPE_WORD, context::global, symbol, UNBOUND};
    int32_t index = context::add_word(context::global, &w);
    w.w3 = static_cast<uint32_t>(index);
    *target = w;
    return target;
}

Cell* make_in(uint32_t symbol, const Cell* block) {
    Cell w;
    make_at(symbol, &w);
    Cell* slot = series::alloc_tail_cell(block->w2);
    *slot = w;
    return slot;
}

Cell* load_in(const char* name, const Cell* block) { return make_in(symbol_of(name), block); }

Cell* make_result(uint32_t symbol) {
    Cell w;
    make_at(symbol, &w);
    *stack::arguments = w;
    return stack::arguments;
}

Cell* push_global(uint32_t symbol) {
    Cell w;
    make_at(symbol, &w);
    return stack::push(&w);
}

Cell* push(const Cell* word) { return stack::push(word); }

Cell* cell_at(Node ctx, uint32_t n) { return context::word_entries(ctx) + n; }

Cell* push_word_at(Node ctx, uint32_t n) { return stack::push(cell_at(ctx, n)); }

Cell* load_in_as(const char* name, const Cell* block, uint32_t type) { return retyped(load_in(name, block), type); }

Cell* load_as(const char* name, uint32_t type, Cell* out) {
    load(name, out);
    cell::set_type(out, type);
    return out;
}

Cell* push_as(const Cell* word, uint32_t type) { return retyped(stack::push(word), type); }

Cell* push_word_at_as(Node ctx, uint32_t n, uint32_t type) { return retyped(push_word_at(ctx, n), type); }

Cell* get(const Cell* word) {
    Cell w = *word;
    Cell v = *context::get(&w);
    if (cell::type(&v) == TYPE_UNSET) fire(ERR_SCRIPT, "no-value", &w);
    return stack::push(&v);
}

Cell* get_any(const Cell* word) {
    Cell w = *word;
    Cell v = *context::get(&w);
    return stack::push(&v);
}

namespace {

// Value n of a context, refusing a context whose function is not running.
Cell* local_slot(Node ctx, uint32_t n) {
    Cell* cc = context::context_cell(ctx);
    if (cc->w2 == 0) {
        Cell w = *cell_at(ctx, n);
        fire(ERR_SCRIPT, "not-defined", &w);
    }
    return context::stack_held(cc) ? stack::values_at(cc->w2) + n : series::buffer_of(cc->w2)->head_cell() + n;
}

// Heap values of an object context: mark word n as set.
void mark_set(Node ctx, uint32_t n) {
    if (context::kind_of(context::context_cell(ctx)) == context::KIND_OBJECT)
        cell_at(ctx, n)->header |= context::WORD_SET_MARK;
}

}  // namespace

Cell* get_in(Node ctx, uint32_t n) { return local_slot(ctx, n); }

Cell* push_local(Node ctx, uint32_t n) {
    Cell v = *local_slot(ctx, n);
    return stack::push(&v);
}

Cell* set(Cell* word, const Cell* value) { return context::set_in(word, value, word->w1, true); }

void set_from_arg(bool check_unset) {
    Cell* args = stack::arguments;
    if (check_unset && cell::type(args + 1) == TYPE_UNSET) fire(ERR_SCRIPT, "need-value", args);
    Cell w = args[0];
    Cell v = args[1];
    context::set_in(&w, &v, w.w1, true);
    stack::set_last(&v);
}

void get_from_arg() {
    Cell w = *stack::arguments;
    Cell v = *context::get(&w);
    stack::set_last(&v);
}

void set_local(Node ctx, uint32_t n) {
    mark_set(ctx, n);
    Cell v = *stack::top_cell();
    *get_in(ctx, n) = v;
}

void set_local_push(Node ctx, uint32_t n) {
    mark_set(ctx, n);
    Cell v = *stack::top_cell();
    Cell old = *get_in(ctx, n);
    stack::push(&old);
    *get_in(ctx, n) = v;
}

Cell* set_local_result(Node ctx, uint32_t n) {
    mark_set(ctx, n);
    *get_in(ctx, n) = *stack::arguments;
    return stack::arguments;
}

void store_result(Cell* target) {
    if (cell::type(stack::arguments) == TYPE_UNSET) fire(ERR_SCRIPT, "need-value", target);
    *target = *stack::arguments;
}

Cell* push_string(uint32_t symbol) {
    Cell s;
    symbol::name_string(symbol, &s);
    return stack::push(&s);
}

Cell* get_symbol(const Cell* word) { return symbol::get(word->w2); }

}  // namespace zel::word

namespace zel::refinement {

Cell* load(const char* name, Cell* out) {
    Cell r{TYPE_REFINEMENT, 0, word::make_symbol(name), 0xFFFFFFFFu};
    word::save_in_root(&r);
    *out = r;
    return out;
}

}  // namespace zel::refinement

namespace zel::issue {

Cell* make_at(Cell* target, const char* name) {
    return cell::set(target, TYPE_ISSUE, context::global, word::make_symbol(name), 0xFFFFFFFFu);
}

Cell* load_in(const char* name, const Cell* block) {
    Cell i;
    make_at(&i, name);
    Cell* slot = series::alloc_tail_cell(block->w2);
    *slot = i;
    return slot;
}

Cell* load(const char* name, Cell* out) {
    if (runtime::collect_words) {
        Cell root;
        set_series(&root, TYPE_BLOCK, runtime::root);
        *out = *load_in(name, &root);
        return out;
    }
    make_at(out, name);
    stack::push(out);
    return out;
}

}  // namespace zel::issue
