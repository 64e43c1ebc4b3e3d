#include <stdio.h>

#include "invocation/bracket.h"
#include "platform/standard_streams.h"
#include "platform/velmora.h"

int main(int argc, char** argv) {
  PrepareStandardStreams();
  char error[1024];
  if (!velmora::LoadRuntime(error, sizeof error)) {
    fprintf(stderr, "vexmor: %s\n", error);
    return 1;
  }
  return ProgramEntry(argc, argv);
}
