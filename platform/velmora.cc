#include "platform/velmora.h"

#include "platform/library.h"

namespace velmora {
namespace {

enum Entry {
  kRuntimeInitialize,
  kRuntimeProcessArguments,
  kRuntimeBeginProgram,
  kRuntimeEndProgram,
  kRuntimeTerminate,
  kStartupStatusText,
  kConsoleCommand,
  kLockResponse,
  kUnlockResponse,
  kFreeResponse,
  kLoadStatusText,
  kEntryCount
};

struct EntryName {
  const char* name;
  int ordinal;
};

// Indexed by Entry.
constexpr EntryName kEntryNames[kEntryCount] = {
    {"RuntimeInitialize", 15}, {"RuntimeProcessArguments", 51}, {"RuntimeBeginProgram", 25},
    {"RuntimeEndProgram", 52}, {"RuntimeTerminate", 13},        {"StartupStatusText", 29},
    {"ConsoleCommand", 2239},  {"LockResponse", 182},           {"UnlockResponse", 183},
    {"FreeResponse", 143},     {"LoadStatusText", 707},
};

GenericEntry gEntries[kEntryCount];

template <typename Fn>
Fn Bound(Entry entry) {
  return reinterpret_cast<Fn>(gEntries[entry]);
}

}  // namespace

bool LoadRuntime(char* error, size_t capacity) {
  if (!OpenRuntimeLibrary(error, capacity))
    return false;
  for (int i = 0; i < kEntryCount; ++i) {
    gEntries[i] = FindRuntimeEntry(kEntryNames[i].name, kEntryNames[i].ordinal, error, capacity);
    if (gEntries[i] == nullptr)
      return false;
  }
  return true;
}

VStatus RuntimeInitialize(int argc, char** argv) {
  return Bound<RuntimeInitializeFn>(kRuntimeInitialize)(argc, argv);
}

VStatus RuntimeProcessArguments(int argc, char** argv, int* argc_out, char*** argv_out) {
  return Bound<RuntimeProcessArgumentsFn>(kRuntimeProcessArguments)(argc, argv, argc_out, argv_out);
}

VStatus RuntimeBeginProgram(VEntryPoint entry, int argc, char** argv, int zero1, int zero2) {
  return Bound<RuntimeBeginProgramFn>(kRuntimeBeginProgram)(entry, argc, argv, zero1, zero2);
}

void RuntimeEndProgram(int argc, char** argv) {
  Bound<RuntimeEndProgramFn>(kRuntimeEndProgram)(argc, argv);
}

void RuntimeTerminate() {
  Bound<RuntimeTerminateFn>(kRuntimeTerminate)();
}

int StartupStatusText(VStatus status, char* text, int capacity) {
  return Bound<StartupStatusTextFn>(kStartupStatusText)(status, text, capacity);
}

VStatus ConsoleCommand(const char* server, const char* command, VResponse* response) {
  return Bound<ConsoleCommandFn>(kConsoleCommand)(server, command, response);
}

char* LockResponse(VResponse response) {
  return Bound<LockResponseFn>(kLockResponse)(response);
}

void UnlockResponse(VResponse response) {
  Bound<UnlockResponseFn>(kUnlockResponse)(response);
}

void FreeResponse(VResponse response) {
  Bound<FreeResponseFn>(kFreeResponse)(response);
}

uint16_t LoadStatusText(int zero, uint16_t code, char* text, uint16_t capacity) {
  return Bound<LoadStatusTextFn>(kLoadStatusText)(zero, code, text, capacity);
}

}  // namespace velmora
