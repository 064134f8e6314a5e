// Series positions, navigation, pick and poke, clear, reflect and modify,
// the shared helpers of the series actions, and the series! registration.
#include "runtime/datatypes/series.h"
#include <algorithm>
#include <cstring>
#include "runtime/actions.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/row.h"
#include "runtime/datatypes/string.h"
#include "runtime/errors.h"
#include "runtime/names.h"
#include "runtime/ownership.h"
#include "runtime/stack.h"
#include "runtime/unicode.h"

namespace zel::series {

namespace {

// Values that pick makes (characters, bytes) live here until the next pick.
Cell scratch;

inline int64_t index_of(const Cell* s) {
    int32_t i = static_cast<int32_t>(s->w1);
    return i < 0 ? 0 : i;
}

// The position pick and poke address: n counts from 1 forwards, from -1
// backwards (just before the head); 0 addresses nothing.
inline int64_t pick_position(const Cell* s, int32_t n) {
    if (n == 0) return -1;
    return n > 0 ? index_of(s) + n - 1 : index_of(s) + n;
}

// Buffer flags a copy keeps: unit and text origin, not the allocation or
// ownership state of the source.
constexpr uint32_t COPY_KEEP = ~(SERIES_OWNED | SERIES_FIXED | SERIES_BIG | SERIES_MARK | SERIES_CENTRED |
                                 SERIES_NEW | SERIES_USED);

}  // namespace

// ---- positions ----

bool rs_tail_q(const Cell* s) { return index_of(s) >= length_of_buffer(s); }

int32_t get_buffer_length(const Cell* s) { return static_cast<int32_t>(length_of_buffer(s)); }

bool move_head(Cell* s, int32_t n) {
    int64_t len = length_of_buffer(s);
    int64_t pos = index_of(s) + n;
    if (pos > len || pos < 0) return true;
    s->w1 = static_cast<uint32_t>(pos);
    return pos >= len;
}

int32_t get_length(Cell* s, bool from_start) {
    int64_t len = length_of_buffer(s);
    if (from_start) return static_cast<int32_t>(len);
    int64_t idx = index_of(s);
    if (idx > len) {
        s->w1 = static_cast<uint32_t>(len);
        return 0;
    }
    return static_cast<int32_t>(len - idx);
}

uint32_t compute_position(bool at) {
    Cell* s = stack::arguments;
    Cell* offset = s + 1;
    if (cell::type(offset) != TYPE_INTEGER) fire(ERR_SCRIPT, "invalid-arg", offset);
    int64_t off = cell::get_int(offset);
    int64_t pos = index_of(s) + off;
    if (at && off >= 1) --pos;
    int64_t len = length_of_buffer(s);
    if (pos < 0) pos = 0;
    if (pos > len) pos = len;
    return static_cast<uint32_t>(pos);
}

// ---- helpers ----

void bad_refine(const char* refinement, const Cell* arg) {
    Cell word;
    names::word(refinement, &word);
    fire(ERR_SCRIPT, "invalid-refine-arg", &word, arg);
}

int64_t part_count(const Cell* s, const Cell* part) {
    if (cell::type(part) == TYPE_INTEGER) return cell::get_int(part);
    if (cell::type(part) != cell::type(s) || part->w2 != s->w2) bad_refine("part", part);
    return static_cast<int64_t>(static_cast<int32_t>(part->w1)) - static_cast<int32_t>(s->w1);
}

Cell* make_like(const Cell* src, uint64_t count, Cell* out) {
    uint32_t type = cell::type(src);
    uint32_t w3 = (type == TYPE_VECTOR || type == TYPE_HASH) ? src->w3 : 0;
    SeriesBuffer* from = buffer_of(src);
    uint32_t unit = from->unit();
    uint32_t keep = from->flags & COPY_KEEP;
    Node node = alloc(count ? count : 1, unit, 0);
    buffer_of(node)->flags |= keep;
    return cell::set(out, type, 0, node, w3);
}

void remove_units(Node node, int64_t pos, int64_t count) {
    SeriesBuffer* buf = buffer_of(node);
    uint32_t u = buf->unit();
    uint8_t* start = buf->head_ptr() + pos * u;
    uint8_t* end = start + count * u;
    if (end >= buf->tail_ptr()) {
        buf->tail = static_cast<uint32_t>(start - buf->data());
        return;
    }
    std::memmove(start, end, static_cast<size_t>(buf->tail_ptr() - end));
    buf->tail -= static_cast<uint32_t>(count * u);
}

uint8_t* open_gap(Node node, int64_t pos, int64_t count, bool doubling) {
    SeriesBuffer* buf = buffer_of(node);
    uint32_t u = buf->unit();
    uint64_t add = static_cast<uint64_t>(count) * u;
    uint64_t need = uint64_t{buf->tail} - buf->head + add;
    uint64_t limit = memory::max_bytes(u);
    if (need > limit) fire(ERR_INTERNAL, "no-memory");
    if (uint64_t{buf->head} + need > buf->size) {
        uint64_t size = doubling ? std::min(need * 2, limit) : need;
        buf = expand_copy(buf, size);
    }
    uint8_t* at = buf->head_ptr() + pos * u;
    std::memmove(at + add, at, static_cast<size_t>(buf->tail_ptr() - at));
    buf->tail += static_cast<uint32_t>(add);
    return at;
}

Cell* value_at(Cell* s, int64_t pos) {
    uint32_t type = cell::type(s);
    if (any_block(type) || type == TYPE_MAP) return reinterpret_cast<Cell*>(unit_at(s, pos));
    if (type == TYPE_BINARY) return set_integer(&scratch, *unit_at(s, pos));
    if (any_string(type)) {
        SeriesBuffer* buf = buffer_of(s);
        return cell::set(&scratch, TYPE_CHAR, 0, unicode::get_char(buf->head_ptr() + pos * buf->unit(), buf->unit()));
    }
    // vector! and image! elements are made by their own datatypes.
    fire(ERR_INTERNAL, "not-done");
}

// ---- navigation (on the series at the arguments base) ----

void at() { stack::arguments->w1 = compute_position(true); }
void skip() { stack::arguments->w1 = compute_position(false); }
void head() { stack::arguments->w1 = 0; }
void tail() { stack::arguments->w1 = static_cast<uint32_t>(length_of_buffer(stack::arguments)); }

void next() {
    Cell* s = stack::arguments;
    if (index_of(s) < length_of_buffer(s)) s->w1 = static_cast<uint32_t>(index_of(s) + 1);
}

void back() {
    Cell* s = stack::arguments;
    if (index_of(s) > 0) s->w1 = static_cast<uint32_t>(index_of(s) - 1);
}

void head_q() { set_logic(stack::arguments, index_of(stack::arguments) == 0); }
void tail_q() { set_logic(stack::arguments, rs_tail_q(stack::arguments)); }
void index_q() { set_integer(stack::arguments, static_cast<int32_t>(index_of(stack::arguments) + 1)); }

int32_t length_q(Cell* s) { return get_length(s, false); }

// ---- pick, poke, clear ----

Cell* pick(Cell* s, int32_t index, Cell*) {
    int64_t pos = pick_position(s, index);
    if (pos < 0 || pos >= length_of_buffer(s)) return none::value();
    return value_at(s, pos);
}

Cell* poke(Cell* s, int32_t index, Cell* value, Cell*) {
    int64_t pos = pick_position(s, index);
    if (pos < 0 || pos >= length_of_buffer(s)) {
        Cell n;
        set_integer(&n, index);
        fire(ERR_SCRIPT, "out-of-range", &n);
    }
    uint32_t type = cell::type(s);
    uint32_t vt = cell::type(value);
    // Check the value before the owner hears of a change.
    if (any_string(type) && vt != TYPE_CHAR) fire(ERR_SCRIPT, "invalid-arg", value);
    if (type == TYPE_BINARY && vt != TYPE_CHAR && vt != TYPE_INTEGER) fire(ERR_SCRIPT, "invalid-arg", value);
    if (!any_block(type) && !any_string(type) && type != TYPE_BINARY) fire(ERR_INTERNAL, "not-done");
    int32_t at_index = static_cast<int32_t>(pos);
    bool told = ownership::before(s, ownership::EV_POKE, value, at_index, 1);
    if (any_block(type)) {
        copy_cell(value, reinterpret_cast<Cell*>(unit_at(s, pos)));
    } else if (type == TYPE_BINARY) {
        *unit_at(s, pos) = static_cast<uint8_t>(value->w2);
    } else {
        string::poke_char(buffer_of(s), unit_at(s, pos), value->w2);
    }
    ownership::after_if(told, s, ownership::EV_POKE, value, at_index, 1);
    return value;
}

Cell* clear(Cell* s) {
    int32_t len = get_length(s, false);
    if (len < 1) return s;
    int32_t idx = static_cast<int32_t>(s->w1);
    bool told = ownership::before(s, ownership::EV_CLEAR, nullptr, idx, len);
    SeriesBuffer* buf = buffer_of(s);
    buf->tail = buf->head + static_cast<uint32_t>(idx) * buf->unit();
    ownership::after_if(told, s, ownership::EV_CLEAR, nullptr, idx, len);
    return s;
}

// ---- reflect and modify: only the `owned` field ----

Cell* reflect(Cell* s, uint32_t field) {
    uint32_t owned = names::symbol("owned");
    if (owned == 0 || field != owned) fire(ERR_INTERNAL, "not-done");
    Cell* owner = ownership::owner_of(s->w2);
    return owner ? owner : none::value();
}

Cell* modify(Cell* target, Cell* field, Cell* value, bool) {
    uint32_t owned = names::symbol("owned");
    if (owned == 0 || field->w2 != owned) return value;
    if (cell::type(value) == TYPE_NONE) {
        ownership::unbind(target);
    } else if (cell::type(value) == TYPE_BLOCK && length_of_buffer(value) - index_of(value) >= 2) {
        Cell* pair = reinterpret_cast<Cell*>(unit_at(value, index_of(value)));
        Cell owner = pair[0], word = pair[1];
        ownership::bind(target, &owner, &word);
    }
    return value;
}

void init() {
    datatypes::empty_row()
        .set(ACT_RANDOM, random)
        .set(ACT_REFLECT, reflect)
        .set(ACT_AT, at)
        .set(ACT_BACK, back)
        .set(ACT_CLEAR, clear)
        .set(ACT_COPY, copy)
        .set(ACT_HEAD, head)
        .set(ACT_HEAD_Q, head_q)
        .set(ACT_INDEX_Q, index_q)
        .set(ACT_LENGTH_Q, length_q)
        .set(ACT_MOVE, move)
        .set(ACT_NEXT, next)
        .set(ACT_PICK, pick)
        .set(ACT_POKE, poke)
        .set(ACT_REMOVE, remove)
        .set(ACT_REVERSE, reverse)
        .set(ACT_SKIP, skip)
        .set(ACT_TAIL, tail)
        .set(ACT_TAIL_Q, tail_q)
        .set(ACT_TAKE, take)
        .set(ACT_MODIFY, modify)
        .register_as(TYPE_SERIES, 0, "series!");
}

}  // namespace zel::series
