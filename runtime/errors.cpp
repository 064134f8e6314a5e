// Raising language errors, and the runtime failure reporter.
#include "runtime/errors.h"
#include "runtime/collector.h"
#include <link.h>
#include <sys/mman.h>
#include <signal.h>
#include <ucontext.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>
#include "runtime/heap.h"
#include "runtime/stack.h"
#include "runtime/stdout.h"

namespace zel {

const Cell null_cell = {0, 0, 0, 0};

namespace {

// Until the error! datatype exists, an error value is an error! cell whose
// word 1 holds the class and word 2 an index into a table of id names;
// word 3 indexes the record that keeps its arguments. Records are never
// reused: an error value kept aside must still report its own arguments
// after any number of later errors. (A deque keeps the records in place as
// it grows, so pointers handed out stay valid.)
struct ProvisionalArgs {
    Cell args[3];
    bool given[3];
    Cell near;  // the code being evaluated when the error was made
};
std::deque<ProvisionalArgs>& records() {
    static std::deque<ProvisionalArgs> all;
    return all;
}

std::vector<std::string>& id_names() {
    static std::vector<std::string> names;
    return names;
}

uint32_t intern_id(const char* id) {
    auto& names = id_names();
    for (uint32_t i = 0; i < names.size(); ++i)
        if (names[i] == id) return i;
    names.emplace_back(id);
    return static_cast<uint32_t>(names.size() - 1);
}

void provisional_builder(Cell* out, ErrClass cls, const char* id, const Cell* args[3]) {
    auto& all = records();
    uint32_t slot = static_cast<uint32_t>(all.size());
    ProvisionalArgs& r = all.emplace_back();
    for (int i = 0; i < 3; ++i) {
        r.given[i] = args[i] != nullptr;
        if (args[i]) r.args[i] = *args[i];
    }
    errors::current_near(&r.near);
    cell::set(out, TYPE_ERROR, static_cast<uint32_t>(cls), intern_id(id), slot);
}

void provisional_printer(const Cell* error) {
    std::string line = "*** ";
    line += errors::class_title(errors::class_of(error));
    line += ": ";
    line += errors::id_of(error);
    line += "\n*** Where: ???\n*** Near : ???\n";
    std_out::print_c_string(line.c_str());
}

errors::Builder builder = provisional_builder;
errors::FireHook fire_hook = nullptr;
errors::Printer printer = provisional_printer;

}  // namespace

void fire(ErrClass cls, const char* id, const Cell* arg1, const Cell* arg2, const Cell* arg3) {
    Cell err;
    errors::build(&err, cls, id, arg1, arg2, arg3);
    if (fire_hook) fire_hook(&err);
    stack::throw_error(&err);
}

namespace errors {

void set_fire_hook(FireHook h) { fire_hook = h; }
void set_builder(Builder b) { builder = b ? b : provisional_builder; }
void set_printer(Printer p) { printer = p ? p : provisional_printer; }

void build(Cell* out, ErrClass cls, const char* id, const Cell* a1, const Cell* a2, const Cell* a3) {
    const Cell* args[3] = {a1, a2, a3};
    builder(out, cls, id, args);
}

void print(const Cell* error) { printer(error); }

void print(ErrClass cls, const char* id, const Cell* a1, const Cell* a2, const Cell* a3) {
    Cell err;
    build(&err, cls, id, a1, a2, a3);
    printer(&err);
}

namespace {
CallNamer call_namer = nullptr;
ArgNamer arg_namer = nullptr;
CallNamer near_namer = nullptr;
}  // namespace

void set_call_namers(CallNamer call, ArgNamer arg) {
    call_namer = call;
    arg_namer = arg;
}
void set_near_namer(CallNamer near) { near_namer = near; }
void current_near(Cell* out) {
    set_unset(out);
    if (near_namer) near_namer(out);
}
void caller_word(Cell* out) {
    set_none(out);
    if (call_namer) call_namer(out);
}
void caller_arg_word(int n, Cell* out) {
    set_none(out);
    if (arg_namer) arg_namer(n, out);
}

const Cell* arg_of(const Cell* error, int n) {
    if (n < 1 || n > 3 || error->w3 >= records().size()) return nullptr;
    const ProvisionalArgs& a = records()[error->w3];
    return a.given[n - 1] ? &a.args[n - 1] : nullptr;
}

const Cell* near_of(const Cell* error) {
    if (error->w3 >= records().size()) return nullptr;
    return &records()[error->w3].near;
}

ErrClass class_of(const Cell* error) { return static_cast<ErrClass>(error->w1); }

const char* id_of(const Cell* error) {
    auto& names = id_names();
    return error->w2 < names.size() ? names[error->w2].c_str() : "?";
}

const char* class_title(ErrClass cls) {
    switch (cls) {
        case ERR_THROW: return "Throw Error";
        case ERR_NOTE: return "Note";
        case ERR_SYNTAX: return "Syntax Error";
        case ERR_SCRIPT: return "Script Error";
        case ERR_MATH: return "Math Error";
        case ERR_ACCESS: return "Access Error";
        case ERR_USER: return "User Error";
        case ERR_INTERNAL: return "Internal Error";
        default: return "Error";
    }
}

}  // namespace errors

namespace sys {

volatile int interrupt_pending = 0;

const char* runtime_error_message(int n) {
    static const char* const low[] = {
        nullptr,
        "access violation", "invalid alignment", "breakpoint", "single step", "bounds exceeded",
        "float denormal operan", "float divide by zero", "float inexact result",
        "float invalid operation", "float overflow", "float stack check", "float underflow",
        "integer divide by zero", "integer overflow", "privileged instruction",
        "invalid virtual address", "illegal instruction", "non-continuable exception",
        "stack error or overflow", "invalid disposition", "guard page", "invalid handle",
        "illegal operand", "illegal addressing mode", "illegal trap", "coprocessor error",
        "non-existent physical address", "object specific hardware error",
        "hardware memory error consumed AR", "hardware memory error consumed AO",
        "privileged register", "segmentation fault", "FPU error", "Bus error",
    };
    if (n >= 1 && n <= 34) return low[n];
    switch (n) {
        case 94: return "out of memory";
        case 95: return "no CATCH for THROW";
        case 98: return "assertion failed";
        case 99: return "unknown error";
        case 100: return "no value matched in CASE";
        case 101: return "no value matched in SWITCH";
        default: return "unknown error code!";
    }
}

namespace {

uintptr_t load_address = 0;

int find_load_address(dl_phdr_info* info, size_t, void*) {
    load_address = info->dlpi_addr;  // the first object listed is the program itself
    return 1;
}

// Formats the failure report into a buffer; no allocation.
size_t format_report(char* out, size_t cap, int number, uintptr_t address) {
    int n = std::snprintf(out, cap, "\n*** Runtime Error %d: %s\n*** at: %08Xh\n", number,
                          runtime_error_message(number), static_cast<unsigned>(address & 0xFFFFFFFFu));
    return n < 0 ? 0 : static_cast<size_t>(n) < cap ? static_cast<size_t>(n) : cap - 1;
}

void write_all(int fd, const char* p, size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w <= 0) return;
        p += w;
        n -= static_cast<size_t>(w);
    }
}

// Maps a processor fault to its runtime error number.
int fault_number(int sig, int code) {
    switch (sig) {
        case SIGSEGV:
            return code == SEGV_ACCERR ? 1 : 32;
        case SIGBUS:
            switch (code) {
                case BUS_ADRALN: return 2;
                case BUS_ADRERR: return 27;
                case BUS_OBJERR: return 28;
#ifdef BUS_MCEERR_AR
                case BUS_MCEERR_AR: return 29;
                case BUS_MCEERR_AO: return 30;
#endif
                default: return 34;
            }
        case SIGFPE:
            switch (code) {
                case FPE_INTDIV: return 13;
                case FPE_INTOVF: return 14;
                case FPE_FLTDIV: return 7;
                case FPE_FLTOVF: return 10;
                case FPE_FLTUND: return 12;
                case FPE_FLTRES: return 8;
                case FPE_FLTINV: return 9;
                case FPE_FLTSUB: return 5;
                default: return 33;
            }
        case SIGILL:
            switch (code) {
                case ILL_ILLOPC: return 17;
                case ILL_ILLOPN: return 23;
                case ILL_ILLADR: return 24;
                case ILL_ILLTRP: return 25;
                case ILL_PRVOPC: return 15;
                case ILL_PRVREG: return 31;
                case ILL_COPROC: return 26;
                case ILL_BADSTK: return 19;
                default: return 17;
            }
        default:
            return 99;
    }
}

// A processor fault: report it and end. Nothing here may take a lock (the
// fault may have struck inside malloc), so the heap is left to the kernel.
void on_fault(int sig, siginfo_t* info, void* context) {
    uintptr_t pc = 0;
#if defined(__x86_64__)
    if (context) pc = static_cast<uintptr_t>(static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_RIP]);
#endif
    if (!pc && info) pc = reinterpret_cast<uintptr_t>(info->si_addr);
    int number = fault_number(sig, info ? info->si_code : 0);
    char report[160];
    size_t n = format_report(report, sizeof report, number, image_offset(pc));
    write_all(std_out::fd(), report, n);
    _exit(number);
}

// The flag first: the interpreter looks for it once it sees `attention`.
void on_interrupt(int) {
    interrupt_pending = 1;
    collector::attention = 1;
}

}  // namespace

uintptr_t image_offset(uintptr_t address) {
    if (!load_address) dl_iterate_phdr(find_load_address, nullptr);
    return address >= load_address ? address - load_address : address;
}

void install_exception_filter() {
    if (!load_address) dl_iterate_phdr(find_load_address, nullptr);
    // Faults are reported on their own stack, so that running out of machine
    // stack is still reported. The stack is per thread: call this on the
    // thread that runs the runtime.
    static thread_local void* alt_stack = nullptr;
    if (!alt_stack) {
        constexpr size_t ALT_SIZE = 64 * 1024;
        alt_stack = mmap(nullptr, ALT_SIZE, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (alt_stack != MAP_FAILED) {
            stack_t ss{};
            ss.ss_sp = alt_stack;
            ss.ss_size = ALT_SIZE;
            sigaltstack(&ss, nullptr);
        }
    }
    struct sigaction sa {};
    sa.sa_sigaction = on_fault;
    sa.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL}) sigaction(sig, &sa, nullptr);
    struct sigaction si {};
    si.sa_handler = on_interrupt;
    sigemptyset(&si.sa_mask);
    sigaction(SIGINT, &si, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

void honour_interrupt() {
    if (interrupt_pending) quit(0);
}

void quit(int status) {
    free_all();
    std::exit(status);
}

void runtime_error(int number, uintptr_t address) {
    if (number == 0) quit(0);
    char report[160];
    size_t n = format_report(report, sizeof report, number, address);
    write_all(std_out::fd(), report, n);
    free_all();
    std::exit(number);
}

}  // namespace sys
}  // namespace zel
