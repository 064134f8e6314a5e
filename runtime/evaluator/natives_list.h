// Every native implementation, by name; natives.cpp fills the table from
// this list. A native file adds its entries to `registrations()`.
#pragma once
#include <vector>
#include "runtime/evaluator/natives.h"

namespace zel::natives {

struct Registration {
    const char* name;
    NativeFn fn;
};

// All implemented natives (the files of the natives append to it).
const std::vector<Registration>& registrations();

// The natives of each file.
void add_control(std::vector<Registration>& out);
void add_core(std::vector<Registration>& out);
void add_loops(std::vector<Registration>& out);
void add_lexer(std::vector<Registration>& out);

}  // namespace zel::natives
