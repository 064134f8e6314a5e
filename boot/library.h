// Loading the boot library and running scripts.
#pragma once
#include <cstddef>
#include <cstdint>
#include "runtime/cell.h"

namespace zel::boot {

// Defines the datatype words and runs the embedded boot library in order.
void load_library();
// Loads UTF-8 source text into a block (a leading "Zel [...]" header is
// skipped) and evaluates it at the top level.
void run_source(const uint8_t* text, size_t length);
// Reads and runs a script file; false when the file cannot be read.
bool run_file(const char* path);

}  // namespace zel::boot
