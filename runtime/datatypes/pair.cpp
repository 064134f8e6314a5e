// pair!: the constructors (the datatype's actions join this file).
#include "runtime/datatypes/pair.h"
#include "runtime/stack.h"

namespace zel::pair {

Cell* make_in(Cell* c, int32_t x, int32_t y) {
    return cell::set(c, TYPE_PAIR, 0, static_cast<uint32_t>(x), static_cast<uint32_t>(y));
}

Cell* push(int32_t x, int32_t y) { return make_in(stack::push_new(), x, y); }

}  // namespace zel::pair
