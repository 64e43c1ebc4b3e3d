#include "session/line_reader.h"

LineRead ReadLine(FILE* in, char (&line)[kLineSize]) {
  int length = 0;
  bool read_any = false;
  bool too_long = false;
  bool has_nul = false;
  bool held_return = false;  // a carriage return not yet known to end the line

  auto keep = [&](char c) {
    if (length < kLineSize - 1)
      line[length++] = c;
    else
      too_long = true;
  };

  int c;
  while ((c = getc(in)) != EOF) {
    read_any = true;
    if (c == '\n') {
      held_return = false;  // a carriage return before the line feed is dropped
      break;
    }
    if (held_return) {
      keep('\r');
      held_return = false;
    }
    if (c == '\r') {
      held_return = true;
      continue;
    }
    if (c == '\0')
      has_nul = true;
    keep(static_cast<char>(c));
  }
  if (held_return)  // a carriage return at the very end of input stays
    keep('\r');
  line[length] = '\0';

  if (!read_any)
    return LineRead::kEnd;
  if (too_long)
    return LineRead::kTooLong;
  if (has_nul)
    return LineRead::kHasNul;
  return LineRead::kLine;
}
