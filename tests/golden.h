// Runs the built vexmor against the test double and collects what it did: the
// console output, the runtime calls in order and the exit status.
#ifndef VEXMOR_TESTS_GOLDEN_H_
#define VEXMOR_TESTS_GOLDEN_H_

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "tests/call_log.h"
#include "tests/child_process.h"

struct GoldenRun {
  std::string out;    // standard output, each record's time stamp as HH:MM:SS
  std::string err;
  std::string calls;  // the test double's log
  std::vector<std::string> stamps;  // the time stamps taken out of `out`
  int exit_status = -1;
  bool timed_out = false;
  int signal = 0;
};

// Replaces the time stamp of every "[hh:mm:ss] COMMAND SENT: " record in `text`
// by "HH:MM:SS" and appends the stamps, in order, to `stamps`.
std::string NormalizeStamps(std::string_view text, std::vector<std::string>* stamps);

class GoldenTest : public ::testing::Test {
 protected:
  // Runs vexmor with `args`, `input` on standard input and the double following
  // `script`. Checks on its way that the process ended by itself, that every
  // handle was released and that each stamp is a time of day.
  GoldenRun Run(const std::vector<std::string>& args, std::string_view input,
                std::string_view script = "");

  // The log line of a call that takes the argument vector, such as
  // `RuntimeInitialize 2 "<program>" "Srv"`.
  std::string ArgvCall(const std::string& call, const std::vector<std::string>& args,
                       const std::string& tail = "") const;

  // The calls of a whole run around the session: start-up, `session_calls`, wind-down.
  std::string Bracket(const std::vector<std::string>& args,
                      const std::string& session_calls) const;

  std::string File(const std::string& name) const { return dir_.File(name); }

  const std::string program_ = VEXMOR_DOUBLE_PROGRAM;
  ScratchDir dir_;
};

#endif  // VEXMOR_TESTS_GOLDEN_H_
