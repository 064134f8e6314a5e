// The symbol table: interning names, the cached name strings, and the
// symbol! datatype (compare only).
#include "runtime/datatypes/symbol.h"
#include <cstring>
#include <string>
#include "runtime/actions.h"
#include "runtime/datatypes/row.h"
#include "runtime/datatypes/string.h"
#include "runtime/hashtable.h"
#include "runtime/unicode.h"
#include "runtime/words.h"

namespace zel::symbol {

Node table = 0;

namespace {
inline Cell* first_cell() { return series::buffer_of(runtime::symbol_block)->head_cell(); }
}  // namespace

void make_table() {
    Cell blk;
    set_series(&blk, TYPE_BLOCK, runtime::symbol_block);
    table = hashtable::make(runtime::SYMBOL_CELLS, &blk, hashtable::KIND_SYMBOL, 0);
}

uint32_t make_from_bytes(const uint8_t* name, uint32_t length) {
    return hashtable::put_symbol(table, name, length, false);
}

uint32_t make(const char* name) {
    return make_from_bytes(reinterpret_cast<const uint8_t*>(name), static_cast<uint32_t>(std::strlen(name)));
}

uint32_t make_flagged(const char* name) {
    return hashtable::put_symbol(table, reinterpret_cast<const uint8_t*>(name),
                                 static_cast<uint32_t>(std::strlen(name)), true);
}

uint32_t make_from_string(const Cell* str) {
    // The UTF-8 text goes through a C++ buffer: interning allocates series.
    SeriesBuffer* buf = series::buffer_of(str);
    uint32_t unit = unicode::text_unit(buf);
    uint32_t head = string::head_index(str);
    const uint8_t* start = buf->head_ptr() + uint64_t{head} * unit;
    std::string utf8(unicode::utf8_size_range(start, buf->tail_ptr(), unit), '\0');
    uint32_t n = unicode::encode_string_utf8(str, reinterpret_cast<uint8_t*>(utf8.data()), -1, false);
    return make_from_bytes(reinterpret_cast<const uint8_t*>(utf8.data()), n);
}

uint32_t count() {
    SeriesBuffer* b = series::buffer_of(runtime::symbol_block);
    return (b->tail - b->head) / sizeof(Cell);
}

Cell* cell_of(uint32_t id) { return first_cell() + (id - 1); }

namespace {

// Fills the string cache of symbol `id` from its UTF-8 name.
void cache_id(uint32_t id) {
    if (cell_of(id)->w2) return;
    SeriesBuffer* name = series::buffer_of(cell_of(id)->w3);
    Node str = unicode::load_utf8_simple(name->head_ptr(), name->tail - name->head);
    cell_of(id)->w2 = str;
}

}  // namespace

void cache_string(Cell* sym) { cache_id(static_cast<uint32_t>(sym - first_cell()) + 1); }

Cell* get(uint32_t id) {
    cache_id(id);
    return cell_of(id);
}

Cell* name_string(uint32_t id, Cell* out) {
    cache_id(id);
    return set_series(out, TYPE_STRING, cell_of(id)->w2, 0);
}

const uint8_t* name_bytes(uint32_t id, uint32_t* length) {
    SeriesBuffer* name = series::buffer_of(cell_of(id)->w3);
    *length = name->tail - name->head;
    return name->head_ptr();
}

const uint8_t* get_c_string(uint32_t id) {
    cache_id(id);
    Node str = cell_of(id)->w2;
    SeriesBuffer* b = series::buffer_of(str);
    uint32_t unit = b->unit();
    if (b->tail + unit > b->size) b = series::expand_copy(b, uint64_t{b->size} + unit);
    std::memset(b->tail_ptr(), 0, unit);
    return b->head_ptr();
}

int32_t get_alias(uint32_t id) { return static_cast<int32_t>(cell_of(id)->w1); }

bool any_type_q(const Cell* word) { return resolve(word->w2) == resolve(words::any_type_x); }

int32_t compare_ids(uint32_t a, uint32_t b, int32_t op) {
    Cell sa, sb;
    name_string(a, &sa);
    name_string(b, &sb);
    return string::compare_text(&sa, &sb, op, false);
}

int32_t compare(Cell* a, Cell* b, int32_t op) {
    if (cell::type(b) != TYPE_SYMBOL) return NOT_COMPARABLE;
    uint32_t ia = static_cast<uint32_t>(a - first_cell()) + 1;
    uint32_t ib = static_cast<uint32_t>(b - first_cell()) + 1;
    return compare_ids(ia, ib, op);
}

void init() {
    datatypes::register_row(TYPE_SYMBOL, 0, "symbol!", nullptr, {{ACT_COMPARE, actions::entry(compare)}});
}

}  // namespace zel::symbol
