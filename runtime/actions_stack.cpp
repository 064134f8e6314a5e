// The stack entries: each reads its arguments from the arguments base and
// its refinements from their positions, normalises the counts that need it,
// calls the typed entry and leaves the result in the arguments base.
#include "runtime/actions_stack.h"
#include "runtime/cells.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/emit.h"
#include "runtime/datatypes/series.h"
#include "runtime/errors.h"
#include "runtime/heap.h"
#include "runtime/names.h"
#include "runtime/stack.h"

namespace zel::actions {

namespace {

inline Cell* base() { return stack::arguments; }
// The argument cell of a refinement, or null when it was not used.
inline Cell* ref_arg(const int32_t* refs, int i) { return refs[i] < 0 ? nullptr : stack::arguments + refs[i]; }
inline bool flag(const int32_t* refs, int i) { return refs[i] >= 0; }
inline void result(const Cell* c) { stack::set_last(c); }

// The actions whose implementations work on the stack themselves.
inline void on_stack(int slot) { typed<StackFn>(get_action_first_arg(slot))(); }
inline void unary(int slot) { result(typed<UnaryFn>(get_action_first_arg(slot))(base())); }

// A /dup or /part count given as a number.
inline int64_t count_of(const Cell* c) { return number::to_integer(c); }

// The count /part of append and insert stands for, over the appended value
// (whose head may move back for a negative count); false when nothing is
// to be added.
bool append_part(Cell* value, const Cell* part, int32_t* count) {
    uint32_t vt = cell::type(value);
    if (!(any_series(vt) || vt == TYPE_MAP) || value->w2 == 0) fire(ERR_SCRIPT, "invalid-part", part);
    series::get_length(value, false);
    int64_t n;
    if (cell::type(part) == TYPE_INTEGER) {
        n = cell::get_int(part);
    } else {
        if (cell::type(part) != vt || part->w2 != value->w2 || vt == TYPE_PORT) series::bad_refine("part", part);
        n = static_cast<int64_t>(static_cast<int32_t>(part->w1)) - static_cast<int32_t>(value->w1);
    }
    if (n == 0 || (n < 0 && value->w1 == 0)) return false;
    if (n < 0) {
        int64_t head = static_cast<int32_t>(value->w1);
        int64_t from = head + n < 0 ? 0 : head + n;
        n = head - from;
        value->w1 = static_cast<uint32_t>(from);
    }
    *count = static_cast<int32_t>(n);
    return true;
}

[[gnu::noinline]] void append_or_insert(const int32_t* refs, bool at_tail) {
    Cell* s = base();
    Cell* value = s + 1;
    if (!at_tail && any_series(cell::type(s))) series::get_length(s, false);
    int32_t part = -1;
    if (Cell* p = ref_arg(refs, 0)) {
        if (!append_part(value, p, &part)) return;
    }
    int64_t dup = 1;
    if (Cell* d = ref_arg(refs, 2)) {
        dup = count_of(d);
        if (dup < 1) return;
    }
    bool only = flag(refs, 1);
    int32_t dup32 = static_cast<int32_t>(dup);
    result(at_tail ? append(s, value, part, only, dup32) : insert(s, value, part, only, dup32));
}

// form and mold: the output string on the stack, cut to the /part limit.
template <typename Call>
void text_out(Cell* part, Call call) {
    int32_t limit = NO_LIMIT;
    if (part) {
        limit = static_cast<int32_t>(count_of(part));
        if (limit < 1) {
            emit::make_buffer(base(), 1);
            return;
        }
    }
    Cell* out = stack::push_new();
    emit::make_buffer(out, 16);
    call(out, limit);
    if (part) emit::truncate(out, static_cast<uint32_t>(limit));
    result(out);
}

}  // namespace

ActionFn* entry_table = nullptr;
StackEntry plain_table[ACTION_SLOTS] = {};

void make_stack(const int32_t*) { result(make(base(), base() + 1)); }
void to_stack(const int32_t*) { result(to(base(), base() + 1)); }
void random_stack(const int32_t* r) { result(random(base(), flag(r, 0), flag(r, 1), flag(r, 2))); }
void reflect_stack(const int32_t*) { result(reflect(base(), (base() + 1)->w2)); }

void form_stack(const int32_t* r) {
    Cell* part = ref_arg(r, 0);
    text_out(part, [&](Cell* out, int32_t limit) { form(base(), out, part, limit); });
}

void mold_stack(const int32_t* r) {
    Cell* part = ref_arg(r, 3);
    text_out(part, [&](Cell* out, int32_t limit) {
        mold(base(), out, flag(r, 0), flag(r, 1), flag(r, 2), part, limit, 0);
    });
}

void eval_path_stack(const int32_t* r) {
    Cell* value = flag(r, 0) ? base() + 2 : nullptr;
    result(eval_path(base(), base() + 1, value, nullptr, nullptr, nullptr, -1, false, false, true, false));
}

void absolute_stack(const int32_t*) { on_stack(ACT_ABSOLUTE); }
void add_stack(const int32_t*) { on_stack(ACT_ADD); }
void divide_stack(const int32_t*) { on_stack(ACT_DIVIDE); }
void multiply_stack(const int32_t*) { on_stack(ACT_MULTIPLY); }
void negate_stack(const int32_t*) { unary(ACT_NEGATE); }
void power_stack(const int32_t*) { on_stack(ACT_POWER); }
void remainder_stack(const int32_t*) { on_stack(ACT_REMAINDER); }
void subtract_stack(const int32_t*) { on_stack(ACT_SUBTRACT); }

void round_stack(const int32_t* r) {
    result(round(base(), ref_arg(r, 0), flag(r, 1), flag(r, 2), flag(r, 3), flag(r, 4), flag(r, 5), flag(r, 6)));
}

void even_q_stack(const int32_t*) { set_logic(base(), even_q(base())); }
void odd_q_stack(const int32_t*) { set_logic(base(), odd_q(base())); }
void and_t_stack(const int32_t*) { on_stack(ACT_AND_T); }
void complement_stack(const int32_t*) { unary(ACT_COMPLEMENT); }
void or_t_stack(const int32_t*) { on_stack(ACT_OR_T); }
void xor_t_stack(const int32_t*) { on_stack(ACT_XOR_T); }

namespace {
// append without /part and /dup: nothing needs normalising. A target whose
// append is the block family's, the commonest, is handed straight to its
// way for a whole value (a port's takes the general lookup), which returns
// the target itself: the result is in place. A block!, the commonest
// target of all, has that append in its own row: its row is not looked at.
[[gnu::always_inline]] inline void append_whole_value(bool only) {
    Cell* s = base();
    uint32_t t = cell::type(s);
    if (t == TYPE_BLOCK ||
        (t != TYPE_PORT && t < TYPE_TABLE_ROWS && datatype::action(t, ACT_APPEND) == entry(block::append))) {
        // One value that fits is written here; the rest (spread values, a
        // full buffer, an owner to tell) take the block's own way.
        if (only || !any_block(cell::type(s + 1))) {
            if (block::append_in_room(s, s + 1)) return;
        }
        block::append_whole(s, s + 1, only);
        return;
    }
    result(append(s, s + 1, -1, only, 1));
}
}  // namespace

void append_stack(const int32_t* r) {
    if (r[0] < 0 && r[2] < 0) {
        append_whole_value(flag(r, 1));
        return;
    }
    append_or_insert(r, true);
}
void append_plain(const int32_t*) { append_whole_value(false); }

void at_stack(const int32_t*) { on_stack(ACT_AT); }
void back_stack(const int32_t*) { on_stack(ACT_BACK); }
void insert_stack(const int32_t* r) { append_or_insert(r, false); }

// /part counts over the changed series itself.
void change_stack(const int32_t* r) {
    Cell* s = base();
    uint32_t st = cell::type(s);
    bool fixed_shape = st == TYPE_PORT || st == TYPE_IMAGE;
    int32_t part = -1;
    if (Cell* p = ref_arg(r, 0)) {
        if (!fixed_shape) series::get_length(s, false);
        int64_t n;
        if (cell::type(p) == TYPE_INTEGER) {
            n = cell::get_int(p);
        } else {
            if (cell::type(p) != st || p->w2 != s->w2 || fixed_shape) series::bad_refine("part", p);
            n = static_cast<int64_t>(static_cast<int32_t>(p->w1)) - static_cast<int32_t>(s->w1);
        }
        if (n < 0) {
            if (fixed_shape) {
                n = 0;
            } else {
                int64_t head = static_cast<int32_t>(s->w1);
                int64_t from = head + n < 0 ? 0 : head + n;
                n = head - from;
                s->w1 = static_cast<uint32_t>(from);
            }
        }
        part = static_cast<int32_t>(n);
    }
    int64_t dup = 1;
    if (Cell* d = ref_arg(r, 2)) {
        dup = count_of(d);
        if (dup < 1) return;
    }
    result(change(s, s + 1, part, flag(r, 1), static_cast<int32_t>(dup)));
}

void clear_stack(const int32_t*) { result(clear(base())); }

void copy_stack(const int32_t* r) {
    Cell* types = ref_arg(r, 2);
    if (types && cell::type(types) != TYPE_DATATYPE && cell::type(types) != TYPE_TYPESET) {
        Cell fn_word, type_cell, arg_word;
        errors::caller_word(&fn_word);
        set_datatype(&type_cell, cell::type(types));
        names::word("kind", &arg_word);
        fire(ERR_SCRIPT, "expect-arg", &fn_word, &type_cell, &arg_word);
    }
    Cell* out = set_unset(stack::push_new());
    result(copy(base(), out, ref_arg(r, 0), flag(r, 1), types));
}

void find_stack(const int32_t* r) {
    result(find(base(), base() + 1, ref_arg(r, 0), flag(r, 1), flag(r, 2), flag(r, 3), flag(r, 4), ref_arg(r, 5),
                ref_arg(r, 6), flag(r, 7), flag(r, 8), flag(r, 9), flag(r, 10)));
}

void head_stack(const int32_t*) { on_stack(ACT_HEAD); }
void head_q_stack(const int32_t*) { on_stack(ACT_HEAD_Q); }
void index_q_stack(const int32_t*) { on_stack(ACT_INDEX_Q); }

void length_q_stack(const int32_t*) {
    int32_t n = length_q(base());
    if (n < 0) set_none(base());
    else set_integer(base(), n);
}

void move_stack(const int32_t* r) { result(move(base(), base() + 1, ref_arg(r, 0))); }
void next_stack(const int32_t*) { on_stack(ACT_NEXT); }
void pick_stack(const int32_t*) { result(pick(base(), index_arg(), base() + 1)); }
void poke_stack(const int32_t*) { result(poke(base(), index_arg(), base() + 2, base() + 1)); }
void put_stack(const int32_t* r) { result(put(base(), base() + 1, base() + 2, flag(r, 0))); }
void remove_stack(const int32_t* r) { result(remove(base(), ref_arg(r, 0), ref_arg(r, 1))); }
void reverse_stack(const int32_t* r) { result(reverse(base(), ref_arg(r, 0), ref_arg(r, 1))); }

void select_stack(const int32_t* r) {
    result(select(base(), base() + 1, ref_arg(r, 0), flag(r, 1), flag(r, 2), flag(r, 3), flag(r, 4), ref_arg(r, 5),
                  ref_arg(r, 6), flag(r, 7), flag(r, 8)));
}

void sort_stack(const int32_t* r) {
    result(sort(base(), flag(r, 0), ref_arg(r, 1), ref_arg(r, 2), ref_arg(r, 3), flag(r, 4), flag(r, 5), flag(r, 6)));
}

void skip_stack(const int32_t*) { on_stack(ACT_SKIP); }
void swap_stack(const int32_t*) { result(swap(base(), base() + 1)); }
void tail_stack(const int32_t*) { on_stack(ACT_TAIL); }
void tail_q_stack(const int32_t*) { on_stack(ACT_TAIL_Q); }
void take_stack(const int32_t* r) { result(take(base(), ref_arg(r, 0), flag(r, 1), flag(r, 2))); }

void trim_stack(const int32_t* r) {
    result(trim(base(), flag(r, 0), flag(r, 1), flag(r, 2), flag(r, 3), flag(r, 4), ref_arg(r, 5)));
}

void create_stack(const int32_t*) { unary(ACT_CREATE); }
void close_stack(const int32_t*) { unary(ACT_CLOSE); }
void delete_stack(const int32_t*) { unary(ACT_DELETE); }
void modify_stack(const int32_t* r) { result(modify(base(), base() + 1, base() + 2, flag(r, 0))); }

void open_stack(const int32_t* r) {
    auto fn = typed<OpenFn>(get_action_first_arg(ACT_OPEN));
    result(fn(base(), flag(r, 0), flag(r, 1), flag(r, 2), flag(r, 3), ref_arg(r, 4)));
}

void open_q_stack(const int32_t*) { unary(ACT_OPEN_Q); }
void query_stack(const int32_t*) { unary(ACT_QUERY); }

void read_stack(const int32_t* r) {
    auto fn = typed<ReadFn>(get_action_first_arg(ACT_READ));
    result(fn(base(), ref_arg(r, 0), ref_arg(r, 1), flag(r, 2), flag(r, 3), flag(r, 4), ref_arg(r, 5)));
}

void rename_stack(const int32_t*) {
    auto fn = typed<RenameFn>(get_action_first_arg(ACT_RENAME));
    result(fn(base(), base() + 1));
}

void update_stack(const int32_t*) { unary(ACT_UPDATE); }

void write_stack(const int32_t* r) {
    auto fn = typed<WriteFn>(get_action_first_arg(ACT_WRITE));
    result(fn(base(), base() + 1, flag(r, 0), flag(r, 1), flag(r, 2), flag(r, 3), ref_arg(r, 4), ref_arg(r, 5),
              ref_arg(r, 6), ref_arg(r, 7)));
}

void compare_to_logic(int32_t op) { set_logic(base(), compare(base(), base() + 1, op)); }

void table_fill(int count, const ActionFn* list) {
    for (int k = 0; k < count && k < ACTION_SLOTS; ++k) {
        entry_table[k] = list[k];
        plain_table[k] = list[k] == entry(append_stack) ? &append_plain : reinterpret_cast<StackEntry>(list[k]);
    }
}

void init() {
    if (!entry_table) entry_table = static_cast<ActionFn*>(sys::alloc_zero(ACTION_SLOTS * sizeof(ActionFn)));
    const ActionFn list[ACTION_SLOTS] = {
        entry(make_stack), entry(random_stack), entry(reflect_stack), entry(to_stack), entry(form_stack),
        entry(mold_stack), entry(eval_path_stack), nullptr, entry(compare), entry(absolute_stack),
        entry(add_stack), entry(divide_stack), entry(multiply_stack), entry(negate_stack), entry(power_stack),
        entry(remainder_stack), entry(round_stack), entry(subtract_stack), entry(even_q_stack),
        entry(odd_q_stack), entry(and_t_stack), entry(complement_stack), entry(or_t_stack), entry(xor_t_stack),
        entry(append_stack), entry(at_stack), entry(back_stack), entry(change_stack), entry(clear_stack),
        entry(copy_stack), entry(find_stack), entry(head_stack), entry(head_q_stack), entry(index_q_stack),
        entry(insert_stack), entry(length_q_stack), entry(move_stack), entry(next_stack), entry(pick_stack),
        entry(poke_stack), entry(put_stack), entry(remove_stack), entry(reverse_stack), entry(select_stack),
        entry(sort_stack), entry(skip_stack), entry(swap_stack), entry(tail_stack), entry(tail_q_stack),
        entry(take_stack), entry(trim_stack), entry(create_stack), entry(close_stack), entry(delete_stack),
        entry(modify_stack), entry(open_stack), entry(open_q_stack), entry(query_stack), entry(read_stack),
        entry(rename_stack), entry(update_stack), entry(write_stack),
    };
    table_fill(ACTION_SLOTS, list);
}

}  // namespace zel::actions
