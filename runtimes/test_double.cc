// A scriptable stand-in for the Velmora runtime. The tests load it in place of
// the real library: a script file sets what each entry point returns, and a log
// file records every call with its arguments, one line each, so that a test can
// compare the program's conversation with the runtime byte for byte.
//
// Two environment variables, read once, at the first call of any entry point:
//   VELMORA_DOUBLE_SCRIPT  the script; unset or empty: all results are defaults
//   VELMORA_DOUBLE_LOG     the call log, truncated; unset or empty: no log
//
// Script: one directive a line; empty lines, lines of blanks only and lines
// starting with '#' are skipped, a trailing "\r" is dropped. Fields are
// separated by one blank; TEXT is the whole rest of the line (it may be empty
// or hold blanks) and takes the escapes \n \r \t \\ \xHH. Numbers are decimal
// or 0x-hex; RESULT may be negative.
//   initialize STATUS               result of RuntimeInitialize (0)
//   process-arguments STATUS        result of RuntimeProcessArguments (0)
//   replace-argument TEXT           repeatable: the vector that
//                                   RuntimeProcessArguments stores, whatever
//                                   its status
//   begin STATUS                    result of RuntimeBeginProgram (0)
//   startup-text RESULT TEXT        StartupStatusText (3, a text of its own)
//   status-text CODE TEXT           LoadStatusText's text for exactly CODE
//   command STATUS TEXT             queued; each ConsoleCommand takes the next
//   command-fill STATUS SIZE TEXT   the same, reply TEXT repeated to SIZE bytes
//   default STATUS TEXT             ConsoleCommand once the queue is empty
//                                   (0, empty reply)
// Each directive but replace-argument, status-text (per code) and the two
// command ones may be given once. A script that cannot be read or holds a bad
// line stops the process with a message: a broken fixture must not pass for a
// working one.
//
// A test that runs the program inside its own process (the session fuzz target)
// calls the extra entry point
//   void VelmoraDoubleLoad(const char* script, size_t size, FILE* log)
// to start the double afresh from a script held in memory, logging into an open
// stream, or not at all when `log` is null. The environment is not read then;
// the stream stays the caller's.
//
// Log lines, written once a call's result is known and flushed at once:
//   RuntimeInitialize ARGS
//   RuntimeProcessArguments ARGS          (the arguments as passed)
//   RuntimeBeginProgram entry|null ARGS ZERO1 ZERO2
//   RuntimeEndProgram ARGS
//   RuntimeTerminate
//   StartupStatusText 0xSSSS CAPACITY
//   ConsoleCommand SERVER COMMAND -> HANDLE|0xSSSS
//   LockResponse HANDLE [unknown]
//   UnlockResponse HANDLE [unknown]
//   FreeResponse HANDLE [unknown]
//   LoadStatusText ZERO CODE CAPACITY
// ARGS is the count and then that many strings (or "null" for a null vector).
// Strings are quoted with \\ \" \n \r \t and \xHH for every other byte below
// 0x20 or from 0x7F up; a null string is written null.

#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/velmora_abi.h"
#include "runtimes/export.h"

namespace {

// Stored through the handle pointer of a failed ConsoleCommand, so that a
// program that goes on to use it shows up in the log.
constexpr VResponse kPoisonHandle = 0xDEADBEEF;

// LockResponse's answer for a handle it does not know: never null.
char g_empty_text[1] = "";

// A reply lives in a buffer of its own, so that a program reading it after
// FreeResponse reads freed memory, which memory checkers report.
using Text = std::unique_ptr<char[]>;

Text CopyText(const std::string& s) {
  Text t(new char[s.size() + 1]);
  memcpy(t.get(), s.c_str(), s.size() + 1);
  return t;
}

// TEXT repeated and cut to exactly size bytes, built by doubling so that even
// a one-byte pattern fills hundreds of MiB quickly.
Text FillText(const std::string& pattern, size_t size) {
  Text t(new char[size + 1]);
  size_t filled = pattern.size() < size ? pattern.size() : size;
  memcpy(t.get(), pattern.data(), filled);
  while (filled < size) {
    size_t n = filled < size - filled ? filled : size - filled;
    memcpy(t.get() + filled, t.get(), n);
    filled += n;
  }
  t[size] = '\0';
  return t;
}

struct Command {
  VStatus status;
  Text reply;
};

using Responses = std::unordered_map<VResponse, Text>;

struct Double {
  Double() { responses.reserve(16); }

  std::string log_path;
  FILE* log = nullptr;

  VStatus initialize = 0;
  VStatus process_arguments = 0;
  VStatus begin = 0;
  std::vector<std::string> arguments;
  std::vector<char*> argv;  // into arguments, null-terminated; empty: none
  int startup_result = 3;
  std::string startup_text = "velmora test double: start-up failed";
  std::unordered_map<uint16_t, std::string> status_texts;

  std::vector<Command> commands;
  size_t next_command = 0;
  VStatus default_status = 0;
  std::string default_reply;

  Responses responses;
  // The node of the last freed response, reused for the next one, so that a
  // command costs no allocation beyond its reply.
  Responses::node_type spare;
  VResponse last_handle = 0;

  void Hold(VResponse handle, Text reply) {
    if (spare.empty()) {
      responses.emplace(handle, std::move(reply));
      return;
    }
    spare.key() = handle;
    spare.mapped() = std::move(reply);
    responses.insert(std::move(spare));
  }

  void Release(Responses::iterator it) {
    spare = responses.extract(it);
    spare.mapped().reset();
  }
};

[[noreturn]] void Fail(const std::string& what) {
  fprintf(stderr, "velmora test double: %s\n", what.c_str());
  abort();
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

bool ReadFile(const char* path, std::string* out) {
  FILE* f = fopen(path, "rb");
  if (!f)
    return false;
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0)
    out->append(buf, n);
  bool ok = !ferror(f);
  fclose(f);
  return ok;
}

// Reads a script into a Double, line by line; any fault ends the process.
class ScriptReader {
 public:
  ScriptReader(const char* path, Double* d) : path_(path), d_(d) {}
  // Reads the script file named by `path`.
  void Read();
  // Takes the script from `data`; `path` names it in messages.
  void Parse(std::string_view data);

 private:
  [[noreturn]] void Bad(const std::string& what) const {
    Fail(path_ + ":" + std::to_string(line_) + ": " + what);
  }
  void Directive(std::string_view line);
  std::string_view Field(const char* name);
  long long Number(const char* name, long long lo, long long hi);
  VStatus Status() { return static_cast<VStatus>(Number("STATUS", 0, 0xFFFF)); }
  std::string Rest();
  void End(const char* last);
  void Once(bool* seen) {
    if (*seen)
      Bad("repeated directive");
    *seen = true;
  }

  std::string path_;
  Double* d_;
  int line_ = 0;
  std::string_view rest_;  // what follows the fields taken so far
  bool more_ = false;      // whether a blank came after the last field
  bool seen_initialize_ = false;
  bool seen_process_arguments_ = false;
  bool seen_begin_ = false;
  bool seen_startup_text_ = false;
  bool seen_default_ = false;
};

void ScriptReader::Read() {
  std::string data;
  if (!ReadFile(path_.c_str(), &data))
    Fail(path_ + ": cannot read script: " + strerror(errno));
  Parse(data);
}

void ScriptReader::Parse(std::string_view data) {
  size_t start = 0;
  while (start < data.size()) {
    size_t end = data.find('\n', start);
    if (end == std::string::npos)
      end = data.size();
    std::string_view line = data.substr(start, end - start);
    start = end + 1;
    ++line_;
    if (!line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    if (line.find_first_not_of(" \t") == std::string_view::npos || line[0] == '#')
      continue;
    Directive(line);
  }
  for (std::string& a : d_->arguments)
    d_->argv.push_back(a.data());
  if (!d_->argv.empty())
    d_->argv.push_back(nullptr);
}

void ScriptReader::Directive(std::string_view line) {
  rest_ = line;
  more_ = true;
  std::string name(Field("directive"));
  if (name == "initialize") {
    Once(&seen_initialize_);
    d_->initialize = Status();
    End("STATUS");
  } else if (name == "process-arguments") {
    Once(&seen_process_arguments_);
    d_->process_arguments = Status();
    End("STATUS");
  } else if (name == "replace-argument") {
    d_->arguments.push_back(Rest());
  } else if (name == "begin") {
    Once(&seen_begin_);
    d_->begin = Status();
    End("STATUS");
  } else if (name == "startup-text") {
    Once(&seen_startup_text_);
    d_->startup_result = static_cast<int>(Number("RESULT", INT_MIN, INT_MAX));
    d_->startup_text = Rest();
  } else if (name == "status-text") {
    uint16_t code = static_cast<uint16_t>(Number("CODE", 0, 0xFFFF));
    if (!d_->status_texts.emplace(code, Rest()).second)
      Bad("repeated CODE");
  } else if (name == "command") {
    VStatus status = Status();
    d_->commands.push_back({status, CopyText(Rest())});
  } else if (name == "command-fill") {
    VStatus status = Status();
    size_t size = static_cast<size_t>(Number("SIZE", 0, PTRDIFF_MAX - 1));
    std::string pattern = Rest();
    if (pattern.empty() && size > 0)
      Bad("empty TEXT to fill");
    d_->commands.push_back({status, FillText(pattern, size)});
  } else if (name == "default") {
    Once(&seen_default_);
    d_->default_status = Status();
    d_->default_reply = Rest();
  } else {
    Bad("unknown directive \"" + name + "\"");
  }
}

// The next blank-separated field, which must be there.
std::string_view ScriptReader::Field(const char* name) {
  if (!more_)
    Bad(std::string("missing ") + name);
  size_t blank = rest_.find(' ');
  std::string_view field = rest_.substr(0, blank);
  more_ = blank != std::string_view::npos;
  rest_ = more_ ? rest_.substr(blank + 1) : std::string_view();
  return field;
}

// A decimal or 0x-hex field in [lo, hi]; a sign only where lo is negative.
long long ScriptReader::Number(const char* name, long long lo, long long hi) {
  std::string_view field = Field(name);
  std::string_view s = field;
  bool negative = lo < 0 && !s.empty() && s[0] == '-';
  if (negative)
    s.remove_prefix(1);
  unsigned long long base = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s.remove_prefix(2);
  }
  bool ok = !s.empty();
  unsigned long long v = 0;
  for (char c : s) {
    int d = HexDigit(c);
    if (d < 0 || static_cast<unsigned long long>(d) >= base ||
        v > (LLONG_MAX - static_cast<unsigned long long>(d)) / base) {
      ok = false;
      break;
    }
    v = v * base + static_cast<unsigned long long>(d);
  }
  long long n = static_cast<long long>(v);
  if (negative)
    n = -n;
  if (!ok || n < lo || n > hi)
    Bad(std::string("bad ") + name + " \"" + std::string(field) + "\"");
  return n;
}

// The rest of the line, unescaped: the TEXT field.
std::string ScriptReader::Rest() {
  std::string out;
  std::string_view s = rest_;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\') {
      out += s[i];
      continue;
    }
    char c = i + 1 < s.size() ? s[i + 1] : '\0';
    if (c == 'n') {
      out += '\n';
    } else if (c == 'r') {
      out += '\r';
    } else if (c == 't') {
      out += '\t';
    } else if (c == '\\') {
      out += '\\';
    } else if (c == 'x' && i + 3 < s.size() && HexDigit(s[i + 2]) >= 0 && HexDigit(s[i + 3]) >= 0) {
      out += static_cast<char>(HexDigit(s[i + 2]) * 16 + HexDigit(s[i + 3]));
      i += 2;
    } else {
      std::string_view bad = s.substr(i, c == 'x' ? 4 : 2);
      Bad("bad escape \"" + std::string(bad) + "\"");
    }
    ++i;
  }
  rest_ = std::string_view();
  more_ = false;
  return out;
}

// Refuses anything after the last field.
void ScriptReader::End(const char* last) {
  if (!rest_.empty())
    Bad(std::string("unexpected text after ") + last);
}

Double* Load() {
  Double* d = new Double;
  const char* script = getenv("VELMORA_DOUBLE_SCRIPT");
  if (script && *script)
    ScriptReader(script, d).Read();
  const char* log = getenv("VELMORA_DOUBLE_LOG");
  if (log && *log) {
    d->log_path = log;
    d->log = fopen(log, "wb");
    if (!d->log)
      Fail(d->log_path + ": cannot open log: " + strerror(errno));
  }
  return d;
}

// Built at the first call and never destroyed: the stored argument vector must
// stay valid to the end of the process, and calls made while the process exits
// must still find the log. Only VelmoraDoubleLoad replaces it, between runs.
Double* g_double;

Double& Get() {
  if (g_double == nullptr)
    g_double = Load();
  return *g_double;
}

// One log line, built only when there is a log.
class LogLine {
 public:
  explicit LogLine(const char* name) : s_(name) {}

  LogLine& Word(const char* w) {
    s_ += ' ';
    s_ += w;
    return *this;
  }
  LogLine& Int(long long v) { return Word(std::to_string(v).c_str()); }
  LogLine& Status(VStatus v) {
    char buf[16];
    snprintf(buf, sizeof buf, "0x%04x", static_cast<unsigned>(v));
    return Word(buf);
  }
  LogLine& Str(const char* p);
  LogLine& Args(int argc, char** argv) {
    Int(argc);
    if (!argv)
      return Word("null");
    for (int i = 0; i < argc; ++i)
      Str(argv[i]);
    return *this;
  }
  void Write(const Double& d);

 private:
  std::string s_;
};

LogLine& LogLine::Str(const char* p) {
  static const char kHex[] = "0123456789abcdef";
  if (!p)
    return Word("null");
  s_ += " \"";
  for (; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c == '\\' || c == '"') {
      s_ += '\\';
      s_ += static_cast<char>(c);
    } else if (c == '\n') {
      s_ += "\\n";
    } else if (c == '\r') {
      s_ += "\\r";
    } else if (c == '\t') {
      s_ += "\\t";
    } else if (c < 0x20 || c >= 0x7F) {
      s_ += "\\x";
      s_ += kHex[c >> 4];
      s_ += kHex[c & 15];
    } else {
      s_ += static_cast<char>(c);
    }
  }
  s_ += '"';
  return *this;
}

void LogLine::Write(const Double& d) {
  s_ += '\n';
  if (fwrite(s_.data(), 1, s_.size(), d.log) != s_.size() || fflush(d.log) != 0)
    Fail(d.log_path + ": cannot write log: " + strerror(errno));
}

// Writes at most capacity characters of s and a zero.
void CopyOut(const char* who, const std::string& s, char* text, size_t capacity) {
  if (!text)
    Fail(std::string(who) + ": null text buffer");
  size_t n = s.size() < capacity ? s.size() : capacity;
  memcpy(text, s.data(), n);
  text[n] = '\0';
}

}  // namespace

VELMORA_EXPORT VStatus RuntimeInitialize(int argc, char** argv) {
  Double& d = Get();
  if (d.log)
    LogLine("RuntimeInitialize").Args(argc, argv).Write(d);
  return d.initialize;
}

VELMORA_EXPORT VStatus RuntimeProcessArguments(int argc, char** argv, int* argcOut,
                                               char*** argvOut) {
  Double& d = Get();
  if (!d.argv.empty()) {
    if (!argcOut || !argvOut)
      Fail("RuntimeProcessArguments: null argument pointer");
    *argcOut = static_cast<int>(d.arguments.size());
    *argvOut = d.argv.data();
  }
  if (d.log)
    LogLine("RuntimeProcessArguments").Args(argc, argv).Write(d);
  return d.process_arguments;
}

VELMORA_EXPORT VStatus RuntimeBeginProgram(VEntryPoint entry, int argc, char** argv, int zero1,
                                           int zero2) {
  Double& d = Get();
  if (d.log)
    LogLine("RuntimeBeginProgram")
        .Word(entry ? "entry" : "null")
        .Args(argc, argv)
        .Int(zero1)
        .Int(zero2)
        .Write(d);
  return d.begin;
}

VELMORA_EXPORT void RuntimeEndProgram(int argc, char** argv) {
  Double& d = Get();
  if (d.log)
    LogLine("RuntimeEndProgram").Args(argc, argv).Write(d);
}

VELMORA_EXPORT void RuntimeTerminate(void) {
  Double& d = Get();
  if (d.log)
    LogLine("RuntimeTerminate").Write(d);
}

VELMORA_EXPORT int StartupStatusText(VStatus status, char* text, int capacity) {
  Double& d = Get();
  if (capacity >= 0)
    CopyOut("StartupStatusText", d.startup_text, text, static_cast<size_t>(capacity));
  if (d.log)
    LogLine("StartupStatusText").Status(status).Int(capacity).Write(d);
  return d.startup_result;
}

VELMORA_EXPORT VStatus ConsoleCommand(const char* server, const char* command,
                                      VResponse* response) {
  Double& d = Get();
  if (!response)
    Fail("ConsoleCommand: null response pointer");
  VStatus status;
  Text reply;
  if (d.next_command < d.commands.size()) {
    Command& c = d.commands[d.next_command++];
    status = c.status;
    reply = std::move(c.reply);
  } else {
    status = d.default_status;
    if (status == 0)
      reply = CopyText(d.default_reply);
  }
  if (status != 0) {
    *response = kPoisonHandle;
  } else {
    *response = ++d.last_handle;
    d.Hold(*response, std::move(reply));
  }
  if (d.log) {
    LogLine line("ConsoleCommand");
    line.Str(server).Str(command).Word("->");
    if (status != 0)
      line.Status(status);
    else
      line.Int(*response);
    line.Write(d);
  }
  return status;
}

VELMORA_EXPORT char* LockResponse(VResponse response) {
  Double& d = Get();
  Responses::iterator it = d.responses.find(response);
  bool known = it != d.responses.end();
  if (d.log) {
    LogLine line("LockResponse");
    line.Int(response);
    if (!known)
      line.Word("unknown");
    line.Write(d);
  }
  return known ? it->second.get() : g_empty_text;
}

VELMORA_EXPORT void UnlockResponse(VResponse response) {
  Double& d = Get();
  bool known = d.responses.find(response) != d.responses.end();
  if (d.log) {
    LogLine line("UnlockResponse");
    line.Int(response);
    if (!known)
      line.Word("unknown");
    line.Write(d);
  }
}

VELMORA_EXPORT void FreeResponse(VResponse response) {
  Double& d = Get();
  Responses::iterator it = d.responses.find(response);
  bool known = it != d.responses.end();
  if (known)
    d.Release(it);
  if (d.log) {
    LogLine line("FreeResponse");
    line.Int(response);
    if (!known)
      line.Word("unknown");
    line.Write(d);
  }
}

VELMORA_EXPORT uint16_t LoadStatusText(int zero, uint16_t code, char* text, uint16_t capacity) {
  Double& d = Get();
  auto it = d.status_texts.find(code);
  bool known = it != d.status_texts.end();
  if (known)
    CopyOut("LoadStatusText", it->second, text, capacity);
  if (d.log)
    LogLine("LoadStatusText").Int(zero).Int(code).Int(capacity).Write(d);
  return known ? 1 : 0;
}

VELMORA_EXPORT void VelmoraDoubleLoad(const char* script, size_t size, FILE* log) {
  delete g_double;
  g_double = new Double;
  ScriptReader("script in memory", g_double).Parse(std::string_view(script, size));
  g_double->log = log;
  g_double->log_path = "log stream";
}
