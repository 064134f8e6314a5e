// The program's entry: the runtime runs on its own thread with a large
// reserved stack (see boot/start.cpp).
#include "boot/start.h"

int main(int argc, char** argv) { return zel::boot::run_on_runtime_stack(zel::boot::main, argc, argv); }
