#include "bench/measure.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::vector<char*> Pointers(const std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (const std::string& s : strings)
    pointers.push_back(const_cast<char*>(s.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

// Writes all of `data` unless the reader has gone; the child's exit status then
// tells what went wrong.
void Feed(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return;
    data.remove_prefix(static_cast<size_t>(n));
  }
}

std::string ReadAll(int fd) {
  std::string text;
  char buffer[256];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) != 0) {
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      break;
    text.append(buffer, static_cast<size_t>(n));
  }
  return text;
}

}  // namespace

bool Measure(const std::string& spawner, const std::vector<std::string>& argv,
             const std::vector<std::string>& environment, std::string_view input,
             const std::string& out_path, Usage* usage) {
  // A child that stops reading its input must not end the benchmark.
  signal(SIGPIPE, SIG_IGN);
  int in[2];
  int report[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(report, O_CLOEXEC) != 0) {
    perror("vexmor_bench: pipe");
    return false;
  }
  int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) {
    fprintf(stderr, "vexmor_bench: %s: %s\n", out_path.c_str(), strerror(errno));
    return false;
  }

  // Descriptor 3 is the last to be placed, so that none of the others is lost
  // to it; each dup2 also clears close-on-exec on its copy.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out, 1);
  posix_spawn_file_actions_adddup2(&actions, report[1], 3);
  std::vector<std::string> spawn_argv = {spawner};
  spawn_argv.insert(spawn_argv.end(), argv.begin(), argv.end());
  std::vector<char*> args = Pointers(spawn_argv);
  std::vector<char*> env = Pointers(environment);
  pid_t pid;
  int failed = posix_spawn(&pid, spawner.c_str(), &actions, nullptr, args.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out);
  close(report[1]);
  if (failed != 0) {
    fprintf(stderr, "vexmor_bench: cannot start %s: %s\n", spawner.c_str(), strerror(failed));
    close(in[1]);
    close(report[0]);
    return false;
  }

  Feed(in[1], input);
  close(in[1]);
  std::string line = ReadAll(report[0]);
  close(report[0]);
  int status;
  waitpid(pid, &status, 0);

  int exit_status = -1;
  long long user = 0;
  long long system = 0;
  long rss = 0;
  // The report comes from our own spawn helper; a short one is caught by the count.
  // NOLINTNEXTLINE(cert-err34-c)
  if (sscanf(line.c_str(), "%d %lld %lld %ld", &exit_status, &user, &system, &rss) != 4) {
    fprintf(stderr, "vexmor_bench: no report on %s\n", argv[0].c_str());
    return false;
  }
  if (exit_status != 0) {
    fprintf(stderr, "vexmor_bench: %s ended with status %d\n", argv[0].c_str(), exit_status);
    return false;
  }
  usage->user_seconds = static_cast<double>(user) / 1e6;
  usage->system_seconds = static_cast<double>(system) / 1e6;
  usage->max_rss_kib = rss;
  return true;
}
