// The default build's program against the simulated server it ships with.
#include <gtest/gtest.h>

#include <string>

#include "tests/child_process.h"
#include "tests/golden.h"

namespace {

TEST(SimulatedServerTest, RunsASessionOutOfTheBox) {
  ScratchDir dir;
  ChildResult run = RunChild(VEXMOR_PROGRAM, {"DemoServer"}, {},
                             "show server\nbroadcast hello\nload backup\nstop\n", dir.path());
  run.out = FromTargetText(run.out);
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.memcheck, "");
  EXPECT_EQ(run.out.rfind("** Starting remote console session with DemoServer **\n\n"
                          ">>Pellomar for DemoServer\n",
                          0),
            0u)
      << run.out;
  EXPECT_NE(run.out.find("] COMMAND SENT: show server\n"), std::string::npos);
  EXPECT_NE(run.out.find("DemoServer"), std::string::npos);
  EXPECT_NE(run.out.find("] COMMAND SENT: broadcast hello\n"
                         "Command sent - no immediate server response\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("\n** Pellomar terminated **\n"), std::string::npos);
}

TEST(SimulatedServerTest, ShutsDownOnExit) {
  ScratchDir dir;
  ChildResult run =
      RunChild(VEXMOR_PROGRAM, {"DemoServer"}, {}, "exit\ny\nshow time\nstop\n", dir.path());
  run.out = FromTargetText(run.out);
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.memcheck, "");
  EXPECT_NE(run.out.find("] COMMAND SENT: show time\n(Error: Server not responding)\n"),
            std::string::npos)
      << run.out;
}

}  // namespace
