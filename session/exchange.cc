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

// The time stamp of this second. A script sends many commands a second, and
// turning the clock into a local time of day is dearer than a command's own
// work, so it is done once per second; the zone is read only once per run
// anyway, so the same second always gives the same stamp.
void StampNow(char (&stamp)[kTimeStampSize]) {
  static bool have_last = false;
  static time_t last;
  static char last_stamp[kTimeStampSize];
  time_t now = time(nullptr);
  if (!have_last || now != last) {
    FormatTimeOfDay(now, last_stamp);
    last = now;
    have_last = true;
  }
  memcpy(stamp, last_stamp, kTimeStampSize);
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
  StampNow(stamp);
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
  uint16_t found = velmora::LoadStatusText(0, status & kStatusCodeMask, text, kStatusTextCapacity);
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
