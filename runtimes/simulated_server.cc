// The simulated server: a stand-in for the Velmora runtime library that answers the
// remote console of any named Pellomar server from inside the process, so that
// vexmor runs out of the box without the real, closed runtime.
//
// One simulated server answers to every non-empty name; its tasks and its shut-down
// state belong to the process. There is no configuration (no environment variable,
// no file), nothing is written to standard output or standard error, and the
// program's single thread is the only caller, so the state needs no lock.
#include "platform/velmora_abi.h"
#include "runtimes/export.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>

namespace {

// Error codes of the simulated server (bits 0-13; no flag bits are ever set).
constexpr VStatus kStatusNoServerName = 0x0101;
constexpr VStatus kStatusServerNotResponding = 0x0102;
constexpr VStatus kStatusNoTaskName = 0x0201;
constexpr VStatus kStatusTaskAlreadyLoaded = 0x0202;
constexpr VStatus kStatusTaskNotFound = 0x0203;
constexpr VStatus kStatusNoMessageText = 0x0204;
constexpr VStatus kStatusNoResponseAddress = 0x0301;
constexpr VStatus kStatusOutOfMemory = 0x0302;
// Deliberately absent from the text table: the one status without a text.
constexpr VStatus kStatusUnloadFailed = 0x0205;

struct StatusText {
  VStatus code;
  const char* text;
};

constexpr StatusText kStatusTexts[] = {
    {kStatusNoServerName, "No server name given"},
    {kStatusServerNotResponding, "Server not responding"},
    {kStatusNoTaskName, "No task name given"},
    {kStatusTaskAlreadyLoaded, "Task already loaded"},
    {kStatusTaskNotFound, "Task not found"},
    {kStatusNoMessageText, "No message text given"},
    {kStatusNoResponseAddress, "No address given for the response handle"},
    {kStatusOutOfMemory, "Not enough memory for the response"},
};

constexpr const char* kVersion = "Pellomar 4.11 (simulated server, Velmora runtime stand-in)";

// Taken when the library is loaded; "show server" reports the time since.
const auto g_loadTime = std::chrono::steady_clock::now();

bool g_shutDown = false;  // set by EXIT or QUIT, never cleared
// Tasks by upper-cased name, with how they were loaded; the built-in ones to start with.
std::map<std::string, std::string> g_tasks = {{"CONSOLE", "built-in"},
                                              {"KERNEL", "built-in"},
                                              {"NETLINK", "built-in"},
                                              {"SCHEDULER", "built-in"}};
std::map<VResponse, std::string> g_responses;  // live handles and their texts
VResponse g_lastHandle = 0;
char g_emptyText[1] = "";  // what LockResponse gives for an unknown handle

// Folds a-z to A-Z and leaves every other byte alone (no locale involved).
char FoldUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string Upper(std::string_view text) {
  std::string result(text);
  for (char& c : result)
    c = FoldUpper(c);
  return result;
}

bool EqualsFolded(std::string_view text, std::string_view word) {
  if (text.size() != word.size())
    return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (FoldUpper(text[i]) != FoldUpper(word[i]))
      return false;
  }
  return true;
}

// Takes the next word off the front of rest; blanks before and after it are dropped,
// so rest is left at the first character of the following word (or empty).
std::string_view NextWord(std::string_view& rest) {
  while (!rest.empty() && rest.front() == ' ')
    rest.remove_prefix(1);
  size_t end = rest.find(' ');
  if (end == std::string_view::npos)
    end = rest.size();
  std::string_view word = rest.substr(0, end);
  rest.remove_prefix(end);
  while (!rest.empty() && rest.front() == ' ')
    rest.remove_prefix(1);
  return word;
}

// Copies text into a buffer of capacity + 1 bytes: at most capacity characters and a zero.
void CopyTruncated(const char* text, char* buffer, size_t capacity) {
  size_t i = 0;
  for (; i < capacity && text[i] != '\0'; ++i)
    buffer[i] = text[i];
  buffer[i] = '\0';
}

std::string LocalDateTime() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

std::string Uptime() {
  auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() -
                                                                  g_loadTime)
                     .count();
  char text[96];
  std::snprintf(text, sizeof text, "%lld days, %02lld:%02lld:%02lld",
                static_cast<long long>(seconds / 86400),
                static_cast<long long>(seconds / 3600 % 24),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  return text;
}

std::string HelpText() {
  return "Commands:\n"
         "  HELP                 List the commands\n"
         "  SHOW SERVER          Server name, version and up time\n"
         "  SHOW TASKS           Tasks on the server\n"
         "  SHOW USERS           Users connected to the server\n"
         "  SHOW TIME            Server date and time\n"
         "  LOAD <task>          Load a task\n"
         "  UNLOAD <task>        Unload a task\n"
         "  TELL <task> <text>   Send a message to a task\n"
         "  BROADCAST <text>     Send a message to all users\n"
         "  EXIT, QUIT           Shut the server down";
}

std::string ShowTasks() {
  std::string reply = "Task          Loaded";
  for (const auto& [name, loaded] : g_tasks) {
    reply += '\n';
    reply += name;
    reply.append(name.size() < 14 ? 14 - name.size() : 1, ' ');
    reply += loaded;
  }
  reply += '\n';
  reply += std::to_string(g_tasks.size());
  reply += " tasks";
  return reply;
}

std::string UnknownCommand(std::string_view command) {
  return "Unknown command: " + std::string(command) + "\nType HELP for a list of commands.";
}

// Runs one command against the simulated server: fills reply and returns 0, or
// returns an error status and leaves reply alone. May throw std::bad_alloc.
VStatus RunCommand(std::string_view server, std::string_view command, std::string& reply) {
  if (command.empty())
    return 0;  // the probe: an empty reply
  if (command.size() >= 9 && EqualsFolded(command.substr(0, 9), "BROADCAST"))
    return 0;
  if (EqualsFolded(command, "EXIT") || EqualsFolded(command, "QUIT")) {
    g_shutDown = true;  // this command still answers; every later one fails
    reply = "Server shutting down...";
    return 0;
  }
  std::string_view rest = command;
  std::string_view verb = NextWord(rest);
  if (EqualsFolded(verb, "HELP")) {
    reply = HelpText();
  } else if (EqualsFolded(verb, "SHOW")) {
    std::string_view what = NextWord(rest);
    if (EqualsFolded(what, "SERVER")) {
      reply = "Server name:  " + std::string(server) + "\nVersion:      " + kVersion +
              "\nUp time:      " + Uptime() + "\nTasks:        " + std::to_string(g_tasks.size());
    } else if (EqualsFolded(what, "TASKS")) {
      reply = ShowTasks();
    } else if (EqualsFolded(what, "USERS")) {
      reply =
          "User          Connection\nADMIN         remote console\nBACKUP        batch\n"
          "OPERATOR      terminal 3\n3 users";
    } else if (EqualsFolded(what, "TIME")) {
      reply = "Server time: " + LocalDateTime();
    } else {
      reply = "Usage: SHOW SERVER | TASKS | USERS | TIME";
    }
  } else if (EqualsFolded(verb, "LOAD")) {
    std::string_view task = NextWord(rest);  // words after the task name are ignored
    if (task.empty())
      return kStatusNoTaskName;
    if (!g_tasks.emplace(Upper(task), "at " + LocalDateTime().substr(11)).second) {
      return kStatusTaskAlreadyLoaded;
    }
    reply = "Loading task " + std::string(task) + "...\nTask " + std::string(task) + " loaded";
  } else if (EqualsFolded(verb, "UNLOAD")) {
    std::string_view task = NextWord(rest);
    if (task.empty())
      return kStatusNoTaskName;
    if (g_tasks.erase(Upper(task)) == 0)
      return kStatusUnloadFailed;
    reply = "Task " + std::string(task) + " unloaded";
  } else if (EqualsFolded(verb, "TELL")) {
    std::string_view task = NextWord(rest);
    if (task.empty())
      return kStatusNoTaskName;
    if (g_tasks.count(Upper(task)) == 0)
      return kStatusTaskNotFound;
    if (rest.empty())
      return kStatusNoMessageText;
    reply = "Message sent to " + std::string(task);
  } else {
    reply = UnknownCommand(command);
  }
  return 0;
}

}  // namespace

VELMORA_EXPORT VStatus RuntimeInitialize(int, char**) {
  return 0;
}

// Leaves the count and vector as they are: nothing is stored through the addresses.
VELMORA_EXPORT VStatus RuntimeProcessArguments(int, char**, int*, char***) {
  return 0;
}

// Does not call the entry point; the program runs its main routine itself.
VELMORA_EXPORT VStatus RuntimeBeginProgram(VEntryPoint, int, char**, int, int) {
  return 0;
}

VELMORA_EXPORT void RuntimeEndProgram(int, char**) {}

VELMORA_EXPORT void RuntimeTerminate(void) {}

// The result becomes the program's exit status, so it is never 0.
VELMORA_EXPORT int StartupStatusText(VStatus status, char* text, int capacity) {
  if (text != nullptr && capacity > 0) {
    char full[64];
    std::snprintf(full, sizeof full, "Velmora runtime start-up failed (status 0x%04X)",
                  static_cast<unsigned>(status));
    CopyTruncated(full, text, static_cast<size_t>(capacity));
  }
  return 1;
}

VELMORA_EXPORT VStatus ConsoleCommand(const char* server, const char* command,
                                      VResponse* response) {
  if (g_shutDown)
    return kStatusServerNotResponding;
  if (server == nullptr || server[0] == '\0')
    return kStatusNoServerName;
  if (response == nullptr)
    return kStatusNoResponseAddress;  // checked before any effect
  try {
    std::string reply;
    VStatus status = RunCommand(server, command != nullptr ? command : "", reply);
    if (status != 0)
      return status;
    VResponse handle = g_lastHandle;
    do {
      ++handle;  // counts up from 1; skips 0 and handles still held after a wrap
    } while (handle == 0 || g_responses.count(handle) != 0);
    g_responses.emplace(handle, std::move(reply));
    g_lastHandle = handle;
    *response = handle;
    return 0;
  } catch (const std::bad_alloc&) {
    return kStatusOutOfMemory;
  }
}

VELMORA_EXPORT char* LockResponse(VResponse response) {
  auto found = g_responses.find(response);
  return found != g_responses.end() ? found->second.data() : g_emptyText;
}

VELMORA_EXPORT void UnlockResponse(VResponse) {}

VELMORA_EXPORT void FreeResponse(VResponse response) {
  g_responses.erase(response);
}

VELMORA_EXPORT uint16_t LoadStatusText(int, uint16_t code, char* text, uint16_t capacity) {
  if (text == nullptr)
    return 0;
  for (const StatusText& entry : kStatusTexts) {
    if (entry.code == (code & kStatusCodeMask)) {
      CopyTruncated(entry.text, text, capacity);
      return 1;
    }
  }
  return 0;
}

// The exports must keep the exact types the program looks them up with.
static_assert(std::is_same_v<decltype(&RuntimeInitialize), RuntimeInitializeFn>);
static_assert(std::is_same_v<decltype(&RuntimeProcessArguments), RuntimeProcessArgumentsFn>);
static_assert(std::is_same_v<decltype(&RuntimeBeginProgram), RuntimeBeginProgramFn>);
static_assert(std::is_same_v<decltype(&RuntimeEndProgram), RuntimeEndProgramFn>);
static_assert(std::is_same_v<decltype(&RuntimeTerminate), RuntimeTerminateFn>);
static_assert(std::is_same_v<decltype(&StartupStatusText), StartupStatusTextFn>);
static_assert(std::is_same_v<decltype(&ConsoleCommand), ConsoleCommandFn>);
static_assert(std::is_same_v<decltype(&LockResponse), LockResponseFn>);
static_assert(std::is_same_v<decltype(&UnlockResponse), UnlockResponseFn>);
static_assert(std::is_same_v<decltype(&FreeResponse), FreeResponseFn>);
static_assert(std::is_same_v<decltype(&LoadStatusText), LoadStatusTextFn>);
