// The fixed texts of a session with the server "Srv", as the golden tests expect them.
#ifndef VEXMOR_TESTS_GOLDEN_TEXT_H_
#define VEXMOR_TESTS_GOLDEN_TEXT_H_

#include <string>

#include "tests/golden.h"

namespace golden {

const std::vector<std::string> kSrv = {"Srv"};
const std::string kStart = "** Starting remote console session with Srv **\n";
const std::string kBanner = ">>Pellomar for Srv\n>>Type 'stop' to end this program\n";
// Every cycle on the console: an empty line, the banner and the prompt.
const std::string kPrompt = "\n" + kBanner + "> ";
// The same cycle in the transcript, which never holds the banner.
const std::string kFilePrompt = "\n> ";
const std::string kEnd = "\n** Pellomar terminated **\nRemote console session closed.\n";
const std::string kProbe = "ConsoleCommand \"Srv\" \"\" -> 1\nFreeResponse 1\n";
const std::string kNoResponse = "Command sent - no immediate server response\n";
const std::string kQuestion =
    "This command will attempt to shut down the server!\n"
    "Are you sure you want to send this command (Y/N)? ";
const std::string kNotSent = "Command not sent.\n";
const std::string kNote =
    "NOTE: A 'server not responding' error may indicate successful server shutdown.\n";

// The calls of one command that succeeds with handle `handle`.
inline std::string Sent(const std::string& command, int handle) {
  std::string h = std::to_string(handle);
  return "ConsoleCommand \"Srv\" " + LogQuote(command) + " -> " + h + "\nLockResponse " + h +
         "\nUnlockResponse " + h + "\nFreeResponse " + h + "\n";
}

// The calls of one command that fails with `status` (as the log writes it), and
// the status text lookup that follows.
inline std::string Failed(const std::string& command, const std::string& status, int code) {
  return "ConsoleCommand \"Srv\" " + LogQuote(command) + " -> " + status + "\nLoadStatusText 0 " +
         std::to_string(code) + " 255\n";
}

inline std::string Record(const std::string& command) {
  return "[HH:MM:SS] COMMAND SENT: " + command + "\n";
}

}  // namespace golden

#endif  // VEXMOR_TESTS_GOLDEN_TEXT_H_
