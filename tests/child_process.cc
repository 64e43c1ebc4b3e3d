#include "tests/child_process.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/capability.h>
#include <sys/prctl.h>
#endif

#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace {

#ifdef VEXMOR_WINE
// The Windows test runner starts every program under wine, in a prefix of the
// build's own, with no word from wine itself on standard error, and without the
// .NET and HTML engines that wine would otherwise offer to install.
const std::vector<std::string> kLauncher = {VEXMOR_WINE};
const std::vector<std::string> kLauncherEnv = {"WINEPREFIX=" VEXMOR_WINE_PREFIX, "WINEDEBUG=-all",
                                               "WINEDLLOVERRIDES=mscoree,mshtml="};
#else
const std::vector<std::string> kLauncher;
const std::vector<std::string> kLauncherEnv;
#endif

// Where memcheck writes its report in the child.
constexpr int kMemcheckFd = 700;

long NowMs() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000L + now.tv_nsec / 1000000L;
}

// Waits until `fd` is ready for `events` or `deadline_ms` has passed.
bool PollUntil(int fd, short events, long deadline_ms) {
  for (;;) {
    long left = deadline_ms - NowMs();
    if (left <= 0)
      return false;
    struct pollfd p = {fd, events, 0};
    int n = poll(&p, 1, static_cast<int>(left));
    if (n > 0)
      return true;
    if (n < 0 && errno != EINTR)
      return false;
  }
}

// Moves `fd` off the standard descriptors, which are about to be replaced (when
// the test itself runs without them, its own files may sit there).
int Lift(int fd) {
  return fd >= 0 && fd <= 2 ? fcntl(fd, F_DUPFD, 3) : fd;
}

// Puts `fd` on descriptor `target` in the child; -1 leaves `target` closed.
void Place(int fd, int target) {
  if (fd < 0)
    close(target);
  else if (fd != target)
    dup2(fd, target);
}

}  // namespace

bool UnderMemcheck() {
  // Never under wine: memcheck runs Linux programs only.
  if (!kLauncher.empty())
    return false;
  const char* memcheck = getenv("VEXMOR_TEST_MEMCHECK");
  return memcheck != nullptr && *memcheck != '\0';
}

ChildProcess::~ChildProcess() {
  CloseInput();
  CloseOutput();
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env, const std::string& scratch_dir,
                         const ChildStreams& streams) {
  // A child that stops reading must not take the test down with it.
  signal(SIGPIPE, SIG_IGN);
  out_path_ = streams.out == ChildStreams::Out::kFile ? scratch_dir + "/stdout" : "";
  err_path_ = scratch_dir + "/stderr";
  int in_pipe[2] = {-1, -1};
  int out_pipe[2] = {-1, -1};
  if (streams.in == ChildStreams::In::kPipe && pipe(in_pipe) != 0)
    return false;
  if ((streams.out == ChildStreams::Out::kPipe || streams.out == ChildStreams::Out::kBrokenPipe) &&
      pipe(out_pipe) != 0)
    return false;
  if (streams.out == ChildStreams::Out::kBrokenPipe) {
    // Closed before the fork, so that no process ever holds the reading end.
    close(out_pipe[0]);
    out_pipe[0] = -1;
  }

  std::vector<std::string> command;
  if (UnderMemcheck()) {
    memcheck_path_ = scratch_dir + "/memcheck";
    command = {"valgrind",
               "--quiet",
               "--leak-check=full",
               "--show-leak-kinds=definite,indirect",
               "--errors-for-leak-kinds=definite,indirect",
               "--log-fd=" + std::to_string(kMemcheckFd)};
  }
  command.insert(command.end(), kLauncher.begin(), kLauncher.end());
  command.push_back(program);
  command.insert(command.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : command)
    argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (char** e = environ; *e != nullptr; ++e)
    envp.push_back(*e);
  for (const std::string& e : kLauncherEnv)
    envp.push_back(const_cast<char*>(e.c_str()));
  for (const std::string& e : env)
    envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);

  pid_ = fork();
  if (pid_ < 0)
    return false;
  if (pid_ == 0) {
    int in = in_pipe[0];
    if (streams.in == ChildStreams::In::kPath)
      in = open(streams.input_path.c_str(), O_RDONLY);
    int out = out_pipe[1];
    if (streams.out == ChildStreams::Out::kFile)
      out = open(out_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    else if (streams.out == ChildStreams::Out::kPath)
      out = open(streams.output_path.c_str(), O_WRONLY);
    int err = open(err_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    // Run in the scratch folder, where no runtime library lies that the program
    // might find in its working folder.
    if (err < 0 || (in < 0 && streams.in != ChildStreams::In::kClosed) ||
        (out < 0 && streams.out != ChildStreams::Out::kClosed) || chdir(scratch_dir.c_str()) != 0)
      _exit(126);
    in = Lift(in);
    out = Lift(out);
    err = Lift(err);
    Place(in, 0);
    Place(out, 1);
    Place(err, 2);
    for (int fd : {in, out, err, in_pipe[1], out_pipe[0]}) {
      if (fd > 2)
        close(fd);
    }
    if (!memcheck_path_.empty()) {
      // Opened by the child and kept out of the way, so that it cannot take the
      // place of a standard stream the case leaves closed.
      int log = open(memcheck_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (log < 0 || dup2(log, kMemcheckFd) < 0)
        _exit(126);
      close(log);
    }
    // The test ignores SIGPIPE; the program starts as from a shell, with the default.
    signal(SIGPIPE, SIG_DFL);
#ifdef __linux__
    if (streams.heed_file_permissions && geteuid() == 0 &&
        prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0) != 0)
      _exit(125);
#endif
    execvpe(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  if (in_pipe[0] >= 0) {
    close(in_pipe[0]);
    input_ = in_pipe[1];
    // Writes wait in poll, with a limit, rather than block for good.
    fcntl(input_, F_SETFL, fcntl(input_, F_GETFL) | O_NONBLOCK);
  }
  if (out_pipe[1] >= 0) {
    close(out_pipe[1]);
    output_ = out_pipe[0];
  }
  return true;
}

bool ChildProcess::Write(std::string_view data, int timeout_seconds) {
  long deadline = NowMs() + timeout_seconds * 1000L;
  while (!data.empty()) {
    ssize_t n = write(input_, data.data(), data.size());
    if (n > 0) {
      data.remove_prefix(static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && errno == EAGAIN && PollUntil(input_, POLLOUT, deadline))
      continue;
    return false;
  }
  return true;
}

void ChildProcess::CloseInput() {
  if (input_ >= 0)
    close(input_);
  input_ = -1;
}

std::string ChildProcess::OutputSoFar() const {
  return out_path_.empty() ? "" : ReadFileOrEmpty(out_path_);
}

std::string ChildProcess::ReadOutputUntil(std::string_view marker, int timeout_seconds) {
  long deadline = NowMs() + timeout_seconds * 1000L;
  std::string seen;
  while (!seen.ends_with(marker) && PollUntil(output_, POLLIN, deadline)) {
    char buf[4096];
    ssize_t n = read(output_, buf, sizeof buf);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    seen.append(buf, static_cast<size_t>(n));
  }
  return seen;
}

void ChildProcess::CloseOutput() {
  if (output_ >= 0)
    close(output_);
  output_ = -1;
}

ChildResult ChildProcess::Wait(int timeout_seconds) {
  CloseInput();
  // Nobody reads an output pipe any more: a child still writing sees it broken.
  CloseOutput();
  ChildResult result;
  int status = 0;
  struct timespec tick = {0, 5L * 1000 * 1000};
  long deadline = NowMs() + timeout_seconds * 1000L;
  for (;;) {
    pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_)
      break;
    if (NowMs() >= deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      result.timed_out = true;
      break;
    }
    nanosleep(&tick, nullptr);
  }
  pid_ = -1;
  if (WIFEXITED(status))
    result.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status))
    result.signal = WTERMSIG(status);
  if (!out_path_.empty())
    result.out = ReadFileOrEmpty(out_path_);
  result.err = ReadFileOrEmpty(err_path_);
  if (!memcheck_path_.empty())
    result.memcheck = ReadFileOrEmpty(memcheck_path_);
  return result;
}

ChildResult RunChild(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& env, std::string_view input,
                     const std::string& scratch_dir, int timeout_seconds) {
  ChildProcess child;
  if (!child.Start(program, args, env, scratch_dir)) {
    ChildResult failed;
    failed.err = "could not start " + program;
    return failed;
  }
  child.Write(input, timeout_seconds);
  return child.Wait(timeout_seconds);
}

std::string ReadFileOrEmpty(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream data;
  data << in.rdbuf();
  return data.str();
}

void WriteFile(const std::string& path, std::string_view data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

ScratchDir::ScratchDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vexmor-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) != nullptr)
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  if (!path_.empty())
    std::filesystem::remove_all(path_, ignored);
}
