// point2D! and point3D!: the constructors (the datatypes' actions join this file).
#include "runtime/datatypes/point.h"
#include <bit>

namespace zel::point2D {

Cell* make_in(Cell* c, float x, float y) {
    return cell::set(c, TYPE_POINT2D, std::bit_cast<uint32_t>(x), std::bit_cast<uint32_t>(y), 0);
}

}  // namespace zel::point2D

namespace zel::point3D {

Cell* make_in(Cell* c, float x, float y, float z) {
    return cell::set(c, TYPE_POINT3D, std::bit_cast<uint32_t>(x), std::bit_cast<uint32_t>(y),
                     std::bit_cast<uint32_t>(z));
}

}  // namespace zel::point3D
