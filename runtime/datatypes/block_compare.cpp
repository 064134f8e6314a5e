// Comparing blocks: cell by cell from the heads, then by length.
#include "runtime/actions.h"
#include "runtime/cycles.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/series.h"

namespace zel::block {

namespace {

inline bool any_word(uint32_t t) { return t >= TYPE_WORD && t <= TYPE_GET_WORD; }
inline bool any_number(uint32_t t) { return t == TYPE_INTEGER || t == TYPE_FLOAT || t == TYPE_PERCENT; }

// Cells from the head to the tail, 0 for a head past the tail.
int64_t length_from_head(const Cell* b) {
    int64_t n = series::length_of_buffer(b) - static_cast<int32_t>(b->w1);
    return n < 0 ? 0 : n;
}

inline Cell cell_at(const Cell* b, int64_t i) { return reinterpret_cast<Cell*>(series::unit_at(b, 0))[i]; }

// Equality ops answer "different" at once for different lengths.
inline bool equality_op(int32_t op) {
    return op <= COMP_STRICT_EQUAL || op == COMP_EQUAL_WORD || op == COMP_NOT_EQUAL_WORD || op == COMP_FIND;
}

int32_t compare_each(const Cell* b1, const Cell* b2, int32_t op) {
    if (b1->w2 == b2->w2 && b1->w1 == b2->w1) return 0;
    if (op == COMP_SAME) return -1;
    // A block met again inside itself.
    if (cycles::find(b1->w2)) return cycles::find(b2->w2) ? 0 : -1;
    int64_t l1 = length_from_head(b1), l2 = length_from_head(b2);
    if (l1 != l2 && equality_op(op)) return 1;
    int32_t r = 0;
    {
        cycles::Guard g1(b1->w2);
        cycles::Guard g2(b2->w2);
        int64_t h1 = static_cast<int32_t>(b1->w1), h2 = static_cast<int32_t>(b2->w1);
        int64_t n = l1 < l2 ? l1 : l2;
        for (int64_t i = 0; i < n && r == 0; ++i) {
            Cell a = cell_at(b1, h1 + i), b = cell_at(b2, h2 + i);
            uint32_t ta = cell::type(&a), tb = cell::type(&b);
            if (ta != tb && !(any_word(ta) && any_word(tb)) && !(any_number(ta) && any_number(tb))) {
                r = ta < tb ? -1 : 1;
                break;
            }
            r = actions::compare_int(&a, &b, op);
        }
    }
    if (r != 0) return r;
    // Equal up to the shorter length: the shorter block orders first (an
    // empty block before any other).
    return l1 < l2 ? -1 : l1 > l2 ? 1 : 0;
}

}  // namespace

int32_t compare(Cell* value1, Cell* value2, int32_t op) {
    uint32_t t1 = cell::type(value1), t2 = cell::type(value2);
    if (t1 != t2) {
        bool word_op = op == COMP_EQUAL_WORD || op == COMP_NOT_EQUAL_WORD;
        bool paths = (t1 == TYPE_PATH || t1 == TYPE_LIT_PATH) && (t2 == TYPE_PATH || t2 == TYPE_LIT_PATH);
        if (!(word_op && paths)) return NOT_COMPARABLE;
    }
    return compare_each(value1, value2, op);
}

}  // namespace zel::block
