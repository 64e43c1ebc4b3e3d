// Runs one program and reports what the operating system accounted to it.
//
//   vexmor_bench_spawn PROGRAM [ARGUMENTS...]
//
// The program inherits standard input, output and error. When it has ended, one
// line goes to file descriptor 3:
//   EXIT USER_MICROSECONDS SYSTEM_MICROSECONDS MAX_RSS_KIB
// where EXIT is the exit status, or 128 plus the signal that ended it.
//
// The benchmark starts every measured program through this small, statically
// linked process rather than directly: a new program's peak memory counts the
// memory of the process it replaced at exec, and the benchmark driver's own
// would hide the measured program's. The program runs with address space
// randomisation off, so that its peak memory is the same from run to run.

#include <fcntl.h>
#include <stdio.h>
#include <sys/personality.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 2 || fcntl(3, F_SETFD, FD_CLOEXEC) != 0) {
    fprintf(stderr, "vexmor_bench_spawn: usage: PROGRAM [ARGUMENTS...] 3>REPORT\n");
    return 2;
  }
  pid_t pid = fork();
  if (pid < 0) {
    perror("vexmor_bench_spawn: fork");
    return 2;
  }
  if (pid == 0) {
    personality(ADDR_NO_RANDOMIZE);
    execv(argv[1], argv + 1);
    perror("vexmor_bench_spawn: exec");
    _exit(127);
  }
  int status = 0;
  struct rusage usage;
  if (wait4(pid, &status, 0, &usage) != pid) {
    perror("vexmor_bench_spawn: wait4");
    return 2;
  }
  int exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  dprintf(3, "%d %lld %lld %ld\n", exit_status,
          usage.ru_utime.tv_sec * 1000000LL + usage.ru_utime.tv_usec,
          usage.ru_stime.tv_sec * 1000000LL + usage.ru_stime.tv_usec, usage.ru_maxrss);
  return 0;
}
