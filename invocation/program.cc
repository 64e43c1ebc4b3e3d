#include "invocation/program.h"

#include <stdio.h>

#include "invocation/arguments.h"
#include "invocation/transcript.h"
#include "session/session.h"

VStatus ProgramMain(int argc, char** argv) {
  char server[kServerNameSize] = "";
  if (ParseArguments(argc, argv, server)) {
    // With only options, or an empty argument, there is no one to talk to.
    if (server[0] == '\0')
      printf("No server name given; type vexmor /? for help.\n");
    else
      RunSession(server);
  }
  CloseTranscript();
  return 0;
}
