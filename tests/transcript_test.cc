// The transcript file of the /o option, through whole runs.
#include <sys/stat.h>
#include <time.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/golden.h"
#include "tests/golden_text.h"

namespace {

using namespace golden;

class TranscriptTest : public GoldenTest {
 protected:
  bool Exists(const std::string& name) const { return std::filesystem::exists(File(name)); }
  // The file as FromTargetText gives it, with each record's time stamp as HH:MM:SS.
  std::string Read(const std::string& name) const {
    std::vector<std::string> stamps;
    return NormalizeStamps(FromTargetText(ReadFileOrEmpty(File(name))), &stamps);
  }
  // Every file in the scratch folder but the ones the test harness writes.
  std::vector<std::string> SessionFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
      std::string name = entry.path().filename().string();
      if (name != "script" && name != "calls" && name != "stdout" && name != "stderr" &&
          name != "memcheck")
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(TranscriptTest, HoldsTheSessionAndTheLinesAsTyped) {
  GoldenRun run =
      Run({"Srv", "/o:" + File("t.txt")}, "  show \t tasks \n\nquit\n yes\nquit\nyes\nstop \n",
          "status-text 7 Gone\n"
          "command 0 \ncommand 0 T1\\nT2\\n\ncommand 7 \n");
  const std::string console = kStart + kPrompt + Record("show tasks") + "T1\nT2\n\n" + kPrompt +
                              kPrompt + kQuestion + "\n" + kNotSent + kPrompt + kQuestion + "\n" +
                              Record("quit") + "(Error: Gone)\n" + kNote + kPrompt + kEnd;
  EXPECT_EQ(run.out, console);
  EXPECT_EQ(Read("t.txt"), kStart + kFilePrompt + "  show \t tasks \n" + Record("show tasks") +
                               "T1\nT2\n\n" + kFilePrompt + "\n" + kFilePrompt + "quit\n" +
                               kQuestion + " yes\n\n" + kNotSent + kFilePrompt + "quit\n" +
                               kQuestion + "yes\n\n" + Record("quit") + "(Error: Gone)\n" + kNote +
                               kFilePrompt + "stop \n" + kEnd);
  // The time stamps in the file are the console's.
  std::vector<std::string> stamps;
  NormalizeStamps(ReadFileOrEmpty(File("t.txt")), &stamps);
  EXPECT_EQ(stamps, run.stamps);
}

TEST_F(TranscriptTest, LinesThatAreNotSentStandAsTheyWereTaken) {
  std::string longest(255, 'x');
  GoldenRun run = Run({"Srv", "/o:" + File("t.txt")},
                      longest + std::string(45, 'y') + "\n" + std::string("a\0b\n", 4) + "stop\n");
  EXPECT_EQ(Read("t.txt"), kStart + kFilePrompt + longest + "\n" +
                               "Line not sent: it is longer than 255 characters.\n" + kFilePrompt +
                               "a\n" + "Line not sent: it contains a NUL character.\n" +
                               kFilePrompt + "stop\n" + kEnd);
}

TEST_F(TranscriptTest, EndOfInputLeavesNoEcho) {
  GoldenRun run = Run({"Srv", "/o:" + File("t.txt")}, "quit\n");
  EXPECT_EQ(Read("t.txt"),
            kStart + kFilePrompt + "quit\n" + kQuestion + "\n" + kNotSent + kFilePrompt + kEnd);
}

TEST_F(TranscriptTest, AFailedProbeIsInTheTranscriptToo) {
  GoldenRun run =
      Run({"/o:" + File("t.txt"), "Srv"}, "stop\n", "status-text 5 Refused\ncommand 5 \n");
  const std::string expected =
      kStart + "\nCannot connect to server (Srv) via remote console.\n(Error: Refused)\n\n";
  EXPECT_EQ(run.out, expected);
  EXPECT_EQ(Read("t.txt"), expected);
}

TEST_F(TranscriptTest, OptionsThatNameNoFileDoNothing) {
  for (const std::string option : {"/o", "-O", "/o:", "-oname", "/output"}) {
    GoldenRun run = Run({"Srv", option}, "stop\n");
    EXPECT_EQ(run.out, kStart + kPrompt + kEnd) << option;
    EXPECT_EQ(SessionFiles(), std::vector<std::string>{}) << option;
  }
}

TEST_F(TranscriptTest, TheNameIsEverythingAfterTheFirstColon) {
  // Characters between the letter and the colon are ignored; later colons belong
  // to the name, as in a path with a drive letter. (A Windows file name cannot
  // hold a colon of its own, so there the drive letter's is the only one.)
  const std::string name = kWindowsTarget ? "t.txt" : "a:b:c.txt";
  GoldenRun run = Run({"Srv", "-Ofile:" + TargetPath(File(name))}, "stop\n");
  EXPECT_EQ(SessionFiles(), std::vector<std::string>{name});
  EXPECT_EQ(Read(name), kStart + kFilePrompt + "stop\n" + kEnd);
}

TEST_F(TranscriptTest, ALaterOptionReplacesTheTranscript) {
  WriteFile(File("first.txt"), "old contents\n");
  GoldenRun run = Run({"/o:" + File("first.txt"), "Srv", "/o:" + File("second.txt")}, "stop\n");
  EXPECT_TRUE(Exists("first.txt"));
  EXPECT_EQ(Read("first.txt"), "");
  EXPECT_EQ(Read("second.txt"), kStart + kFilePrompt + "stop\n" + kEnd);
}

TEST_F(TranscriptTest, AFileThatCannotBeOpenedLeavesNoTranscript) {
  mkdir(File("read-only").c_str(), 0500);
  WriteFile(File("locked.txt"), "keep\n");
  chmod(File("locked.txt").c_str(), 0400);
  const bool root = geteuid() == 0;  // root writes through permissions
  for (const std::string& bad : {File("missing/t.txt"), File("read-only"), File("locked.txt")}) {
    if (root && bad == File("locked.txt"))
      continue;
    GoldenRun run = Run({"Srv", "/o:" + File("good.txt"), "/o:" + bad}, "stop\n");
    EXPECT_EQ(run.out, "Cannot open output file: " + bad + "\n" + kStart + kPrompt + kEnd);
    EXPECT_EQ(Read("good.txt"), "") << bad;
  }
  EXPECT_FALSE(Exists("missing"));

  // A good option after a bad one gives the session a transcript again.
  GoldenRun run = Run({"/o:" + File("missing/t.txt"), "/o:" + File("good.txt"), "Srv"}, "stop\n");
  EXPECT_EQ(Read("good.txt"), kStart + kFilePrompt + "stop\n" + kEnd);
}

TEST_F(TranscriptTest, HelpAfterTheOptionLeavesAnEmptyFile) {
  GoldenRun run = Run({"/o:" + File("t.txt"), "/?"}, "stop\n");
  EXPECT_EQ(run.out.rfind("Simulates a Pellomar session at a DOS prompt.\n", 0), 0u);
  EXPECT_TRUE(Exists("t.txt"));
  EXPECT_EQ(Read("t.txt"), "");
  EXPECT_EQ(run.exit_status, 0);
}

TEST_F(TranscriptTest, WhileWaitingForACommandTheFileEndsWithThePrompt) {
  WriteFile(File("script"), "command 0 \ncommand 0 first reply\n");
  ChildProcess child;
  ASSERT_TRUE(child.Start(program_, {"Srv", "/o:" + File("t.txt")},
                          {"VELMORA_DOUBLE_SCRIPT=" + File("script")}, dir_.path()));

  // Polls the file until it holds `expected` (after the stamps are normalised) or
  // ten seconds have gone by.
  auto wait_for = [&](const std::string& expected) {
    std::string seen;
    for (int i = 0; i < 2000; ++i) {
      seen = Read("t.txt");
      if (seen == expected)
        return seen;
      struct timespec tick = {0, 5L * 1000 * 1000};
      nanosleep(&tick, nullptr);
    }
    return seen;
  };
  std::string expected = kStart + kFilePrompt;
  EXPECT_EQ(wait_for(expected), expected);
  child.Write("cmd\n");
  expected += "cmd\n" + Record("cmd") + "first reply\n" + kFilePrompt;
  EXPECT_EQ(wait_for(expected), expected);
  // The console is as far along as the file.
  std::vector<std::string> stamps;
  EXPECT_EQ(NormalizeStamps(FromTargetText(child.OutputSoFar()), &stamps),
            kStart + kPrompt + Record("cmd") + "first reply\n" + kPrompt);

  child.Write("stop\n");
  ChildResult result = child.Wait();
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(wait_for(expected + "stop\n" + kEnd), expected + "stop\n" + kEnd);
}

}  // namespace
