// The start-up sequence of the program, run on the runtime thread.
#pragma once

namespace zel::boot {

// Sets up the process and the runtime, runs what the command line asks for,
// and takes the orderly quit path. Returns the exit status.
int main(int argc, char** argv);

}  // namespace zel::boot
