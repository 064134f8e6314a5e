// tuple!: the constructor (the datatype's actions join this file).
#include "runtime/datatypes/tuple.h"
#include <cstring>

namespace zel::tuple {

Cell* make_in(Cell* c, const uint8_t* bytes, uint32_t n) {
    if (n > MAX_LENGTH) n = MAX_LENGTH;
    uint8_t payload[12] = {};
    std::memcpy(payload, bytes, n);
    if (n < 3) n = 3;
    cell::set(c, TYPE_TUPLE | (n << LENGTH_SHIFT));
    std::memcpy(&c->w1, payload, sizeof payload);
    return c;
}

}  // namespace zel::tuple
