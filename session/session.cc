#include "session/session.h"

#include <stdio.h>

#include "invocation/transcript.h"
#include "session/ascii.h"
#include "session/exchange.h"
#include "session/line_reader.h"
#include "session/normalize.h"
#include "session/shutdown.h"

namespace {

void EndSession() {
  SessionPrint(gTranscript, "\n** Pellomar terminated **\n");
  SessionPrint(gTranscript, "Remote console session closed.\n");
}

// Reads the next command line, echoes it to the transcript and tidies it into
// `command`. Returns false when the input has ended. A line that cannot be sent
// whole is reported, and `command` left empty.
bool ReadCommand(SessionState* state, char (&line)[kLineSize], char (&command)[kLineSize]) {
  command[0] = '\0';
  if (state->input_ended)
    return false;
  LineRead read = ReadLine(stdin, line);
  if (read == LineRead::kEnd)
    return false;
  EchoLine(line);
  switch (read) {
    case LineRead::kTooLong:
      SessionPrint(gTranscript, "Line not sent: it is longer than %d characters.\n", kLineSize - 1);
      break;
    case LineRead::kHasNul:
      SessionPrint(gTranscript, "Line not sent: it contains a NUL character.\n");
      break;
    default:
      NormalizeCommand(line, command);
      break;
  }
  return true;
}

}  // namespace

void RunSession(const char* server) {
  SessionPrint(gTranscript, "** Starting remote console session with %s **\n", server);
  VStatus status = ProbeServer(server);
  if (status != 0) {
    SessionPrint(gTranscript, "\nCannot connect to server (%s) via remote console.\n", server);
    PrintStatusText(status);
    SessionPrint(gTranscript, "\n");
    return;
  }

  SessionState state;
  char line[kLineSize];
  char command[kLineSize];
  for (;;) {
    SessionPrint(gTranscript, "\n");
    ConsolePrint(">>Pellomar for %s\n>>Type 'stop' to end this program\n", server);
    SessionPrint(gTranscript, "> ");
    // Once the console cannot be written, nobody would see what the commands
    // do: the session ends as at the end of input.
    bool console_ok = FlushOutput();

    if (!console_ok || !ReadCommand(&state, line, command) || EqualsFolded(command, "STOP")) {
      EndSession();
      return;
    }
    if (IsShutdownCommand(command))
      ConfirmShutdown(command, line, &state);
    if (command[0] == '\0')
      continue;
    status = SendCommand(server, command);
    if (status != 0) {
      PrintStatusText(status);
      PrintShutdownNote(&state);
    }
  }
}
