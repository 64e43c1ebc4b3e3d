#include "session/line_reader.h"

#include "platform/stream.h"

LineRead ReadLine(FILE* in, char (&line)[kLineSize]) {
  int length = 0;
  bool too_long = false;
  bool has_nul = false;
  auto keep = [&](char c) {
    if (length < kLineSize - 1)
      line[length++] = c;
    else
      too_long = true;
  };

  int c = ReadStreamChar(in);
  if (c == EOF) {
    line[0] = '\0';
    return LineRead::kEnd;
  }
  while (c != '\n' && c != EOF) {
    if (c > '\r') {  // the common case: none of the characters looked at below
      keep(static_cast<char>(c));
    } else if (c == '\r') {
      // Dropped right before the line feed; kept anywhere else, also at the very
      // end of input.
      c = ReadStreamChar(in);
      if (c == '\n')
        break;
      keep('\r');
      continue;
    } else {
      if (c == '\0')
        has_nul = true;
      keep(static_cast<char>(c));
    }
    c = ReadStreamChar(in);
  }
  line[length] = '\0';

  if (too_long)
    return LineRead::kTooLong;
  if (has_nul)
    return LineRead::kHasNul;
  return LineRead::kLine;
}
