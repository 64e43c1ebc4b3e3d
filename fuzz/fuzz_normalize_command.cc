// Fuzzes NormalizeCommand with every line a user can type: the input, cut at its
// first zero byte and to 255 characters, in a buffer of exactly its size, tidied
// into a buffer of exactly the size the function is promised, so that any write
// past either shows. The command must be the line's words joined by one blank,
// the line must be left alone, and tidying the command again must change nothing.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <memory>
#include <string>

#include "fuzz/fuzz_check.h"
#include "session/line_reader.h"
#include "session/normalize.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string line(reinterpret_cast<const char*>(data), size);
  line = line.substr(0, line.find('\0')).substr(0, kLineSize - 1);
  const size_t length = line.size();

  std::unique_ptr<char[]> typed(new char[length + 1]);
  memcpy(typed.get(), line.c_str(), length + 1);
  std::unique_ptr<char[]> command(new char[length + 1]);
  NormalizeCommand(typed.get(), command.get());

  Check(memcmp(typed.get(), line.c_str(), length + 1) == 0, "the line was changed");
  Check(strlen(command.get()) <= length, "the command is longer than its line");
  if (command.get() != TidyWords(line))
    Fail("the command is not the line's words",
         "line: \"" + line + "\"\ncommand: \"" + command.get() + "\"");

  std::unique_ptr<char[]> again(new char[length + 1]);
  NormalizeCommand(command.get(), again.get());
  Check(strcmp(again.get(), command.get()) == 0, "tidying a command changes it");
  return 0;
}
