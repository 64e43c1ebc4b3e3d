#include "invocation/transcript.h"

#include <stdarg.h>
#include <string.h>

#include "platform/text_file.h"

FILE* gTranscript = nullptr;

void SessionPrint(FILE* transcript, const char* format, ...) {
  va_list args;
  va_start(args, format);
  if (transcript != nullptr) {
    va_list again;
    va_copy(again, args);
    vfprintf(stdout, format, args);
    vfprintf(transcript, format, again);
    va_end(again);
  } else {
    vfprintf(stdout, format, args);
  }
  va_end(args);
}

void OpenTranscript(const char* option) {
  const char* colon = strchr(option, ':');
  if (colon == nullptr || colon[1] == '\0')
    return;
  const char* name = colon + 1;
  // A transcript replaced here is left open, and empty, until the process ends.
  gTranscript = CreateTextFile(name);
  if (gTranscript == nullptr)
    printf("Cannot open output file: %s\n", name);
}

void EchoLine(const char* line) {
  if (gTranscript != nullptr)
    fprintf(gTranscript, "%s\n", line);
}

bool FlushOutput() {
  bool console_ok = fflush(stdout) == 0 && !ferror(stdout);
  if (gTranscript != nullptr)
    fflush(gTranscript);
  return console_ok;
}

void CloseTranscript() {
  if (gTranscript != nullptr) {
    fclose(gTranscript);
    gTranscript = nullptr;
  }
}
