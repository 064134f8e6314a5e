// Language errors and runtime failures.
//
// A language error is an error! value thrown to the nearest try frame of the
// call stack; it crosses C++ frames as a `Thrown` exception carrying the
// thrown code (the error value itself waits on the argument stack). A runtime
// failure prints a fixed report and ends the process.
#pragma once
#include <cstdint>
#include "runtime/cell.h"

namespace zel {

// Thrown codes, lowest first. A handler whose catch code is at least the
// thrown code takes it; it rethrows everything above its catch code.
enum ThrownCode : uint32_t {
    THROWN_EXIT = 0x7FFFFFFBu,      // exit from a function
    THROWN_RETURN = 0x7FFFFFFCu,    // return from a function with a value
    THROWN_CONTINUE = 0x7FFFFFFDu,  // continue a loop
    THROWN_BREAK = 0x7FFFFFFEu,     // break a loop
    THROWN_ERROR = 0x7FFFFFFFu,     // language error
    THROWN_QUIT = 0x0BADCAFEu,      // orderly quit requested from deep inside
};

// The one exception type of the runtime.
struct Thrown {
    uint32_t code;
};

// Error classes in catalogue order; an error's code is class x 100 + id.
enum ErrClass : int {
    ERR_THROW = 0, ERR_NOTE, ERR_SYNTAX, ERR_SCRIPT, ERR_MATH, ERR_ACCESS,
    ERR_RESERVED1, ERR_RESERVED2, ERR_USER, ERR_INTERNAL,
};

// Raises a language error named by its class and id word (the id's text,
// such as "no-memory"), with up to three argument cells (null when absent).
// Never returns.
[[noreturn]] void fire(ErrClass cls, const char* id, const Cell* arg1 = nullptr,
                       const Cell* arg2 = nullptr, const Cell* arg3 = nullptr);

namespace errors {

// Builds the error value into `out`. Until the error! datatype exists the
// runtime keeps a provisional form (see errors.cpp); the datatype replaces
// the builder and the printer when it registers.
using Builder = void (*)(Cell* out, ErrClass cls, const char* id, const Cell* args[3]);
// Called with every error just before it is thrown (the tracer reports it).
using FireHook = void (*)(const Cell* error);
void set_fire_hook(FireHook h);
using Printer = void (*)(const Cell* error);
void set_builder(Builder b);
void set_printer(Printer p);
void build(Cell* out, ErrClass cls, const char* id, const Cell* a1, const Cell* a2, const Cell* a3);
// Prints an error report the way an uncaught error is printed.
void print(const Cell* error);

// Reports an error without raising it (used where raising would be wrong,
// such as inside the terminal backend's event loop).
void print(ErrClass cls, const char* id, const Cell* a1 = nullptr, const Cell* a2 = nullptr,
           const Cell* a3 = nullptr);

// Names the innermost named call (the word of `stack/get-call`) and the
// n-th argument word of the function being called (from 1); error reports
// carry them. Installed by the interpreter; until then both give none!.
using CallNamer = void (*)(Cell* out);
using ArgNamer = void (*)(int n, Cell* out);
void set_call_namers(CallNamer call, ArgNamer arg);
void caller_word(Cell* out);
void caller_arg_word(int n, Cell* out);
// The code being evaluated, positioned at the expression under way (unset
// when nothing is), which an error records as where it arose. Installed by
// the interpreter.
void set_near_namer(CallNamer near);
void current_near(Cell* out);

// Argument n (1-3) of a provisional error value, or null when not given.
const Cell* arg_of(const Cell* error, int n);
// The code a provisional error value arose in (see current_near), or null.
const Cell* near_of(const Cell* error);

// The class and id of a provisional error value (tests and reports).
ErrClass class_of(const Cell* error);
const char* id_of(const Cell* error);
// The class title printed after "*** ", such as "Script Error".
const char* class_title(ErrClass cls);

}  // namespace errors

namespace sys {

// Ends the process with a runtime failure report (number 0: orderly quit,
// nothing printed, status 0). `address` is an offset into the program image.
[[noreturn]] void runtime_error(int number, uintptr_t address = 0);
// The message of a runtime error number ("unknown error code!" when none).
const char* runtime_error_message(int number);
// The orderly quit with a given status: frees every listed heap block.
[[noreturn]] void quit(int status);
// Installs the processor-fault, interrupt and pipe handlers.
void install_exception_filter();
// Offset of a code address from the program's load address.
uintptr_t image_offset(uintptr_t address);
// The caller's code address, as an image offset (for failure reports).
#define ZEL_HERE() ::zel::sys::image_offset(reinterpret_cast<uintptr_t>(__builtin_return_address(0)))

// Interrupt (Ctrl-C) requested and not yet honoured; safe points poll it
// (its handler also sets collector::attention, which they look at first).
extern volatile int interrupt_pending;
void honour_interrupt();

}  // namespace sys
}  // namespace zel
