// The guard against shutting the server down by accident, through whole runs.
#include <string>
#include <vector>

#include "tests/golden.h"
#include "tests/golden_text.h"

namespace {

using namespace golden;
using ShutdownTest = GoldenTest;

TEST_F(ShutdownTest, CommandsBeginningWithEOrQAsk) {
  for (const char* command : {"exit", "QUIT", "Quit now", "e", "qwerty", "EXIT"}) {
    GoldenRun run = Run(kSrv, std::string(command) + "\ny\nstop\n");
    EXPECT_EQ(run.out,
              kStart + kPrompt + kQuestion + "\n" + Record(command) + kNoResponse + kPrompt + kEnd)
        << command;
    EXPECT_EQ(run.calls, Bracket(kSrv, kProbe + Sent(command, 2))) << command;
  }
  // Anything else goes straight out, also a command holding exit further on.
  GoldenRun run = Run(kSrv, "do exit\nstop\n");
  EXPECT_EQ(run.out, kStart + kPrompt + Record("do exit") + kNoResponse + kPrompt + kEnd);
}

TEST_F(ShutdownTest, OnlyAnAnswerBeginningWithYSends) {
  const std::string too_long = "y" + std::string(400, 'x');
  for (const std::string& answer : {std::string("y"), std::string("Y"), std::string("yes"),
                                    std::string("Yes please"), std::string("y\r"), too_long}) {
    GoldenRun run = Run(kSrv, "  quit  \n" + answer + "\nstop\n");
    EXPECT_EQ(run.out,
              kStart + kPrompt + kQuestion + "\n" + Record("quit") + kNoResponse + kPrompt + kEnd)
        << answer;
    EXPECT_EQ(run.calls, Bracket(kSrv, kProbe + Sent("quit", 2))) << answer;
  }
  for (const std::string& answer :
       {std::string(""), std::string("n"), std::string(" yes"), std::string("\tY"),
        std::string("no"), std::string("stop"), std::string("\xd9")}) {
    GoldenRun run = Run(kSrv, "quit\n" + answer + "\nstop\n");
    EXPECT_EQ(run.out, kStart + kPrompt + kQuestion + "\n" + kNotSent + kPrompt + kEnd) << answer;
    EXPECT_EQ(run.calls, Bracket(kSrv, kProbe)) << answer;
  }
}

TEST_F(ShutdownTest, AFailureRightAfterAConfirmedShutdownCarriesTheNote) {
  GoldenRun run = Run(kSrv, "quit\ny\nshow\nshow\nstop\n",
                      "status-text 258 Server not responding\n"
                      "command 0 \ncommand 0x0102 \ncommand 0x8102 \ncommand 0x0102 \n");
  EXPECT_EQ(run.out, kStart + kPrompt + kQuestion + "\n" + Record("quit") +
                         "(Error: Server not responding)\n" + kNote + kPrompt + Record("show") +
                         "(Error: Server not responding)\n" + kPrompt + Record("show") +
                         "(Error: Server not responding)\n" + kPrompt + kEnd);
  EXPECT_EQ(run.calls,
            Bracket(kSrv, kProbe + Failed("quit", "0x0102", 258) + Failed("show", "0x8102", 258) +
                              Failed("show", "0x0102", 258)));
}

TEST_F(ShutdownTest, TheNoteWaitsForTheNextFailureWhateverComesBetween) {
  // Confirmed and sent; a success; a declined shutdown; then a failure without a
  // status text still gets the note, once.
  GoldenRun run = Run(kSrv, "exit\nY\nshow\nquit\nn\nother\nlast\nstop\n",
                      "command 0 \ncommand 0 bye\ncommand 0 up\n"
                      "command 0x0200 \ncommand 0x0200 \n");
  EXPECT_EQ(run.out, kStart + kPrompt + kQuestion + "\n" + Record("exit") + "bye\n" + kPrompt +
                         Record("show") + "up\n" + kPrompt + kQuestion + "\n" + kNotSent + kPrompt +
                         Record("other") + kNote + kPrompt + Record("last") + kPrompt + kEnd);
  EXPECT_EQ(run.calls,
            Bracket(kSrv, kProbe + Sent("exit", 2) + Sent("show", 3) +
                              Failed("other", "0x0200", 512) + Failed("last", "0x0200", 512)));
}

TEST_F(ShutdownTest, EndOfInputAtTheQuestionRefusesAndEnds) {
  for (const char* input : {"quit\n", "quit"}) {
    GoldenRun run = Run(kSrv, input);
    EXPECT_EQ(run.out, kStart + kPrompt + kQuestion + "\n" + kNotSent + kPrompt + kEnd);
    EXPECT_EQ(run.calls, Bracket(kSrv, kProbe));
    EXPECT_EQ(run.exit_status, 0);
  }
}

}  // namespace
