#include "invocation/transcript.h"

#include <stdarg.h>
#include <string.h>

#include "platform/stream.h"
#include "platform/text_file.h"

FILE* gTranscript = nullptr;

namespace {

// A message taken apart: the stretches of its format around the conversions and
// the texts of its arguments, in order. They point into the format and the
// arguments; nothing of the message is copied.
struct Pieces {
  static constexpr int kCapacity = 8;
  StreamPiece piece[kCapacity];
  int count = 0;

  bool Add(const char* text, size_t size) {
    if (size == 0)
      return true;
    if (count == kCapacity)
      return false;
    piece[count++] = {text, size};
    return true;
  }
};

// Takes `format` and its arguments apart. All but one of the session's messages
// hold no conversion but %s; for any other (and %% aside), a null text, or a
// message of more pieces than fit, it returns false and vfprintf does the work.
bool TakeApart(const char* format, va_list args, Pieces* pieces) {
  const char* literal = format;
  for (;;) {
    const char* percent = strchr(literal, '%');
    if (percent == nullptr)
      return pieces->Add(literal, strlen(literal));
    if (!pieces->Add(literal, static_cast<size_t>(percent - literal)))
      return false;
    if (percent[1] == 's') {
      const char* text = va_arg(args, const char*);
      if (text == nullptr || !pieces->Add(text, strlen(text)))
        return false;
    } else if (percent[1] == '%') {
      if (!pieces->Add(percent, 1))
        return false;
    } else {
      return false;
    }
    literal = percent + 2;
  }
}

// Formats onto `console`, then again onto `transcript` when there is one. A
// message is taken apart once, each argument's length found once, and its
// pieces written onto each stream in turn. `args` and `again` are two starts of
// the same arguments: copying one instead costs more than the rest of a short
// message.
void Print(FILE* console, FILE* transcript, const char* format, va_list args, va_list again) {
  Pieces pieces;
  if (TakeApart(format, args, &pieces)) {
    WriteStream(console, pieces.piece, pieces.count);
    if (transcript != nullptr)
      WriteStream(transcript, pieces.piece, pieces.count);
    return;
  }
  va_list third;
  va_copy(third, again);
  vfprintf(console, format, again);
  if (transcript != nullptr)
    vfprintf(transcript, format, third);
  va_end(third);
}

}  // namespace

void SessionPrint(FILE* transcript, const char* format, ...) {
  va_list args;
  va_list again;
  va_start(args, format);
  va_start(again, format);
  Print(stdout, transcript, format, args, again);
  va_end(again);
  va_end(args);
}

void ConsolePrint(const char* format, ...) {
  va_list args;
  va_list again;
  va_start(args, format);
  va_start(again, format);
  Print(stdout, nullptr, format, args, again);
  va_end(again);
  va_end(args);
}

void SessionPrintTo(FILE* console, FILE* transcript, const char* format, ...) {
  va_list args;
  va_list again;
  va_start(args, format);
  va_start(again, format);
  Print(console, transcript, format, args, again);
  va_end(again);
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
  if (gTranscript != nullptr) {
    StreamPiece echo[] = {{line, strlen(line)}, {"\n", 1}};
    WriteStream(gTranscript, echo, 2);
  }
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
