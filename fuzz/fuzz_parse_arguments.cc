// Fuzzes ParseArguments over argument vectors made from the fuzzer's bytes, split
// at each zero byte (at most 64 arguments, so that the files a run opens stay
// within the process's limit). A transcript option that names a file is pointed
// into a temporary folder of this process's own, with any "/" in the name made
// "_", so that no fuzzed name reaches outside it. The result, the server name,
// everything printed and which transcript is open are checked against a plain
// reading of the same arguments.
//
// The program leaves a transcript replaced by a later option open for the rest
// of the process; here every file opened during a run is recorded (the link
// wraps fopen) and closed and removed after it.
#include <limits.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "invocation/arguments.h"
#include "invocation/transcript.h"

namespace {

constexpr size_t kMostArguments = 64;

std::string g_folder;
std::string g_usage;

struct Opened {
  FILE* file;
  std::string path;
};
bool g_recording = false;
std::vector<Opened> g_opened;

ssize_t Collect(void* cookie, const char* data, size_t size) {
  static_cast<std::string*>(cookie)->append(data, size);
  return static_cast<ssize_t>(size);
}

// Runs `body` with standard output going into the returned text.
template <typename Body>
std::string Captured(Body body) {
  std::string text;
  FILE* capture = fopencookie(&text, "w", {nullptr, Collect, nullptr, nullptr});
  FILE* saved = stdout;
  stdout = capture;
  body();
  stdout = saved;
  fclose(capture);
  return text;
}

void RemoveFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(g_folder, ignored);
}

bool IsOption(const std::string& arg) {
  return arg[0] == '-' || arg[0] == '/';
}

bool IsTranscriptOption(const std::string& arg) {
  return IsOption(arg) && (arg[1] == 'o' || arg[1] == 'O');
}

}  // namespace

// The names the linker's --wrap=fopen gives the real and the wrapped function.
// NOLINTNEXTLINE(bugprone-reserved-identifier)
extern "C" FILE* __real_fopen(const char* path, const char* mode);

// NOLINTNEXTLINE(bugprone-reserved-identifier)
extern "C" FILE* __wrap_fopen(const char* path, const char* mode) {
  FILE* file = __real_fopen(path, mode);
  if (g_recording && file != nullptr)
    g_opened.push_back({file, path});
  return file;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string pattern = (std::filesystem::temp_directory_path() / "fuzz_parse_arguments-XXXXXX");
  Check(mkdtemp(pattern.data()) != nullptr, "cannot make a temporary folder");
  g_folder = pattern;
  atexit(RemoveFolder);
  g_usage = Captured(PrintUsage);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args;
  for (size_t start = 0; size > 0 && start <= size && args.size() < kMostArguments;) {
    const char* from = reinterpret_cast<const char*>(data) + start;
    size_t length = strnlen(from, size - start);
    std::string arg(from, length);
    if (IsTranscriptOption(arg)) {
      size_t colon = arg.find(':');
      if (colon != std::string::npos && colon + 1 < arg.size()) {
        std::string name = arg.substr(colon + 1);
        for (char& c : name) {
          if (c == '/')
            c = '_';
        }
        arg = arg.substr(0, colon + 1) + g_folder + "/" + name;
      }
    }
    args.push_back(arg);
    start += length + 1;
  }

  // The plain reading.
  bool accepted = true;
  std::string server;
  std::string printed;
  std::string transcript;  // the file the last transcript option opened, if any
  if (args.empty()) {
    accepted = false;
    printed = g_usage;
  }
  for (const std::string& arg : args) {
    if (IsOption(arg)) {
      if (arg[1] == '?') {
        accepted = false;
        printed += g_usage;
        break;
      }
      size_t colon = arg.find(':');
      if (IsTranscriptOption(arg) && colon != std::string::npos && colon + 1 < arg.size()) {
        std::string path = arg.substr(colon + 1);
        std::string name = path.substr(g_folder.size() + 1);
        bool opens = name != "." && name != ".." && name.size() <= NAME_MAX;
        transcript = opens ? path : "";
        if (!opens)
          printed += "Cannot open output file: " + path + "\n";
      }
      continue;
    }
    if (arg.size() > kServerNameSize - 1) {
      accepted = false;
      printed += "The server name is longer than 127 characters.\n";
      break;
    }
    server = arg;
  }

  // The program's reading, into a name buffer of exactly its size.
  std::vector<std::unique_ptr<char[]>> storage;
  std::vector<char*> argv = {const_cast<char*>("vexmor")};
  for (const std::string& arg : args) {
    storage.emplace_back(new char[arg.size() + 1]);
    memcpy(storage.back().get(), arg.c_str(), arg.size() + 1);
    argv.push_back(storage.back().get());
  }
  argv.push_back(nullptr);
  std::unique_ptr<char[]> name_buffer(new char[kServerNameSize]);
  auto& name = *reinterpret_cast<char(*)[kServerNameSize]>(name_buffer.get());
  name[0] = '\0';
  bool result = false;
  g_recording = true;
  std::string out = Captured(
      [&] { result = ParseArguments(static_cast<int>(argv.size() - 1), argv.data(), name); });
  g_recording = false;

  Check(result == accepted, "accepted or refused wrongly");
  Check(memchr(name, '\0', kServerNameSize) != nullptr, "the server name has no end");
  if (name != server)
    Fail("wrong server name", "expected \"" + server + "\", got \"" + name + "\"");
  if (out != printed)
    Fail("wrong console text", "expected:\n" + printed + "got:\n" + out);
  if (transcript.empty()) {
    Check(gTranscript == nullptr, "a transcript is open");
  } else {
    struct stat open_file;
    struct stat named_file;
    Check(gTranscript != nullptr, "no transcript is open");
    Check(fstat(fileno(gTranscript), &open_file) == 0 &&
              stat(transcript.c_str(), &named_file) == 0 && open_file.st_ino == named_file.st_ino,
          "the transcript is not the last file named");
  }
  for (const Opened& opened : g_opened) {
    struct stat file;
    Check(fstat(fileno(opened.file), &file) == 0 && file.st_size == 0, "a transcript is not empty");
    fclose(opened.file);
    unlink(opened.path.c_str());
  }
  g_opened.clear();
  gTranscript = nullptr;
  return 0;
}
