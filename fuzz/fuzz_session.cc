// Fuzzes whole runs of the program inside this process: its standard input and
// everything the runtime answers come from the fuzzer's bytes. The runtime is the
// test double, which sits beside this executable, where the program looks for
// it first, and starts afresh from a script before each run. Each run is
// "vexmor Srv /o:<file in a temporary folder>", with standard input and output
// replaced by streams of this file's own, and must keep these invariants:
//   - the exit status is the one the start-up outcome defines;
//   - every response handle obtained is unlocked after each lock and freed;
//   - every command sent is a whole typed line, tidied (so never longer than the
//     line), in the order typed, and never the word STOP;
//   - each line read is echoed to the transcript as typed, right where the
//     program stood when it began to read it;
//   - every read follows a prompt or the shutdown question, and at a prompt the
//     console and the transcript have been written out;
//   - the transcript is the console's text without the banners, plus the echoed
//     lines, at every prompt and at the end.
//
// Input, numbers little-endian, missing bytes read as 0:
//   1 byte   which start-up step fails: the value mod 8, 0 RuntimeInitialize,
//            1 RuntimeProcessArguments, 2 RuntimeBeginProgram, any other none
//   2 bytes  its status (0 taken as 1)
//   2 bytes  the probe's status
//   1 byte   how many replies are queued after the probe, mod 16; each: 2 bytes
//            status, 1 byte length L and L bytes of text; an L of 255 means
//            2 bytes N and 1 byte, the byte repeated to 16 * (N mod 4096) bytes
//   2 bytes  the status of every later command, 1 byte L and L bytes of text
//   1 byte   how many status texts, mod 8; each: 2 bytes error code (mod
//            0x4000; a repeated code is skipped), 1 byte L and L bytes of text
//   the rest standard input
// The runtime's texts never hold '>' (it is turned into ')'): that way the only
// banners and prompts on the console are the program's own.
#include <dlfcn.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdio_ext.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "invocation/bracket.h"
#include "invocation/transcript.h"
#include "platform/velmora.h"
#include "session/line_reader.h"
#include "tests/call_log.h"

namespace {

constexpr std::string_view kBanner = ">>Pellomar for Srv\n>>Type 'stop' to end this program\n";
constexpr std::string_view kQuestion = "Are you sure you want to send this command (Y/N)? ";
constexpr std::string_view kStartupText = "\r\nvelmora test double: start-up failed\r\n\r\n";
constexpr int kStartupResult = 3;  // the double's StartupStatusText result

using LoadFn = void (*)(const char* script, size_t size, FILE* log);
LoadFn g_load_double;
std::string g_folder;
std::string g_transcript_path;

// Takes numbers and texts off the front of the fuzzer's bytes.
class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  unsigned Byte() { return at_ < size_ ? data_[at_++] : 0; }
  unsigned Word() { return Byte() | Byte() << 8; }
  std::string_view Text(size_t length) {
    length = std::min(length, size_ - at_);
    std::string_view text(reinterpret_cast<const char*>(data_) + at_, length);
    at_ += length;
    return text;
  }
  std::string_view Rest() { return Text(size_ - at_); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// `text` as a script's TEXT field.
std::string Escaped(std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : text) {
    if (c == '>')
      c = ')';
    if (c == '\\') {
      out += "\\\\";
    } else if (c < 0x20 || c >= 0x7f) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string Status(unsigned status) {
  return std::to_string(status);
}

// Where the program stood each time it began to read a line.
struct Read {
  size_t console_written;     // bytes the console had received
  size_t console_pending;     // bytes still in standard output's buffer
  long transcript_at;         // the transcript's position, pending bytes included
  size_t transcript_pending;  // bytes still in the transcript's buffer
  bool end;                   // nothing was left to read
};

// Standard input: hands over at most one line per read, as a console does, and
// notes where the program stood at the start of each line.
struct Input {
  std::string_view data;
  size_t at = 0;
  bool line_start = true;
  const std::string* console;
  std::vector<Read> reads{};
};

ssize_t ReadInput(void* cookie, char* buffer, size_t size) {
  Input* in = static_cast<Input*>(cookie);
  if (in->line_start) {
    in->reads.push_back(
        {in->console->size(), __fpending(stdout), gTranscript != nullptr ? ftell(gTranscript) : -1,
         gTranscript != nullptr ? __fpending(gTranscript) : 0, in->at == in->data.size()});
  }
  size_t n = std::min(size, in->data.size() - in->at);
  const char* from = in->data.data() + in->at;
  if (const void* line_end = memchr(from, '\n', n))
    n = static_cast<size_t>(static_cast<const char*>(line_end) - from) + 1;
  memcpy(buffer, from, n);
  in->at += n;
  in->line_start = n > 0 && buffer[n - 1] == '\n';
  return static_cast<ssize_t>(n);
}

ssize_t WriteConsole(void* cookie, const char* data, size_t size) {
  static_cast<std::string*>(cookie)->append(data, size);
  return static_cast<ssize_t>(size);
}

// A typed line: what the transcript echoes, and the command it makes (empty when
// it makes none or is not sent whole).
struct Typed {
  std::string echo;
  std::string command;
  size_t length;
};

std::vector<Typed> SplitLines(std::string_view input) {
  std::vector<Typed> lines;
  while (!input.empty()) {
    size_t end = input.find('\n');
    std::string_view line = input.substr(0, end);
    input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
    if (end != std::string_view::npos && line.ends_with('\r'))
      line.remove_suffix(1);
    std::string_view kept = line.substr(0, kLineSize - 1);
    Typed typed;
    typed.echo = std::string(kept.substr(0, kept.find('\0'))) + "\n";
    if (line.size() < kLineSize && line.find('\0') == std::string_view::npos)
      typed.command = TidyWords(line);
    typed.length = line.size();
    lines.push_back(typed);
  }
  return lines;
}

std::string WithoutBanners(std::string_view text) {
  std::string out;
  for (size_t at = text.find(kBanner); at != std::string_view::npos; at = text.find(kBanner)) {
    out += text.substr(0, at);
    text.remove_prefix(at + kBanner.size());
  }
  out += text;
  return out;
}

bool IsStop(std::string_view command) {
  if (command.size() != 4)
    return false;
  for (size_t i = 0; i < 4; ++i) {
    char c = command[i];
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
    if (c != "STOP"[i])
      return false;
  }
  return true;
}

void RemoveFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(g_folder, ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char error[1024];
  if (!velmora::LoadRuntime(error, sizeof error))
    Fail("the test double must sit beside fuzz_session", error);
  void* library = dlopen(VEXMOR_DOUBLE_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
  Check(library != nullptr, "the runtime loaded is not the test double");
  g_load_double = reinterpret_cast<LoadFn>(dlsym(library, "VelmoraDoubleLoad"));
  Check(g_load_double != nullptr, "the test double cannot load a script from memory");
  std::string pattern = std::filesystem::temp_directory_path() / "fuzz_session-XXXXXX";
  Check(mkdtemp(pattern.data()) != nullptr, "cannot make a temporary folder");
  g_folder = pattern;
  g_transcript_path = g_folder + "/t.txt";
  atexit(RemoveFolder);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Bytes bytes(data, size);
  const unsigned failing_step = bytes.Byte() % 8;
  const unsigned step_status = bytes.Word();
  std::string script;
  const char* kSteps[] = {"initialize", "process-arguments", "begin"};
  if (failing_step < 3)
    script +=
        std::string(kSteps[failing_step]) + " " + Status(step_status ? step_status : 1) + "\n";
  script += "command " + Status(bytes.Word()) + " \n";
  for (unsigned n = bytes.Byte() % 16; n > 0; --n) {
    std::string status = Status(bytes.Word());
    unsigned length = bytes.Byte();
    if (length == 255) {
      unsigned fill = 16 * (bytes.Word() % 4096);
      std::string pattern(1, static_cast<char>(bytes.Byte()));
      script +=
          "command-fill " + status + " " + std::to_string(fill) + " " + Escaped(pattern) + "\n";
    } else {
      script += "command " + status + " " + Escaped(bytes.Text(length)) + "\n";
    }
  }
  script += "default " + Status(bytes.Word()) + " ";
  script += Escaped(bytes.Text(bytes.Byte())) + "\n";
  std::set<unsigned> codes;
  for (unsigned n = bytes.Byte() % 8; n > 0; --n) {
    unsigned code = bytes.Word() % 0x4000;
    std::string text = Escaped(bytes.Text(bytes.Byte()));
    if (codes.insert(code).second)
      script += "status-text " + Status(code) + " " + text + "\n";
  }
  const std::string_view typed = bytes.Rest();

  // The run.
  char* calls_buffer = nullptr;
  size_t calls_size = 0;
  FILE* calls_log = open_memstream(&calls_buffer, &calls_size);
  g_load_double(script.data(), script.size(), calls_log);
  unlink(g_transcript_path.c_str());
  std::string console;
  Input input{.data = typed, .console = &console};
  FILE* in = fopencookie(&input, "r", {ReadInput, nullptr, nullptr, nullptr});
  FILE* out = fopencookie(&console, "w", {nullptr, WriteConsole, nullptr, nullptr});
  setvbuf(out, nullptr, _IOFBF, 4096);
  FILE* saved_in = stdin;
  FILE* saved_out = stdout;
  stdin = in;
  stdout = out;
  std::string option = "/o:" + g_transcript_path;
  char* argv[] = {const_cast<char*>("vexmor"), const_cast<char*>("Srv"), option.data(), nullptr};
  const int exit_status = ProgramEntry(3, argv);
  fflush(stdout);
  stdin = saved_in;
  stdout = saved_out;
  fclose(in);
  fclose(out);
  fclose(calls_log);
  const std::string calls(calls_buffer, calls_size);
  free(calls_buffer);
  std::string transcript;
  FILE* file = fopen(g_transcript_path.c_str(), "rb");
  const bool have_transcript = file != nullptr;
  if (have_transcript) {
    char buffer[65536];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, file)) > 0;)
      transcript.append(buffer, n);
    fclose(file);
  }

  // What it must have done.
  std::string problem;
  if (!HandlesBalanced(calls, &problem))
    Fail("a response handle is not released", problem + "\n" + calls);
  const std::vector<std::string> sent = SentCommands(calls);
  if (failing_step < 3) {
    Check(exit_status == (failing_step < 2 ? kStartupResult : -1), "wrong exit status");
    Check(!have_transcript, "a transcript without a session");
    Check(sent.empty(), "a command sent without a session");
    Check(console.empty() || console == kStartupText, "wrong start-up failure text");
    return 0;
  }
  Check(exit_status == 0, "wrong exit status");
  Check(have_transcript, "no transcript");
  Check(!sent.empty() && sent[0].empty(), "no probe first");

  const std::vector<Typed> lines = SplitLines(typed);
  std::string echoless;  // the transcript without the echoed lines
  size_t copied = 0;
  size_t checked_console = 0;
  size_t checked_transcript = 0;
  size_t next_line = 0;
  std::vector<const Typed*> read_lines;
  for (const Read& read : input.reads) {
    Check(read.transcript_at >= static_cast<long>(copied) &&
              static_cast<size_t>(read.transcript_at) <= transcript.size(),
          "the transcript went back, or lost what it held");
    echoless.append(transcript, copied, static_cast<size_t>(read.transcript_at) - copied);
    copied = static_cast<size_t>(read.transcript_at);
    const bool at_prompt = echoless.ends_with("> ");
    Check(at_prompt || echoless.ends_with(kQuestion),
          "a read neither at a prompt nor at the question");
    if (at_prompt) {
      Check(read.console_pending == 0 && read.transcript_pending == 0,
            "output not written out at a prompt");
      std::string_view shown(console.data() + checked_console,
                             read.console_written - checked_console);
      std::string_view kept(echoless.data() + checked_transcript,
                            echoless.size() - checked_transcript);
      if (WithoutBanners(shown) != kept)
        Fail("at a prompt the transcript is not the console's copy",
             "console:\n" + console + "\ntranscript:\n" + transcript);
      checked_console = read.console_written;
      checked_transcript = echoless.size();
    }
    if (read.end)
      continue;
    Check(next_line < lines.size(), "a line read that was never typed");
    const Typed& line = lines[next_line++];
    if (transcript.compare(copied, line.echo.size(), line.echo) != 0)
      Fail("a line read is not echoed as typed", line.echo);
    copied += line.echo.size();
    read_lines.push_back(&line);
  }
  echoless.append(transcript, copied);
  if (WithoutBanners(std::string_view(console).substr(checked_console)) !=
      std::string_view(echoless).substr(checked_transcript))
    Fail("the transcript is not the console's copy",
         "console:\n" + console + "\ntranscript:\n" + transcript);

  // The commands sent are tidied typed lines, in order.
  size_t line = 0;
  for (size_t i = 1; i < sent.size(); ++i) {
    Check(!sent[i].empty() && !IsStop(sent[i]), "an empty command, or STOP, was sent");
    while (line < read_lines.size() && read_lines[line]->command != sent[i])
      ++line;
    if (line == read_lines.size())
      Fail("a command sent is not a whole typed line, tidied", sent[i]);
    Check(sent[i].size() <= read_lines[line]->length, "a command longer than its line");
    ++line;
  }
  return 0;
}
