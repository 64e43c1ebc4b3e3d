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

// The Windows test runner starts the cross-built vexmor.exe under wine; the
// native one starts the program built beside it.
#ifdef VEXMOR_WINE
constexpr bool kWindowsTarget = true;
#else
constexpr bool kWindowsTarget = false;
#endif

// The runtime library's file name, where the program looks for it.
constexpr const char* kRuntimeLibrary = kWindowsTarget ? "velmora.dll" : "libvelmora.so";

// `path`, a file of this machine, as the program under test names it: the same,
// or for the Windows build its Windows path on wine's drive Z:.
std::string TargetPath(std::string_view path);

// What the program wrote to a text stream, with the platform's own change
// undone: the Windows build writes each "\n" as "\r\n", so each "\r\n" is
// turned back into "\n" there, and a line feed without its carriage return
// fails the test. The native build's bytes are returned as they are.
std::string FromTargetText(std::string_view bytes);

struct GoldenRun {
  std::string out;                  // standard output as FromTargetText gives it, each record's
                                    // time stamp as HH:MM:SS
  std::string err;                  // standard error as FromTargetText gives it
  std::string bytes;                // standard output as the program wrote it
  std::string calls;                // the test double's log
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

  // The same with `program`, which starts vexmor, in place of vexmor, and `env`
  // added to the environment.
  GoldenRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                       const std::vector<std::string>& env, std::string_view input,
                       std::string_view script);

  // The log line of a call that takes the argument vector, such as
  // `RuntimeInitialize 2 "<program>" "Srv"`.
  std::string ArgvCall(const std::string& call, const std::vector<std::string>& args,
                       const std::string& tail = "") const;

  // The calls of a whole run around the session: start-up, `session_calls`, wind-down.
  std::string Bracket(const std::vector<std::string>& args, const std::string& session_calls) const;

  std::string File(const std::string& name) const { return dir_.File(name); }

  const std::string program_ = VEXMOR_DOUBLE_PROGRAM;
  ScratchDir dir_;
};

#endif  // VEXMOR_TESTS_GOLDEN_H_
