// Print hooks: what print and prin write, and what the runtime's low-level
// printers write, passes through lists of callbacks so that other parts (a
// GUI console, a log) can take the output over or watch it.
#pragma once
#include <cstddef>
#include "runtime/cell.h"

namespace zel::print {

// A value hook gets a string value and the new-line flag.
using ValueHook = void (*)(const Cell* str, bool new_line);
// A text hook gets raw text (UTF-8 bytes), its length and a flag.
using TextHook = void (*)(const char* text, size_t length, int flag);

void init();
bool initialised();
// Appends each non-null hook to its list.
void add_hooks(ValueHook vh, TextHook th);
// Removes the first occurrence of each non-null hook.
void remove_hooks(ValueHook vh, TextHook th);
void call_hooks(const Cell* str, bool new_line);
void call_text_hooks(const char* text, size_t length, int flag);
// Writes the string's characters from its head to its tail to standard output.
void default_hook(const Cell* str, bool new_line);
size_t value_hook_count();
size_t value_hook_capacity();

// The terminal view backend steps out of its screen mode before printed
// output and back in after it; it installs these two callbacks.
using GuiHook = void (*)();
void set_gui_hooks(GuiHook begin, GuiHook end);
void on_print_begin();
void on_print_end();

// The build date as fixed text, such as "18-Nov-2026/19:18:11".
const char* build_date();

}  // namespace zel::print
