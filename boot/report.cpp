// Error reports. Until the error catalogue is loaded the message is the
// error's id followed by its arguments, molded.
#include "boot/report.h"
#include <string>
#include "runtime/actions.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/errors.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/memory.h"
#include "runtime/stack.h"
#include "runtime/stdout.h"
#include "runtime/utf8.h"

namespace zel::boot {

namespace {

// The molded text of a value, flat, cut at `limit` characters.
std::string mold_text(const Cell* value, int32_t limit, bool only) {
    Cell v = *value;
    Cell out;
    string::rs_make_at(&out, 64);
    Cell part;
    set_integer(&part, limit);
    actions::mold(&v, &out, only, false, true, &part, limit, 0);
    SeriesBuffer* b = series::buffer_of(&out);
    std::string text;
    uint32_t unit = b->unit();
    uint32_t n = b->length();
    for (uint32_t i = 0; i < n && static_cast<int32_t>(i) < limit; ++i) {
        uint32_t cp = string::get_char(b->head_ptr() + i * unit, unit);
        uint8_t buf[4];
        int len = utf8::encode(cp, buf);
        text.append(reinterpret_cast<char*>(buf), static_cast<size_t>(len));
    }
    return text;
}

std::string symbol_text(uint32_t sym) {
    uint32_t len = 0;
    const uint8_t* name = symbol::name_bytes(sym, &len);
    return std::string(reinterpret_cast<const char*>(name), len);
}

// The name of the innermost call that is not a block body. An assignment
// counts as a call named by its set-word: the innermost one still running
// is inner to every frame that was already marked when it began.
std::string where() {
    uint32_t assigned = 0;
    const CallFrame* began = nullptr;
    for (const interpreter::CodeFrame* cf = interpreter::code_frame; cf && !assigned; cf = cf->prev) {
        if (const interpreter::Assigning* a = interpreter::assignment_in(cf)) {
            assigned = a->set_word->w2;
            began = a->top;
        } else if (cf->cursor && cell::type(cf->cursor) == TYPE_SET_WORD) {
            assigned = cf->cursor->w2;
            began = cf->entry_top;
        }
    }
    for (CallFrame* f = stack::call_top - 1; f >= stack::call_begin; --f) {
        if (assigned && began > f) return symbol_text(assigned);
        uint32_t sym = stack::frame_symbol(f);
        if (!sym) continue;
        std::string s = symbol_text(sym);
        if (s == "<body>" || s == "<anon>") continue;
        return s;
    }
    if (assigned) return symbol_text(assigned);
    return "???";
}

void print_report(const Cell* error) {
    std::string text = "*** ";
    text += errors::class_title(errors::class_of(error));
    text += ": ";
    text += errors::id_of(error);
    for (int i = 1; i <= 3; ++i) {
        const Cell* a = errors::arg_of(error, i);
        if (a) text += " " + mold_text(a, 80, false);
    }
    text += "\n*** Where: " + where();
    text += "\n*** Near : ";
    // Where the error arose, which an error done again far from there keeps.
    const Cell* recorded = errors::near_of(error);
    Cell near = recorded ? *recorded : interpreter::current_code();
    // Code in a paren is shown like code in a block: from the failing expression on.
    if (cell::type(&near) == TYPE_PAREN) cell::set_type(&near, TYPE_BLOCK);
    if (cell::type(&near) == TYPE_BLOCK) text += mold_text(&near, 40, true);
    text += "\n";
    std_out::print_c_string(text.c_str());
}

}  // namespace

void install_error_report() { errors::set_printer(print_report); }

}  // namespace zel::boot
