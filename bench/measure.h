// Running a benchmarked program as a child and reading what the operating system
// accounted to it.
#ifndef VEXMOR_BENCH_MEASURE_H_
#define VEXMOR_BENCH_MEASURE_H_

#include <string>
#include <string_view>
#include <vector>

struct Usage {
  double user_seconds = 0;
  double system_seconds = 0;
  long max_rss_kib = 0;  // peak resident memory
};

// Runs `argv` (argv[0] the program's path) with `environment`, feeding `input`
// through a pipe as standard input and sending standard output to `out_path`.
// The child starts through `spawner` (vexmor_bench_spawn), so that its peak
// memory is its own. Returns false, having said why on standard error, unless
// the child exited with status 0.
bool Measure(const std::string& spawner, const std::vector<std::string>& argv,
             const std::vector<std::string>& environment, std::string_view input,
             const std::string& out_path, Usage* usage);

#endif  // VEXMOR_BENCH_MEASURE_H_
