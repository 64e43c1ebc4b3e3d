#include "platform/stream.h"

#include <limits.h>

// A stream on the console has no buffer: the C runtime writes out what each
// call hands it, fwrite even its first character alone, and printf buffers for
// the length of one call. So the pieces of a message go in one fprintf, a
// "%.*s" each; a piece too long for printf's int precision goes alone through
// fwrite.
void WriteStream(FILE* out, const StreamPiece* pieces, int count) {
  constexpr int kMost = 8;
  static const char kFormat[] = "%.*s%.*s%.*s%.*s%.*s%.*s%.*s%.*s";  // kMost of them
  while (count > 0) {
    int n = 0;
    int size[kMost] = {};
    const char* data[kMost] = {};
    for (; n < count && n < kMost && pieces[n].size <= INT_MAX; ++n) {
      size[n] = static_cast<int>(pieces[n].size);
      data[n] = pieces[n].data;
    }
    if (n == 0) {
      fwrite(pieces->data, 1, pieces->size, out);
      n = 1;
    } else {
      // The format's last n conversions take the first n pairs; the others are
      // passed and not read.
      fprintf(out, kFormat + 4 * (kMost - n), size[0], data[0], size[1], data[1], size[2], data[2],
              size[3], data[3], size[4], data[4], size[5], data[5], size[6], data[6], size[7],
              data[7]);
    }
    pieces += n;
    count -= n;
  }
}

// _getc_nolock skips the critical section that getc enters and leaves for every
// character.
int ReadStreamChar(FILE* in) {
  return _getc_nolock(in);
}
