#include "platform/stream.h"

// _getc_nolock skips the critical section that getc enters and leaves for every
// character. Writes take fwrite, lock and all: _fwrite_nolock is missing from
// the older C runtime that MinGW links by default, and a write is a whole piece
// of a message, not one character.
void WriteStream(FILE* out, const StreamPiece* pieces, int count) {
  for (int i = 0; i < count; ++i)
    fwrite(pieces[i].data, 1, pieces[i].size, out);
}

int ReadStreamChar(FILE* in) {
  return _getc_nolock(in);
}
