// The floor for start-up: a minimal program that loads a shared library (the
// runtime library vexmor loads) and prints a line.
//
//   vexmor_floor_startup LIBRARY

#include <dlfcn.h>
#include <stdio.h>

int main(int argc, char** argv) {
  if (argc < 2 || dlopen(argv[1], RTLD_NOW | RTLD_LOCAL) == nullptr) {
    fprintf(stderr, "vexmor_floor_startup: cannot load the library\n");
    return 2;
  }
  puts("> ");
  return 0;
}
