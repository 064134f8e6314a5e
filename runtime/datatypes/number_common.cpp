// Shared pieces of the number datatypes (see number_common.h).
#include "runtime/datatypes/number_common.h"
#include "runtime/errors.h"
#include "runtime/memory.h"
#include "runtime/datatypes/word.h"

namespace zel::number {

TextSpan text_of(const Cell* text) {
    SeriesBuffer* buf = series::buffer_of(text);
    uint32_t unit = buf->unit();
    uint64_t offset = buf->head + uint64_t{text->w1} * unit;
    uint32_t count = offset < buf->tail ? static_cast<uint32_t>((buf->tail - offset) / unit) : 0;
    return {buf->data() + (offset < buf->tail ? offset : buf->tail), count, unit};
}

bool is_text_type(uint32_t t) {
    switch (t) {
        case TYPE_STRING: case TYPE_FILE: case TYPE_URL: case TYPE_TAG: case TYPE_EMAIL: case TYPE_REF:
            return true;
        default:
            return false;
    }
}

bool is_block_type(uint32_t t) { return t == TYPE_BLOCK || t == TYPE_PAREN || t == TYPE_HASH; }

Cell* cells_of(const Cell* block, uint32_t* count) {
    SeriesBuffer* buf = series::buffer_of(block);
    uint64_t offset = buf->head + uint64_t{block->w1} * sizeof(Cell);
    *count = offset < buf->tail ? static_cast<uint32_t>((buf->tail - offset) / sizeof(Cell)) : 0;
    return reinterpret_cast<Cell*>(buf->data() + (offset < buf->tail ? offset : buf->tail));
}

void fire_bad_to_arg(uint32_t type, const Cell* spec) {
    Cell t;
    fire(ERR_SCRIPT, "bad-to-arg", set_datatype(&t, type), spec);
}

void fire_type_limit(uint32_t type) {
    Cell t;
    fire(ERR_SCRIPT, "type-limit", set_datatype(&t, type));
}

void fire_not_related_call(uint32_t type) {
    Cell word, t;
    errors::caller_word(&word);
    fire(ERR_SCRIPT, "not-related", &word, set_datatype(&t, type));
}

void fire_invalid_type(const Cell* value) {
    Cell t;
    fire(ERR_SCRIPT, "invalid-type", set_datatype(&t, cell::type(value)));
}

Cell* word_named(const char* name, Cell* out) { return word::load(name, out); }

}  // namespace zel::number
