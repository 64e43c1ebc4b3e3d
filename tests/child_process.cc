#include "tests/child_process.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

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
const std::vector<std::string> kLauncherEnv = {"WINEPREFIX=" VEXMOR_WINE_PREFIX,
                                               "WINEDEBUG=-all",
                                               "WINEDLLOVERRIDES=mscoree,mshtml="};
#else
const std::vector<std::string> kLauncher;
const std::vector<std::string> kLauncherEnv;
#endif

}  // namespace

ChildProcess::~ChildProcess() {
  if (input_ >= 0)
    close(input_);
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env,
                         const std::string& scratch_dir) {
  // A child that stops reading must not take the test down with it.
  signal(SIGPIPE, SIG_IGN);
  out_path_ = scratch_dir + "/stdout";
  err_path_ = scratch_dir + "/stderr";
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0)
    return false;

  std::vector<char*> argv;
  for (const std::string& word : kLauncher)
    argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args)
    argv.push_back(const_cast<char*>(arg.c_str()));
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
    int out = open(out_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = open(err_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    // Run in the scratch folder, where no runtime library lies that the program
    // might find in its working folder.
    if (out < 0 || err < 0 || chdir(scratch_dir.c_str()) != 0)
      _exit(126);
    dup2(pipe_fds[0], 0);
    dup2(out, 1);
    dup2(err, 2);
    close(pipe_fds[0]);
    close(pipe_fds[1]);
    close(out);
    close(err);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  close(pipe_fds[0]);
  input_ = pipe_fds[1];
  return true;
}

bool ChildProcess::Write(std::string_view data) {
  while (!data.empty()) {
    ssize_t n = write(input_, data.data(), data.size());
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

void ChildProcess::CloseInput() {
  if (input_ >= 0)
    close(input_);
  input_ = -1;
}

std::string ChildProcess::OutputSoFar() const {
  return ReadFileOrEmpty(out_path_);
}

ChildResult ChildProcess::Wait(int timeout_seconds) {
  CloseInput();
  ChildResult result;
  int status = 0;
  struct timespec tick = {0, 5 * 1000 * 1000};
  for (long waited_ms = 0;; waited_ms += 5) {
    pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_)
      break;
    if (waited_ms >= timeout_seconds * 1000L) {
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
  result.out = ReadFileOrEmpty(out_path_);
  result.err = ReadFileOrEmpty(err_path_);
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
  child.Write(input);
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
  std::string pattern =
      (std::filesystem::temp_directory_path() / "vexmor-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) != nullptr)
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  if (!path_.empty())
    std::filesystem::remove_all(path_, ignored);
}
