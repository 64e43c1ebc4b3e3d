// Opening the runtime library and looking up its entry points: the one part of
// reaching the runtime that differs between platforms.
#ifndef VEXMOR_PLATFORM_LIBRARY_H_
#define VEXMOR_PLATFORM_LIBRARY_H_

#include <stddef.h>

namespace velmora {

typedef void (*GenericEntry)();

// Opens the runtime library, from the directory of the running executable first,
// then through the platform's usual search. On failure writes a one-line reason
// into `error` and returns false.
bool OpenRuntimeLibrary(char* error, size_t capacity);

// Looks up one entry point of the opened library: by `name` where the platform
// exports names, by `ordinal` where it does not. On failure writes a one-line
// reason into `error` and returns null.
GenericEntry FindRuntimeEntry(const char* name, int ordinal, char* error, size_t capacity);

}  // namespace velmora

#endif  // VEXMOR_PLATFORM_LIBRARY_H_
