// POSIX implementation of the operating-system services layer.
#include "platform/os.h"
#include <pthread.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <unistd.h>
#include "runtime/errors.h"
#include "runtime/stdout.h"

namespace zel::platform {

void* alloc_virtual(size_t size) {
    void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
}

bool free_virtual(void* p, size_t size) { return munmap(p, size) == 0; }

bool thread_stack_bounds(uintptr_t* low, size_t* size) {
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) != 0) return false;
    void* addr = nullptr;
    size_t n = 0;
    bool ok = pthread_attr_getstack(&attr, &addr, &n) == 0;
    pthread_attr_destroy(&attr);
    if (!ok || !addr || !n) return false;
    *low = reinterpret_cast<uintptr_t>(addr);
    *size = n;
    return true;
}

std::string get_current_dir() {
    std::string out;
    size_t cap = 256;
    for (;;) {
        out.resize(cap);
        if (getcwd(out.data(), cap)) {
            out.resize(std::char_traits<char>::length(out.c_str()));
            return out;
        }
        if (errno != ERANGE) return std::string();
        cap *= 2;
    }
}

bool set_current_dir(const char* path) { return chdir(path) == 0; }

void wait(double seconds) {
    double ms = seconds * 1000.0;
    // NaN and negative waits sleep the minimum; huge ones are capped at a day.
    long long whole = (ms >= 1.0 && ms < 86400000.0) ? static_cast<long long>(ms) : (ms >= 86400000.0 ? 86400000 : 1);
    timespec ts{static_cast<time_t>(whole / 1000), static_cast<long>((whole % 1000) * 1000000)};
    while (nanosleep(&ts, &ts) == -1 && errno == EINTR) {
        if (sys::interrupt_pending) return;
    }
}

bool set_env(const char* name, const char* value) { return setenv(name, value, 1) == 0; }

bool get_env(const char* name, std::string& out) {
    const char* v = getenv(name);
    if (!v) return false;
    out = v;
    return true;
}

double get_time(bool precise) {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    double secs = static_cast<double>(ts.tv_sec % 86400);
    if (precise) secs += static_cast<double>(ts.tv_nsec / 100 * 100) / 1e9;
    return secs;
}

uint32_t pack_zone(long gmtoff) {
    long minutes = gmtoff / 60;
    long hours = minutes / 60;  // truncated toward zero
    long quarter = ((minutes % 60) + 60) % 60 / 15;
    uint32_t h = static_cast<uint32_t>(std::labs(hours)) & 0x0F;
    if (hours < 0) h |= 0x10;
    return (h << 2) | static_cast<uint32_t>(quarter);
}

uint32_t get_date(bool utc) {
    time_t now = time(nullptr);
    tm t{};
    if (utc) gmtime_r(&now, &t); else localtime_r(&now, &t);
    uint32_t zone = utc ? 0 : pack_zone(t.tm_gmtoff);
    uint32_t year = static_cast<uint32_t>(t.tm_year + 1900);
    return year << 17 | static_cast<uint32_t>(t.tm_mon + 1) << 12 | static_cast<uint32_t>(t.tm_mday) << 7 | zone;
}

void secure_random(void* buf, size_t n) {
    auto* p = static_cast<uint8_t*>(buf);
    while (n > 0) {
        ssize_t got = getrandom(p, n, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            sys::runtime_error(99, ZEL_HERE());
        }
        p += got;
        n -= static_cast<size_t>(got);
    }
}

void init() { std_out::init(); }

}  // namespace zel::platform
