// binary!: the constructor (the datatype's actions join this file).
#include "runtime/datatypes/binary.h"
#include "runtime/memory.h"

namespace zel::binary {

Cell* load_in(Cell* c, uint32_t capacity) {
    Node n = series::alloc_bytes(capacity);
    return set_series(c, TYPE_BINARY, n);
}

}  // namespace zel::binary
