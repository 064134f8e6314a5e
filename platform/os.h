// The operating-system services the runtime needs: page memory for frames,
// the current directory, environment, clock and time zone, sleeping and the
// secure random source. A thin layer over POSIX.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace zel::platform {

// Read-write memory from the kernel, zero-filled; null on failure.
void* alloc_virtual(size_t size);
bool free_virtual(void* p, size_t size);

// The current directory (UTF-8), and changing it.
std::string get_current_dir();
bool set_current_dir(const char* path);

// Sleeps trunc(seconds x 1000) milliseconds, at least 1; returns early on an interrupt.
void wait(double seconds);

bool set_env(const char* name, const char* value);
// True when the variable exists; its value goes to `out`.
bool get_env(const char* name, std::string& out);

// UTC time of day in seconds; with `precise` the fraction of the second too.
double get_time(bool precise);
// The date packed as year << 17 | month << 12 | day << 7 | zone. Zone is 0
// for UTC; for local time: |hours| & 0Fh, 10h when negative, shifted left by
// 2, ORed with the quarter hours.
uint32_t get_date(bool utc);
// Zone field for an offset from UTC in seconds (tm_gmtoff).
uint32_t pack_zone(long gmtoff_seconds);

// Fills the buffer with cryptographically secure random bytes.
void secure_random(void* buf, size_t n);

// The lowest address of the calling thread's machine stack and its size;
// false when the system does not say.
bool thread_stack_bounds(uintptr_t* low, size_t* size);

// The platform start sequence (console output among it).
void init();

}  // namespace zel::platform
