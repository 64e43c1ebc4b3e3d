#include "platform/stream.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

// A stream onto a pipe, with a small buffer of its own between guard bytes, so
// that a test sees what has been written out so far and any write past the
// buffer.
class PipeStream {
 public:
  static constexpr size_t kBufferSize = 16;

  explicit PipeStream(int mode) {
    int fds[2];
    if (pipe(fds) != 0)
      return;
    read_end_ = fds[0];
    fcntl(read_end_, F_SETFL, O_NONBLOCK);
    stream_ = fdopen(fds[1], "w");
    memset(memory_, kGuard, sizeof memory_);
    setvbuf(stream_, mode == _IONBF ? nullptr : memory_ + kBufferSize, mode, kBufferSize);
  }
  ~PipeStream() {
    if (stream_ != nullptr)
      fclose(stream_);
    if (read_end_ >= 0)
      close(read_end_);
  }

  FILE* stream() const { return stream_; }

  // Everything written out since the last call.
  std::string Drain() {
    std::string out;
    char chunk[256];
    ssize_t n;
    while ((n = read(read_end_, chunk, sizeof chunk)) > 0)
      out.append(chunk, static_cast<size_t>(n));
    return out;
  }

  bool GuardsIntact() const {
    for (size_t i = 0; i < kBufferSize; ++i) {
      if (memory_[i] != kGuard || memory_[2 * kBufferSize + i] != kGuard)
        return false;
    }
    return true;
  }

 private:
  static constexpr char kGuard = '#';
  int read_end_ = -1;
  FILE* stream_ = nullptr;
  char memory_[3 * kBufferSize];  // guard, buffer, guard
};

struct WriteCase {
  const char* name;
  int mode;
  std::vector<std::string> pieces;
};

void PrintTo(const WriteCase& c, std::ostream* os) {
  *os << c.name;
}

class WriteStreamTest : public ::testing::TestWithParam<WriteCase> {};

// WriteStream must leave a stream, and the pipe behind it, as fwrite of each
// piece does: what is written out at once, what after a flush, and nothing past
// the buffer.
TEST_P(WriteStreamTest, WritesAsFwriteDoes) {
  const WriteCase& c = GetParam();
  PipeStream ours(c.mode);
  PipeStream theirs(c.mode);
  ASSERT_NE(ours.stream(), nullptr);
  ASSERT_NE(theirs.stream(), nullptr);
  std::vector<StreamPiece> pieces;
  for (const std::string& piece : c.pieces) {
    pieces.push_back({piece.data(), piece.size()});
    fwrite(piece.data(), 1, piece.size(), theirs.stream());
  }
  WriteStream(ours.stream(), pieces.data(), static_cast<int>(pieces.size()));
  EXPECT_EQ(ours.Drain(), theirs.Drain());
  fflush(ours.stream());
  fflush(theirs.stream());
  EXPECT_EQ(ours.Drain(), theirs.Drain());
  EXPECT_TRUE(ours.GuardsIntact());
}

// The stream's buffer holds 16 bytes.
const WriteCase kWriteCases[] = {
    {"FullyBufferedHoldsWhatFits", _IOFBF, {"ab", "\n", "cd"}},
    {"FullyBufferedOneByteShort", _IOFBF, {"0123456789", "abcde"}},
    {"FullyBufferedExactlyFull", _IOFBF, {"0123456789", "abcdef"}},
    {"FullyBufferedOneByteOver", _IOFBF, {"0123456789", "abcdefg", "!"}},
    {"FullyBufferedLongerThanTheBuffer",
     _IOFBF,
     {"<", "abcdefghijklmnopqrstuvwxyz0123456789", ">"}},
    {"LineBufferedWritesOutEachLine", _IOLBF, {"ab", "c\n", "de"}},
    {"LineBufferedLineFeedInsideAPiece", _IOLBF, {"one\ntwo", "three"}},
    {"UnbufferedWritesOutAtOnce", _IONBF, {"ab", "cd"}},
    {"EmptyPiecesWriteNothing", _IOFBF, {"", "x", ""}},
};

INSTANTIATE_TEST_SUITE_P(Cases, WriteStreamTest, ::testing::ValuesIn(kWriteCases),
                         [](const auto& info) { return std::string(info.param.name); });

// What an administrator at a terminal relies on: the record of a command shows
// before the server has answered.
TEST(WriteStreamTest, LineBufferedStreamWritesALineOutAtItsEnd) {
  PipeStream line_buffered(_IOLBF);
  ASSERT_NE(line_buffered.stream(), nullptr);
  StreamPiece record[] = {{"[12:00:00] COMMAND SENT: ", 25}, {"show server", 11}, {"\n", 1}};
  WriteStream(line_buffered.stream(), record, 3);
  EXPECT_EQ(line_buffered.Drain(), "[12:00:00] COMMAND SENT: show server\n");
}

}  // namespace
