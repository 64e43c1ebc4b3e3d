#include "tests/golden.h"

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Whether `text` holds "[dd:dd:dd" at `at`.
bool StampAt(std::string_view text, size_t at) {
  static const char kShape[] = "[00:00:00";
  for (size_t i = 0; i < sizeof kShape - 1; ++i) {
    char c = text[at + i];
    if (kShape[i] == '0' ? !IsDigit(c) : c != kShape[i])
      return false;
  }
  return true;
}

// Whether `stamp` is a time of day, HH:MM:SS.
bool IsTimeOfDay(const std::string& stamp) {
  auto number = [&](size_t at) { return (stamp[at] - '0') * 10 + (stamp[at + 1] - '0'); };
  return stamp.size() == 8 && StampAt("[" + stamp, 0) && number(0) < 24 && number(3) < 60 &&
         number(6) < 60;
}

}  // namespace

std::string TargetPath(std::string_view path) {
  if (!kWindowsTarget)
    return std::string(path);
  // wine's drive Z: is the root of this machine's file system.
  std::string windows = "Z:";
  for (char c : path)
    windows += c == '/' ? '\\' : c;
  return windows;
}

std::string FromTargetText(std::string_view bytes) {
  if (!kWindowsTarget)
    return std::string(bytes);
  std::string text;
  text.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
      continue;  // the line feed that follows stands for both
    if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r'))
      ADD_FAILURE() << "a line feed without its carriage return at byte " << i << " of:\n" << bytes;
    text += bytes[i];
  }
  return text;
}

std::string NormalizeStamps(std::string_view text, std::vector<std::string>* stamps) {
  // A plain search rather than std::regex, which is slow over long outputs and
  // draws a false -Wmaybe-uninitialized from GCC 12 in the sanitized build.
  static const std::string_view kTail = "] COMMAND SENT: ";
  std::string result;
  result.reserve(text.size());
  size_t copied = 0;
  for (size_t tail = text.find(kTail); tail != std::string_view::npos;
       tail = text.find(kTail, tail + 1)) {
    if (tail < copied + 9 || !StampAt(text, tail - 9))
      continue;
    result.append(text, copied, tail - 9 - copied);
    result += "[HH:MM:SS";
    stamps->emplace_back(text.substr(tail - 8, 8));
    copied = tail;
  }
  result.append(text, copied);
  return result;
}

GoldenRun GoldenTest::Run(const std::vector<std::string>& args, std::string_view input,
                          std::string_view script) {
  return RunProgram(program_, args, {}, input, script);
}

GoldenRun GoldenTest::RunProgram(const std::string& program, const std::vector<std::string>& args,
                                 const std::vector<std::string>& extra_env, std::string_view input,
                                 std::string_view script) {
  WriteFile(File("script"), script);
  std::vector<std::string> env = {"VELMORA_DOUBLE_SCRIPT=" + File("script"),
                                  "VELMORA_DOUBLE_LOG=" + File("calls")};
  env.insert(env.end(), extra_env.begin(), extra_env.end());
  ChildResult child = RunChild(program, args, env, input, dir_.path());
  GoldenRun run;
  run.out = NormalizeStamps(FromTargetText(child.out), &run.stamps);
  run.err = FromTargetText(child.err);
  run.bytes = child.out;
  run.calls = ReadFileOrEmpty(File("calls"));
  run.exit_status = child.exit_status;
  run.timed_out = child.timed_out;
  run.signal = child.signal;

  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(run.signal, 0);
  EXPECT_EQ(child.memcheck, "");
  std::string problem;
  EXPECT_TRUE(HandlesBalanced(run.calls, &problem)) << problem << "\n" << run.calls;
  for (const std::string& stamp : run.stamps)
    EXPECT_TRUE(IsTimeOfDay(stamp)) << stamp;
  return run;
}

std::string GoldenTest::ArgvCall(const std::string& call, const std::vector<std::string>& args,
                                 const std::string& tail) const {
  std::string line =
      call + " " + std::to_string(args.size() + 1) + " " + LogQuote(TargetPath(program_));
  for (const std::string& arg : args)
    line += " " + LogQuote(arg);
  return line + tail + "\n";
}

std::string GoldenTest::Bracket(const std::vector<std::string>& args,
                                const std::string& session_calls) const {
  return ArgvCall("RuntimeInitialize", args) + ArgvCall("RuntimeProcessArguments", args) +
         ArgvCall("RuntimeBeginProgram entry", args, " 0 0") + session_calls +
         ArgvCall("RuntimeEndProgram", args) + "RuntimeTerminate\n";
}
