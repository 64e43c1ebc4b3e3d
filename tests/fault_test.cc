// Bad input and faults around the built program. Every case must end by itself
// within a time limit, with the exit status the program defines, having sent
// only whole commands, released every response handle and wound the runtime
// down as far as it was started; its console output and transcript must be
// what the case says, the transcript holding everything up to the last prompt.
//
// Inputs and expected outputs are kept as runs of repeated text, so that a line
// of 1 GiB or a reply of 256 MiB is streamed into the program and compared as it
// is read back, never held whole by the test.
#include <string.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/golden.h"
#include "tests/golden_text.h"

namespace {

using namespace golden;

constexpr int kTimeoutSeconds = 120;

// `text`, `times` times over.
struct Piece {
  std::string text;
  size_t times = 1;
};

// A text as pieces, in which "{dir}" stands for the case's scratch folder.
using Pieces = std::vector<Piece>;

void Append(Pieces* pieces, std::string text, size_t times = 1) {
  if (times == 1 && !pieces->empty() && pieces->back().times == 1)
    pieces->back().text += text;
  else
    pieces->push_back({std::move(text), times});
}

const std::string kTooLong = "Line not sent: it is longer than 255 characters.\n";
const std::string kHasNul = "Line not sent: it contains a NUL character.\n";

// What a run should show on the console and leave in the transcript, written
// down step by step as the session goes.
class Session {
 public:
  // Printed through the session: console and transcript.
  Session& Print(const std::string& text, size_t times = 1) {
    Append(&console, text, times);
    Append(&transcript, text, times);
    return *this;
  }
  Session& ConsoleOnly(const std::string& text) {
    Append(&console, text);
    return *this;
  }
  // A line read from standard input: echoed to the transcript.
  Session& Typed(const std::string& line) {
    Append(&transcript, line + "\n");
    return *this;
  }
  Session& Start() { return Print(kStart); }
  Session& Prompt() { return Print("\n").ConsoleOnly(kBanner).Print("> "); }
  Session& Sent(const std::string& command, const std::string& reply = kNoResponse) {
    return Print(Record(command) + reply);
  }
  Session& End() { return Print(kEnd); }

  Pieces console;
  Pieces transcript;
};

// What the transcript file is expected to be.
enum class Transcript {
  kSession,    // {dir}/t.txt holds the session's transcript
  kNone,       // {dir}/t.txt was never created
  kElsewhere,  // the case's transcript is somewhere the test does not read
};

// The runtime calls of the bracket, in order, when nothing goes wrong.
const char kWoundDown[] =
    "RuntimeInitialize RuntimeProcessArguments RuntimeBeginProgram RuntimeEndProgram "
    "RuntimeTerminate";

struct FaultCase {
  std::string name;
  Pieces input{};
  Session expected{};
  std::vector<std::string> commands{};  // what reached ConsoleCommand, the probe first
  std::string script{};
  std::vector<std::string> args = {"Srv", "/o:{dir}/t.txt"};
  ChildStreams streams{};  // paths may use {dir}
  int exit_status = 0;
  bool console_seen = true;  // whether the console output is there to compare
  Transcript transcript = Transcript::kSession;
  std::string bracket = kWoundDown;
  std::function<void(const std::string& dir)> setup{};
};

void PrintTo(const FaultCase& c, std::ostream* os) {
  *os << c.name;
}

std::string Resolve(std::string text, const std::string& dir) {
  for (size_t at = text.find("{dir}"); at != std::string::npos; at = text.find("{dir}", at))
    text.replace(at, 5, dir);
  return text;
}

// Marks the places where an expected text holds a digit of "[HH:MM:SS]": the
// file holds a time of day there.
// Empty when the text holds no stamp.
std::vector<bool> StampDigits(const std::string& text) {
  std::vector<bool> digits;
  for (size_t at = text.find("[HH:MM:SS]"); at != std::string::npos;
       at = text.find("[HH:MM:SS]", at + 1)) {
    digits.resize(text.size());
    for (size_t i : {1, 2, 4, 5, 7, 8})
      digits[at + i] = true;
  }
  return digits;
}

// Reads a file a block at a time, for comparing it with what it should hold.
class FileReader {
 public:
  explicit FileReader(const std::string& path) : in_(path, std::ios::binary) {}
  bool ok() const { return static_cast<bool>(in_); }
  size_t offset() const { return offset_; }

  // Compares the next bytes of the file with `text`, taking any digit where
  // `digits` marks one (and appending it to `taken`), and moves past those that
  // match. Returns how many did.
  size_t Match(std::string_view text, const std::vector<bool>& digits, std::string* taken) {
    size_t matched = 0;
    while (matched < text.size() && Fill()) {
      size_t n = std::min(text.size() - matched, have_ - next_);
      const char* got = buffer_.data() + next_;
      size_t same = 0;
      if (digits.empty() && memcmp(got, text.data() + matched, n) == 0) {
        same = n;
      } else {
        for (; same < n; ++same) {
          bool digit = !digits.empty() && digits[matched + same];
          if (digit ? got[same] < '0' || got[same] > '9' : got[same] != text[matched + same])
            break;
          if (digit)
            *taken += got[same];
        }
      }
      next_ += same;
      offset_ += same;
      matched += same;
      if (same < n)
        break;
    }
    return matched;
  }

  // Up to `n` bytes from here on, for a message.
  std::string Next(size_t n) {
    std::string text;
    while (text.size() < n && Fill()) {
      text += buffer_[next_++];
      ++offset_;
    }
    return text;
  }

 private:
  bool Fill() {
    if (next_ < have_)
      return true;
    in_.read(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    have_ = static_cast<size_t>(in_.gcount());
    next_ = 0;
    return have_ > 0;
  }

  std::ifstream in_;
  std::vector<char> buffer_ = std::vector<char>(1 << 20);
  size_t have_ = 0;
  size_t next_ = 0;
  size_t offset_ = 0;
};

// Reads the file at `path` and compares it with `pieces` as it goes; the time
// stamps it holds are appended to `stamps`. Empty when they match, otherwise
// where and how they differ.
std::string CompareFile(const std::string& path, const Pieces& pieces, const std::string& dir,
                        std::vector<std::string>* stamps) {
  FileReader file(path);
  if (!file.ok())
    return "cannot read " + path;
  std::string digits_taken;
  for (const Piece& piece : pieces) {
    const std::string text = Resolve(piece.text, dir);
    const std::vector<bool> digits = StampDigits(text);
    for (size_t n = 0; n < piece.times; ++n) {
      size_t matched = file.Match(text, digits, &digits_taken);
      if (matched < text.size())
        return "differs at byte " + std::to_string(file.offset()) + ": expected " +
               testing::PrintToString(text.substr(matched, 60)) + ", found " +
               testing::PrintToString(file.Next(60));
    }
  }
  for (size_t i = 0; i + 6 <= digits_taken.size(); i += 6) {
    const std::string d = digits_taken.substr(i, 6);
    stamps->push_back(d.substr(0, 2) + ":" + d.substr(2, 2) + ":" + d.substr(4, 2));
  }
  std::string rest = file.Next(60);
  if (!rest.empty())
    return "goes on at byte " + std::to_string(file.offset() - rest.size()) + ": " +
           testing::PrintToString(rest);
  return "";
}

// The names of the bracket's calls in `calls`, in order.
std::string BracketCalls(const std::string& calls) {
  std::string names;
  std::istringstream lines(calls);
  std::string line;
  while (std::getline(lines, line)) {
    std::string name = line.substr(0, line.find(' '));
    if (name.starts_with("Runtime") || name == "StartupStatusText")
      names += (names.empty() ? "" : " ") + name;
  }
  return names;
}

class FaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultTest, EndsInOrder) {
  const FaultCase& c = GetParam();
  ScratchDir scratch;
  const std::string& dir = scratch.path();
  if (c.setup)
    c.setup(dir);
  WriteFile(scratch.File("script"), c.script);
  std::vector<std::string> args;
  for (const std::string& arg : c.args)
    args.push_back(Resolve(arg, dir));
  ChildStreams streams = c.streams;
  streams.input_path = Resolve(streams.input_path, dir);
  streams.output_path = Resolve(streams.output_path, dir);

  ChildProcess child;
  ASSERT_TRUE(child.Start(VEXMOR_DOUBLE_PROGRAM, args,
                          {"VELMORA_DOUBLE_SCRIPT=" + scratch.File("script"),
                           "VELMORA_DOUBLE_LOG=" + scratch.File("calls")},
                          dir, streams));
  if (streams.out == ChildStreams::Out::kPipe) {
    // The reader sees the first prompt, then goes away.
    EXPECT_TRUE(child.ReadOutputUntil("> ", kTimeoutSeconds).ends_with("> "));
    child.CloseOutput();
  }
  bool fed = true;
  for (const Piece& piece : c.input) {
    for (size_t n = 0; fed && n < piece.times; ++n)
      fed = child.Write(piece.text, kTimeoutSeconds);
  }
  ChildResult result = child.Wait(kTimeoutSeconds);

  EXPECT_FALSE(result.timed_out);
  EXPECT_EQ(result.signal, 0);
  EXPECT_EQ(result.exit_status, c.exit_status);
  EXPECT_EQ(result.memcheck, "");
  EXPECT_EQ(result.err, "");
  std::string calls = ReadFileOrEmpty(scratch.File("calls"));
  std::string problem;
  EXPECT_TRUE(HandlesBalanced(calls, &problem)) << problem;
  EXPECT_EQ(SentCommands(calls), c.commands);
  EXPECT_EQ(BracketCalls(calls), c.bracket);

  std::vector<std::string> console_stamps;
  std::vector<std::string> file_stamps;
  if (c.console_seen) {
    EXPECT_EQ(CompareFile(scratch.File("stdout"), c.expected.console, dir, &console_stamps), "")
        << "on the console";
  }
  if (c.transcript == Transcript::kSession) {
    EXPECT_EQ(CompareFile(scratch.File("t.txt"), c.expected.transcript, dir, &file_stamps), "")
        << "in the transcript";
    // The records in the file carry the console's time stamps (a file that
    // the program could not take over holds none).
    if (c.console_seen && !file_stamps.empty()) {
      EXPECT_EQ(file_stamps, console_stamps);
    }
  } else if (c.transcript == Transcript::kNone) {
    struct stat st;
    EXPECT_NE(stat(scratch.File("t.txt").c_str(), &st), 0) << "a transcript was created";
  }
}

// A session that sends "cmd" and ends on "stop", with `before` typed first and
// shown as `shown`.
FaultCase LineCase(std::string name, Pieces before, const std::string& echo,
                   const std::string& shown) {
  FaultCase c{.name = std::move(name), .input = std::move(before)};
  Append(&c.input, "\ncmd\nstop\n");
  c.expected.Start().Prompt().Typed(echo).Print(shown).Prompt().Typed("cmd").Sent("cmd");
  c.expected.Prompt().Typed("stop").End();
  c.commands = {"", "cmd"};
  return c;
}

// A session that never gets past the first prompt.
FaultCase NoCommandCase(std::string name, ChildStreams streams) {
  FaultCase c{.name = std::move(name), .input = {{"cmd\nstop\n"}}, .streams = std::move(streams)};
  c.expected.Start().Prompt().End();
  c.commands = {""};
  return c;
}

std::vector<FaultCase> InputCases() {
  std::vector<FaultCase> cases;
  const std::string x255(255, 'x');
  cases.push_back(LineCase("Line256", {{std::string(256, 'x')}}, x255, kTooLong));
  cases.push_back(LineCase("Line64KiB", {{std::string(65536, 'x')}}, x255, kTooLong));
  cases.push_back(LineCase("HugeLine1GiB", {{std::string(65536, 'x'), 16384}}, x255, kTooLong));
  cases.push_back(LineCase("NulInsideALine", {{std::string("ab\0cd", 5)}}, "ab", kHasNul));
  cases.push_back(LineCase("NulAtTheStart", {{std::string("\0cd", 3)}}, "", kHasNul));
  cases.push_back(
      LineCase("NulPastTheLongestLine", {{x255 + std::string("\0", 1) + "tail"}}, x255, kTooLong));

  {
    FaultCase c{.name = "LastLineWithoutLineEnd", .input = {{"cmd\nlast"}}};
    c.expected.Start().Prompt().Typed("cmd").Sent("cmd").Prompt().Typed("last").Sent("last");
    c.expected.Prompt().End();
    c.commands = {"", "cmd", "last"};
    cases.push_back(c);
  }
  {
    FaultCase c{.name = "LastLineAShutdownCommand", .input = {{"quit"}}};
    c.expected.Start().Prompt().Typed("quit").Print(kQuestion + "\n" + kNotSent).Prompt().End();
    c.commands = {""};
    cases.push_back(c);
  }
  {
    // Only the answer's first character counts, whatever follows it.
    FaultCase c{.name = "NulInTheAnswer", .input = {{std::string("quit\ny\0n\nstop\n", 14)}}};
    c.expected.Start().Prompt().Typed("quit").Print(kQuestion).Typed("y").Print("\n");
    c.expected.Sent("quit").Prompt().Typed("stop").End();
    c.commands = {"", "quit"};
    cases.push_back(c);
  }
  {
    // "x", one byte, "y": sent whole, the byte unchanged unless it is whitespace;
    // a line feed ends the line.
    FaultCase c{.name = "EveryByteInsideACommand"};
    c.expected.Start();
    c.commands = {""};
    std::string input;
    for (int b = 1; b <= 255; ++b) {
      std::string line = std::string("x") + static_cast<char>(b) + "y";
      input += line + "\n";
      std::vector<std::string> lines = {line};
      if (b == '\n')
        lines = {"x", "y"};
      for (const std::string& typed : lines) {
        bool blank = b == ' ' || (b >= '\t' && b <= '\r');
        std::string command = blank && typed.size() == 3 ? "x y" : typed;
        c.expected.Prompt().Typed(typed).Sent(command);
        c.commands.push_back(command);
      }
    }
    c.input = {{input + "stop\n"}};
    c.expected.Prompt().Typed("stop").End();
    cases.push_back(c);
  }
  {
    FaultCase c{.name = "FormatDirectivesInRepliesAndStatusTexts",
                .input = {{"one\ntwo\nstop\n"}},
                .script = "status-text 7 %n%s%x\ncommand 0 \ncommand 0 %s%n%p%%\ncommand 7 \n"};
    c.expected.Start().Prompt().Typed("one").Sent("one", "%s%n%p%%\n");
    c.expected.Prompt().Typed("two").Sent("two", "(Error: %n%s%x)\n").Prompt().Typed("stop").End();
    c.commands = {"", "one", "two"};
    cases.push_back(c);
  }
  {
    const std::string pattern = "0123456789abcde\n";
    const size_t times = (256u << 20) / pattern.size();
    FaultCase c{.name = "HugeReply256MiB",
                .input = {{"big\nstop\n"}},
                .script = "command 0 \ncommand-fill 0 " + std::to_string(256u << 20) +
                          " 0123456789abcde\\n\n"};
    c.expected.Start().Prompt().Typed("big").Print(Record("big")).Print(pattern, times);
    c.expected.Print("\n").Prompt().Typed("stop").End();
    c.commands = {"", "big"};
    cases.push_back(c);
  }
  return cases;
}

std::vector<FaultCase> StreamCases() {
  using In = ChildStreams::In;
  using Out = ChildStreams::Out;
  std::vector<FaultCase> cases;
  // Input that ends before the first line: the session ends as on "stop".
  cases.push_back(NoCommandCase("InputIsAFolder", {.in = In::kPath, .input_path = "{dir}"}));
  cases.push_back(NoCommandCase("InputIsClosed", {.in = In::kClosed}));
  cases.push_back(
      NoCommandCase("InputIsTheNullDevice", {.in = In::kPath, .input_path = "/dev/null"}));

  // A console that cannot be written: the session ends at the first prompt, as
  // at the end of input, and the runtime is wound down in order.
  for (FaultCase c :
       {NoCommandCase("OutputIsClosed", {.out = Out::kClosed}),
        NoCommandCase("OutputIsFull", {.out = Out::kPath, .output_path = "/dev/full"}),
        NoCommandCase("OutputReaderGoneBeforeTheStart", {.out = Out::kBrokenPipe})}) {
    c.console_seen = false;
    cases.push_back(c);
  }
  {
    // The reader leaves after the first prompt: the next command still goes out
    // (its output waits in the buffer), the prompt after it cannot be shown.
    FaultCase c{.name = "OutputReaderGoesAwayMidSession",
                .input = {{"cmd\nnever\nstop\n"}},
                .streams = {.out = Out::kPipe},
                .console_seen = false};
    c.expected.Start().Prompt().Typed("cmd").Sent("cmd").Prompt().End();
    c.commands = {"", "cmd"};
    cases.push_back(c);
  }
  {
    FaultCase c{.name = "TranscriptOnAFullDevice",
                .input = {{"cmd\nstop\n"}},
                .args = {"Srv", "/o:/dev/full"},
                .transcript = Transcript::kElsewhere};
    c.expected.Start().Prompt().Sent("cmd").Prompt().End();
    c.commands = {"", "cmd"};
    cases.push_back(c);
  }
  {
    FaultCase c{.name = "TranscriptInAMissingFolder",
                .input = {{"cmd\nstop\n"}},
                .args = {"Srv", "/o:{dir}/missing/t.txt"},
                .transcript = Transcript::kNone};
    c.expected.ConsoleOnly("Cannot open output file: {dir}/missing/t.txt\n");
    c.expected.Start().Prompt().Sent("cmd").Prompt().End();
    c.commands = {"", "cmd"};
    cases.push_back(c);
  }
  {
    // Root too is held to the file's permissions.
    FaultCase c{.name = "TranscriptAReadOnlyFile",
                .input = {{"cmd\nstop\n"}},
                .args = {"Srv", "/o:{dir}/t.txt"},
                .streams = {.heed_file_permissions = true},
                .transcript = Transcript::kSession};
    c.setup = [](const std::string& dir) {
      WriteFile(dir + "/t.txt", "kept\n");
      chmod((dir + "/t.txt").c_str(), 0400);
    };
    c.expected.ConsoleOnly("Cannot open output file: {dir}/t.txt\n");
    c.expected.Start().Prompt().Sent("cmd").Prompt().End();
    c.expected.transcript = {{"kept\n"}};
    c.commands = {"", "cmd"};
    cases.push_back(c);
  }
  return cases;
}

// Every console command fails with `status`; the runtime has a text for the
// error code 258 only.
FaultCase CommandsFailCase(const std::string& status) {
  FaultCase c{
      .name = "AllCommandsFailWith" + status,
      .input = {{"first\nquit\ny\nlast\nstop\n"}},
      .script = "status-text 258 Server not responding\ncommand 0 \ndefault " + status + " \n"};
  int code = std::stoi(status, nullptr, 16) & 0x3FFF;
  std::string text = code == 258 ? "(Error: Server not responding)\n" : "";
  // An error code of 0 (flag bits only) counts as success, with nothing to show.
  std::string note = code != 0 ? kNote : "";
  c.expected.Start().Prompt().Typed("first").Sent("first", text);
  c.expected.Prompt().Typed("quit").Print(kQuestion).Typed("y").Print("\n");
  c.expected.Sent("quit", text + note).Prompt().Typed("last").Sent("last", text);
  c.expected.Prompt().Typed("stop").End();
  c.commands = {"", "first", "quit", "last"};
  return c;
}

std::vector<FaultCase> CommandFailureCases() {
  std::vector<FaultCase> cases;
  for (const char* status :
       {"0x0102", "0x0103", "0x4102", "0x8103", "0xC102", "0x3FFF", "0x4000", "0x8000", "0xC000"})
    cases.push_back(CommandsFailCase(status));
  return cases;
}

// Every combination of the start-up steps and the probe succeeding, failing, or
// failing with flag bits: only the first failure counts.
std::vector<FaultCase> StartUpCases() {
  struct Step {
    const char* name;
    const char* status;
  };
  const Step kInitialize[] = {
      {"", "0"}, {"InitializeFails", "0x0011"}, {"InitializeFailsQuietly", "0x8011"}};
  const Step kProcess[] = {
      {"", "0"}, {"ProcessArgumentsFails", "0x0012"}, {"ProcessArgumentsFailsQuietly", "0xC012"}};
  const Step kBegin[] = {{"", "0"}, {"BeginFails", "0x0013"}};
  const Step kProbe[] = {{"", "0"}, {"ProbeFails", "0x0102"}, {"ProbeFailsWithFlags", "0x4000"}};
  const std::string shown = "\r\nStart-up refused\r\n\r\n";
  std::vector<FaultCase> cases;
  for (const Step& init : kInitialize) {
    for (const Step& process : kProcess) {
      for (const Step& begin : kBegin) {
        for (const Step& probe : kProbe) {
          std::string name =
              std::string("StartUp") + init.name + process.name + begin.name + probe.name;
          FaultCase c{.name = name == "StartUp" ? "StartUpSucceeds" : name,
                      .input = {{"cmd\nstop\n"}},
                      .script = std::string("initialize ") + init.status + "\nprocess-arguments " +
                                process.status + "\nbegin " + begin.status +
                                "\nstartup-text 7 Start-up refused\n" +
                                "status-text 258 Server not responding\ncommand " + probe.status +
                                " \n"};
          if (*init.name != '\0') {
            c.expected.ConsoleOnly(init.status[2] == '8' ? "" : shown);
            c.exit_status = 7;
            c.transcript = Transcript::kNone;
            c.bracket = "RuntimeInitialize StartupStatusText";
          } else if (*process.name != '\0') {
            c.expected.ConsoleOnly(process.status[2] == 'C' ? "" : shown);
            c.exit_status = 7;
            c.transcript = Transcript::kNone;
            c.bracket =
                "RuntimeInitialize RuntimeProcessArguments StartupStatusText "
                "RuntimeTerminate";
          } else if (*begin.name != '\0') {
            c.exit_status = 255;
            c.transcript = Transcript::kNone;
          } else if (*probe.name != '\0') {
            c.expected.Start().Print("\nCannot connect to server (Srv) via remote console.\n");
            c.expected.Print(probe.status[2] == '0' ? "(Error: Server not responding)\n" : "");
            c.expected.Print("\n");
            c.commands = {""};
          } else {
            c.expected.Start().Prompt().Typed("cmd").Sent("cmd").Prompt().Typed("stop").End();
            c.commands = {"", "cmd"};
          }
          cases.push_back(c);
        }
      }
    }
  }
  return cases;
}

std::string CaseName(const testing::TestParamInfo<FaultCase>& info) {
  return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Input, FaultTest, testing::ValuesIn(InputCases()), CaseName);
INSTANTIATE_TEST_SUITE_P(Streams, FaultTest, testing::ValuesIn(StreamCases()), CaseName);
INSTANTIATE_TEST_SUITE_P(CommandFailures, FaultTest, testing::ValuesIn(CommandFailureCases()),
                         CaseName);
INSTANTIATE_TEST_SUITE_P(StartUp, FaultTest, testing::ValuesIn(StartUpCases()), CaseName);

}  // namespace
