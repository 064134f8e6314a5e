// Searching blocks: find, select and their small relatives, path access
// (eval-path) and put.
#include "runtime/actions.h"
#include "runtime/cells.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/block_support.h"
#include "runtime/datatypes/none.h"
#include "runtime/errors.h"
#include "runtime/names.h"
#include "runtime/ownership.h"

namespace zel::block {

namespace {

// How cells are matched against the searched value.
struct Matcher {
    enum Mode { BY_TYPE, BY_TYPESET, RUN, SINGLE } mode;
    Cell value;
    int64_t run = 1;
    int32_t op;

    Matcher(const Cell* v, bool only, int32_t op_) : value(*v), op(op_) {
        uint32_t t = cell::type(v);
        mode = SINGLE;
        if (only) return;
        if (t == TYPE_DATATYPE) mode = BY_TYPE;
        else if (t == TYPE_TYPESET) mode = BY_TYPESET;
        else if (any_block(t) && length_from_head(v) > 0) {
            // An empty block is searched for as one value.
            mode = RUN;
            run = length_from_head(v);
        }
    }

    bool single(const Cell* blk, int64_t pos) {
        Cell c = *cell_ptr(blk, pos);
        switch (mode) {
            case BY_TYPE: return cell::type(&c) == value.w1;
            case BY_TYPESET: return typeset::contains(&value, cell::type(&c));
            default: return actions::compare(&c, &value, op);
        }
    }

    // A match at pos; a run must fit before the tail.
    bool at(const Cell* blk, int64_t pos) {
        if (mode != RUN) return single(blk, pos);
        if (pos + run > cell_count(blk)) return false;
        int64_t vh = index_of(&value);
        for (int64_t j = 0; j < run; ++j) {
            Cell c = *cell_ptr(blk, pos + j);
            Cell v = *cell_ptr(&value, vh + j);
            if (!actions::compare(&c, &v, op)) return false;
        }
        return true;
    }
};

inline bool any_word(uint32_t t) { return t >= TYPE_WORD && t <= TYPE_GET_WORD; }

}  // namespace

// The search itself. A series /part stops before the part's position, as an
// integer /part of the same distance would.
Found find_in(const Cell* blk, const Cell* value, const Cell* part, bool only, bool case_, bool same,
              const Cell* skip, bool last, bool reverse, bool match, int64_t* step_out) {
    Found none_found{-1, 1, false};
    int64_t len = cell_count(blk);
    int64_t idx = index_of(blk);
    if (len == 0 || (idx >= len && !reverse)) return none_found;
    int64_t step = 1;
    if (skip) {
        if (cell::type(skip) != TYPE_INTEGER) series::bad_refine("skip", skip);
        step = cell::get_int(skip);
        if (step < 1) fire(ERR_SCRIPT, "out-of-range", skip);
    }
    *step_out = step;
    int64_t end = len - 1;  // the last searchable cell
    if (part) {
        if (cell::type(part) == TYPE_INTEGER) {
            int64_t n = cell::get_int(part);
            if (n < 1) return none_found;
            end = idx + n - 1;
        } else {
            if (cell::type(part) != cell::type(blk) || part->w2 != blk->w2) series::bad_refine("part", part);
            end = index_of(part) - 1;
        }
        if (end > len - 1) end = len - 1;
    }
    Matcher m(value, only, same ? COMP_SAME : case_ ? COMP_STRICT_EQUAL : COMP_FIND);
    int64_t k = m.run;
    Found found{-1, k, m.mode == Matcher::RUN};
    if (!last && !reverse) {
        for (int64_t pos = idx; pos + k - 1 <= end; pos += step) {
            if (m.at(blk, pos)) {
                found.pos = pos;
                break;
            }
            if (match) break;
        }
        return found;
    }
    int64_t start;
    if (part) start = end - k + 1;
    else start = last ? len - k : idx - k;
    for (int64_t pos = start; pos >= 0; pos -= step) {
        if (m.at(blk, pos)) {
            found.pos = pos;
            break;
        }
        if (match) break;
    }
    return found;
}

Cell* find(Cell* blk, Cell* value, Cell* part, bool only, bool case_, bool same, bool, Cell*, Cell* skip, bool last,
           bool reverse, bool tail, bool match) {
    int64_t step = 1;
    Found f = find_in(blk, value, part, only, case_, same, skip, last, reverse, match, &step);
    if (f.pos < 0) return set_none(blk);
    int64_t pos = f.pos;
    if (tail) {
        if (f.run_match) pos += f.run;
        else pos += (!last && !reverse) ? step : 1;
        if (pos > cell_count(blk)) pos = cell_count(blk);
    }
    blk->w1 = static_cast<uint32_t>(pos);
    return blk;
}

Cell* select(Cell* blk, Cell* value, Cell* part, bool only, bool case_, bool same, bool, Cell*, Cell* skip,
             bool last, bool reverse) {
    int64_t step = 1;
    Found f = find_in(blk, value, part, only, case_, same, skip, last, reverse, false, &step);
    if (f.pos < 0) return set_none(blk);
    int64_t pos = f.pos + (f.run_match ? f.run : 1);
    if (pos >= cell_count(blk)) return set_none(blk);
    return copy_cell(cell_ptr(blk, pos), blk);
}

Cell* select_value(Cell* blk, const Cell* value) {
    Cell v = *value;
    int64_t len = cell_count(blk);
    for (int64_t i = index_of(blk); i < len; ++i) {
        Cell c = *cell_ptr(blk, i);
        if (actions::compare(&c, &v, COMP_FIND)) return i + 1 < len ? cell_ptr(blk, i + 1) : none::value();
    }
    return none::value();
}

Cell* select_word(Cell* blk, const Cell* word, bool strict) {
    uint32_t sym = strict ? word->w2 : names::alias(word->w2);
    int64_t len = cell_count(blk);
    for (int64_t i = index_of(blk); i < len; ++i) {
        const Cell* c = cell_ptr(blk, i);
        if (!any_word(cell::type(c))) continue;
        if ((strict ? c->w2 : names::alias(c->w2)) == sym) return i + 1 < len ? cell_ptr(blk, i + 1) : none::value();
    }
    return none::value();
}

int32_t remove_value(Cell* blk, const Cell* value, bool from_start) {
    Cell v = *value;
    int64_t len = cell_count(blk);
    for (int64_t i = from_start ? 0 : index_of(blk); i < len; ++i) {
        Cell c = *cell_ptr(blk, i);
        if (!actions::compare(&c, &v, COMP_FIND)) continue;
        series::remove_units(blk->w2, i, 1);
        return i <= index_of(blk) ? 1 : 0;
    }
    return 0;
}

Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path, Cell*, Cell*, int32_t, bool case_, bool, bool,
                bool) {
    if (cell::type(element) == TYPE_INTEGER) {
        int32_t n = cell::get_int(element);
        return value ? actions::poke(parent, n, value, element) : actions::pick(parent, n, element);
    }
    Cell s = *parent;
    if (!value) {
        if (cell::type(element) == TYPE_WORD && cell::type(parent) != TYPE_HASH)
            return select_word(parent, element, case_);
        return actions::select(&s, element, nullptr, true, case_, false, false, nullptr, nullptr, false, false);
    }
    Cell* found = actions::find(&s, element, nullptr, false, case_, false, false, nullptr, nullptr, false, false,
                                false, false);
    if (cell::type(found) == TYPE_NONE) fire(ERR_SCRIPT, "bad-path-set", path, element);
    Cell at = *found;
    return actions::poke(&at, 2, value, element);
}

Cell* put(Cell* blk, Cell* key, Cell* value, bool case_) {
    Cell k = *key, v = *value, s = *blk;
    Cell* found = actions::find(&s, &k, nullptr, false, case_, false, false, nullptr, nullptr, false, false, false,
                                false);
    if (cell::type(found) == TYPE_NONE) {
        int32_t at = static_cast<int32_t>(cell_count(blk));
        bool told = ownership::before(blk, ownership::EV_PUT, &v, at, 2);
        append_copy(blk, &k);
        append_copy(blk, &v);
        ownership::after_if(told, blk, ownership::EV_PUT, &v, at, 2);
        return value;
    }
    int64_t pos = index_of(found);
    bool told = ownership::before(blk, ownership::EV_PUT, &v, static_cast<int32_t>(pos), 1);
    if (pos + 1 >= cell_count(blk)) {
        append_copy(blk, &v);
    } else {
        Cell old = *cell_ptr(blk, pos + 1);
        if (!actions::compare(&old, &v, COMP_FIND)) *cell_ptr(blk, pos + 1) = v;
    }
    ownership::after_if(told, blk, ownership::EV_PUT, &v, static_cast<int32_t>(pos), 1);
    return value;
}

}  // namespace zel::block
