// Reading one line of standard input into a fixed buffer.
#ifndef VEXMOR_SESSION_LINE_READER_H_
#define VEXMOR_SESSION_LINE_READER_H_

#include <stdio.h>

// Room for a line of at most 255 characters and its terminating zero.
constexpr int kLineSize = 256;

enum class LineRead {
  kLine,     // a whole line is in the buffer
  kTooLong,  // the line was longer than the buffer: its start is in it
  kHasNul,   // the line holds a NUL byte: the buffer ends at the first one
  kEnd,      // end of input (or a read error) before any character
};

// Reads characters up to the next line feed, which is consumed but not stored; a
// carriage return right before it is dropped too. A line cut short by the end of
// input still counts as a line. A line that does not fit is consumed whole.
LineRead ReadLine(FILE* in, char (&line)[kLineSize]);

#endif  // VEXMOR_SESSION_LINE_READER_H_
