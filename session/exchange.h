// What passes between the program and the server, by way of the runtime.
#ifndef VEXMOR_SESSION_EXCHANGE_H_
#define VEXMOR_SESSION_EXCHANGE_H_

#include <time.h>

#include "platform/velmora_abi.h"

// Room for HH:MM:SS and its terminating zero.
constexpr int kTimeStampSize = 9;

// Sends the empty command to see whether the server's console answers. Returns
// the runtime's status unchanged, flag bits included. Prints nothing.
VStatus ProbeServer(const char* server);

// Prints the time-stamped record of `command`, sends it, and prints the response.
// Returns 0, or the error code of the failure with the flag bits dropped; the
// caller reports a failure.
VStatus SendCommand(const char* server, const char* command);

// Prints "(Error: ...)" with the runtime's text for `status`, or nothing when the
// runtime has no text for it. The flag bits do not matter.
void PrintStatusText(VStatus status);

// Writes the local time of day of `when` as HH:MM:SS; "??:??:??" if the platform
// cannot tell it.
void FormatTimeOfDay(time_t when, char (&stamp)[kTimeStampSize]);

#endif  // VEXMOR_SESSION_EXCHANGE_H_
