#include "session/normalize.h"

#include <gtest/gtest.h>

#include <string>

#include "session/line_reader.h"

namespace {

struct NormalizeCase {
  const char* name;
  std::string line;
  std::string command;
};

void PrintTo(const NormalizeCase& c, std::ostream* os) {
  *os << c.name;
}

class NormalizeTest : public ::testing::TestWithParam<NormalizeCase> {};

TEST_P(NormalizeTest, TidiesTheLine) {
  const NormalizeCase& c = GetParam();
  // Poison the buffer so a missing terminator or a stray byte shows.
  char command[kLineSize];
  memset(command, '#', sizeof command);
  NormalizeCommand(c.line.c_str(), command);
  EXPECT_EQ(std::string(command), c.command);
}

const NormalizeCase kNormalizeCases[] = {
    {"Empty", "", ""},
    {"BlanksAndTabsOnly", " \t  \t", ""},
    {"EveryWhitespaceCharacter", "\t\n\v\f\r ", ""},
    {"OneCharacter", "x", "x"},
    {"LeadingAndTrailing", "   STOP  ", "STOP"},
    {"TabAndBlanksBetweenWords", "show\t   server", "show server"},
    {"ManyWords", "  tell  task1\thello \r world  ", "tell task1 hello world"},
    {"VerticalTabAndFormFeedSeparate", "a\vb\fc", "a b c"},
    {"CarriageReturnInsideSeparates", "a\rb", "a b"},
    {"OtherControlCharactersAreWordBytes",
     "a\x01\x1f\x7f"
     "b",
     "a\x01\x1f\x7f"
     "b"},
    {"HighBytesAreWordBytes", "\xe9t\xe9 \x85\xa0\xff", "\xe9t\xe9 \x85\xa0\xff"},
    {"LongestLineUnchanged", std::string(255, 'w'), std::string(255, 'w')},
    {"LongestLineOfSingleLetters", std::string(127, 'a') + " " + std::string(127, 'b'),
     std::string(127, 'a') + " " + std::string(127, 'b')},
};

INSTANTIATE_TEST_SUITE_P(Cases, NormalizeTest, ::testing::ValuesIn(kNormalizeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(NormalizeTest, LeavesTheLineAlone) {
  const char line[] = "  a   b  ";
  char command[kLineSize];
  NormalizeCommand(line, command);
  EXPECT_STREQ(line, "  a   b  ");
}

}  // namespace
