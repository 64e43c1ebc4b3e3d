#include "platform/library.h"

#include <stdio.h>
#include <string.h>
#include <windows.h>

namespace velmora {
namespace {

constexpr char kLibraryName[] = "velmora.dll";

HMODULE gLibrary;

// Room for the system's reason for a failure.
constexpr size_t kReasonSize = 512;

// Writes the system's text for `code` into `text`, on one line, with `subject`
// (the file concerned) in place of the "%1" that some of the texts hold. Falls
// back to the bare number when the system has no text.
void SystemReason(DWORD code, const char* subject, char (&text)[kReasonSize]) {
  char message[kReasonSize];
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           code, 0, message, sizeof message, nullptr);
  // The system ends its texts with a line end, which is not ours to print.
  while (n > 0 && (message[n - 1] == '\r' || message[n - 1] == '\n' || message[n - 1] == ' '))
    --n;
  if (n == 0) {
    snprintf(text, sizeof text, "error %lu", static_cast<unsigned long>(code));
    return;
  }
  message[n] = '\0';
  size_t out = 0;
  for (const char* c = message; *c != '\0' && out + 1 < sizeof text; ++c) {
    if (c[0] == '%' && c[1] == '1') {
      for (const char* s = subject; *s != '\0' && out + 1 < sizeof text; ++s)
        text[out++] = *s;
      ++c;
    } else {
      // A text of several lines is kept on one.
      text[out++] = (*c == '\r' || *c == '\n') ? ' ' : *c;
    }
  }
  text[out] = '\0';
}

// Writes "<executable's folder>\velmora.dll" into `path`; false when the
// executable's own path is unknown or the result does not fit.
bool LibraryBesideExecutable(char* path, size_t capacity) {
  char exe[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, exe, sizeof exe);
  if (n == 0 || n >= sizeof exe)  // n == size: the path was cut short
    return false;
  char* slash = strrchr(exe, '\\');
  if (slash == nullptr)
    return false;
  slash[1] = '\0';
  int written = snprintf(path, capacity, "%s%s", exe, kLibraryName);
  return written > 0 && static_cast<size_t>(written) < capacity;
}

// LoadLibraryA without the message box Windows shows for a library, or a library
// it needs, that cannot be loaded. On failure `code` holds the system's error.
HMODULE LoadQuietly(const char* path, DWORD* code) {
  UINT mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE module = LoadLibraryA(path);
  *code = GetLastError();
  SetErrorMode(mode);
  return module;
}

void CannotLoad(const char* what, DWORD code, char* error, size_t capacity) {
  char reason[kReasonSize];
  SystemReason(code, what, reason);
  snprintf(error, capacity, "cannot load %s: %s", what, reason);
}

}  // namespace

bool OpenRuntimeLibrary(char* error, size_t capacity) {
  char path[MAX_PATH];
  DWORD code;
  if (LibraryBesideExecutable(path, sizeof path)) {
    gLibrary = LoadQuietly(path, &code);
    if (gLibrary != nullptr)
      return true;
    // A library that is there but cannot be loaded is an error of its own; only a
    // missing one sends us on to the usual search.
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) {
      CannotLoad(path, code, error, capacity);
      return false;
    }
  }
  gLibrary = LoadQuietly(kLibraryName, &code);
  if (gLibrary == nullptr) {
    CannotLoad(kLibraryName, code, error, capacity);
    return false;
  }
  return true;
}

GenericEntry FindRuntimeEntry(const char* name, int ordinal, char* error, size_t capacity) {
  // The real library exports its entry points by number only.
  FARPROC entry = GetProcAddress(gLibrary, MAKEINTRESOURCEA(ordinal));
  if (entry == nullptr) {
    char reason[kReasonSize];
    SystemReason(GetLastError(), kLibraryName, reason);
    snprintf(error, capacity, "%s has no entry point %s (ordinal %d): %s", kLibraryName, name,
             ordinal, reason);
    return nullptr;
  }
  return reinterpret_cast<GenericEntry>(entry);
}

}  // namespace velmora
