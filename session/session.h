// The prompt loop of a remote console session.
#ifndef VEXMOR_SESSION_SESSION_H_
#define VEXMOR_SESSION_SESSION_H_

// Checks that the server's console answers, then reads, tidies and sends one
// command at a time until the user types STOP or standard input ends.
void RunSession(const char* server);

#endif  // VEXMOR_SESSION_SESSION_H_
