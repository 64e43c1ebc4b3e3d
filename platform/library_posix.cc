#include "platform/library.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

namespace velmora {
namespace {

constexpr char kLibraryName[] = "libvelmora.so";

void* gLibrary;

// Writes "<executable's directory>/libvelmora.so" into `path`; false when the
// executable's own path is unknown or the result does not fit.
bool LibraryBesideExecutable(char* path, size_t capacity) {
  char exe[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0)
    return false;
  exe[n] = '\0';
  char* slash = strrchr(exe, '/');
  if (slash == nullptr)
    return false;
  slash[1] = '\0';
  int written = snprintf(path, capacity, "%s%s", exe, kLibraryName);
  return written > 0 && static_cast<size_t>(written) < capacity;
}

}  // namespace

bool OpenRuntimeLibrary(char* error, size_t capacity) {
  char path[PATH_MAX];
  if (LibraryBesideExecutable(path, sizeof path)) {
    gLibrary = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (gLibrary != nullptr)
      return true;
    // A library that is there but cannot be loaded is an error of its own; only a
    // missing one sends us on to the usual search.
    if (access(path, F_OK) == 0) {
      snprintf(error, capacity, "cannot load %s: %s", path, dlerror());
      return false;
    }
  }
  gLibrary = dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
  if (gLibrary == nullptr) {
    snprintf(error, capacity, "cannot load %s: %s", kLibraryName, dlerror());
    return false;
  }
  return true;
}

GenericEntry FindRuntimeEntry(const char* name, int, char* error, size_t capacity) {
  dlerror();
  void* entry = dlsym(gLibrary, name);
  if (entry == nullptr) {
    const char* reason = dlerror();
    snprintf(error, capacity, "%s has no entry point %s: %s", kLibraryName, name,
             reason != nullptr ? reason : "null address");
    return nullptr;
  }
  return reinterpret_cast<GenericEntry>(entry);
}

}  // namespace velmora
