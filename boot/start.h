// The start-up sequence of the program, run on the runtime thread.
#pragma once

namespace zel::boot {

// Sets up the process and the runtime, runs what the command line asks for,
// and takes the orderly quit path. Returns the exit status.
int main(int argc, char** argv);

// Runs fn on a thread with a large reserved stack and returns its status,
// so that the language's own depth limits are reached long before the
// machine stack runs out.
int run_on_runtime_stack(int (*fn)(int, char**), int argc, char** argv);

}  // namespace zel::boot
