// The actions of the word family and issue!: make and to, form, mold,
// compare, index?; and their registrations.
#include <string>
#include "runtime/datatype.h"
#include "runtime/datatypes/row.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/types.h"
#include "runtime/datatypes/word.h"
#include "runtime/errors.h"
#include "runtime/stack.h"
#include "runtime/unicode.h"
#include "runtime/utf8.h"

namespace zel::word {

namespace {

[[noreturn]] void bad_to_arg(uint32_t type, const Cell* spec) {
    Cell t;
    set_datatype(&t, type);
    fire(ERR_SCRIPT, "bad-to-arg", &t, spec);
}

// The UTF-8 text of a string-family value from its head.
std::string utf8_of(const Cell* str) {
    SeriesBuffer* buf = series::buffer_of(str);
    uint32_t unit = unicode::text_unit(buf);
    const uint8_t* start = buf->head_ptr() + uint64_t{string::head_index(str)} * unit;
    std::string out(unicode::utf8_size_range(start, buf->tail_ptr(), unit), '\0');
    out.resize(unicode::encode_string_utf8(str, reinterpret_cast<uint8_t*>(out.data()), -1, false));
    return out;
}

// The word-family value that a text loads as on its own, bound to the
// global context; a text that is not one word raises invalid-chars.
Cell word_from_text(const std::string& text) {
    uint32_t start, length;
    auto bytes = reinterpret_cast<const uint8_t*>(text.data());
    uint32_t type = scan_text(bytes, static_cast<uint32_t>(text.size()), &start, &length);
    if (!any_word_q(type)) fire(ERR_SCRIPT, "invalid-chars");
    Cell w;
    make_at(symbol::make_from_bytes(bytes + start, length), &w);
    cell::set_type(&w, type);
    return w;
}

bool plain_word_type(uint32_t t) { return t == TYPE_WORD || t == TYPE_SET_WORD || t == TYPE_GET_WORD || t == TYPE_LIT_WORD; }

// Appends one ASCII character to a text buffer; the budget less one.
int32_t append_mark(Cell* buffer, char mark, int32_t part) {
    char text[2] = {mark, 0};
    string::concatenate_literal(buffer, text);
    return part - 1;
}

}  // namespace

Cell* make(Cell* /*proto*/, Cell* spec, uint32_t type) {
    Cell s = *spec;
    Cell result;
    switch (cell::type(&s)) {
        case TYPE_WORD:
        case TYPE_SET_WORD:
        case TYPE_LIT_WORD:
        case TYPE_GET_WORD: result = s; break;
        case TYPE_ISSUE:
        case TYPE_REFINEMENT:
            if (!plain_word_type(scan_name(s.w2))) bad_to_arg(type, &s);
            result = s;
            if (context::bind_word(context::global, &result) < 0) {
                // Not yet a global word: bound there, unset, like a new word.
                result.w1 = context::global;
                result.w3 = 0xFFFFFFFFu;
            }
            break;
        case TYPE_STRING: result = word_from_text(utf8_of(&s)); break;
        case TYPE_CHAR: {
            uint8_t bytes[4];
            int n = utf8::encode(s.w2, bytes);
            result = word_from_text(std::string(reinterpret_cast<char*>(bytes), static_cast<size_t>(n)));
            break;
        }
        case TYPE_DATATYPE: {
            const char* name = datatype::name_of(s.w1);
            if (!name) bad_to_arg(type, &s);
            load(name, &result);
            break;
        }
        case TYPE_LOGIC: load(s.w1 ? "true" : "false", &result); break;
        default: bad_to_arg(type, &s);
    }
    cell::set_type(&result, type);
    return stack::push(&result);
}

int32_t form(Cell* value, Cell* buffer, Cell* /*arg*/, int32_t part) {
    // The name joins through a string cell that shares the symbol's cached
    // name; nothing in the symbol table is touched.
    Cell name;
    symbol::name_string(value->w2, &name);
    string::concatenate(buffer, &name, -1, 0, false, 0);
    return part - string::rs_length_q(&name);
}

int32_t mold(Cell* value, Cell* buffer, bool, bool, bool, Cell* arg, int32_t part, int32_t) {
    Cell v = *value;
    switch (cell::type(&v)) {
        case TYPE_SET_WORD: return append_mark(buffer, ':', form(&v, buffer, arg, part));
        case TYPE_LIT_WORD: return form(&v, buffer, arg, append_mark(buffer, '\'', part));
        case TYPE_GET_WORD: return form(&v, buffer, arg, append_mark(buffer, ':', part));
        case TYPE_REFINEMENT: return form(&v, buffer, arg, append_mark(buffer, '/', part));
        case TYPE_ISSUE: return form(&v, buffer, arg, append_mark(buffer, '#', part));
        default: return form(&v, buffer, arg, part);
    }
}

int32_t compare(Cell* value1, Cell* value2, int32_t op) {
    uint32_t t1 = cell::type(value1), t2 = cell::type(value2);
    if ((t2 == TYPE_ISSUE && t1 != TYPE_ISSUE) || !any_word_q(t2)) return NOT_COMPARABLE;
    uint32_t s1 = value1->w2, s2 = value2->w2;
    switch (op) {
        case COMP_EQUAL:
        case COMP_NOT_EQUAL:
        case COMP_FIND: return symbol::resolve(s1) == symbol::resolve(s2) ? 0 : 1;
        case COMP_STRICT_EQUAL: return t1 == t2 && s1 == s2 ? 0 : 1;
        case COMP_SAME: return s1 == s2 && value1->w1 == value2->w1 && t1 == t2 ? 0 : 1;
        case COMP_EQUAL_WORD:
        case COMP_NOT_EQUAL_WORD: {
            if (op == COMP_NOT_EQUAL_WORD) s1 = symbol::resolve(s1), s2 = symbol::resolve(s2);
            bool word_and_lit = (t1 == TYPE_WORD && t2 == TYPE_LIT_WORD) || (t1 == TYPE_LIT_WORD && t2 == TYPE_WORD);
            return (word_and_lit || t1 == t2) && s1 == s2 ? 0 : 1;
        }
        default: return symbol::compare_ids(s1, s2, op);
    }
}

void index_q() {
    Cell w = *stack::arguments;
    Cell result;
    if (static_cast<int32_t>(w.w3) == -1) set_none(&result); else set_integer(&result, static_cast<int32_t>(w.w3) + 1);
    stack::set_last(&result);
}

void init() {
    using datatypes::register_row;
    register_row(TYPE_WORD, TYPE_SYMBOL, "word!", nullptr,
                 {{ACT_MAKE, actions::entry(make)},
                  {ACT_TO, actions::entry(make)},
                  {ACT_FORM, actions::entry(form)},
                  {ACT_MOLD, actions::entry(mold)},
                  {ACT_COMPARE, actions::entry(compare)},
                  {ACT_INDEX_Q, actions::entry(index_q)}});
}

}  // namespace zel::word

namespace zel::issue {

Cell* make(Cell* proto, Cell* spec, uint32_t type) {
    Cell s = *spec;
    uint32_t t = cell::type(&s);
    if (word::any_word_q(t)) {
        cell::set_type(&s, type);
        return stack::push(&s);
    }
    if (t != TYPE_STRING && t != TYPE_CHAR) return word::make(proto, spec, type);
    uint32_t sym;
    if (t == TYPE_CHAR) {
        uint8_t bytes[4];
        int n = utf8::encode(s.w2, bytes);
        sym = symbol::make_from_bytes(bytes, static_cast<uint32_t>(n));
    } else {
        sym = symbol::make_from_string(&s);
    }
    Cell result{type, context::global, sym, 0xFFFFFFFFu};
    return stack::push(&result);
}

int32_t compare(Cell* value1, Cell* value2, int32_t op) {
    if (cell::type(value2) != TYPE_ISSUE) return NOT_COMPARABLE;
    return word::compare(value1, value2, op);
}

void init() {
    datatypes::register_row(TYPE_ISSUE, TYPE_WORD, "issue!", datatype::INHERIT,
                            {{ACT_MAKE, actions::entry(make)},
                             {ACT_TO, actions::entry(make)},
                             {ACT_MOLD, actions::entry(word::mold)},
                             {ACT_COMPARE, actions::entry(compare)},
                             {ACT_INDEX_Q, nullptr}});
}

}  // namespace zel::issue

namespace zel {

namespace {
// set-word!, lit-word! and get-word! differ from word! only in their mold.
void register_word_child(uint32_t type, const char* name) {
    datatypes::register_row(type, TYPE_WORD, name, datatype::INHERIT, {{ACT_MOLD, actions::entry(word::mold)}});
}
}  // namespace

namespace lit_word {
void init() { register_word_child(TYPE_LIT_WORD, "lit-word!"); }
}  // namespace lit_word

namespace set_word {
void init() { register_word_child(TYPE_SET_WORD, "set-word!"); }
}  // namespace set_word

namespace get_word {
void init() { register_word_child(TYPE_GET_WORD, "get-word!"); }
}  // namespace get_word

namespace refinement {
void init() {
    datatypes::register_row(TYPE_REFINEMENT, TYPE_WORD, "refinement!", datatype::INHERIT,
                            {{ACT_MOLD, actions::entry(word::mold)}, {ACT_INDEX_Q, nullptr}});
}
}  // namespace refinement

}  // namespace zel
