#include "tests/golden.h"

#include <map>
#include <regex>
#include <sstream>

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
      ADD_FAILURE() << "a line feed without its carriage return at byte " << i << " of:\n"
                    << bytes;
    text += bytes[i];
  }
  return text;
}

std::string NormalizeStamps(std::string_view text, std::vector<std::string>* stamps) {
  static const std::regex kRecord(R"(\[(\d\d:\d\d:\d\d)\] COMMAND SENT: )");
  std::string source(text);
  std::string result;
  auto begin = std::sregex_iterator(source.begin(), source.end(), kRecord);
  size_t copied = 0;
  for (auto it = begin; it != std::sregex_iterator(); ++it) {
    result.append(source, copied, static_cast<size_t>(it->position()) - copied);
    result += "[HH:MM:SS] COMMAND SENT: ";
    stamps->push_back((*it)[1]);
    copied = static_cast<size_t>(it->position() + it->length());
  }
  result.append(source, copied);
  return result;
}

bool HandlesBalanced(const std::string& calls, std::string* problem) {
  enum State { kObtained, kLocked, kUnlocked, kFreed };
  std::map<long, State> handles;
  std::istringstream lines(calls);
  std::string line;
  static const std::regex kObtain(R"(^ConsoleCommand .* -> (\d+)$)");
  static const std::regex kUse(R"(^(LockResponse|UnlockResponse|FreeResponse) (\d+)( unknown)?$)");
  std::smatch m;
  while (std::getline(lines, line)) {
    if (std::regex_match(line, m, kObtain)) {
      handles[std::stol(m[1])] = kObtained;
    } else if (std::regex_match(line, m, kUse)) {
      long handle = std::stol(m[2]);
      auto it = handles.find(handle);
      if (m[3].matched || it == handles.end() || it->second == kFreed) {
        *problem = "use of a handle not held: " + line;
        return false;
      }
      if (m[1] == "LockResponse") {
        if (it->second != kObtained) {
          *problem = "locked twice: " + line;
          return false;
        }
        it->second = kLocked;
      } else if (m[1] == "UnlockResponse") {
        if (it->second != kLocked) {
          *problem = "unlocked without a lock: " + line;
          return false;
        }
        it->second = kUnlocked;
      } else {
        if (it->second == kLocked) {
          *problem = "freed while locked: " + line;
          return false;
        }
        it->second = kFreed;
      }
    }
  }
  for (const auto& [handle, state] : handles) {
    if (state != kFreed) {
      *problem = "handle " + std::to_string(handle) + " never freed";
      return false;
    }
  }
  return true;
}

std::string LogQuote(std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  std::string quoted = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '\\': quoted += "\\\\"; break;
      case '"': quoted += "\\\""; break;
      case '\n': quoted += "\\n"; break;
      case '\r': quoted += "\\r"; break;
      case '\t': quoted += "\\t"; break;
      default:
        if (c < 0x20 || c >= 0x7f) {
          quoted += "\\x";
          quoted += kHex[c >> 4];
          quoted += kHex[c & 15];
        } else {
          quoted += static_cast<char>(c);
        }
    }
  }
  return quoted + "\"";
}

GoldenRun GoldenTest::Run(const std::vector<std::string>& args, std::string_view input,
                          std::string_view script) {
  return RunProgram(program_, args, {}, input, script);
}

GoldenRun GoldenTest::RunProgram(const std::string& program,
                                 const std::vector<std::string>& args,
                                 const std::vector<std::string>& extra_env,
                                 std::string_view input, std::string_view script) {
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
  std::string problem;
  EXPECT_TRUE(HandlesBalanced(run.calls, &problem)) << problem << "\n" << run.calls;
  static const std::regex kTimeOfDay(R"(([01]\d|2[0-3]):[0-5]\d:[0-5]\d)");
  for (const std::string& stamp : run.stamps)
    EXPECT_TRUE(std::regex_match(stamp, kTimeOfDay)) << stamp;
  return run;
}

std::string GoldenTest::ArgvCall(const std::string& call,
                                 const std::vector<std::string>& args,
                                 const std::string& tail) const {
  std::string line = call + " " + std::to_string(args.size() + 1) + " " +
                     LogQuote(TargetPath(program_));
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
