// Reading the test double's call log: the commands the program sent and whether
// it released every response handle. Free of the test framework, so that the
// fuzz targets can use it too.
#ifndef VEXMOR_TESTS_CALL_LOG_H_
#define VEXMOR_TESTS_CALL_LOG_H_

#include <string>
#include <string_view>
#include <vector>

// Whether every response handle the log shows obtained was locked at most once,
// unlocked after each lock and freed exactly once; `problem` says what was not.
bool HandlesBalanced(std::string_view calls, std::string* problem);

// The command text of every ConsoleCommand call in the log, in order, the
// probe's empty one included.
std::vector<std::string> SentCommands(std::string_view calls);

// Quotes `text` as the double's log does.
std::string LogQuote(std::string_view text);

#endif  // VEXMOR_TESTS_CALL_LOG_H_
