// Helpers shared by the string! action files.
#include "runtime/datatypes/string_support.h"
#include "runtime/cells.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/errors.h"
#include "runtime/ownership.h"
#include "runtime/runtime.h"
#include "runtime/unicode.h"

namespace zel::string::support {

Cell* none_result() {
    static Cell none;
    return set_none(&none);
}

Cell* word_cell(Cell* out, const char* name) {
    return cell::set(out, TYPE_WORD, 0, symbol::make(name), 0xFFFFFFFFu);
}

void refine_error(const char* name, const Cell* value) {
    Cell word;
    fire(ERR_SCRIPT, "invalid-refine-arg", word_cell(&word, name), value);
}

int32_t part_count(const Cell* series, const Cell* part) {
    switch (cell::type(part)) {
        case TYPE_INTEGER:
        case TYPE_FLOAT: return number::to_integer(part);
        default:
            if (cell::type(part) != cell::type(series) || part->w2 != series->w2) refine_error("part", part);
            return static_cast<int32_t>(head_index(part)) - static_cast<int32_t>(head_index(series));
    }
}

Cell* symbol_text(const Cell* symbol, Cell* out) {
    Node str = symbol->w2;
    if (!str) {
        SeriesBuffer* block = series::buffer_of(runtime::symbol_block);
        if (symbol >= block->head_cell() && symbol < block->tail_cell()) {
            // A cell of the symbol table: fill its cache for every later use.
            symbol::cache_string(const_cast<Cell*>(symbol));
            str = symbol->w2;
        } else {
            SeriesBuffer* name = series::buffer_of(symbol->w3);
            str = unicode::load_utf8_simple(name->head_ptr(), name->tail - name->head);
        }
    }
    return set_series(out, TYPE_STRING, str, 0);
}

const Cell* as_text(const Cell* value, Cell* scratch) {
    return cell::type(value) == TYPE_SYMBOL ? symbol_text(value, scratch) : value;
}

bool announce(Cell* series, uint32_t before_event, const Cell* value, int32_t index, int32_t count) {
    return ownership::before(series, static_cast<ownership::Event>(before_event), value, index, count);
}

void announce_after(bool told, Cell* series, uint32_t before_event, const Cell* value, int32_t index,
                    int32_t count) {
    ownership::after_if(told, series, static_cast<ownership::Event>(before_event), value, index, count);
}

}  // namespace zel::string::support
