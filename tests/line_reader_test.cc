#include "session/line_reader.h"

#include <gtest/gtest.h>

#include <stdio.h>

#include <string>
#include <vector>

namespace {

struct Read {
  LineRead result;
  std::string line;
  bool operator==(const Read&) const = default;
};

void PrintTo(const Read& read, std::ostream* os) {
  *os << static_cast<int>(read.result) << " " << testing::PrintToString(read.line);
}

// Reads `input` to its end and returns every read up to the first kEnd, included.
std::vector<Read> ReadAll(const std::string& input) {
  FILE* in = tmpfile();
  fwrite(input.data(), 1, input.size(), in);
  rewind(in);
  std::vector<Read> reads;
  for (;;) {
    char line[kLineSize];
    memset(line, '#', sizeof line);
    LineRead result = ReadLine(in, line);
    reads.push_back({result, result == LineRead::kEnd ? "" : std::string(line)});
    if (result == LineRead::kEnd || reads.size() > 10)
      break;
  }
  fclose(in);
  return reads;
}

constexpr LineRead kLine = LineRead::kLine;
constexpr LineRead kEnd = LineRead::kEnd;

TEST(LineReaderTest, SplitsLinesAndDropsOnlyTheReturnBeforeTheLineFeed) {
  EXPECT_EQ(ReadAll("one\ntwo\r\n\nthree"),
            (std::vector<Read>{
                {kLine, "one"}, {kLine, "two"}, {kLine, ""}, {kLine, "three"}, {kEnd, ""}}));
  EXPECT_EQ(ReadAll("a\rb\n\r\r\nend\r"),
            (std::vector<Read>{{kLine, "a\rb"}, {kLine, "\r"}, {kLine, "end\r"}, {kEnd, ""}}));
  EXPECT_EQ(ReadAll(""), (std::vector<Read>{{kEnd, ""}}));
}

TEST(LineReaderTest, TakesTheLongestLineWhole) {
  std::string longest(255, 'x');
  EXPECT_EQ(ReadAll(longest + "\r\nnext\n"),
            (std::vector<Read>{{kLine, longest}, {kLine, "next"}, {kEnd, ""}}));
}

TEST(LineReaderTest, ConsumesALineThatDoesNotFitWhole) {
  std::string start(255, 'x');
  for (size_t length : {256u, 257u, 70000u}) {
    EXPECT_EQ(ReadAll(start + std::string(length - 255, 'y') + "\nnext\n"),
              (std::vector<Read>{{LineRead::kTooLong, start}, {kLine, "next"}, {kEnd, ""}}))
        << length;
  }
  // 255 characters and a carriage return that does not end the line: 256.
  EXPECT_EQ(ReadAll(start + "\rz\n")[0], (Read{LineRead::kTooLong, start}));
}

TEST(LineReaderTest, FlagsANulByte) {
  std::vector<Read> reads = ReadAll(std::string("ab\0cd\nok\n", 9));
  EXPECT_EQ(reads, (std::vector<Read>{{LineRead::kHasNul, "ab"}, {kLine, "ok"}, {kEnd, ""}}));
}

}  // namespace
