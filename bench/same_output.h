// Whether two runs wrote the same output, time stamps aside.
#ifndef VEXMOR_BENCH_SAME_OUTPUT_H_
#define VEXMOR_BENCH_SAME_OUTPUT_H_

#include <string>

// Whether the files at `a` and `b` hold the same bytes, apart from the time
// stamps of "[HH:MM:SS] COMMAND SENT: " records. If not, `why` says where.
bool SameOutput(const std::string& a, const std::string& b, std::string* why);

#endif  // VEXMOR_BENCH_SAME_OUTPUT_H_
