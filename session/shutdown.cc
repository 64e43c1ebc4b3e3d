#include "session/shutdown.h"

#include "invocation/transcript.h"
#include "session/ascii.h"

bool IsShutdownCommand(const char* command) {
  char first = AsciiUpper(command[0]);
  return first == 'E' || first == 'Q';
}

void ConfirmShutdown(char* command, char (&line)[kLineSize], SessionState* state) {
  SessionPrint(gTranscript, "This command will attempt to shut down the server!\n");
  SessionPrint(gTranscript, "Are you sure you want to send this command (Y/N)? ");
  if (ReadLine(stdin, line) == LineRead::kEnd) {
    state->input_ended = true;
    line[0] = '\0';
  } else {
    // Only the first character of the answer counts, so a line that is too long
    // or holds a NUL is still an answer.
    EchoLine(line);
  }
  SessionPrint(gTranscript, "\n");
  if (AsciiUpper(line[0]) == 'Y') {
    state->shutdown_confirmed = true;
  } else {
    command[0] = '\0';
    SessionPrint(gTranscript, "Command not sent.\n");
  }
}

void PrintShutdownNote(SessionState* state) {
  if (!state->shutdown_confirmed)
    return;
  SessionPrint(gTranscript,
               "NOTE: A 'server not responding' error may indicate successful server "
               "shutdown.\n");
  state->shutdown_confirmed = false;
}
