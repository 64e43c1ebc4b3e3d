// The program's main routine, run inside the Velmora runtime.
#ifndef VEXMOR_INVOCATION_PROGRAM_H_
#define VEXMOR_INVOCATION_PROGRAM_H_

#include "platform/velmora_abi.h"

// Reads the arguments, runs a session with the named server and closes the
// transcript. Always returns 0: a usage text or an unreachable server is not a
// failure of the run.
VStatus ProgramMain(int argc, char** argv);

#endif  // VEXMOR_INVOCATION_PROGRAM_H_
