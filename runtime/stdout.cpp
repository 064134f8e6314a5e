// UTF-8 output through one small buffer, flushed at the end of every write so
// that a line costs one system call and nothing waits in the buffer.
#include "runtime/stdout.h"
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include "runtime/print.h"
#include "runtime/utf8.h"

namespace zel::std_out {

namespace {

constexpr size_t BUFFER_SIZE = 1024;
// Flush before the next code point could overflow the buffer.
constexpr size_t FLUSH_AT = BUFFER_SIZE - 4;

uint8_t buffer[BUFFER_SIZE];
size_t used = 0;
int out_fd = STDOUT_FILENO;
bool terminal = false;

// Writes everything, retrying interrupted and partial writes. Errors (a
// closed pipe among them) are ignored: output failing must not end the run.
void flush() {
    size_t done = 0;
    while (done < used) {
        ssize_t n = ::write(out_fd, buffer + done, used - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        done += static_cast<size_t>(n);
    }
    used = 0;
}

inline void put(uint32_t cp) {
    if (used >= FLUSH_AT) flush();
    used += static_cast<size_t>(utf8::encode(cp, buffer + used));
}

void put_bytes(const char* s, size_t n) {
    while (n > 0) {
        if (used == BUFFER_SIZE) flush();
        size_t chunk = BUFFER_SIZE - used < n ? BUFFER_SIZE - used : n;
        std::memcpy(buffer + used, s, chunk);
        used += chunk;
        s += chunk;
        n -= chunk;
    }
}

void print_number(const char* text) {
    put_bytes(text, std::strlen(text));
    flush();
    print::call_text_hooks(text, std::strlen(text), 0);
}

}  // namespace

void init() {
    used = 0;
    terminal = isatty(out_fd) == 1;
}

bool is_terminal() { return terminal; }
void set_fd(int fd) {
    flush();
    out_fd = fd;
    terminal = isatty(out_fd) == 1;
}
int fd() { return out_fd; }

void write(const void* text, size_t bytes, int unit, bool new_line) {
    const auto* p = static_cast<const uint8_t*>(text);
    switch (unit) {
        case 1:
            for (size_t i = 0; i < bytes; ++i) put(p[i]);
            break;
        case 2:
            for (size_t i = 0; i + 1 < bytes; i += 2) {
                uint16_t u;
                std::memcpy(&u, p + i, 2);
                put(u);
            }
            break;
        case 4:
            for (size_t i = 0; i + 3 < bytes; i += 4) {
                uint32_t u;
                std::memcpy(&u, p + i, 4);
                put(u);
            }
            break;
        default: break;
    }
    if (new_line) put('\n');
    flush();
}

void print_latin1(const void* t, size_t n) { write(t, n, 1, false); }
void print_line_latin1(const void* t, size_t n) { write(t, n, 1, true); }
void print_ucs2(const void* t, size_t n) { write(t, n, 2, false); }
void print_line_ucs2(const void* t, size_t n) { write(t, n, 2, true); }
void print_ucs4(const void* t, size_t n) { write(t, n, 4, false); }
void print_line_ucs4(const void* t, size_t n) { write(t, n, 4, true); }

const char* print_c_string(const char* s) {
    size_t n = std::strlen(s);
    put_bytes(s, n);
    flush();
    print::call_text_hooks(s, n, 0);
    return s;
}

void print_int(int32_t i) {
    char b[32];
    std::snprintf(b, sizeof b, "%i", i);
    print_number(b);
}
void print_byte_hex(uint8_t v) {
    char b[8];
    std::snprintf(b, sizeof b, "%02X", v);
    print_number(b);
}
void print_hex(uint32_t w) {
    char b[16];
    std::snprintf(b, sizeof b, "%08X", w);
    print_number(b);
}
void print_float(double d) {
    char b[64];
    std::snprintf(b, sizeof b, "%.16g", d);
    print_number(b);
}
void print_float32(float f) {
    char b[64];
    std::snprintf(b, sizeof b, "%.7g", static_cast<double>(f));
    print_number(b);
}

}  // namespace zel::std_out
