// point2D! and point3D!: points of two or three 32-bit floats, in words 1-3
// (word 3 is 0 for a point2D!).
#pragma once
#include "runtime/cell.h"

namespace zel::point2D {
// Writes a point2D! into the cell.
Cell* make_in(Cell* c, float x, float y);
}  // namespace zel::point2D

namespace zel::point3D {
// Writes a point3D! into the cell.
Cell* make_in(Cell* c, float x, float y, float z);
}  // namespace zel::point3D
