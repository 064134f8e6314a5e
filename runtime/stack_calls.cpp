// The call stack's reporters and the call namers of error reports.
#include "runtime/stack_calls.h"
#include "runtime/actions.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/errors.h"
#include "runtime/words.h"

namespace zel::stack {

namespace {

// A frame whose name is shown: a real symbol, not <body> or <anon>.
bool named(const CallFrame* f) {
    uint32_t sym = frame_symbol(f);
    if (sym == 0 || sym > symbol::count()) return false;
    return sym != words::_body_tag.w2 && sym != words::_anon_tag.w2;
}

// The word of a frame's symbol in a context (exact case), else the global word.
Cell* frame_word(uint32_t sym, Node ctx, Cell* out) {
    if (ctx) {
        int32_t index = context::find_word(ctx, sym, false);
        if (index >= 0) return cell::set(out, TYPE_WORD, ctx, sym, static_cast<uint32_t>(index));
    }
    return word::make_global(sym, out);
}

// The value of a frame's word when it has one, without raising.
bool names_function(const CallFrame* f) {
    Cell w;
    frame_word(frame_symbol(f), f->ctx, &w);
    Cell* cc = context::context_cell(w.w1);
    if (!cc->w2 || context::stack_held(cc)) return false;
    SeriesBuffer* vals = series::buffer_of(cc->w2);
    if (w.w3 >= vals->length()) return false;
    return cell::type(vals->head_cell() + w.w3) == TYPE_FUNCTION;
}

// The innermost named frame at or below `from`, or null.
const CallFrame* innermost_named(const CallFrame* from) {
    for (const CallFrame* f = from; f >= call_begin; --f)
        if (named(f)) return f;
    return nullptr;
}

void call_namer(Cell* out) { get_call(out); }

// The n-th argument word (from 1) of the function the innermost call names.
void arg_namer(int n, Cell* out) {
    const CallFrame* f = innermost_named(call_top - 1);
    if (!f) return;
    Cell w;
    frame_word(frame_symbol(f), f->ctx, &w);
    Cell* cc = context::context_cell(w.w1);
    if (!cc->w2 || context::stack_held(cc) || w.w3 >= series::buffer_of(cc->w2)->length()) return;
    Cell fn = series::buffer_of(cc->w2)->head_cell()[w.w3];
    switch (cell::type(&fn)) {
        case TYPE_NATIVE: case TYPE_ACTION: case TYPE_OP: case TYPE_FUNCTION: case TYPE_ROUTINE: break;
        default: return;
    }
    SeriesBuffer* spec = series::buffer_of(fn.w2);
    int seen = 0;
    for (const Cell* c = spec->head_cell(); c < spec->tail_cell(); ++c) {
        uint32_t t = cell::type(c);
        if (t != TYPE_WORD && t != TYPE_LIT_WORD && t != TYPE_GET_WORD && t != TYPE_REFINEMENT) continue;
        if (++seen == n) {
            word::make_global(c->w2, out);
            return;
        }
    }
}

}  // namespace

Cell* get_call(Cell* out) {
    const CallFrame* from = error_frame ? error_frame - 1 : call_top - 1;
    error_frame = nullptr;
    const CallFrame* f = innermost_named(from);
    if (!f) {
        *out = words::_not_found_tag;
        return out;
    }
    return frame_word(frame_symbol(f), f->ctx, out);
}

void collect_calls(const Cell* block) {
    Node blk = block->w2;
    for (const CallFrame* f = call_top - 1; f > call_begin; --f) {
        if (!named(f)) continue;
        Cell w;
        frame_word(frame_symbol(f), f->fctx ? f->fctx : context::global, &w);
        *series::alloc_tail_cell(blk) = w;
        set_integer(series::alloc_tail_cell(blk), static_cast<int32_t>(index_of(f->prev_base)));
    }
}

void trace_to_block(int level, const Cell* block, const CallFrame* end) {
    Node blk = block->w2;
    for (const CallFrame* f = call_begin; f < end && f < call_top; ++f) {
        if (!named(f) || (level <= 1 && !names_function(f))) continue;
        Cell w;
        frame_word(frame_symbol(f), f->ctx, &w);
        *series::alloc_tail_cell(blk) = w;
    }
}

int32_t trace_to_string(int level, Cell* str, const CallFrame* end, int32_t width) {
    bool first = true;
    for (const CallFrame* f = call_begin; f < end && f < call_top; ++f) {
        if (!named(f) || (level <= 1 && !names_function(f))) continue;
        if (!first) {
            string::concatenate_literal(str, " ");
            --width;
        }
        first = false;
        Cell w;
        frame_word(frame_symbol(f), f->ctx, &w);
        width = actions::form(&w, str, nullptr, width);
    }
    return width;
}

void init_call_namers() { errors::set_call_namers(call_namer, arg_namer); }

}  // namespace zel::stack
