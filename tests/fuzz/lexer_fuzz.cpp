// Fuzzes the lexer over any bytes, in every mode: load everything, one
// value at a time (each step must consume something, so /next loops end),
// scan and prescan, text given as a string!, and scans traced by a callback
// whose answers come from the input (refusing events, moving the input on,
// changing the binary being scanned). Beyond "no crash, no hang", a raised
// error must be a syntax error, the internal no-memory error, or a script
// error of a map literal's keys (a map compares its keys through their
// datatypes' compare actions).
// Run: lexer_fuzz -max_total_time=60 -max_len=1024 corpus/
#include <cstdlib>
#include <cstring>
#include "runtime/cycles.h"
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/string.h"
#include "runtime/errors.h"
#include "runtime/evaluator/lexer.h"
#include "runtime/memory.h"
#include "runtime/runtime.h"
#include "runtime/stack.h"

using namespace zel;

namespace {

void ignore_uncaught(const Cell*) {}

void require(bool ok) {
    if (!ok) std::abort();
}

// The runtime starts once. No collector runs yet, so the values of every
// run stay allocated: inputs are kept short (see -max_len in the runbook
// line below) and memory grows only with the number of runs.
void fresh_runtime() {
    static bool started = false;
    if (!started) {
        cycles::init();
        runtime::init();
        stack::set_uncaught_handler(ignore_uncaught);
        started = true;
    }
    stack::call_top = stack::call_begin;
    stack::arguments = stack::top = stack::bottom;
}

// Runs fn under a try frame; a raised error must be one the lexer raises.
template <typename Fn>
void guarded(Fn fn) {
    Cell name{TYPE_WORD, 0, 0, 0};
    CallFrame* depth = stack::call_top;
    stack::mark_try(&name);
    try {
        fn();
    } catch (const Thrown& t) {
        require(t.code == THROWN_ERROR);
        ErrClass cls = errors::class_of(stack::top_cell());
        require(cls == ERR_SYNTAX || cls == ERR_SCRIPT || std::strcmp(errors::id_of(stack::top_cell()), "no-memory") == 0);
        stack::call_top = depth;
        return;
    }
    if (stack::call_top > depth) stack::unwind();
}

Cell binary_of(const uint8_t* data, size_t size) {
    Cell b;
    binary::load_in(&b, static_cast<uint32_t>(size));
    SeriesBuffer* buf = series::buffer_of(&b);
    if (size) std::memcpy(buf->data() + buf->head, data, size);
    buf->tail = buf->head + static_cast<uint32_t>(size);
    return b;
}

// The traced scans: answers drawn from a byte of the input per event.
const uint8_t* answers;
size_t answer_count;
size_t next_answer;
Cell traced_binary;

bool call(const Cell*, Cell* args) {
    uint8_t a = answer_count ? answers[next_answer++ % answer_count] : 0;
    if (a & 0x10) ++args[1].w1;  // move on by one: always forward, so no loop
    if ((a & 0x60) == 0x60 && cell::type(&traced_binary) == TYPE_BINARY) {
        SeriesBuffer* buf = series::buffer_of(&traced_binary);
        if (buf->tail > buf->head) buf->data()[buf->head] ^= 0xFF;
        series::grow_tail(traced_binary.w2, 64);
    }
    return (a & 3) != 0;
}

void spec_of(const Cell*, Cell* out) { set_none(out); }
void token_name(int32_t n, Cell* out) { set_integer(out, n); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 4096) return 0;
    fresh_runtime();
    uint8_t mode = data[0] % 7;
    const uint8_t* text = data + 1;
    uint32_t n = static_cast<uint32_t>(size - 1);
    Cell out;
    switch (mode) {
        case 0:  // load everything
            guarded([&] { lexer::scan(&out, text, n, false, true, true, false, nullptr, nullptr, nullptr, nullptr); });
            break;
        case 1: {  // one value at a time, as transcode/next walks a text
            Cell bin = binary_of(text, n);
            for (uint32_t steps = 0; steps <= n; ++steps) {
                bool more = false;
                guarded([&] {
                    lexer::TranscodeArgs a{.source = &bin, .next = true};
                    Cell r;
                    lexer::transcode(&r, a);
                    const SeriesBuffer* buf = series::buffer_of(&r);
                    Cell rest = reinterpret_cast<const Cell*>(buf->data() + buf->head)[1];
                    uint32_t left = series::buffer_of(&rest)->length();
                    require(rest.w1 > bin.w1 || rest.w1 >= left);  // progress, or the end
                    more = rest.w1 < left;
                    bin = rest;
                });
                if (!more) break;
            }
            break;
        }
        case 2:  // scan one token, then prescan one
            lexer::scan(&out, text, n, true, true, false, false, nullptr, nullptr, nullptr, nullptr);
            lexer::scan(&out, text, n, true, false, true, false, nullptr, nullptr, nullptr, nullptr);
            break;
        case 3: {  // the bytes as Latin-1 characters of a string!
            Cell str;
            string::make_in(&str, n, 1);
            SeriesBuffer* buf = series::buffer_of(&str);
            if (n) std::memcpy(buf->data() + buf->head, text, n);
            buf->tail = buf->head + n;
            guarded([&] { lexer::load_string(&out, &str, -1, false, true, true, false, nullptr, nullptr, nullptr); });
            break;
        }
        case 4: {  // a word name
            uint32_t start, length;
            if (lexer::scan_word_name(text, n, &start, &length)) require(start + length <= n);
            break;
        }
        default: {  // traced by a callback answering from the input's last bytes
            size_t k = n < 16 ? n : 16;
            answers = text + n - k;
            answer_count = k;
            next_answer = 0;
            lexer::set_callback_hook({call, spec_of, token_name});
            traced_binary = binary_of(text, n - k);
            Cell callback;
            set_integer(&callback, 1);
            guarded([&] {
                lexer::TranscodeArgs a{.source = &traced_binary, .one = mode == 6, .trace = &callback};
                lexer::transcode(&out, a);
            });
            lexer::set_callback_hook({});
            set_none(&traced_binary);
            break;
        }
    }
    return 0;
}
