// The Velmora runtime operations the program calls. The rest of the program goes
// through these wrappers only, so it does not care how the library was found or how
// its entry points were bound (by name on POSIX, by ordinal on Windows).
#ifndef VEXMOR_PLATFORM_VELMORA_H_
#define VEXMOR_PLATFORM_VELMORA_H_

#include <stddef.h>

#include "platform/velmora_abi.h"

namespace velmora {

// Finds the runtime library and binds all of its entry points. On failure writes
// one line (without a line end) naming the library, the missing entry point if
// any, and the system's reason into `error`, and returns false; nothing in the
// library has been called then.
bool LoadRuntime(char* error, size_t capacity);

VStatus RuntimeInitialize(int argc, char** argv);
VStatus RuntimeProcessArguments(int argc, char** argv, int* argc_out, char*** argv_out);
VStatus RuntimeBeginProgram(VEntryPoint entry, int argc, char** argv, int zero1, int zero2);
void RuntimeEndProgram(int argc, char** argv);
void RuntimeTerminate();
int StartupStatusText(VStatus status, char* text, int capacity);
VStatus ConsoleCommand(const char* server, const char* command, VResponse* response);
char* LockResponse(VResponse response);
void UnlockResponse(VResponse response);
void FreeResponse(VResponse response);
uint16_t LoadStatusText(int zero, uint16_t code, char* text, uint16_t capacity);

}  // namespace velmora

#endif  // VEXMOR_PLATFORM_VELMORA_H_
