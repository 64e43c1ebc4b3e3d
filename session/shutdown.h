// The guard against shutting the server down by accident.
#ifndef VEXMOR_SESSION_SHUTDOWN_H_
#define VEXMOR_SESSION_SHUTDOWN_H_

#include "session/line_reader.h"

struct SessionState {
  // A shutdown command was confirmed, and no command has failed since.
  bool shutdown_confirmed = false;
  // Standard input has ended; the session ends at its next read.
  bool input_ended = false;
};

// Whether `command` may shut the server down: it begins with E or Q.
bool IsShutdownCommand(const char* command);

// Warns that `command` may shut the server down and asks for a Y/N answer, read
// into `line`. A yes keeps the command and sets the session's shutdown flag; any
// other answer (end of input too) empties the command.
void ConfirmShutdown(char* command, char (&line)[kLineSize], SessionState* state);

// After a failed command: says that a server that was just told to shut down may
// simply have done so, once per confirmed shutdown command.
void PrintShutdownNote(SessionState* state);

#endif  // VEXMOR_SESSION_SHUTDOWN_H_
