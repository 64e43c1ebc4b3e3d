#include "invocation/transcript.h"

#include <gtest/gtest.h>

#include <stdio.h>

#include <string>

namespace {

std::string ReadBack(FILE* f) {
  fflush(f);
  rewind(f);
  std::string text;
  char chunk[4096];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0)
    text.append(chunk, n);
  return text;
}

// Prints through SessionPrintTo onto two fresh files and checks that both hold
// what snprintf makes of the same format and arguments.
template <typename... Args>
void ExpectBothAsSnprintf(const char* format, Args... args) {
  int size = snprintf(nullptr, 0, format, args...);
  ASSERT_GE(size, 0);
  std::string expected(static_cast<size_t>(size) + 1, '\0');
  snprintf(expected.data(), expected.size(), format, args...);
  expected.pop_back();

  FILE* console = tmpfile();
  FILE* transcript = tmpfile();
  ASSERT_NE(console, nullptr);
  ASSERT_NE(transcript, nullptr);
  SessionPrintTo(console, transcript, format, args...);
  EXPECT_EQ(ReadBack(console), expected) << format;
  EXPECT_EQ(ReadBack(transcript), expected) << format;
  fclose(console);
  fclose(transcript);
}

TEST(SessionPrintTest, WritesTheSameTextOntoBothStreams) {
  ExpectBothAsSnprintf("\n");
  ExpectBothAsSnprintf("** Starting remote console session with %s **\n", "Srv");
  ExpectBothAsSnprintf("[%s] COMMAND SENT: %s\n", "09:05:03", "show server");
  ExpectBothAsSnprintf("%s%s", "", "");
  ExpectBothAsSnprintf("%s\n", "a reply\nof two lines\n");
  ExpectBothAsSnprintf("100%% of %s%%", "it");
  // Conversions other than %s and %%, and messages of many pieces, are left to
  // the C library; the result is the same.
  ExpectBothAsSnprintf("Line not sent: it is longer than %d characters.\n", 255);
  ExpectBothAsSnprintf("%s mixed %d and %s", "a", -7, "b");
  ExpectBothAsSnprintf("1%s2%s3%s4%s5%s", "a", "b", "c", "d", "e");
}

TEST(SessionPrintTest, WritesATextOfAnyLengthWhole) {
  std::string reply(1 << 20, 'r');
  for (size_t i = 0; i < reply.size(); i += 61)
    reply[i] = '\n';
  ExpectBothAsSnprintf("%s\n", reply.c_str());
}

TEST(SessionPrintTest, WithoutTranscriptWritesTheConsoleOnly) {
  FILE* console = tmpfile();
  ASSERT_NE(console, nullptr);
  SessionPrintTo(console, nullptr, "(Error: %s)\n", "Gone");
  EXPECT_EQ(ReadBack(console), "(Error: Gone)\n");
  fclose(console);
}

}  // namespace
