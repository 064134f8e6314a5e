// Number action probe for the outside checks: reads commands from standard
// input, one a line, runs each through the action table and writes one line:
// "i <integer>", "f <double in %a>" or "e <error id>".
//   M <op> <a> <b>       integer arithmetic, op 0-7 (add ... xor)
//   R <a> <scale> <mode> round/to of an integer! by an integer! scale
//   G <x> <scale> <mode> round/to of a float! by a float! scale (both %a)
//   N <x> <mode>         round of a float! without /to
// A mode is "-" or letters: e even, d down, h half-down, f floor, c ceiling,
// u half-ceiling.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include "runtime/actions.h"
#include "runtime/cycles.h"
#include "runtime/errors.h"
#include "runtime/runtime.h"
#include "runtime/stack.h"

namespace {

using namespace zel;

const int MATH_SLOTS[] = {ACT_ADD, ACT_SUBTRACT, ACT_MULTIPLY, ACT_DIVIDE, ACT_REMAINDER, ACT_OR_T, ACT_AND_T, ACT_XOR_T};

struct Mode {
    bool even = false, down = false, half_down = false, floor = false, ceiling = false, half_ceiling = false;
};
Mode mode_of(const char* s) {
    Mode m;
    for (; *s && *s != ' ' && *s != '\n'; ++s) {
        switch (*s) {
            case 'e': m.even = true; break;
            case 'd': m.down = true; break;
            case 'h': m.half_down = true; break;
            case 'f': m.floor = true; break;
            case 'c': m.ceiling = true; break;
            case 'u': m.half_ceiling = true; break;
            default: break;
        }
    }
    return m;
}

// Runs one command inside a try frame; the result cell or the error id.
template <typename Fn>
std::string run(Fn fn) {
    stack::call_top = stack::call_begin;
    stack::arguments = stack::top = stack::bottom;
    Cell name{TYPE_WORD, 0, 0, 0};
    stack::mark_try(&name);
    char text[64];
    try {
        Cell r = fn();
        if (cell::type(&r) == TYPE_INTEGER) std::snprintf(text, sizeof text, "i %d", static_cast<int32_t>(r.w2));
        else std::snprintf(text, sizeof text, "f %a", cell::get_float(&r));
    } catch (const Thrown&) {
        std::snprintf(text, sizeof text, "e %s", errors::id_of(stack::top_cell()));
    }
    return text;
}

Cell round_cell(Cell value, Cell* scale, const Mode& m) {
    return *actions::round(&value, scale, m.even, m.down, m.half_down, m.floor, m.ceiling, m.half_ceiling);
}

std::string answer(const char* line) {
    char* p = nullptr;
    switch (line[0]) {
        case 'M': {
            long op = std::strtol(line + 2, &p, 10);
            long a = std::strtol(p, &p, 10), b = std::strtol(p, &p, 10);
            if (op < 0 || op > 7) return "?";
            return run([&] {
                stack::arguments = stack::top;
                set_integer(stack::push_new(), static_cast<int32_t>(a));
                set_integer(stack::push_new(), static_cast<int32_t>(b));
                actions::typed<actions::StackFn>(actions::get_action_first_arg(MATH_SLOTS[op]))();
                return *stack::arguments;
            });
        }
        case 'R': {
            long a = std::strtol(line + 2, &p, 10), s = std::strtol(p, &p, 10);
            Mode m = mode_of(p + 1);
            return run([&] {
                Cell v, scale;
                set_integer(&v, static_cast<int32_t>(a));
                set_integer(&scale, static_cast<int32_t>(s));
                return round_cell(v, &scale, m);
            });
        }
        case 'G':
        case 'N': {
            double x = std::strtod(line + 2, &p);
            double s = line[0] == 'G' ? std::strtod(p, &p) : 0.0;
            Mode m = mode_of(p + 1);
            return run([&] {
                Cell v, scale;
                set_float(&v, x);
                set_float(&scale, s);
                return round_cell(v, line[0] == 'G' ? &scale : nullptr, m);
            });
        }
        default:
            return "?";
    }
}

}  // namespace

int main() {
    cycles::init();
    runtime::init();
    stack::set_uncaught_handler([](const Cell*) {});
    std::string out;
    char line[256];
    while (std::fgets(line, sizeof line, stdin)) {
        out += answer(line);
        out += '\n';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}
