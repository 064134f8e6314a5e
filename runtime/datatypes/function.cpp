// function! and routine!: spec validation, making, argument descriptors,
// reflection, form, mold and compare.
#include "runtime/cycles.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/native.h"
#include <string>
#include <vector>
#include "runtime/actions.h"
#include "runtime/datatypes/row.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/word.h"
#include "runtime/collector.h"
#include "runtime/errors.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/memory.h"
#include "runtime/stack.h"
#include "runtime/words.h"

namespace zel::function {

namespace {

inline bool is_arg_word(uint32_t t) { return t == TYPE_WORD || t == TYPE_GET_WORD || t == TYPE_LIT_WORD; }
inline bool is_spec_word(uint32_t t) { return is_arg_word(t) || t == TYPE_REFINEMENT; }
inline bool same_symbol(const Cell* w, uint32_t sym) { return symbol::resolve(w->w2) == symbol::resolve(sym); }

[[noreturn]] void bad_def(const Cell* spec) { fire(ERR_SCRIPT, "bad-func-def", spec); }

// Each element of a type block is a datatype, a typeset or a word (a word
// stands for its value, which must be one of these).
void check_types(const Cell* types) {
    Cell blk = *types;
    for (Cell* p = block::rs_head(&blk); p < block::rs_tail(&blk); ++p) {
        Cell el = *p;
        const Cell* v = &el;
        if (cell::type(&el) == TYPE_WORD) {
            v = context::get(&el);
            if (cell::type(v) == TYPE_UNSET) fire(ERR_SCRIPT, "no-value", &el);
        }
        uint32_t t = cell::type(v);
        if (t != TYPE_DATATYPE && t != TYPE_TYPESET && t != TYPE_WORD) fire(ERR_SCRIPT, "invalid-type-spec", &el);
    }
}

uint32_t parse_attributes(const Cell* attrs, const Cell* spec) {
    uint32_t flags = 0;
    Cell blk = *attrs;
    for (Cell* p = block::rs_head(&blk); p < block::rs_tail(&blk); ++p) {
        if (cell::type(p) != TYPE_WORD) bad_def(spec);
        uint32_t s = symbol::resolve(p->w2);
        if (s == words::trace) flags |= FLAG_TRACE;
        else if (s == words::no_trace) flags |= FLAG_NO_TRACE;
    }
    return flags;
}

void check_duplicates(const Cell* spec) {
    Cell blk = *spec;
    Cell* head = block::rs_head(&blk);
    Cell* tail = block::rs_tail(&blk);
    for (Cell* p = head; p < tail; ++p) {
        if (!is_spec_word(cell::type(p))) continue;
        for (Cell* q = head; q < p; ++q)
            if (is_spec_word(cell::type(q)) && same_symbol(q, p->w2)) {
                Cell dup = *p;
                fire(ERR_SCRIPT, "dup-vars", &dup);
            }
    }
}

inline uint32_t type_at(Cell* p, Cell* tail) { return p < tail ? cell::type(p) : TYPE_NULL; }

}  // namespace

uint32_t check_spec(const Cell* spec_in) {
    Cell spec = *spec_in;
    Cell* p = block::rs_head(&spec);
    Cell* tail = block::rs_tail(&spec);
    uint32_t flags = 0;
    if (p < tail && cell::type(p) == TYPE_BLOCK) {
        flags = parse_attributes(p, &spec);
        ++p;
    }
    bool seen_return = false, seen_local = false;
    while (p < tail) {
        uint32_t t = cell::type(p);
        if (is_arg_word(t)) {
            if (seen_local && t != TYPE_WORD) bad_def(&spec);
            if (type_at(p + 1, tail) == TYPE_STRING && type_at(p + 2, tail) == TYPE_BLOCK) bad_def(&spec);
            if (seen_return && !seen_local) bad_def(&spec);
            ++p;
            if (type_at(p, tail) == TYPE_BLOCK) {
                check_types(p);
                ++p;
            }
        } else if (t == TYPE_SET_WORD) {
            if (symbol::resolve(p->w2) != symbol::resolve(words::return_) || seen_return || seen_local) bad_def(&spec);
            if (type_at(p + 1, tail) != TYPE_BLOCK) bad_def(&spec);
            uint32_t after = type_at(p + 2, tail);
            if (after != TYPE_NULL && after != TYPE_REFINEMENT && after != TYPE_STRING) bad_def(&spec);
            p += 2;
            seen_return = true;
        } else if (t == TYPE_REFINEMENT) {
            if (same_symbol(p, words::_local_ref.w2)) seen_local = true;
            else if (seen_local || seen_return) bad_def(&spec);
            uint32_t next = type_at(p + 1, tail);
            if (next != TYPE_NULL && !is_spec_word(next) && next != TYPE_SET_WORD && next != TYPE_STRING) bad_def(&spec);
            ++p;
        } else if (t == TYPE_STRING) {
            ++p;
        } else {
            bad_def(&spec);
        }
    }
    check_duplicates(&spec);
    return flags;
}

Node make_context(const Cell* spec_in, const Cell* body_in, Node ctx, uint32_t flags) {
    Cell spec = *spec_in;
    Cell body = body_in ? *body_in : Cell{TYPE_NONE, 0, 0, 0};
    collector::Root keep_spec(&spec);
    collector::Root keep_body(&body);
    if (block::rs_length_q(&spec) < 0) spec.w1 = series::buffer_of(&spec)->length();
    if (spec.w1 > 0) {
        Cell* copy = block::clone(&spec, false, false);
        spec = *copy;
        stack::pop(1);
    }
    Cell more;
    set_series(&more, TYPE_BLOCK, series::alloc_cells(MORE_CELLS));
    collector::Root keep_more(&more);
    for (uint32_t i = 0; i < MORE_CELLS; ++i) series::alloc_tail_cell(more.w2);
    bool made_here = ctx == 0;
    if (made_here) ctx = context::make_from_words(&spec, true, false, context::KIND_FUNCTION);
    Cell fn{TYPE_FUNCTION | flags, ctx, spec.w2, more.w2};
    *context::owner_cell(ctx) = fn;
    if (cell::type(&body) == TYPE_BLOCK) {
        Cell* copy = block::clone(&body, true, true);
        body = *copy;
        stack::pop(1);
        if (made_here) context::bind(&body, ctx, false);
        series::buffer_of(&more)->head_cell()[0] = body;
    } else {
        set_none(series::buffer_of(&more)->head_cell());
    }
    interpreter::build_arg_list(&fn);
    stack::push(&fn);
    return ctx;
}

Cell* make(Cell*, Cell* spec, uint32_t) {
    Cell arg = *spec;
    if (cell::type(&arg) != TYPE_BLOCK || block::rs_length_q(&arg) < 2) bad_def(&arg);
    Cell* h = block::rs_head(&arg);
    if (cell::type(h) != TYPE_BLOCK || cell::type(h + 1) != TYPE_BLOCK) bad_def(&arg);
    Cell s = h[0], b = h[1];
    uint32_t flags = check_spec(&s);
    make_context(&s, &b, 0, flags);
    return stack::top_cell();
}

int32_t count_locals(Node spec, int32_t start, bool require) {
    SeriesBuffer* b = series::buffer_of(spec);
    Cell* p = b->head_cell() + start;
    Cell* tail = b->tail_cell();
    for (; p < tail; ++p)
        if (cell::type(p) == TYPE_REFINEMENT && same_symbol(p, words::_local_ref.w2)) break;
    if (p >= tail) return require ? -1 : 0;
    int32_t n = 1;
    for (++p; p < tail; ++p)
        if (cell::type(p) == TYPE_WORD) ++n;
    return n;
}

void push_refinement_off(int32_t n) {
    set_logic(stack::push_new(), false);
    for (int32_t i = 1; i < n; ++i) set_none(stack::push_new());
}

Node build_arg_list(const Cell* fn) {
    bool native = cell::type(fn) == TYPE_NATIVE || cell::type(fn) == TYPE_ACTION;
    Cell list;
    block::make_at(&list, 8);
    collector::Root keep_list(&list);
    // Cell 0 is kept for the caller's summary of the list (see the header).
    Cell summary{TYPE_NONE, 0, 0, 0};
    block::append_copy(&list, &summary);
    Cell spec;
    set_series(&spec, TYPE_BLOCK, fn->w2);
    collector::Root keep_spec(&spec);
    uint32_t len = series::buffer_of(&spec)->length();
    uint32_t ctx_index = 0;  // index of the current word in the function's context
    int32_t refinements = 0;
    for (uint32_t i = 0; i < len; ++i) {
        Cell v = series::buffer_of(&spec)->head_cell()[i];
        uint32_t t = cell::type(&v);
        Cell next{TYPE_NULL, 0, 0, 0};
        if (i + 1 < len) next = series::buffer_of(&spec)->head_cell()[i + 1];
        bool typed = cell::type(&next) == TYPE_BLOCK && block::rs_length_q(&next) > 0;
        if (is_arg_word(t) || t == TYPE_SET_WORD) {
            uint32_t kind = t == TYPE_GET_WORD ? 1 : t == TYPE_LIT_WORD ? 2 : t == TYPE_SET_WORD ? 3 : 0;
            if (t == TYPE_SET_WORD && symbol::resolve(v.w2) != symbol::resolve(words::return_)) bad_def(&v);
            Cell* d = typed ? typeset::make_from_block(&list, &next) : typeset::push(&list);
            // The new cell may have moved with the list; find it at the tail.
            d = block::rs_tail(&list) - 1;
            d->header = (d->header & ~(3u << 20)) | kind << 20;
            if (t != TYPE_SET_WORD) ++ctx_index;
        } else if (t == TYPE_REFINEMENT) {
            if (same_symbol(&v, words::_local_ref.w2)) {
                int32_t n = 0;
                for (uint32_t j = i; j < len && cell::type(series::buffer_of(&spec)->head_cell() + j) != TYPE_SET_WORD; ++j) ++n;
                Cell count;
                set_integer(&count, n);
                if (n > 0) block::append_copy(&list, &count);
                break;
            }
            Cell r = v;
            r.header &= ~FLAG_NEW_LINE;
            r.w3 = native ? static_cast<uint32_t>(++refinements) : ctx_index;
            block::append_copy(&list, &r);
            ++ctx_index;
        }
    }
    if (native && refinements > 0) {
        Cell count;
        set_integer(&count, refinements);
        block::append_copy(&list, &count);
    }
    return list.w2;
}

void arg_word(const Cell* fn, int n, Cell* out) {
    *out = words::_anon_tag;
    uint32_t t = cell::type(fn);
    if (t != TYPE_FUNCTION && t != TYPE_ROUTINE && t != TYPE_NATIVE && t != TYPE_ACTION && t != TYPE_OP) return;
    SeriesBuffer* b = series::buffer_of(fn->w2);
    int k = 0;
    for (Cell* p = b->head_cell(); p < b->tail_cell(); ++p) {
        if (is_spec_word(cell::type(p)) && ++k == n) {
            *out = *p;
            out->header = TYPE_WORD;
            return;
        }
    }
}

Cell* reflect(Cell* fn, uint32_t field) {
    uint32_t f = symbol::resolve(field);
    Cell* result = stack::arguments;
    if (f == symbol::resolve(words::spec)) {
        set_series(result, TYPE_BLOCK, fn->w2);
    } else if (f == symbol::resolve(words::body)) {
        *result = series::buffer_of(fn->w3)->head_cell()[0];
    } else if (f == symbol::resolve(words::words_)) {
        Node ctx = fn->w1;
        Cell* copy = block::make_at(result, static_cast<int32_t>(context::word_count(ctx)));
        Cell blk = *copy;
        for (uint32_t i = 0; i < context::word_count(ctx); ++i) {
            Cell w = context::word_entries(ctx)[i];
            w.header = TYPE_WORD;
            w.w1 = ctx;
            w.w3 = i;
            block::append_copy(&blk, &w);
        }
        *result = blk;
    } else {
        fire(ERR_INTERNAL, "not-done");
    }
    return result;
}

int32_t form(Cell*, Cell* buffer, Cell*, int32_t part) {
    string::concatenate_literal(buffer, "?function?");
    return part - 10;
}

int32_t mold_with_prefix(const char* prefix, Cell* value, Cell* buffer, bool all, bool flat, Cell* arg,
                             int32_t part, int32_t indent) {
    string::concatenate_literal(buffer, prefix);
    part -= static_cast<int32_t>(std::char_traits<char>::length(prefix));
    Cell spec;
    set_series(&spec, TYPE_BLOCK, value->w2);
    part = actions::mold(&spec, buffer, false, all, flat, arg, part, indent);
    Cell body = series::buffer_of(value->w3)->head_cell()[0];
    if (cell::type(&body) == TYPE_BLOCK) return actions::mold(&body, buffer, false, all, flat, arg, part, indent);
    string::concatenate_literal(buffer, " ");
    return actions::mold(&body, buffer, false, all, flat, arg, part - 1, indent);
}

int32_t mold(Cell* value, Cell* buffer, bool, bool all, bool flat, Cell* arg, int32_t part, int32_t indent) {
    return mold_with_prefix("func ", value, buffer, all, flat, arg, part, indent);
}

int32_t compare(Cell* value1, Cell* value2, int32_t op) {
    return native::compare_identity(value1, value2, op, value1->w3, value2->w3);
}

void init() {
    datatypes::register_row(TYPE_FUNCTION, TYPE_CONTEXT, "function!", nullptr,
                            {{ACT_MAKE, actions::entry(make)}, {ACT_REFLECT, actions::entry(reflect)},
                             {ACT_FORM, actions::entry(form)}, {ACT_MOLD, actions::entry(mold)},
                             {ACT_COMPARE, actions::entry(compare)}});
}

}  // namespace zel::function

namespace zel::routine {

namespace {
struct Registered {
    std::string name;
    Body body;
};
std::vector<Registered>& registry() {
    static std::vector<Registered> r;
    return r;
}
}  // namespace

void register_body(const char* name, Body body) {
    for (Registered& r : registry())
        if (r.name == name) {
            r.body = body;
            return;
        }
    registry().push_back({name, body});
}

uint32_t body_number(const char* name) {
    for (size_t i = 0; i < registry().size(); ++i)
        if (registry()[i].name == name) return static_cast<uint32_t>(i + 1);
    return 0;
}

Body body_at(uint32_t number) {
    return number >= 1 && number <= registry().size() ? registry()[number - 1].body : nullptr;
}

Cell* push_new(const Cell* spec_in, const char* body_name) {
    uint32_t number = body_number(body_name);
    Cell spec = *spec_in;
    if (!number) fire(ERR_SCRIPT, "invalid-arg", &spec);
    function::check_spec(&spec);
    Node ctx = function::make_context(&spec, nullptr, 0, 0);
    Cell* r = stack::top_cell();
    Cell* more = series::buffer_of(r->w3)->head_cell();
    set_integer(more + 2, static_cast<int32_t>(number));
    set_integer(more + 4, -1);
    uint32_t arity = 0;
    for (Cell* p = block::rs_head(&spec); p < block::rs_tail(&spec); ++p)
        if (cell::type(p) == TYPE_WORD) ++arity;
    r->header = TYPE_ROUTINE | (arity & 0x1F) << 25;
    *context::owner_cell(ctx) = *r;
    return r;
}

int32_t form(Cell*, Cell* buffer, Cell*, int32_t part) {
    string::concatenate_literal(buffer, "?routine?");
    return part - 9;
}

int32_t mold(Cell* value, Cell* buffer, bool, bool all, bool flat, Cell* arg, int32_t part, int32_t indent) {
    return function::mold_with_prefix("routine ", value, buffer, all, flat, arg, part, indent);
}

void init() {
    datatypes::register_row(TYPE_ROUTINE, TYPE_FUNCTION, "routine!", datatype::INHERIT,
                            {{ACT_MAKE, nullptr}, {ACT_FORM, actions::entry(form)}, {ACT_MOLD, actions::entry(mold)},
                             {ACT_COMPARE, actions::entry(function::compare)}});
}

}  // namespace zel::routine

namespace zel::function {

namespace {

// Adds a word to the locals unless the ignore list has it (compared as
// words are by default: case-insensitively).
void add_local(Cell* result, Cell* ignore, const Cell* w) {
    uint32_t s = symbol::resolve(w->w2);
    for (Cell* p = block::rs_head(ignore); p < block::rs_tail(ignore); ++p)
        if (word::any_word_q(cell::type(p)) && symbol::resolve(p->w2) == s) return;
    Cell copy = *w;
    copy.header = TYPE_WORD;
    block::append_copy(result, &copy);
    block::append_copy(ignore, &copy);
}

void collect_body(Cell* result, Cell* ignore, const Cell* body) {
    Cell blk = *body;
    Pin pin(&blk);
    // A block met again inside itself has nothing new: it is not walked twice.
    cycles::Guard inside(blk.w2);
    Cell* p = block::rs_head(&blk);
    Cell* tail = block::rs_tail(&blk);
    for (; p < tail; ++p) {
        uint32_t t = cell::type(p);
        if (t == TYPE_SET_WORD) {
            add_local(result, ignore, p);
        } else if (t == TYPE_WORD && p + 1 < tail) {
            uint32_t s = symbol::resolve(p->w2);
            Cell* next = p + 1;
            uint32_t nt = cell::type(next);
            if (s == symbol::resolve(words::foreach) || s == symbol::resolve(words::remove_each)) {
                if (nt == TYPE_BLOCK) {
                    Cell inner = *next;
                    for (Cell* q = block::rs_head(&inner); q < block::rs_tail(&inner); ++q) {
                        uint32_t qt = cell::type(q);
                        if (qt == TYPE_WORD || qt == TYPE_GET_WORD || qt == TYPE_LIT_WORD) add_local(result, ignore, q);
                    }
                } else if (nt == TYPE_WORD || nt == TYPE_SET_WORD) {
                    add_local(result, ignore, next);
                }
            } else if (s == symbol::resolve(words::repeat) && (nt == TYPE_WORD || nt == TYPE_SET_WORD)) {
                add_local(result, ignore, next);
            }
        } else if ((t == TYPE_BLOCK || t == TYPE_PAREN) && !cycles::find(p->w2)) {
            collect_body(result, ignore, p);
        }
    }
}

}  // namespace

Cell* collect_words(Cell* spec, Cell* body) {
    Cell result, ignore;
    block::make_at(&result, 8);
    collector::Root keep_result(&result);
    Cell* copy = block::clone(spec, false, false);
    ignore = *copy;
    stack::pop(1);
    collector::Root keep_ignore(&ignore);
    // /extern words are never made local (they stay in the ignore list); the
    // words of a /local after them are kept as locals; the spec is cut at /extern.
    Cell* head = block::rs_head(spec);
    Cell* tail = block::rs_tail(spec);
    bool has_extern = false;
    for (Cell* p = head; p < tail; ++p) {
        if (cell::type(p) != TYPE_REFINEMENT || !same_symbol(p, words::_extern_ref.w2)) continue;
        has_extern = true;
        uint32_t at = static_cast<uint32_t>(p - series::buffer_of(spec)->head_cell());
        Cell* q = p + 1;
        while (q < tail && cell::type(q) == TYPE_WORD) ++q;
        if (q < tail && cell::type(q) == TYPE_REFINEMENT && same_symbol(q, words::_local_ref.w2)) {
            for (++q; q < tail; ++q) {
                if (cell::type(q) != TYPE_WORD) continue;
                Cell w = *q;
                block::append_copy(&result, &w);
            }
        }
        block::set_tail_at(spec, at);
        break;
    }
    if (has_extern) {
        for (Cell* p = block::rs_head(&ignore); p < block::rs_tail(&ignore); ++p) {
            uint32_t t = cell::type(p);
            bool ok = t == TYPE_WORD || t == TYPE_BLOCK || t == TYPE_STRING || t == TYPE_SET_WORD ||
                      t == TYPE_LIT_WORD || t == TYPE_GET_WORD || t == TYPE_REFINEMENT;
            if (!ok) {
                Cell bad = *p;
                fire(ERR_SCRIPT, "bad-func-extern", &bad);
            }
        }
    }
    for (Cell* p = block::rs_head(&ignore); p < block::rs_tail(&ignore); ++p) {
        uint32_t t = cell::type(p);
        if (t == TYPE_SET_WORD || t == TYPE_LIT_WORD || t == TYPE_GET_WORD || t == TYPE_REFINEMENT) p->header = TYPE_WORD;
    }
    collect_body(&result, &ignore, body);
    if (block::rs_length_q(&result) > 0) {
        bool has_local = false;
        for (Cell* p = block::rs_head(spec); p < block::rs_tail(spec); ++p)
            if (cell::type(p) == TYPE_REFINEMENT && same_symbol(p, words::_local_ref.w2)) has_local = true;
        if (!has_local) block::append_copy(spec, &words::_local_ref);
        for (Cell* p = block::rs_head(&result); p < block::rs_tail(&result); ++p) {
            if (symbol::resolve(p->w2) == symbol::resolve(words::_local_ref.w2)) continue;
            Cell w = *p;
            block::append_copy(spec, &w);
        }
    }
    return stack::push(&result);
}

}  // namespace zel::function
