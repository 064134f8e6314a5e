// map!: the key rule and the constructor (the datatype's actions join this file).
#include "runtime/datatypes/map.h"
#include "runtime/hashtable.h"

namespace zel::map {

bool key_type_q(uint32_t t) {
    return (t >= TYPE_STRING && t <= TYPE_FLOAT) || (t >= TYPE_WORD && t <= TYPE_ISSUE) ||
           (t >= TYPE_PAIR && t <= TYPE_TUPLE) || t == TYPE_BINARY || (t >= TYPE_TIME && t <= TYPE_EMAIL) ||
           t == TYPE_DATE || (t >= TYPE_MONEY && t <= TYPE_POINT3D);
}

Cell* make_at(Cell* c, const Cell* block, uint32_t count) {
    Cell blk = *block;  // `c` may be the block cell itself
    Node table = hashtable::make(count, &blk, hashtable::KIND_MAP, 0);
    uint32_t keep = c->header & ~CELL_TYPE_MASK;
    cell::set(c, TYPE_MAP | keep, 0, blk.w2, table);
    return c;
}

}  // namespace zel::map
