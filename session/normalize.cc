#include "session/normalize.h"

#include "session/ascii.h"

void NormalizeCommand(const char* line, char* command) {
  char* out = command;
  for (;;) {
    while (IsWhitespace(*line))
      ++line;
    if (*line == '\0')
      break;
    while (*line != '\0' && !IsWhitespace(*line))
      *out++ = *line++;
    if (*line != '\0')
      *out++ = ' ';
  }
  // Only the separator written after the last word can stand at the end.
  if (out != command && out[-1] == ' ')
    --out;
  *out = '\0';
}
