// Reading and writing the program's streams (standard input and output, the
// transcript). Only the program's one thread uses them, so these skip the
// streams' locks wherever the C library allows it.
#ifndef VEXMOR_PLATFORM_STREAM_H_
#define VEXMOR_PLATFORM_STREAM_H_

#include <stddef.h>
#include <stdio.h>

// A stretch of bytes to write.
struct StreamPiece {
  const char* data;
  size_t size;
};

// Writes `count` pieces onto `out`, in order: the bytes fwrite of each would
// write, buffered as the stream is (a line-buffered stream written out at each
// line feed, an unbuffered one by the end of the call). A message goes as one
// call, however many pieces it is made of.
void WriteStream(FILE* out, const StreamPiece* pieces, int count);

// Reads one character from `in`, as getc does.
int ReadStreamChar(FILE* in);

#endif  // VEXMOR_PLATFORM_STREAM_H_
