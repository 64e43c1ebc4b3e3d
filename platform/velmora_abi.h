// The binary interface of the Velmora runtime library, as both the program and the
// project's stand-in libraries see it. Plain C types so that any build of the
// library, the real one included, can sit behind it.
#ifndef VEXMOR_PLATFORM_VELMORA_ABI_H_
#define VEXMOR_PLATFORM_VELMORA_ABI_H_

#include <stdint.h>

typedef uint16_t VStatus;    // 0 = success; bits 0-13 error code; bits 14, 15 flags
typedef uint32_t VResponse;  // opaque response handle
typedef int (*VEntryPoint)(int argc, char** argv);

// Mask that drops the two flag bits and leaves the error code.
constexpr VStatus kStatusCodeMask = 0x3FFF;
// Flag that keeps the start-up status text off the console.
constexpr VStatus kStatusQuiet = 0x8000;

// The runtime writes at most this many characters of a status text, plus a zero.
constexpr int kStatusTextCapacity = 255;

// Function types of the eleven entry points, with their Windows ordinals.
extern "C" {
typedef VStatus (*RuntimeInitializeFn)(int argc, char** argv);  // 15
typedef VStatus (*RuntimeProcessArgumentsFn)(int argc, char** argv, int* argcOut,
                                             char*** argvOut);  // 51
typedef VStatus (*RuntimeBeginProgramFn)(VEntryPoint entry, int argc, char** argv, int zero1,
                                         int zero2);                           // 25
typedef void (*RuntimeEndProgramFn)(int argc, char** argv);                    // 52
typedef void (*RuntimeTerminateFn)(void);                                      // 13
typedef int (*StartupStatusTextFn)(VStatus status, char* text, int capacity);  // 29
typedef VStatus (*ConsoleCommandFn)(const char* server, const char* command,
                                    VResponse* response);  // 2239
typedef char* (*LockResponseFn)(VResponse response);       // 182
typedef void (*UnlockResponseFn)(VResponse response);      // 183
typedef void (*FreeResponseFn)(VResponse response);        // 143
typedef uint16_t (*LoadStatusTextFn)(int zero, uint16_t code, char* text,
                                     uint16_t capacity);  // 707
}

#endif  // VEXMOR_PLATFORM_VELMORA_ABI_H_
