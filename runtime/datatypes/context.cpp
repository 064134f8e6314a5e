// Contexts: making them, their word tables, binding words and blocks,
// reading and setting values; the context! datatype (no actions).
#include "runtime/datatypes/context.h"
#include "runtime/collector.h"
#include "runtime/cycles.h"
#include "runtime/datatype.h"
#include "runtime/datatypes/series.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/types.h"
#include "runtime/datatypes/word.h"
#include "runtime/errors.h"
#include "runtime/hashtable.h"
#include "runtime/runtime.h"
#include "runtime/stack.h"
#include "runtime/words.h"

namespace zel::context {

Node global = 0;
Node global_values = 0;

namespace {

ChangeHandler change_handler = nullptr;

// Points every word entry of a context's table at the context.
void claim_words(Node ctx) {
    uint32_t n = word_count(ctx);
    Cell* w = word_entries(ctx);
    for (uint32_t i = 0; i < n; ++i) w[i].w1 = ctx;
}

// Appends one unset value for a new word of a heap-held context.
void add_value_cell(Node ctx) {
    Cell* cc = context_cell(ctx);
    if (stack_held(cc) || !cc->w2) return;
    series::alloc_tail_cell(cc->w2);
}

// The value cell of index `index` with its context checked: no running
// call, or a slot past the live stack or the values block, is refused.
Cell* value_slot(const Cell* word, Node ctx, uint32_t index, const char* error) {
    Cell* cc = context_cell(ctx);
    if (cc->w2 == 0) fire(ERR_SCRIPT, error, word);
    if (stack_held(cc)) {
        Cell* slot = stack::values_at(cc->w2) + index;
        if (slot >= stack::top) fire(ERR_SCRIPT, error, word);
        return slot;
    }
    SeriesBuffer* vals = series::buffer_of(cc->w2);
    if (uint64_t{index} * sizeof(Cell) >= vals->tail - vals->head) fire(ERR_SCRIPT, error, word);
    return vals->head_cell() + index;
}

}  // namespace

uint32_t word_count(Node ctx) {
    SeriesBuffer* b = series::buffer_of(hashtable::record(word_table(ctx))->data);
    return (b->tail - b->head) / sizeof(Cell);
}

Cell* word_entries(Node ctx) { return series::buffer_of(hashtable::record(word_table(ctx))->data)->head_cell(); }

Node make(uint32_t slots, bool stack_values, bool self, const Cell* source, Kind kind) {
    if (slots == 0) slots = 1;
    Node src_table = source ? source->w1 : 0;
    Node ctx = series::alloc_cells(2);
    {
        SeriesBuffer* b = series::buffer_of(ctx);
        b->tail = b->head + 2 * sizeof(Cell);
        Cell* c = b->head_cell();
        cell::set(c, TYPE_CONTEXT | kind << KIND_SHIFT | (stack_values ? FLAG_STACK_VALUES : 0) | (self ? FLAG_SELF : 0));
        set_unset(c + 1);
    }
    Node table = src_table ? hashtable::clone(src_table) : hashtable::make(slots, nullptr, hashtable::KIND_SYMBOL, 0);
    context_cell(ctx)->w1 = table;
    if (src_table) claim_words(ctx);
    if (!stack_values) {
        uint32_t words = word_count(ctx);
        Node values = series::alloc_unset_cells(words > slots ? words : slots);
        SeriesBuffer* vb = series::buffer_of(values);
        vb->tail = vb->head + words * sizeof(Cell);  // one value per word
        context_cell(ctx)->w2 = values;
    }
    return ctx;
}

Node make_from_words(const Cell* spec, bool stack_values, bool self, Kind kind) {
    auto is_arg_word = [](uint32_t t) {
        return t == TYPE_WORD || t == TYPE_LIT_WORD || t == TYPE_GET_WORD || t == TYPE_REFINEMENT;
    };
    Node blk = spec->w2;
    uint32_t count = 0;
    {
        SeriesBuffer* b = series::buffer_of(blk);
        for (const Cell* c = b->head_cell(); c < b->tail_cell(); ++c)
            if (is_arg_word(cell::type(c))) ++count;
    }
    Node ctx = make(count, stack_values, self, nullptr, kind);
    for (uint32_t i = 0;; ++i) {
        SeriesBuffer* b = series::buffer_of(blk);
        if (b->head + (i + 1) * sizeof(Cell) > b->tail) break;
        Cell w = b->head_cell()[i];
        if (!is_arg_word(cell::type(&w))) continue;
        int32_t index;
        find_or_add_word(ctx, w.w2, true, &index);
    }
    Cell* cc = context_cell(ctx);
    if (!stack_held(cc)) {
        SeriesBuffer* vb = series::buffer_of(cc->w2);
        uint64_t need = uint64_t{word_count(ctx)} * sizeof(Cell);
        if (vb->head + need <= vb->size) vb->tail = vb->head + static_cast<uint32_t>(need);
    }
    return ctx;
}

Node clone(Cell* owner, Kind kind) {
    Cell src = *context_cell(owner->w1);
    Node ctx = make(word_count(owner->w1), stack_held(&src), (src.header & FLAG_SELF) != 0, &src, kind);
    owner->w1 = ctx;
    return ctx;
}

void make_global() {
    global = make(runtime::GLOBAL_SLOTS, false, false, nullptr, KIND_GLOBAL);
    global_values = context_cell(global)->w2;
    memory::watch(global, global_values);
}

int32_t find_word(Node ctx, uint32_t symbol, bool ci) {
    int32_t index;
    return hashtable::put_word(word_table(ctx), symbol, ci, 0, &index);
}

int32_t find_or_add_word(Node ctx, uint32_t symbol, bool ci, int32_t* index) {
    return hashtable::put_word(word_table(ctx), symbol, ci, ctx, index);
}

int32_t add_word(Node ctx, const Cell* word) {
    uint32_t symbol = word->w2;
    int32_t index = find_word(ctx, symbol, true);
    if (index >= 0) return index;
    find_or_add_word(ctx, symbol, true, &index);
    add_value_cell(ctx);
    return index;
}

void add_value(Node ctx, const Cell* word, const Cell* value) {
    Cell v = *value;
    if (find_word(ctx, word->w2, true) >= 0) return;
    int32_t index = add_word(ctx, word);
    Cell w = *word;
    *value_slot(&w, ctx, static_cast<uint32_t>(index), "not-defined") = v;
}

void put_value(Node ctx, const Cell* word, const Cell* value) {
    Cell v = *value;
    Cell w = *word;
    int32_t index = add_word(ctx, &w);
    *value_slot(&w, ctx, static_cast<uint32_t>(index), "not-defined") = v;
}

bool collect_set_words(Node ctx, const Cell* block) {
    Node blk = block->w2;
    uint32_t before = word_count(ctx);
    uint32_t len = series::buffer_of(blk)->length();
    uint32_t from = block->w1 > len ? len : block->w1;
    for (uint32_t i = from; i < series::buffer_of(blk)->length(); ++i) {
        Cell w = series::buffer_of(blk)->head_cell()[i];
        if (cell::type(&w) == TYPE_SET_WORD) add_word(ctx, &w);
    }
    return word_count(ctx) > before;
}

int32_t bind_word(Node ctx, Cell* word) {
    int32_t index = find_word(ctx, word->w2, true);
    if (index < 0) return -1;
    word->w1 = ctx;
    word->w3 = static_cast<uint32_t>(index);
    return index;
}

Cell* bind(Cell* block, Node ctx, bool self) {
    Node blk = block->w2;
    if (cycles::find(blk)) return block;
    cycles::Guard guard(blk);
    for (uint32_t i = block->w1;; ++i) {
        SeriesBuffer* b = series::buffer_of(blk);
        if (uint64_t{b->head} + (uint64_t{i} + 1) * sizeof(Cell) > b->tail) break;
        Cell* c = b->head_cell() + i;
        uint32_t t = cell::type(c);
        if (any_block(t)) {
            Cell inner = *c;
            bind(&inner, ctx, self);
        } else if (t == TYPE_WORD && self && c->w2 == words::self) {
            c->w1 = ctx;
            c->w3 = static_cast<uint32_t>(-1);
        } else if (t >= TYPE_WORD && t <= TYPE_REFINEMENT) {
            bind_word(ctx, c);
        }
    }
    return block;
}

Cell* get_value_in(const Cell* word, Node ctx) {
    int32_t index = static_cast<int32_t>(word->w3);
    if (index != -1) return value_slot(word, ctx, static_cast<uint32_t>(index), "not-in-context");
    if (word->w2 == words::self && word->w1) return owner_cell(word->w1);
    fire(ERR_SCRIPT, "no-value", word);
}

Cell* set_in(Cell* word, const Cell* value, Node ctx, bool fire_events) {
    Cell v = *value;
    int32_t index = static_cast<int32_t>(word->w3);
    if (index == -1) {
        // The binding found or made here is kept by the word, context and all.
        index = find_word(ctx, word->w2, false);
        if (index == -1) index = add_word(ctx, word);
        word->w1 = ctx;
        word->w3 = static_cast<uint32_t>(index);
    }
    Cell w = *word;
    Cell* slot = value_slot(&w, ctx, static_cast<uint32_t>(index), "not-defined");
    Cell* cc = context_cell(ctx);
    if (stack_held(cc) || kind_of(cc) != KIND_OBJECT) {
        *slot = v;
        return slot;
    }
    word_entries(ctx)[index].header |= WORD_SET_MARK;
    Cell owner = *owner_cell(ctx);
    if (!fire_events || !change_handler || cell::type(&owner) != TYPE_OBJECT || owner.w3 == 0) {
        *slot = v;
        return slot;
    }
    Cell* saved_top = stack::top;
    Cell* old = stack::push(slot);
    *slot = v;
    collector::RootedCell keep_owner(owner);
    change_handler(keep_owner.get(), &w, old, slot);
    stack::top = saved_top;
    return value_slot(&w, ctx, static_cast<uint32_t>(index), "not-defined");
}

void set_integer(Node ctx, Cell* word, int32_t value) {
    if (static_cast<int32_t>(word->w3) == -1) word->w3 = static_cast<uint32_t>(find_word(ctx, word->w2, false));
    Cell w = *word;
    if (static_cast<int32_t>(w.w3) == -1) fire(ERR_SCRIPT, "no-value", &w);
    set_integer(value_slot(&w, ctx, w.w3, "not-defined"), value);
}

Cell* get_in_symbol(uint32_t symbol, Node ctx) {
    if (stack_held(context_cell(ctx))) ctx = global;
    Cell w{TYPE_WORD, ctx, symbol, static_cast<uint32_t>(-1)};
    int32_t index = find_word(ctx, symbol, true);
    if (index < 0) fire(ERR_SCRIPT, "no-value", &w);
    return value_slot(&w, ctx, static_cast<uint32_t>(index), "not-in-context");
}

Cell* get_global_value(uint32_t symbol) { return get_in_symbol(symbol, global); }

void get_global(uint32_t symbol, Cell* target) {
    int32_t index = find_word(global, symbol, false);
    if (index < 0) {
        Cell w;
        word::make_global(symbol, &w);
        index = static_cast<int32_t>(w.w3);
    }
    Cell w{TYPE_WORD, global, symbol, static_cast<uint32_t>(index)};
    *target = *value_slot(&w, global, static_cast<uint32_t>(index), "not-in-context");
}

Cell* add_global_word(uint32_t symbol, bool ci, bool variant_copy, Cell* out) {
    int32_t index, position;
    int32_t found = hashtable::put_word(word_table(global), symbol, ci, global, &index, &position);
    Cell entry = word_entries(global)[position];
    if (found != -1) {
        if (ci && variant_copy && entry.w2 != symbol) {
            // A case variant keeps its own spelling and shares the index.
            entry.w2 = symbol;
            word::save_in_root(&entry);
        }
        *out = entry;
        return out;
    }
    if (symbol::get_alias(symbol) > 0) {
        int32_t canonical = find_word(global, symbol, true);
        word_entries(global)[position].w3 = static_cast<uint32_t>(canonical);
        entry.w3 = static_cast<uint32_t>(canonical);
    }
    add_value_cell(global);
    *out = entry;
    return out;
}

void set_change_handler(ChangeHandler h) { change_handler = h; }

void init() {
    datatypes::register_default(TYPE_CONTEXT);
}

}  // namespace zel::context
