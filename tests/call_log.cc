#include "tests/call_log.h"

#include <map>

namespace {

bool AllDigits(std::string_view s) {
  if (s.empty())
    return false;
  for (char c : s) {
    if (c < '0' || c > '9')
      return false;
  }
  return true;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;
}

// Takes one quoted string off the front of `s` and unquotes it into `out`.
bool TakeQuoted(std::string_view* s, std::string* out) {
  if (s->empty() || (*s)[0] != '"')
    return false;
  size_t i = 1;
  for (; i < s->size() && (*s)[i] != '"'; ++i) {
    char c = (*s)[i];
    if (c != '\\') {
      *out += c;
      continue;
    }
    if (++i >= s->size())
      return false;
    switch ((*s)[i]) {
      case 'n':
        *out += '\n';
        break;
      case 'r':
        *out += '\r';
        break;
      case 't':
        *out += '\t';
        break;
      case 'x':
        if (i + 2 >= s->size() || HexValue((*s)[i + 1]) < 0 || HexValue((*s)[i + 2]) < 0)
          return false;
        *out += static_cast<char>(HexValue((*s)[i + 1]) * 16 + HexValue((*s)[i + 2]));
        i += 2;
        break;
      default:
        *out += (*s)[i];
        break;  // \\ and \"
    }
  }
  if (i >= s->size())
    return false;
  s->remove_prefix(i + 1);
  return true;
}

// Calls the lines of `calls` with each line, without its line end.
template <typename Fn>
void ForEachLine(std::string_view calls, Fn fn) {
  while (!calls.empty()) {
    size_t end = calls.find('\n');
    std::string_view line = calls.substr(0, end);
    calls.remove_prefix(end == std::string_view::npos ? calls.size() : end + 1);
    if (!fn(line))
      return;
  }
}

}  // namespace

bool HandlesBalanced(std::string_view calls, std::string* problem) {
  enum State { kObtained, kLocked, kUnlocked, kFreed };
  std::map<long, State> handles;
  std::string found;
  ForEachLine(calls, [&](std::string_view line) {
    if (line.starts_with("ConsoleCommand ")) {
      size_t arrow = line.rfind(" -> ");
      if (arrow != std::string_view::npos && AllDigits(line.substr(arrow + 4)))
        handles[std::stol(std::string(line.substr(arrow + 4)))] = kObtained;
      return true;
    }
    size_t blank = line.find(' ');
    std::string_view call = line.substr(0, blank);
    if (blank == std::string_view::npos ||
        (call != "LockResponse" && call != "UnlockResponse" && call != "FreeResponse"))
      return true;
    std::string_view rest = line.substr(blank + 1);
    bool unknown = rest.ends_with(" unknown");
    if (unknown)
      rest.remove_suffix(8);
    if (!AllDigits(rest))
      return true;
    auto it = handles.find(std::stol(std::string(rest)));
    if (unknown || it == handles.end() || it->second == kFreed) {
      found = "use of a handle not held: " + std::string(line);
    } else if (call == "LockResponse") {
      if (it->second != kObtained)
        found = "locked twice: " + std::string(line);
      it->second = kLocked;
    } else if (call == "UnlockResponse") {
      if (it->second != kLocked)
        found = "unlocked without a lock: " + std::string(line);
      it->second = kUnlocked;
    } else {
      if (it->second == kLocked)
        found = "freed while locked: " + std::string(line);
      it->second = kFreed;
    }
    return found.empty();
  });
  if (!found.empty()) {
    *problem = found;
    return false;
  }
  for (const auto& [handle, state] : handles) {
    if (state != kFreed) {
      *problem = "handle " + std::to_string(handle) + " never freed";
      return false;
    }
  }
  return true;
}

std::vector<std::string> SentCommands(std::string_view calls) {
  std::vector<std::string> commands;
  ForEachLine(calls, [&](std::string_view line) {
    if (!line.starts_with("ConsoleCommand "))
      return true;
    line.remove_prefix(15);
    std::string server;
    std::string command;
    if (line.starts_with("null "))
      line.remove_prefix(5);
    else if (!TakeQuoted(&line, &server) || !line.starts_with(" "))
      return true;
    else
      line.remove_prefix(1);
    if (TakeQuoted(&line, &command))
      commands.push_back(command);
    return true;
  });
  return commands;
}

std::string LogQuote(std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  std::string quoted = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '\\':
        quoted += "\\\\";
        break;
      case '"':
        quoted += "\\\"";
        break;
      case '\n':
        quoted += "\\n";
        break;
      case '\r':
        quoted += "\\r";
        break;
      case '\t':
        quoted += "\\t";
        break;
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
