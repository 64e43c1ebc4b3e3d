// Whole runs of vexmor against the test double: the console output byte for byte,
// the runtime calls in order and the exit status.
#include <time.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/golden.h"
#include "tests/golden_text.h"

namespace {

using namespace golden;

const std::string kUsage =
    "Simulates a Pellomar session at a DOS prompt.\n\n"
    "USAGE: vexmor <ServerName> [/o:OutputFile]\n\n"
    "  ServerName      The server you want to remote console to.\n"
    "  /o:OutputFile   [optional] The name of a text file you would like\n"
    "                  the information in the remote console session sent\n"
    "                  to, in addition to the DOS console screen.\n"
    "\nIf the ServerName or OutputFile has spaces, enclose the argument in\n"
    "quotation marks. Please note that this is not a 'live' console; it\n"
    "merely sends the commands that you type and returns the results.\n"
    "\nvexmor: a remote console for Pellomar servers through the Velmora runtime.\n"
    "version 1.0a\n";

using SessionTest = GoldenTest;

TEST_F(SessionTest, SendsACommandAndPrintsItsResponse) {
  GoldenRun run = Run(kSrv, "show   tasks\nstop\n",
                      "command 0 probe reply is not shown\n"
                      "command 0 TASK1  running\\nTASK2  idle\n");
  EXPECT_EQ(run.out, kStart + kPrompt + Record("show tasks") + "TASK1  running\nTASK2  idle\n" +
                         kPrompt + kEnd);
  EXPECT_EQ(run.calls, Bracket(kSrv, kProbe + Sent("show tasks", 2)));
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.err, "");
}

TEST_F(SessionTest, ResponsesArePrintedAsTheServerGaveThem) {
  struct Case {
    std::string reply;    // as in the script
    std::string printed;  // after the record
  } cases[] = {
      {"", "Command sent - no immediate server response\n"},
      {"ends in a line end\\n", "ends in a line end\n\n"},
      {"\\n", "\n\n"},
      {"%s%n%d %%", "%s%n%d %%\n"},
      {"tab\\there\\r\\nand a return", "tab\there\r\nand a return\n"},
  };
  for (const Case& c : cases) {
    GoldenRun run = Run(kSrv, "cmd\nstop\n", "command 0 \ncommand 0 " + c.reply + "\n");
    EXPECT_EQ(run.out, kStart + kPrompt + Record("cmd") + c.printed + kPrompt + kEnd) << c.reply;
    EXPECT_EQ(run.calls, Bracket(kSrv, kProbe + Sent("cmd", 2))) << c.reply;
  }
}

TEST_F(SessionTest, FailedCommandsPrintTheirStatusTextAndTheSessionGoesOn) {
  GoldenRun run = Run(kSrv, "one\ntwo\nthree\nfour\nstop\n",
                      "status-text 258 Server not responding\n"
                      "command 0 \n"
                      "command 0x0102 \n"  // error code with a text
                      "command 0xC103 \n"  // flag bits set, code without a text
                      "command 0x8000 \n"  // flag bits only: counts as success
                      "command 0 after\n");
  EXPECT_EQ(run.out, kStart + kPrompt + Record("one") + "(Error: Server not responding)\n" +
                         kPrompt + Record("two") + kPrompt + Record("three") + kPrompt +
                         Record("four") + "after\n" + kPrompt + kEnd);
  EXPECT_EQ(run.calls, Bracket(kSrv, kProbe +
                                         "ConsoleCommand \"Srv\" \"one\" -> 0x0102\n"
                                         "LoadStatusText 0 258 255\n"
                                         "ConsoleCommand \"Srv\" \"two\" -> 0xc103\n"
                                         "LoadStatusText 0 259 255\n"
                                         "ConsoleCommand \"Srv\" \"three\" -> 0x8000\n" +
                                         Sent("four", 2)));
}

TEST_F(SessionTest, AServerThatDoesNotAnswerEndsTheRunBeforeAnyPrompt) {
  struct Case {
    const char* status;
    std::string status_line;
    std::string lookup;
  } cases[] = {
      {"0x0102", "(Error: Server not responding)\n", "LoadStatusText 0 258 255\n"},
      {"0x8102", "(Error: Server not responding)\n", "LoadStatusText 0 258 255\n"},
      {"0x0103", "", "LoadStatusText 0 259 255\n"},
      // Flag bits alone still make the probe fail; the code has no text.
      {"0x4000", "", "LoadStatusText 0 0 255\n"},
  };
  for (const Case& c : cases) {
    GoldenRun run =
        Run(kSrv, "cmd\nstop\n",
            std::string("status-text 258 Server not responding\ncommand ") + c.status + " \n");
    EXPECT_EQ(run.out, kStart + "\nCannot connect to server (Srv) via remote console.\n" +
                           c.status_line + "\n")
        << c.status;
    EXPECT_EQ(run.calls, Bracket(kSrv, "ConsoleCommand \"Srv\" \"\" -> " + std::string(c.status) +
                                           "\n" + c.lookup))
        << c.status;
    EXPECT_EQ(run.exit_status, 0);
  }
}

TEST_F(SessionTest, OnlyTheWordStopEndsTheSession) {
  for (const char* stop : {"stop", "Stop", "STOP", "sToP", "  stop \t", "stop\r"}) {
    GoldenRun run = Run(kSrv, std::string(stop) + "\nnever sent\n");
    EXPECT_EQ(run.out, kStart + kPrompt + kEnd) << stop;
    EXPECT_EQ(run.calls, Bracket(kSrv, kProbe)) << stop;
  }
  GoldenRun run = Run(kSrv, "stop now\nstopper\nstop\n");
  EXPECT_EQ(run.out, kStart + kPrompt + Record("stop now") + kNoResponse + kPrompt +
                         Record("stopper") + kNoResponse + kPrompt + kEnd);
  EXPECT_EQ(run.calls, Bracket(kSrv, kProbe + Sent("stop now", 2) + Sent("stopper", 3)));
}

TEST_F(SessionTest, EmptyLinesSendNothing) {
  GoldenRun run = Run(kSrv, "\n \t \r\n\nstop\n");
  EXPECT_EQ(run.out, kStart + kPrompt + kPrompt + kPrompt + kPrompt + kEnd);
  EXPECT_EQ(run.calls, Bracket(kSrv, kProbe));
}

TEST_F(SessionTest, EndOfInputEndsTheSessionAsStopDoes) {
  GoldenRun run = Run(kSrv, "");
  EXPECT_EQ(run.out, kStart + kPrompt + kEnd);
  EXPECT_EQ(run.calls, Bracket(kSrv, kProbe));
  EXPECT_EQ(run.exit_status, 0);

  // A last line without its line end is still a line.
  for (const char* input : {"cmd\n", "cmd"}) {
    run = Run(kSrv, input);
    EXPECT_EQ(run.out, kStart + kPrompt + Record("cmd") + kNoResponse + kPrompt + kEnd) << input;
    EXPECT_EQ(run.calls, Bracket(kSrv, kProbe + Sent("cmd", 2))) << input;
  }
}

TEST_F(SessionTest, PipedInputKeepsEveryLine) {
  std::string input;
  std::string out = kStart;
  std::string calls = kProbe;
  for (int i = 0; i < 300; ++i) {
    std::string command = "cmd " + std::to_string(i);
    input += command + "\n";
    out += kPrompt + Record(command) + kNoResponse;
    calls += Sent(command, i + 2);
  }
  GoldenRun run = Run(kSrv, input + "stop\n");
  EXPECT_EQ(run.out, out + kPrompt + kEnd);
  EXPECT_EQ(run.calls, Bracket(kSrv, calls));
}

TEST_F(SessionTest, LinesThatDoNotFitOrHoldANulAreNotSent) {
  std::string longest(255, 'x');
  std::string input = longest + "\n" + std::string(256, 'y') + "\n" + std::string(100000, 'z') +
                      "\n" + std::string("ab\0cd\n", 6) + "stop\n";
  GoldenRun run = Run(kSrv, input);
  EXPECT_EQ(run.out, kStart + kPrompt + Record(longest) + kNoResponse + kPrompt +
                         "Line not sent: it is longer than 255 characters.\n" + kPrompt +
                         "Line not sent: it is longer than 255 characters.\n" + kPrompt +
                         "Line not sent: it contains a NUL character.\n" + kPrompt + kEnd);
  EXPECT_EQ(run.calls, Bracket(kSrv, kProbe + Sent(longest, 2)));
}

TEST_F(SessionTest, RecordsTheLocalTimeOfDay) {
  // Far from UTC, so that a stamp taken in UTC would not pass.
  const char* zone = "XST-9:30";
  setenv("TZ", zone, 1);
  tzset();
  time_t before = time(nullptr);
  GoldenRun run = Run(kSrv, "cmd\nstop\n");
  time_t after = time(nullptr);
  unsetenv("TZ");
  tzset();
  ASSERT_EQ(run.stamps.size(), 1u);
  // The stamp is one of the times of day the run went through.
  std::vector<std::string> possible;
  for (time_t t = before; t <= after; ++t) {
    char stamp[16];
    struct tm local;
    setenv("TZ", zone, 1);
    tzset();
    localtime_r(&t, &local);
    unsetenv("TZ");
    tzset();
    strftime(stamp, sizeof stamp, "%H:%M:%S", &local);
    possible.push_back(stamp);
  }
  EXPECT_NE(std::find(possible.begin(), possible.end(), run.stamps[0]), possible.end())
      << run.stamps[0];
}

using ArgumentsRunTest = GoldenTest;

TEST_F(ArgumentsRunTest, UsageRunsInsideTheRuntimeAndNothingElse) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {"-?"}, {"/?"}, {"Srv", "/?", "Other"}}) {
    GoldenRun run = Run(args, "cmd\nstop\n");
    EXPECT_EQ(run.out, kUsage);
    EXPECT_EQ(run.calls, Bracket(args, ""));
    EXPECT_EQ(run.exit_status, 0);
  }
}

TEST_F(ArgumentsRunTest, TheLastNameIsTheServer) {
  GoldenRun run = Run({"First", "/x", "Srv"}, "stop\n");
  EXPECT_EQ(run.out, kStart + kPrompt + kEnd);
  EXPECT_EQ(run.calls, Bracket({"First", "/x", "Srv"}, kProbe));
}

TEST_F(ArgumentsRunTest, NoUsableServerNameMeansNoSession) {
  struct Case {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"/x"}, "No server name given; type vexmor /? for help.\n"},
      {{""}, "No server name given; type vexmor /? for help.\n"},
      {{"Srv", ""}, "No server name given; type vexmor /? for help.\n"},
      {{std::string(128, 'n')}, "The server name is longer than 127 characters.\n"},
      {{std::string(4000, 'n'), "Srv"}, "The server name is longer than 127 characters.\n"},
  };
  for (const Case& c : cases) {
    GoldenRun run = Run(c.args, "cmd\nstop\n");
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.calls, Bracket(c.args, ""));
    EXPECT_EQ(run.exit_status, 0);
  }
  std::string longest(127, 'n');
  GoldenRun run = Run({longest}, "stop\n");
  EXPECT_EQ(run.out, "** Starting remote console session with " + longest +
                         " **\n\n>>Pellomar for " + longest +
                         "\n>>Type 'stop' to end this program\n> " + kEnd);
}

using BracketTest = GoldenTest;

TEST_F(BracketTest, StartUpFailures) {
  const std::string init = ArgvCall("RuntimeInitialize", kSrv);
  const std::string process = ArgvCall("RuntimeProcessArguments", kSrv);
  const std::string begin = ArgvCall("RuntimeBeginProgram entry", kSrv, " 0 0");
  const std::string end = ArgvCall("RuntimeEndProgram", kSrv) + "RuntimeTerminate\n";
  struct Case {
    const char* name;
    std::string script;
    std::string out;
    std::string calls;
    int exit_status;
  } cases[] = {
      {"InitializeFails", "initialize 0x0011\nstartup-text 7 Runtime missing\n",
       "\r\nRuntime missing\r\n\r\n", init + "StartupStatusText 0x0011 255\n", 7},
      {"InitializeFailsQuietly", "initialize 0x8011\nstartup-text 7 Runtime missing\n", "",
       init + "StartupStatusText 0x8011 255\n", 7},
      {"InitializeFailsWithFlag14", "initialize 0x4000\nstartup-text 9 Odd\n", "\r\nOdd\r\n\r\n",
       init + "StartupStatusText 0x4000 255\n", 9},
      {"ProcessArgumentsFails", "process-arguments 0x0012\nstartup-text 4 Bad arguments\n",
       "\r\nBad arguments\r\n\r\n",
       init + process + "StartupStatusText 0x0012 255\nRuntimeTerminate\n", 4},
      {"ProcessArgumentsFailsQuietly", "process-arguments 0xC012\nstartup-text -1 Bad arguments\n",
       "", init + process + "StartupStatusText 0xc012 255\nRuntimeTerminate\n", 255},
      {"BeginFails", "begin 0x0013\n", "", init + process + begin + end, 255},
      {"StartUpTextIsCutToCapacity", "initialize 1\nstartup-text 2 " + std::string(300, 't') + "\n",
       "\r\n" + std::string(255, 't') + "\r\n\r\n", init + "StartupStatusText 0x0001 255\n", 2},
  };
  for (const Case& c : cases) {
    GoldenRun run = Run(kSrv, "cmd\nstop\n", c.script);
    EXPECT_EQ(run.out, c.out) << c.name;
    EXPECT_EQ(run.calls, c.calls) << c.name;
    EXPECT_EQ(run.exit_status, c.exit_status) << c.name;
  }
}

TEST_F(BracketTest, ReplacedArgumentsServeEveryLaterStep) {
  GoldenRun run = Run({"Original"}, "stop\n",
                      "replace-argument vexmor\nreplace-argument Srv\n"
                      "replace-argument /x\n");
  EXPECT_EQ(run.out, kStart + kPrompt + kEnd);
  EXPECT_EQ(run.calls, ArgvCall("RuntimeInitialize", {"Original"}) +
                           ArgvCall("RuntimeProcessArguments", {"Original"}) +
                           "RuntimeBeginProgram entry 3 \"vexmor\" \"Srv\" \"/x\" 0 0\n" + kProbe +
                           "RuntimeEndProgram 3 \"vexmor\" \"Srv\" \"/x\"\nRuntimeTerminate\n");

  // Replaced arguments that ask for help are obeyed as well.
  run = Run({"Srv"}, "stop\n", "replace-argument vexmor\n");
  EXPECT_EQ(run.out, kUsage);
  EXPECT_EQ(run.calls, ArgvCall("RuntimeInitialize", kSrv) +
                           ArgvCall("RuntimeProcessArguments", kSrv) +
                           "RuntimeBeginProgram entry 1 \"vexmor\" 0 0\n"
                           "RuntimeEndProgram 1 \"vexmor\"\nRuntimeTerminate\n");
}

TEST_F(BracketTest, AMissingRuntimeLibraryIsReportedAndNothingRuns) {
  // A copy of the program with no runtime library beside it or on the search path.
  std::string lonely = File(std::filesystem::path(VEXMOR_PROGRAM).filename());
  std::filesystem::copy_file(VEXMOR_PROGRAM, lonely);
  ChildResult run = RunChild(lonely, {"Srv"}, {"LD_LIBRARY_PATH="}, "stop\n", dir_.path());
  std::string err = FromTargetText(run.err);
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.memcheck, "");
  EXPECT_EQ(err.rfind("vexmor: cannot load " + std::string(kRuntimeLibrary) + ": ", 0), 0u) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

TEST_F(BracketTest, ALibraryWithoutAnEntryPointIsReported) {
  // A shared library by the right name that is not the runtime.
  std::string lonely = File(std::filesystem::path(VEXMOR_PROGRAM).filename());
  std::filesystem::copy_file(VEXMOR_PROGRAM, lonely);
  std::filesystem::copy_file(VEXMOR_FOREIGN_LIBRARY, File(kRuntimeLibrary));
  ChildResult run = RunChild(lonely, {"Srv"}, {}, "stop\n", dir_.path());
  std::string err = FromTargetText(run.err);
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.memcheck, "");
  // The Windows build binds by number and says which.
  std::string entry = kWindowsTarget ? "RuntimeInitialize (ordinal 15)" : "RuntimeInitialize";
  EXPECT_EQ(
      err.rfind("vexmor: " + std::string(kRuntimeLibrary) + " has no entry point " + entry + ": ",
                0),
      0u)
      << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

}  // namespace
