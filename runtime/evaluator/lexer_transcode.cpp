// The work of the transcode native: the input range (/part, a byte-order
// mark), the scan modes its refinements ask for, and the shape of its
// result (/next gives the value and the rest of the input).
#include "runtime/errors.h"
#include "runtime/memory.h"
#include "runtime/evaluator/lexer_internal.h"

namespace zel::lexer {

namespace {

// The length asked by /part: an integer, or a position in the same input;
// clamped to what the input holds.
uint32_t part_length(const Cell* part, const Cell* source, uint32_t head, uint32_t available) {
    int64_t n;
    uint32_t type = cell::type(part);
    if (type == TYPE_INTEGER) n = cell::get_int(part);
    else if (type == cell::type(source)) n = int64_t{part->w1} - head;
    else fire(ERR_SCRIPT, "not-same-type");
    if (n < 0) return 0;
    return n < available ? static_cast<uint32_t>(n) : available;
}

}  // namespace

void transcode(Cell* result, const TranscodeArgs& a) {
    set_unset(result);
    Cell input = *a.source;
    const SeriesBuffer* buf = series::buffer_of(&input);
    uint32_t total = buf->length();
    uint32_t head = input.w1 < total ? input.w1 : total;
    input.w1 = head;
    uint32_t length = total - head;
    if (a.part) length = part_length(a.part, a.source, head, length);
    bool typed = a.scan || a.prescan;
    bool one = a.one || a.next || typed;
    Cell out;
    set_none(&out);
    int32_t consumed = 0;
    int32_t type;
    if (cell::type(&input) == TYPE_BINARY) {
        const uint8_t* bytes = buf->data() + buf->head + head;
        if (length >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
            bytes += 3;
            length -= 3;
            input.w1 += 3;
        }
        type = scan(&out, bytes, length, one, !a.prescan, !typed, false, &consumed, a.trace, &input, a.into);
    } else {
        type = load_string(&out, &input, static_cast<int32_t>(length), one, !a.prescan, !typed, false, &consumed,
                           a.trace, a.into);
    }
    Cell value = out;
    if (typed) {
        if (length == 0) {
            set_none(result);
            return;
        }
        if (type > 0) set_datatype(&value, static_cast<uint32_t>(type));
        else if (type < 0) set_datatype(&value, TYPE_ERROR);
        else set_none(&value);
    } else if (a.into && (!one || cell::type(&out) == TYPE_NONE)) {
        value = *a.into;  // the values went to its tail
    }
    if (a.next && !a.one) {
        Cell pair[2];
        pair[0] = value;
        pair[1] = input;
        pair[1].w1 = input.w1 + static_cast<uint32_t>(consumed);
        make_series(result, pair, 2, TYPE_BLOCK);
        return;
    }
    *result = value;
}

}  // namespace zel::lexer
