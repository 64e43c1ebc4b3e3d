#include "invocation/bracket.h"

#include <stdio.h>

#include "invocation/program.h"
#include "platform/velmora.h"

namespace {

// Fetches the runtime's text for a failed start-up status, shows it unless the
// status asks for quiet, and returns what the runtime made of it: the exit status.
int ReportStartupFailure(VStatus status) {
  char text[kStatusTextCapacity + 1] = "";
  int result = velmora::StartupStatusText(status, text, kStatusTextCapacity);
  text[kStatusTextCapacity] = '\0';
  if ((status & kStatusQuiet) == 0)
    ShowStartupStatus(text);
  return result;
}

}  // namespace

int ProgramEntry(int argc, char** argv) {
  return RunInRuntime(argc, argv);
}

int RunInRuntime(int argc, char** argv) {
  VStatus status = velmora::RuntimeInitialize(argc, argv);
  if (status != 0)
    return ReportStartupFailure(status);

  status = velmora::RuntimeProcessArguments(argc, argv, &argc, &argv);
  if (status != 0) {
    int result = ReportStartupFailure(status);
    velmora::RuntimeTerminate();
    return result;
  }

  status = velmora::RuntimeBeginProgram(ProgramEntry, argc, argv, 0, 0);
  if (status == 0)
    status = ProgramMain(argc, argv);
  velmora::RuntimeEndProgram(argc, argv);
  velmora::RuntimeTerminate();
  return status == 0 ? 0 : -1;
}

void ShowStartupStatus(const char* text) {
  printf("\r\n%s\r\n\r\n", text);
}
