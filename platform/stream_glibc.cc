#include "platform/stream.h"

#include <string.h>

// The GNU C library's streams keep their buffer pointers in the open, for its
// putc_unlocked macro. A piece that fits is copied straight into the buffer as
// that macro does one character: a fully buffered stream has room up to
// _IO_write_end, and the library keeps that pointer at or below _IO_write_ptr for
// a line-buffered or unbuffered stream, so that every write to one of those
// takes the library's own path, which writes each line out.
void WriteStream(FILE* out, const StreamPiece* pieces, int count) {
  for (const StreamPiece* piece = pieces; piece != pieces + count; ++piece) {
    if (out->_IO_write_end - out->_IO_write_ptr > static_cast<ptrdiff_t>(piece->size)) {
      memcpy(out->_IO_write_ptr, piece->data, piece->size);
      out->_IO_write_ptr += piece->size;
    } else {
      fwrite_unlocked(piece->data, 1, piece->size, out);
    }
  }
}

int ReadStreamChar(FILE* in) {
  return getc_unlocked(in);
}
