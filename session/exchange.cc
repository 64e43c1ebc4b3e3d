#include "session/exchange.h"

#include <string.h>

#include "invocation/transcript.h"
#include "platform/local_time.h"
#include "platform/velmora.h"

namespace {

void PutTwoDigits(char* out, int value) {
  out[0] = static_cast<char>('0' + value / 10 % 10);
  out[1] = static_cast<char>('0' + value % 10);
}

}  // namespace

VStatus ProbeServer(const char* server) {
  VResponse response;
  VStatus status = velmora::ConsoleCommand(server, "", &response);
  if (status == 0)
    velmora::FreeResponse(response);
  return status;
}

VStatus SendCommand(const char* server, const char* command) {
  char stamp[kTimeStampSize];
  FormatTimeOfDay(time(nullptr), stamp);
  // The record goes out before the command, so it stands even above a failure.
  SessionPrint(gTranscript, "[%s] COMMAND SENT: %s\n", stamp, command);

  VResponse response;
  VStatus status = velmora::ConsoleCommand(server, command, &response);
  if (status != 0)
    return status & kStatusCodeMask;

  const char* text = velmora::LockResponse(response);
  if (text != nullptr && text[0] != '\0')
    SessionPrint(gTranscript, "%s\n", text);
  else
    SessionPrint(gTranscript, "Command sent - no immediate server response\n");
  velmora::UnlockResponse(response);
  velmora::FreeResponse(response);
  return 0;
}

void PrintStatusText(VStatus status) {
  char text[kStatusTextCapacity + 1] = "";
  uint16_t found = velmora::LoadStatusText(0, status & kStatusCodeMask, text,
                                           kStatusTextCapacity);
  text[kStatusTextCapacity] = '\0';
  if (found != 0)
    SessionPrint(gTranscript, "(Error: %s)\n", text);
}

void FormatTimeOfDay(time_t when, char (&stamp)[kTimeStampSize]) {
  struct tm local;
  if (!LocalTime(when, &local)) {
    memcpy(stamp, "??:??:??", kTimeStampSize);
    return;
  }
  PutTwoDigits(stamp, local.tm_hour);
  stamp[2] = ':';
  PutTwoDigits(stamp + 3, local.tm_min);
  stamp[5] = ':';
  PutTwoDigits(stamp + 6, local.tm_sec);
  stamp[8] = '\0';
}
