// What the fuzz targets share: stopping on a broken invariant, and a plain
// reading of how a typed line becomes a command, to hold the program's against.
#ifndef VEXMOR_FUZZ_FUZZ_CHECK_H_
#define VEXMOR_FUZZ_FUZZ_CHECK_H_

#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <string_view>

// Stops the process, so that the fuzzer keeps the input that broke `what`.
[[noreturn]] inline void Fail(const char* what, std::string_view detail = "") {
  fprintf(stderr, "invariant broken: %s\n", what);
  if (!detail.empty())
    fprintf(stderr, "%.*s\n", static_cast<int>(detail.size()), detail.data());
  abort();
}

inline void Check(bool ok, const char* what) {
  if (!ok)
    Fail(what);
}

// The words of `line`, split at the six whitespace characters, joined by one
// blank each.
inline std::string TidyWords(std::string_view line) {
  static constexpr std::string_view kWhitespace(" \t\n\v\f\r", 6);
  std::string words;
  for (size_t start = line.find_first_not_of(kWhitespace); start != std::string_view::npos;) {
    size_t end = line.find_first_of(kWhitespace, start);
    if (!words.empty())
      words += ' ';
    words += line.substr(start, end - start);
    start = end == std::string_view::npos ? end : line.find_first_not_of(kWhitespace, end);
  }
  return words;
}

#endif  // VEXMOR_FUZZ_FUZZ_CHECK_H_
