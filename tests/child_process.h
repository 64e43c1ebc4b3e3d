// Runs a program as a child process with its standard input fed from the test and
// its standard output and error captured, for tests that treat vexmor as a whole.
//
// With VEXMOR_TEST_MEMCHECK set (to anything but empty) in the test's environment,
// every child runs under valgrind's memcheck, and what memcheck found comes back
// in ChildResult::memcheck.
#ifndef VEXMOR_TESTS_CHILD_PROCESS_H_
#define VEXMOR_TESTS_CHILD_PROCESS_H_

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

struct ChildResult {
  std::string out;
  std::string err;
  std::string memcheck;  // memcheck's report; empty when it found nothing
  int exit_status = -1;  // the exit code; -1 when it did not exit normally
  int signal = 0;        // the signal that ended it, if one did
  bool timed_out = false;
};

// Where the child's standard input comes from and its standard output goes, when
// not from a pipe the test writes and into a file in the scratch folder.
struct ChildStreams {
  enum class In {
    kPipe,    // fed by Write
    kPath,    // `input_path` opened for reading (a folder, /dev/null)
    kClosed,  // no descriptor 0 at all
  };
  enum class Out {
    kFile,        // the file "stdout" in the scratch folder
    kPath,        // `output_path` opened for writing (/dev/full)
    kClosed,      // no descriptor 1 at all
    kPipe,        // a pipe the test reads with ReadOutputUntil
    kBrokenPipe,  // a pipe whose reader is gone before the child starts
  };
  In in = In::kPipe;
  std::string input_path{};
  Out out = Out::kFile;
  std::string output_path{};
  // Runs the child without root's power to write through file permissions, so
  // that a read-only file is read-only for it too.
  bool heed_file_permissions = false;
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
  // go to files unless `streams` says otherwise.
  bool Start(const std::string& program, const std::vector<std::string>& args,
             const std::vector<std::string>& env, const std::string& scratch_dir,
             const ChildStreams& streams = {});

  // Feeds standard input, waiting at most `timeout_seconds` for the child to take
  // it. False once the child no longer reads it, or did not in time.
  bool Write(std::string_view data, int timeout_seconds = 30);
  void CloseInput();

  // What the child has written to standard output so far (a file output only).
  std::string OutputSoFar() const;

  // With an output pipe: reads until what was read ends with `marker`, at most
  // `timeout_seconds`; returns all that was read.
  std::string ReadOutputUntil(std::string_view marker, int timeout_seconds = 30);
  // Closes the test's end of the output pipe: the child's reader goes away.
  void CloseOutput();

  // Closes standard input, waits at most `timeout_seconds` (then kills the child)
  // and collects what it wrote.
  ChildResult Wait(int timeout_seconds = 30);

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  std::string out_path_;
  std::string err_path_;
  std::string memcheck_path_;
};

// Starts, feeds `input` whole, and waits.
ChildResult RunChild(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& env, std::string_view input,
                     const std::string& scratch_dir, int timeout_seconds = 30);

// Whether the children run under memcheck.
bool UnderMemcheck();

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
