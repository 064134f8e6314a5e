// Natives of values and calls: get, set, print, prin, the comparisons,
// not, type?, reduce, the function makers and the non-local exits.
#include "runtime/actions.h"
#include "runtime/collector.h"
#include "runtime/datatype.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/money.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/datatypes/word.h"
#include "runtime/datatypes/native.h"
#include "runtime/evaluator/trace.h"
#include "runtime/evaluator/lexer.h"
#include "runtime/evaluator/natives_list.h"
#include "runtime/evaluator/natives_support.h"
#include "runtime/memory.h"
#include "runtime/ownership.h"
#include "runtime/print.h"
#include "runtime/words.h"

namespace zel::natives {

namespace {

void get_(const int32_t* refs) {
    Cell w = *arg(0);
    bool any = ref(refs, 0);
    uint32_t t = cell::type(&w);
    if (series::any_path(t)) {
        Cell* cursor = &w;
        interpreter::eval_path(cursor, cursor + 1, cursor + 1, nullptr, false, true, false, ref(refs, 1));
        return;
    }
    Cell v = *context::get(&w);
    if (!any && cell::type(&v) == TYPE_UNSET) fire(ERR_SCRIPT, "no-value", &w);
    result(&v);
}

// Sets each word of a block from the values of a block (or every word to
// one value). Every element must be a word; an unset value needs /any;
// with /some a none value leaves its word as it was.
void set_words(const Cell* words_blk, const Cell* value, bool any, bool only, bool some) {
    Cell wb = *words_blk;
    Pin pin(&wb);
    Cell* p = block::rs_head(&wb);
    Cell* tail = block::rs_tail(&wb);
    bool from_block = cell::type(value) == TYPE_BLOCK && !only;
    Cell vb = *value;
    int32_t count = from_block ? block::rs_length_q(&vb) : 0;
    auto item_at = [&](int32_t i, Cell* item) {
        if (!from_block) *item = *value;
        else if (i < count) *item = block::rs_head(&vb)[i];
        else set_none(item);
    };
    // Everything is checked before the first word is set: a failing set
    // leaves every word as it was.
    for (int32_t i = 0; p + i < tail; ++i) {
        uint32_t qt = cell::type(p + i);
        if (qt != TYPE_WORD && qt != TYPE_SET_WORD && qt != TYPE_GET_WORD && qt != TYPE_LIT_WORD) {
            Cell bad = p[i];
            fire(ERR_SCRIPT, "invalid-arg", &bad);
        }
    }
    for (int32_t i = 0; p + i < tail && !any; ++i) {
        Cell item;
        item_at(i, &item);
        if (cell::type(&item) == TYPE_UNSET) {
            Cell w = p[i];
            fire(ERR_SCRIPT, "need-value", &w);
        }
    }
    for (int32_t i = 0; p + i < tail; ++i) {
        Cell item;
        item_at(i, &item);
        if (some && cell::type(&item) == TYPE_NONE) continue;
        Cell w = p[i];
        word::set(&w, &item);
    }
}

void set_(const int32_t* refs) {
    Cell target = *arg(0);
    Cell value = *arg(1);
    bool any = ref(refs, 0);
    if (!any && cell::type(&value) == TYPE_UNSET) fire(ERR_SCRIPT, "need-value", &target);
    uint32_t t = cell::type(&target);
    if (series::any_path(t)) {
        stack::push(&target);
        *stack::arguments = value;
        Cell* cursor = &target;
        interpreter::eval_path(cursor, cursor + 1, cursor + 1, nullptr, true, any, false, ref(refs, 1));
        // An exit out of a paren in the path has unwound this frame already.
        if (interpreter::pending) return;
        result(&value);
        return;
    }
    if (t == TYPE_BLOCK) {
        set_words(&target, &value, any, ref(refs, 2), ref(refs, 3));
        result(&value);
        return;
    }
    word::set(&target, &value);
    result(&value);
}

void print_kernel(bool new_line) {
    Cell value = *arg(0);
    collector::Root keep(&value);
    if (cell::type(&value) == TYPE_BLOCK) {
        if (!reduce_into(&value, &value)) return;
    }
    Cell text;
    collector::Root keep_text(&text);
    if (cell::type(&value) == TYPE_STRING) {
        text = value;
    } else {
        form_into(&value, &text);
    }
    print::call_hooks(&text, new_line);
    result_unset();
}
void print_(const int32_t*) { print_kernel(true); }
void prin_(const int32_t*) { print_kernel(false); }

template <int32_t Op>
void compare_(const int32_t*) {
    result_logic(actions::compare(arg(0), arg(1), Op));
}

bool same(const Cell* a, const Cell* b) {
    uint32_t t = cell::type(a);
    if (t != cell::type(b)) return false;
    switch (t) {
        case TYPE_DATATYPE: case TYPE_LOGIC: case TYPE_OBJECT: return a->w1 == b->w1;
        case TYPE_CHAR: case TYPE_INTEGER: case TYPE_BITSET: return a->w2 == b->w2;
        case TYPE_NONE: case TYPE_UNSET: return true;
        case TYPE_FLOAT: case TYPE_PERCENT: case TYPE_PAIR: case TYPE_TIME: case TYPE_OP:
            return a->w2 == b->w2 && a->w3 == b->w3;
        // Their header holds part of the value: a tuple's length (its bytes
        // past the length are 0), a money amount's sign.
        case TYPE_TUPLE:
            return tuple::length_of(a) == tuple::length_of(b) && a->w1 == b->w1 && a->w2 == b->w2 && a->w3 == b->w3;
        case TYPE_MONEY:
            return (a->header & money::SIGN_FLAG) == (b->header & money::SIGN_FLAG) && a->w1 == b->w1 &&
                   a->w2 == b->w2 && a->w3 == b->w3;
        default:
            if (series::any_block(t) || series::any_string(t) || t == TYPE_BINARY || t == TYPE_VECTOR ||
                t == TYPE_IMAGE || t == TYPE_NATIVE || t == TYPE_ACTION || t == TYPE_POINT2D)
                return a->w1 == b->w1 && a->w2 == b->w2;
            return a->w1 == b->w1 && a->w2 == b->w2 && a->w3 == b->w3;
    }
}
void same_q(const int32_t*) { result_logic(same(arg(0), arg(1))); }

void not_(const int32_t*) { result_logic(!truthy(arg(0))); }

void type_q(const int32_t* refs) {
    uint32_t t = cell::type(arg(0));
    if (ref(refs, 0)) {
        Cell w;
        word::make_at(symbol::make(datatype::name_of(t)), &w);
        result(&w);
        return;
    }
    Cell d;
    set_datatype(&d, t);
    result(&d);
}

void reduce_(const int32_t* refs) {
    Cell value = *arg(0);
    bool into = ref(refs, 0);
    Cell out;
    if (into) out = *arg(refs[0]);
    collector::Root keep_out(&out);
    // Into a target at its tail the values are appended, and the target is
    // the result; anywhere else they are inserted at its position, and the
    // result is the target past them.
    bool insert = into && block::rs_length_q(&out) > 0;
    int64_t old_length = into ? series::length_of_buffer(&out) : 0;
    if (cell::type(&value) == TYPE_BLOCK) {
        if (!into) {
            if (!reduce_into(&value, &out)) return;
            result(&out);
            return;
        }
        if (!reduce_to(&value, &out, insert)) return;
    } else {
        // Any other value alone: a function is taken as it is, never
        // called; anything else is one expression of its own.
        Cell* base = stack::top;
        uint32_t t = cell::type(&value);
        if (t == TYPE_FUNCTION || t == TYPE_NATIVE || t == TYPE_ACTION || t == TYPE_OP || t == TYPE_ROUTINE) {
            stack::push(&value);
        } else {
            Cell* cursor = &value;
            interpreter::eval_expression(cursor, cursor + 1, nullptr, false, true, false);
            if (interpreter::pending) return;
        }
        Cell v = *stack::top_cell();
        stack::top = base;
        if (!into) {
            result(&v);
            return;
        }
        add_reduced(&out, &v, insert);
    }
    if (!insert) {
        int64_t added = series::length_of_buffer(&out) - old_length;
        ownership::check(&out, ownership::EV_INSERT, nullptr, static_cast<int32_t>(old_length),
                         static_cast<int32_t>(added));
    }
    result(&out);
}

// The function makers ------------------------------------------------------

void make_function(const Cell* spec, const Cell* body) {
    uint32_t flags = function::check_spec(spec);
    function::make_context(spec, body, 0, flags);
    Cell fn = *stack::top_cell();
    result(&fn);
}

void func_(const int32_t*) {
    Cell spec = *arg(0), body = *arg(1);
    make_function(&spec, &body);
}

void function_(const int32_t*) {
    Cell spec = *arg(0), body = *arg(1);
    Cell* copy = block::clone(&spec, false, false);
    spec = *copy;
    stack::push(&spec);
    function::collect_words(&spec, &body);
    make_function(&spec, &body);
}

void does_(const int32_t*) {
    Cell body = *arg(0);
    Cell spec;
    block::make_at(&spec, 1);
    stack::push(&spec);
    make_function(&spec, &body);
}

void has_(const int32_t*) {
    Cell locals = *arg(0), body = *arg(1);
    Cell spec;
    block::make_at(&spec, block::rs_length_q(&locals) + 1);
    stack::push(&spec);
    block::append_copy(&spec, &words::_local_ref);
    block::rs_append_block(&spec, &locals);
    make_function(&spec, &body);
}

// Non-local exits ----------------------------------------------------------

void break_(const int32_t* refs) {
    if (ref(refs, 0)) *stack::arguments = *arg(refs[0]);
    interpreter::pending = stack::exit_loop(ref(refs, 0), 0);
}
void continue_(const int32_t*) { interpreter::pending = stack::exit_loop(false, 1); }
void exit_(const int32_t*) { interpreter::pending = stack::exit_func(false); }
void return_(const int32_t*) { interpreter::pending = stack::exit_func(true); }

constexpr uint32_t THROWN_THROW = 0x7FFFFFFAu;

void throw_(const int32_t* refs) {
    if (interpreter::tracing) trace::event(trace::EV_THROW, nullptr, nullptr, nullptr, stack::arguments);
    if (!ref(refs, 0)) set_unset(stack::push_new());
    else if (refs[0] != 1) {
        Cell name = *arg(refs[0]);
        stack::top = stack::arguments + 1;
        stack::push(&name);
    }
    interpreter::pending = stack::exit_throw(THROWN_THROW);
}

bool name_matches(const Cell* thrown, const Cell* names) {
    if (cell::type(thrown) == TYPE_UNSET) return false;
    uint32_t s = symbol::resolve(thrown->w2);
    if (cell::type(names) == TYPE_WORD) return symbol::resolve(names->w2) == s;
    Cell blk = *names;
    for (Cell* p = block::rs_head(&blk); p < block::rs_tail(&blk); ++p) {
        if (cell::type(p) != TYPE_WORD) {
            Cell w = words::_name;
            fire(ERR_SCRIPT, "invalid-refine-arg", &w, &blk);
        }
        if (symbol::resolve(p->w2) == s) return true;
    }
    return false;
}

void catch_(const int32_t* refs) {
    Cell body = *arg(0);
    Cell names;
    bool named = ref(refs, 0);
    if (named) names = *arg(refs[0]);
    Cell* base = stack::arguments;
    stack::mark_catch(&words::_body_tag);
    CallFrame* frame = stack::top_frame();
    uint32_t code = 0;
    try {
        interpreter::eval_block(&body, true);
        code = interpreter::pending;
    } catch (const Thrown& t) {
        if (t.code != THROWN_THROW) throw;
        code = t.code;
    }
    if (code == 0) {
        stack::unwind_last();
        return;
    }
    if (code != THROWN_THROW) return;  // another exit passes through
    interpreter::pending = 0;
    // The throw has ended here: the call it left from is no longer running.
    stack::error_frame = nullptr;
    // The thrown value and its name sit at the catch frame's base.
    Cell value = stack::arguments[0];
    Cell name = stack::arguments[1];
    if (named && !name_matches(&name, &names)) {
        // Not ours: the catch frame goes, and the throw goes on outward with
        // its value and name at this call's base, where the next throw reads them.
        stack::call_top = frame;
        stack::arguments = base;
        stack::top = base;
        stack::push(&value);
        stack::push(&name);
        interpreter::pending = stack::exit_throw(THROWN_THROW);
        return;
    }
    stack::call_top = frame;
    stack::arguments = base;
    stack::set_last_keep(&value);
    if (interpreter::tracing) trace::event(trace::EV_CATCH, nullptr, nullptr, nullptr, stack::arguments);
}

void try_(const int32_t* refs) {
    Cell body = *arg(0);
    bool all = ref(refs, 0);
    Cell* base = stack::arguments;
    CallFrame* depth = stack::call_top;
    if (all) stack::mark_try_all(&words::_try); else stack::mark_try(&words::_try);
    try {
        interpreter::eval_block(&body, true);
    } catch (const Thrown& t) {
        if (t.code != THROWN_ERROR && !all) throw;
        if (t.code != THROWN_ERROR) interpreter::pending = t.code;
        if (t.code == THROWN_ERROR) {
            // The error waits on top of the argument stack.
            Cell err = *stack::top_cell();
            stack::call_top = depth;
            stack::arguments = base;
            stack::set_last_keep(&err);
            return;
        }
    }
    if (interpreter::pending) {
        if (!all) return;  // exits pass through try
        interpreter::pending = 0;
        stack::call_top = depth;
        stack::arguments = base;
        stack::keep();
        return;
    }
    stack::unwind_last();
}

void apply_(const int32_t* refs) {
    Cell target = *arg(0);
    Cell args = *arg(1);
    collector::Root keep_args(&args);
    Cell name = words::_applied_tag;
    Cell path;
    set_none(&path);
    Cell fn = target;
    uint32_t t = cell::type(&target);
    if (word::any_word_q(t) || series::any_path(t)) {
        Cell w = target;
        if (series::any_path(t)) {
            // As when the path is evaluated: it must name a word first.
            path = target;
            if (block::rs_head(&path) >= block::rs_tail(&path)) fire(ERR_SCRIPT, "empty-path");
            w = *block::rs_head(&path);
            if (cell::type(&w) != TYPE_WORD) fire(ERR_SCRIPT, "word-first", &path);
        }
        name = w;
        name.header = TYPE_WORD;
        fn = *context::get(&w);
        uint32_t ft = cell::type(&fn);
        if (ft != TYPE_FUNCTION && ft != TYPE_ACTION && ft != TYPE_NATIVE && ft != TYPE_ROUTINE && ft != TYPE_OP)
            fire(ERR_SCRIPT, "invalid-arg", &target);
    }
    if (cell::type(&fn) == TYPE_OP) {
        cell::set_type(&fn, (fn.header >> 16) & 0xFF);
        fn.header &= 0xFF | native::FLAG_FOREIGN_SPEC;
    }
    int mode = ref(refs, 0) ? 1 : 2;
    if (ref(refs, 1)) mode += 4;
    stack::set_interp_flag();
    Pin pin(&args);
    Cell* head = block::rs_head(&args);
    Cell* tail = block::rs_tail(&args);
    bool has_path = cell::type(&path) != TYPE_NONE;
    collector::Root keep_path(&path);
    interpreter::eval_code(&fn, head, tail, &args, false, has_path ? &path : nullptr,
                           has_path ? block::rs_head(&path) : &name, nullptr, mode, false);
}

}  // namespace

void add_core(std::vector<Registration>& out) {
    out.insert(out.end(), {
        {"get", get_}, {"set", set_}, {"print", print_}, {"prin", prin_},
        {"equal?", compare_<COMP_EQUAL>}, {"not-equal?", compare_<COMP_NOT_EQUAL>},
        {"strict-equal?", compare_<COMP_STRICT_EQUAL>}, {"lesser?", compare_<COMP_LESSER>},
        {"greater?", compare_<COMP_GREATER>}, {"lesser-or-equal?", compare_<COMP_LESSER_EQUAL>},
        {"greater-or-equal?", compare_<COMP_GREATER_EQUAL>}, {"same?", same_q}, {"not", not_},
        {"type?", type_q}, {"reduce", reduce_}, {"func", func_}, {"function", function_}, {"does", does_},
        {"has", has_}, {"break", break_}, {"continue", continue_}, {"exit", exit_}, {"return", return_},
        {"throw", throw_}, {"catch", catch_}, {"try", try_}, {"apply", apply_},
    });
}

}  // namespace zel::natives

namespace zel::natives {

namespace {

// transcode: the lexer on a string! or binary!, with its modes.
void transcode_(const int32_t* refs) {
    lexer::TranscodeArgs a;
    Cell src = *arg(0);
    collector::Root keep(&src);
    a.source = &src;
    a.next = ref(refs, 0);
    a.one = ref(refs, 1);
    a.prescan = ref(refs, 2);
    a.scan = ref(refs, 3);
    if (ref(refs, 4)) a.part = arg(refs[4]);
    if (ref(refs, 5)) a.into = arg(refs[5]);
    if (ref(refs, 6)) a.trace = arg(refs[6]);
    Cell result;
    set_none(&result);
    lexer::transcode(&result, a);
    stack::set_last_keep(&result);
}

}  // namespace

void add_lexer(std::vector<Registration>& out) { out.push_back({"transcode", transcode_}); }

}  // namespace zel::natives
