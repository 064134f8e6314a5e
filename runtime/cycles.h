// Cycle detection: recursive walks over values (mold, form, compare, deep
// copy, ownership binding) record the series they are inside, so that a
// series that contains itself is noticed instead of walked forever.
#pragma once
#include <cstdint>
#include "runtime/cell.h"

namespace zel::cycles {

constexpr uint32_t CAPACITY = 1000;

void init();
// Pushes a node; at the capacity the stack is emptied and `too-deep` raised.
void push(Node node);
void pop();
void drop(uint32_t n);
void reset();
bool find(Node node);
uint32_t depth();
// The node a value is recorded under: the context for object!, else the series.
inline Node node_of(const Cell* v) { return cell::type(v) == TYPE_OBJECT ? v->w1 : v->w2; }

// When the value's series is already being walked, appends its placeholder
// to the output string, reduces *part by its length and returns true;
// otherwise returns false and writes nothing. Molding writes "[...]" for
// blocks, "(...)" for parens, "#[...]" for maps, "make object! [...]" for
// objects and "..." for paths and any other type; forming writes "...".
bool mold_placeholder(const Cell* value, Cell* buffer, int32_t* part, bool mold);

// Pushes on construction and pops on destruction, so an error thrown during
// a walk leaves the stack as it was before the walk.
class Guard {
public:
    explicit Guard(Node n) : depth_(depth()) { push(n); }
    ~Guard() {
        if (depth() > depth_) drop(depth() - depth_);
    }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

private:
    uint32_t depth_;
};

}  // namespace zel::cycles
