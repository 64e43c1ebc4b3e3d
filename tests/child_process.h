// Runs a program as a child process with its standard input fed from the test and
// its standard output and error captured, for tests that treat vexmor as a whole.
#ifndef VEXMOR_TESTS_CHILD_PROCESS_H_
#define VEXMOR_TESTS_CHILD_PROCESS_H_

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

struct ChildResult {
  std::string out;
  std::string err;
  int exit_status = -1;  // the exit code; -1 when it did not exit normally
  int signal = 0;        // the signal that ended it, if one did
  bool timed_out = false;
};

class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();

  // Starts `program` with `args` (not counting argv[0], which is `program`) and the
  // test's environment plus `env` ("NAME=value" each); in the Windows test runner
  // through wine. It runs in `scratch_dir`, where its standard output and error
  // go to files.
  bool Start(const std::string& program, const std::vector<std::string>& args,
             const std::vector<std::string>& env, const std::string& scratch_dir);

  // Feeds standard input. False once the child no longer reads it.
  bool Write(std::string_view data);
  void CloseInput();

  // What the child has written to standard output so far.
  std::string OutputSoFar() const;

  // Closes standard input, waits at most `timeout_seconds` (then kills the child)
  // and collects what it wrote.
  ChildResult Wait(int timeout_seconds = 30);

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  std::string out_path_;
  std::string err_path_;
};

// Starts, feeds `input` whole, and waits.
ChildResult RunChild(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& env, std::string_view input,
                     const std::string& scratch_dir, int timeout_seconds = 30);

std::string ReadFileOrEmpty(const std::string& path);
void WriteFile(const std::string& path, std::string_view data);

// A fresh empty folder under the system's temporary folder, removed with the object.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

#endif  // VEXMOR_TESTS_CHILD_PROCESS_H_
