#include "platform/stream.h"

void WriteStream(FILE* out, const StreamPiece* pieces, int count) {
  for (int i = 0; i < count; ++i)
    fwrite(pieces[i].data, 1, pieces[i].size, out);
}

int ReadStreamChar(FILE* in) {
  return getc_unlocked(in);
}
