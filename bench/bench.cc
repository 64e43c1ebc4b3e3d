// vexmor's benchmark: what vexmor costs per command and per byte of a reply,
// against floor programs that do the least the same output needs.
//
//   vexmor_bench [--long] [--runs N] [--program PATH]
//
// --long runs the sessions with 1,000,000 commands instead of 100,000; --runs
// sets how many times each program runs per comparison; --program measures
// another build of vexmor (which finds the runtime library beside itself)
// against the same floors.
//
// Every figure is CPU time (user + system, as the operating system accounted it
// to the child) or peak resident memory, from runs of vexmor and its floor that
// alternate, so that both see the same load on a shared machine. Medians are
// compared; the spread of the runs is printed beside them. The benchmark checks
// that vexmor and its floor wrote the same bytes (time stamps aside), so that
// the floor cannot pass for one while doing less. It asserts nothing about time:
// it ends with status 1 only when a run fails or the outputs differ.

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/measure.h"
#include "bench/same_output.h"

extern char** environ;

namespace {

constexpr char kCommand[] = "show server";
constexpr char kReply[] = "Server Srv: Pellomar 5.1, up 3 days 04:11, 12 users, 4 tasks";
constexpr long long kBigReply = 256LL * 1024 * 1024;
// One line of a long log, repeated to fill the big reply (an escape of the
// double's script).
constexpr char kBigReplyLine[] = "2024-03-01 02:00:17 BACKUP: volume SYS copied, 1024 files\\n";

struct Config {
  std::string program = VEXMOR_BENCH_PROGRAM;
  long commands = 100000;
  int rounds = 11;        // runs of each program per comparison
  int memory_rounds = 5;  // runs per peak-memory figure
  int startup_rounds = 31;
};

struct Stats {
  double median = 0;
  double low = 0;
  double high = 0;
};

Stats Summarize(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  Stats s;
  s.median = n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
  s.low = values.front();
  s.high = values.back();
  return s;
}

// One program under measurement: how to start it and where its output goes.
struct Contender {
  const char* name;
  std::vector<std::string> argv;
  std::string out;
  std::string transcript;  // empty: none
};

// What the runs of one contender cost, run by run.
struct Runs {
  std::vector<double> cpu;  // user + system, seconds
  std::vector<double> user;
  std::vector<double> rss;  // KiB
};

std::string Commands(long count) {
  std::string input;
  input.reserve(static_cast<size_t>(count) * sizeof kCommand);
  for (long i = 0; i < count; ++i) {
    input += kCommand;
    input += '\n';
  }
  return input;
}

void WriteText(const std::string& path, const std::string& text) {
  FILE* f = fopen(path.c_str(), "w");
  if (f == nullptr || fputs(text.c_str(), f) < 0 || fclose(f) != 0) {
    fprintf(stderr, "vexmor_bench: cannot write %s\n", path.c_str());
    exit(1);
  }
}

bool PrintTarget(double value, double target, const char* what) {
  bool met = value <= target;
  printf("   target %s: %s\n", what, met ? "met" : "NOT MET");
  return met;
}

class Bench {
 public:
  Bench(Config config, std::string dir) : config_(std::move(config)), dir_(std::move(dir)) {}

  bool Run();

 private:
  std::string Path(const char* name) const { return dir_ + "/" + name; }
  std::string Script(const char* name, const std::string& text) const;
  Contender Program(bool transcript) const;
  Contender Floor(bool transcript, bool stdio = false) const;

  bool Once(const Contender& c, const std::string& script, const std::string& input, Runs* runs);
  bool TakeTurns(const std::vector<Contender>& contenders, const std::string& script,
                 const std::string& input, int rounds, bool same_output, std::vector<Runs>* runs);
  void Compare(const std::vector<Contender>& contenders, const std::vector<Runs>& runs,
               double scale, int digits, const char* unit, double target);

  bool Session(bool transcript);
  bool BigReply();
  bool Memory();
  bool Startup();

  Config config_;
  std::string dir_;
  std::string session_script_;
  bool all_met_ = true;
  double big_peak_program_ = 0;  // peaks of the big reply's runs, KiB
  double big_peak_floor_ = 0;
};

std::string Bench::Script(const char* name, const std::string& text) const {
  std::string path = Path(name);
  WriteText(path, text);
  return path;
}

Contender Bench::Program(bool transcript) const {
  Contender c;
  c.name = "vexmor";
  c.argv = {config_.program, "Srv"};
  c.out = Path("vexmor.out");
  if (transcript) {
    c.transcript = Path("vexmor.txt");
    c.argv.push_back("/o:" + c.transcript);
  }
  return c;
}

Contender Bench::Floor(bool transcript, bool stdio) const {
  Contender c;
  c.name = stdio ? "stdio" : "floor";
  c.argv = {stdio ? VEXMOR_BENCH_FLOOR_STDIO : VEXMOR_BENCH_FLOOR, VEXMOR_BENCH_LIBRARY, "Srv"};
  c.out = Path(stdio ? "stdio.out" : "floor.out");
  if (transcript) {
    c.transcript = Path(stdio ? "stdio.txt" : "floor.txt");
    c.argv.push_back(c.transcript);
  }
  return c;
}

bool Bench::Once(const Contender& c, const std::string& script, const std::string& input,
                 Runs* runs) {
  // The files of the last run go first, so that the child does not pay for
  // truncating them.
  unlink(c.out.c_str());
  if (!c.transcript.empty())
    unlink(c.transcript.c_str());
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    if (strncmp(*e, "VELMORA_DOUBLE_", 15) != 0)
      env.push_back(*e);
  }
  env.push_back("VELMORA_DOUBLE_SCRIPT=" + script);
  Usage usage;
  if (!Measure(VEXMOR_BENCH_SPAWN, c.argv, env, input, c.out, &usage))
    return false;
  runs->cpu.push_back(usage.user_seconds + usage.system_seconds);
  runs->user.push_back(usage.user_seconds);
  runs->rss.push_back(static_cast<double>(usage.max_rss_kib));
  return true;
}

// Runs each contender `rounds` times, in turn, each round starting one further
// along. Checks after the first round that all wrote what the first did.
bool Bench::TakeTurns(const std::vector<Contender>& contenders, const std::string& script,
                      const std::string& input, int rounds, bool same_output,
                      std::vector<Runs>* runs) {
  size_t n = contenders.size();
  runs->assign(n, Runs());
  for (int round = 0; round < rounds; ++round) {
    for (size_t i = 0; i < n; ++i) {
      size_t which = (static_cast<size_t>(round) + i) % n;
      if (!Once(contenders[which], script, input, &(*runs)[which]))
        return false;
    }
    for (size_t i = 1; round == 0 && same_output && i < n; ++i) {
      const Contender& a = contenders[0];
      const Contender& b = contenders[i];
      std::string why;
      if (!SameOutput(a.out, b.out, &why) ||
          (!a.transcript.empty() && !SameOutput(a.transcript, b.transcript, &why))) {
        fprintf(stderr, "vexmor_bench: %s and %s wrote different bytes: %s\n", a.argv[0].c_str(),
                b.argv[0].c_str(), why.c_str());
        return false;
      }
    }
  }
  for (const Contender& c : contenders) {
    unlink(c.out.c_str());
    if (!c.transcript.empty())
      unlink(c.transcript.c_str());
  }
  return true;
}

// Prints the CPU time of each contender, times `scale` with `digits` decimals,
// and the ratio of the first's median to the second's against `target`, and to
// any further one's for information.
void Bench::Compare(const std::vector<Contender>& contenders, const std::vector<Runs>& runs,
                    double scale, int digits, const char* unit, double target) {
  for (size_t i = 0; i < runs.size(); ++i) {
    Stats s = Summarize(runs[i].cpu);
    printf("   %-12s %9.*f %s  (runs %.*f .. %.*f; user %.*f)\n", contenders[i].name, digits,
           s.median * scale, unit, digits, s.low * scale, digits, s.high * scale, digits,
           Summarize(runs[i].user).median * scale);
  }
  for (size_t i = 1; i < runs.size(); ++i) {
    std::vector<double> pairs;
    for (size_t r = 0; r < runs[0].cpu.size(); ++r)
      pairs.push_back(runs[0].cpu[r] / runs[i].cpu[r]);
    Stats sp = Summarize(pairs);
    double ratio = Summarize(runs[0].cpu).median / Summarize(runs[i].cpu).median;
    printf("   ratio to %-6s %6.3f  (run by run: median %.3f, %.3f .. %.3f)\n", contenders[i].name,
           ratio, sp.median, sp.low, sp.high);
    if (i == 1) {
      char what[32];
      snprintf(what, sizeof what, "ratio <= %.2f", target);
      all_met_ &= PrintTarget(ratio, target, what);
    }
  }
}

bool Bench::Session(bool transcript) {
  printf("\n1%c. piped session of %ld commands, standard output to a file, %s\n",
         transcript ? 'b' : 'a', config_.commands,
         transcript ? "and a transcript" : "no transcript");
  std::vector<Contender> contenders = {Program(transcript), Floor(transcript),
                                       Floor(transcript, true)};
  std::vector<Runs> runs;
  if (!TakeTurns(contenders, session_script_, Commands(config_.commands), config_.rounds, true,
                 &runs))
    return false;
  Compare(contenders, runs, 1e6 / static_cast<double>(config_.commands), 3, "us per command", 1.10);
  return true;
}

bool Bench::BigReply() {
  printf("\n2. one reply of %lld MiB, to standard output and a transcript\n", kBigReply >> 20);
  std::string script = Script(
      "big.script", "command-fill 0 " + std::to_string(kBigReply) + " " + kBigReplyLine + "\n");
  std::vector<Contender> contenders = {Program(true), Floor(true)};
  std::vector<Runs> runs;
  if (!TakeTurns(contenders, script, std::string(kCommand) + "\n", config_.rounds, true, &runs))
    return false;
  Compare(contenders, runs, 1e3, 1, "ms", 1.10);
  big_peak_program_ = Summarize(runs[0].rss).high;
  big_peak_floor_ = Summarize(runs[1].rss).high;
  return true;
}

bool Bench::Memory() {
  // Peak memory is the highest of the runs: a run can map a few pages of the
  // shared libraries fewer than another, as the page cache holds them or not.
  printf("\n3. peak memory (max RSS, the highest of %d runs), with a transcript\n",
         config_.memory_rounds);
  double peak[2];
  long counts[2] = {1000, 1000000};
  for (int i = 0; i < 2; ++i) {
    std::string input = Commands(counts[i]);
    Runs runs;
    for (int round = 0; round < config_.memory_rounds; ++round) {
      if (!Once(Program(true), session_script_, input, &runs))
        return false;
    }
    Stats s = Summarize(runs.rss);
    peak[i] = s.high;
    printf("   vexmor, %7ld commands: %7.0f KiB  (runs %.0f .. %.0f)\n", counts[i], s.high, s.low,
           s.high);
  }
  printf("   growth: %.0f KiB\n", peak[1] - peak[0]);
  all_met_ &= PrintTarget(peak[1] - peak[0], 64, "growth <= 64 KiB");

  // What the big reply adds to the peak, against one command with a short reply.
  // The runtime holds the reply; the floor holds nothing more, and neither should
  // vexmor.
  std::vector<Runs> runs;
  if (!TakeTurns({Program(true), Floor(true)}, session_script_, std::string(kCommand) + "\n",
                 config_.memory_rounds, false, &runs))
    return false;
  double added_program = big_peak_program_ - Summarize(runs[0].rss).high;
  double added_floor = big_peak_floor_ - Summarize(runs[1].rss).high;
  printf("   the %lld MiB reply adds %.0f KiB to vexmor's peak, %.0f KiB to the floor's\n",
         kBigReply >> 20, added_program, added_floor);
  printf("   vexmor beyond the runtime's copy: %.0f KiB\n", added_program - added_floor);
  all_met_ &= PrintTarget(added_program - added_floor, 64, "<= 64 KiB");
  return true;
}

bool Bench::Startup() {
  printf(
      "\n4. start-up to the first prompt (standard input empty)\n"
      "   floor: a minimal program that loads the runtime library and prints a line\n");
  Contender floor;
  floor.name = "floor";
  floor.argv = {VEXMOR_BENCH_FLOOR_STARTUP, VEXMOR_BENCH_LIBRARY};
  floor.out = Path("floor.out");
  std::vector<Contender> contenders = {Program(false), floor};
  std::vector<Runs> runs;
  if (!TakeTurns(contenders, session_script_, "", config_.startup_rounds, false, &runs))
    return false;
  Compare(contenders, runs, 1e6, 0, "us", 1.5);
  return true;
}

void PrintMachine() {
  char model[256] = "unknown";
  if (FILE* f = fopen("/proc/cpuinfo", "r")) {
    char line[512];
    while (fgets(line, sizeof line, f) != nullptr) {
      const char* colon = strchr(line, ':');
      if (strncmp(line, "model name", 10) == 0 && colon != nullptr) {
        snprintf(model, sizeof model, "%s", colon + 2);
        model[strcspn(model, "\n")] = '\0';
        break;
      }
    }
    fclose(f);
  }
  struct utsname u;
  uname(&u);
  printf("machine: %ld CPUs, %s, %s %s\n", sysconf(_SC_NPROCESSORS_ONLN), model, u.sysname,
         u.release);
}

bool Bench::Run() {
  PrintMachine();
  printf(
      "CPU time (user + system) of each child; medians of %d runs of vexmor and of its "
      "floor, alternating\n",
      config_.rounds);
  session_script_ = Script("session.script", std::string("default 0 ") + kReply + "\n");
  bool ok = Session(false) && Session(true) && BigReply() && Memory() && Startup();
  if (ok)
    printf("\n%s\n", all_met_ ? "All targets met." : "Some targets NOT MET.");
  return ok;
}

// The value of `text` when it is a whole number from 1 to 1000, otherwise 0.
int PositiveNumber(const char* text) {
  char* end;
  long value = strtol(text, &end, 10);
  return (*text != '\0' && *end == '\0' && value > 0 && value <= 1000) ? static_cast<int>(value)
                                                                       : 0;
}

}  // namespace

int main(int argc, char** argv) {
  Config config;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--long") == 0) {
      config.commands = 1000000;
    } else if (strcmp(argv[i], "--runs") == 0 && i + 1 < argc && PositiveNumber(argv[i + 1]) > 0) {
      config.rounds = PositiveNumber(argv[++i]);
    } else if (strcmp(argv[i], "--program") == 0 && i + 1 < argc) {
      config.program = argv[++i];
    } else {
      fprintf(stderr, "usage: vexmor_bench [--long] [--runs N] [--program PATH]\n");
      return 2;
    }
  }
  setvbuf(stdout, nullptr, _IOLBF, 0);
  std::string dir = (std::filesystem::temp_directory_path() / "vexmor-bench-XXXXXX").string();
  if (mkdtemp(dir.data()) == nullptr) {
    perror("vexmor_bench: mkdtemp");
    return 1;
  }
  bool ok = Bench(config, dir).Run();
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  return ok ? 0 : 1;
}
