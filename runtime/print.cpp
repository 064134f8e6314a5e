// The two hook lists, grown by five entries when full.
#include "runtime/print.h"
#include <cstdio>
#include <cstring>
#include "runtime/heap.h"
#include "runtime/memory.h"
#include "runtime/stdout.h"

namespace zel::print {

namespace {

constexpr size_t GROW_BY = 5;

template <typename Hook>
struct HookList {
    Hook* items = nullptr;
    size_t count = 0;
    size_t capacity = 0;

    void reset() {
        items = static_cast<Hook*>(sys::alloc(GROW_BY * sizeof(Hook)));
        count = 0;
        capacity = GROW_BY;
    }
    void add(Hook h) {
        if (count == capacity) {
            auto* bigger = static_cast<Hook*>(sys::alloc((capacity + GROW_BY) * sizeof(Hook)));
            std::memcpy(bigger, items, count * sizeof(Hook));
            sys::free(items);
            items = bigger;
            capacity += GROW_BY;
        }
        items[count++] = h;
    }
    void remove(Hook h) {
        for (size_t i = 0; i < count; ++i) {
            if (items[i] == h) {
                std::memmove(items + i, items + i + 1, (count - i - 1) * sizeof(Hook));
                --count;
                return;
            }
        }
    }
};

HookList<ValueHook> value_hooks;
HookList<TextHook> text_hooks;
bool ready = false;
GuiHook gui_begin = nullptr;
GuiHook gui_end = nullptr;

}  // namespace

void init() {
    value_hooks.reset();
    text_hooks.reset();
    value_hooks.add(default_hook);
    ready = true;
}

bool initialised() { return ready; }

void add_hooks(ValueHook vh, TextHook th) {
    if (vh) value_hooks.add(vh);
    if (th) text_hooks.add(th);
}

void remove_hooks(ValueHook vh, TextHook th) {
    if (vh) value_hooks.remove(vh);
    if (th) text_hooks.remove(th);
}

void call_hooks(const Cell* str, bool new_line) {
    // A hook may add or remove hooks; index against the live count.
    for (size_t i = 0; i < value_hooks.count; ++i) value_hooks.items[i](str, new_line);
}

void call_text_hooks(const char* text, size_t length, int flag) {
    if (!ready) return;
    for (size_t i = 0; i < text_hooks.count; ++i) text_hooks.items[i](text, length, flag);
}

void default_hook(const Cell* str, bool new_line) {
    on_print_begin();
    SeriesBuffer* buf = series::buffer_of(str);
    uint32_t unit = buf->unit();
    if (unit == 1 || unit == 2 || unit == 4) {
        uint64_t start = uint64_t{buf->head} + uint64_t{str->w1} * unit;
        uint64_t bytes = start < buf->tail ? buf->tail - start : 0;
        std_out::write(buf->data() + start, bytes, static_cast<int>(unit), new_line);
    } else {
        char msg[64];
        std::snprintf(msg, sizeof msg, "Error: unknown string encoding: %u", unit);
        std_out::print_c_string(msg);
    }
    std::fflush(stdout);
    on_print_end();
}

size_t value_hook_count() { return value_hooks.count; }
size_t value_hook_capacity() { return value_hooks.capacity; }

void set_gui_hooks(GuiHook begin, GuiHook end) {
    gui_begin = begin;
    gui_end = end;
}
void on_print_begin() {
    if (gui_begin) gui_begin();
}
void on_print_end() {
    if (gui_end) gui_end();
}

const char* build_date() {
    // __DATE__ is "Mmm dd yyyy"; the language's own date form is dd-Mmm-yyyy/hh:mm:ss.
    static char text[32];
    if (!text[0]) {
        const char* d = __DATE__;
        int day = (d[4] == ' ' ? 0 : d[4] - '0') * 10 + (d[5] - '0');
        std::snprintf(text, sizeof text, "%d-%.3s-%.4s/%s", day, d, d + 7, __TIME__);
    }
    return text;
}

}  // namespace zel::print
