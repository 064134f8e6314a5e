// Console output: every text the runtime prints goes through here, as UTF-8
// to standard output, whether that is a terminal or a redirected handle.
// A terminal interprets ANSI sequences itself, so they pass straight through.
#pragma once
#include <cstddef>
#include <cstdint>

namespace zel::std_out {

// Sets up the output buffers and tells a terminal from a redirected handle.
void init();
// Standard output is a terminal (informative: output is UTF-8 either way).
bool is_terminal();
// The file descriptor written to; tests point it elsewhere.
void set_fd(int fd);
int fd();

// Writes `bytes` bytes of text stored in `unit`-byte code points (1, 2 or 4),
// optionally followed by a line feed.
void write(const void* text, size_t bytes, int unit, bool new_line);
void print_latin1(const void* text, size_t bytes);
void print_line_latin1(const void* text, size_t bytes);
void print_ucs2(const void* text, size_t bytes);
void print_line_ucs2(const void* text, size_t bytes);
void print_ucs4(const void* text, size_t bytes);
void print_line_ucs4(const void* text, size_t bytes);

// Writes the bytes as they are, then calls the text hooks; returns the string.
const char* print_c_string(const char* s);

// Number printers: the formatted text is written, then the text hooks are called.
void print_int(int32_t i);        // "%i"
void print_byte_hex(uint8_t b);   // "%02X"
void print_hex(uint32_t w);       // "%08X"
void print_float(double d);       // "%.16g"
void print_float32(float f);      // "%.7g" of its double value

}  // namespace zel::std_out
