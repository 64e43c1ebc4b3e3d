// What only the Windows build has to show, under wine: the command line split by
// the Windows rules, text streams that end each line with "\r\n", and a runtime
// library bound by number, refused cleanly when it is not the runtime.
#include <stdint.h>
#include <time.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "tests/golden.h"
#include "tests/golden_text.h"

namespace {

using namespace golden;

using WindowsTest = GoldenTest;

// `text` as a Windows text stream writes it: each "\n" as "\r\n".
std::string Crlf(std::string_view text) {
  std::string bytes;
  for (char c : text) {
    if (c == '\n')
      bytes += '\r';
    bytes += c;
  }
  return bytes;
}

TEST_F(WindowsTest, ConsoleAndTranscriptEndEveryLineWithCrLf) {
  // Typed lines may end in "\r\n"; a reply's own line breaks become "\r\n" too,
  // and a carriage return it holds is written as it is, before them.
  GoldenRun run = Run({"Srv", "/o:" + TargetPath(File("t.txt"))}, "one\r\ntwo\nstop\r\n",
                      "command 0 \ncommand 0 T1\\nT2\ncommand 0 a\\r\\nb\n");
  std::vector<std::string> stamps;
  EXPECT_EQ(NormalizeStamps(run.bytes, &stamps),
            Crlf(kStart + kPrompt + Record("one") + "T1\nT2\n" + kPrompt + Record("two") +
                 "a\r\nb\n" + kPrompt + kEnd));
  EXPECT_EQ(NormalizeStamps(ReadFileOrEmpty(File("t.txt")), &stamps),
            Crlf(kStart + kFilePrompt + "one\n" + Record("one") + "T1\nT2\n" + kFilePrompt +
                 "two\n" + Record("two") + "a\r\nb\n" + kFilePrompt + "stop\n" + kEnd));
  EXPECT_EQ(run.calls, Bracket({"Srv", "/o:" + TargetPath(File("t.txt"))},
                               kProbe + Sent("one", 2) + Sent("two", 3)));
}

TEST_F(WindowsTest, TheCommandLineIsSplitByTheWindowsRules) {
  // As typed at a command prompt: quotes keep blanks inside one argument, also in
  // the middle of one, and wildcards are not expanded (the folder holds files
  // whose names begin with s).
  std::filesystem::create_directory(File("my dir"));
  const std::string transcript = TargetPath(File("my dir/t.txt"));
  struct Case {
    std::string command_line;  // after the program's name
    std::vector<std::string> args;
    std::string server;
  } cases[] = {
      {"\"Pellomar Srv\"", {"Pellomar Srv"}, "Pellomar Srv"},
      {"Pellomar\" \"Srv /o:\"" + transcript + "\"",
       {"Pellomar Srv", "/o:" + transcript},
       "Pellomar Srv"},
      {"  s*  /x ", {"s*", "/x"}, "s*"},
  };
  for (const Case& c : cases) {
    GoldenRun run = RunProgram(
        VEXMOR_COMMAND_LINE_PROGRAM, {},
        {"VEXMOR_COMMAND_LINE=\"" + TargetPath(program_) + "\" " + c.command_line}, "stop\n", "");
    EXPECT_EQ(run.calls, Bracket(c.args, "ConsoleCommand " + LogQuote(c.server) +
                                             " \"\" -> 1\nFreeResponse 1\n"))
        << c.command_line;
    EXPECT_EQ(run.out.rfind("** Starting remote console session with " + c.server + " **\n", 0), 0u)
        << run.out;
    EXPECT_EQ(run.exit_status, 0);
  }
  EXPECT_EQ(FromTargetText(ReadFileOrEmpty(File("my dir/t.txt")))
                .rfind("** Starting remote console session with Pellomar Srv **\n", 0),
            0u);
}

TEST_F(WindowsTest, AControlZEndsInputAsTheEndOfTheFileDoes) {
  // Standard input is a text stream, in which this character marks the end of a
  // file: what follows it is never read, and it is never sent.
  GoldenRun run = Run(kSrv, "one\n\x1atwo\nthree\n");
  EXPECT_EQ(run.out, kStart + kPrompt + Record("one") + kNoResponse + kPrompt + kEnd);
  EXPECT_EQ(run.calls, Bracket(kSrv, kProbe + Sent("one", 2)));
}

TEST_F(WindowsTest, ALibraryThatIsNotTheRuntimeIsRefusedBeforeAnyCall) {
  // A file by the right name beside a copy of the program: the program says what
  // is wrong on one line, in the system's words, and calls nothing in it.
  std::string text_file = File("text");
  WriteFile(text_file, "not a library\n");
  struct Case {
    std::string library;
    std::string error;  // how the line on standard error begins
  } cases[] = {
      {VEXMOR_GAP_LIBRARY, "vexmor: velmora.dll has no entry point LoadStatusText (ordinal 707): "},
      {text_file, "vexmor: cannot load " + TargetPath(File("velmora.dll")) + ": "},
  };
  std::filesystem::copy_file(program_, File("vexmor.exe"));
  for (const Case& c : cases) {
    std::filesystem::copy_file(c.library, File("velmora.dll"),
                               std::filesystem::copy_options::overwrite_existing);
    ChildResult run = RunChild(File("vexmor.exe"), {"Srv"}, {"VELMORA_DOUBLE_LOG=" + File("calls")},
                               "stop\n", dir_.path());
    std::string err = FromTargetText(run.err);
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(err.rfind(c.error, 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    // The system's "%1" stands for the file.
    EXPECT_EQ(err.find("%1"), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(File("calls")));
  }
}

TEST_F(WindowsTest, OthersMayReadAndWriteTheTranscriptButNotDeleteIt) {
  ChildProcess child;
  ASSERT_TRUE(child.Start(program_, {"Srv", "/o:" + TargetPath(File("t.txt"))}, {}, dir_.path()));
  // Once the session waits for a command, the file is open.
  std::string expected = kStart + kFilePrompt;
  for (int i = 0; i < 2000 && FromTargetText(ReadFileOrEmpty(File("t.txt"))) != expected; ++i) {
    struct timespec tick = {0, 5 * 1000 * 1000};
    nanosleep(&tick, nullptr);
  }
  std::filesystem::create_directory(File("probe"));
  ChildResult probe =
      RunChild(VEXMOR_SHARE_PROBE, {TargetPath(File("t.txt"))}, {}, "", File("probe"));
  EXPECT_EQ(FromTargetText(probe.out), "read-write: yes\ndelete: no\n") << probe.err;

  child.Write("stop\n");
  EXPECT_EQ(child.Wait().exit_status, 0);
  EXPECT_EQ(FromTargetText(ReadFileOrEmpty(File("t.txt"))), expected + "stop\n" + kEnd);
}

// The ordinals a DLL exports and how many names it exports, read from its file.
struct Exports {
  std::set<uint32_t> ordinals;
  uint32_t names = 0;
  bool read = false;  // the file is a 64-bit DLL with an export table
};

Exports ReadExports(const std::string& path) {
  const std::string file = ReadFileOrEmpty(path);
  auto byte = [&](size_t at) -> uint32_t {
    return at < file.size() ? static_cast<uint8_t>(file[at]) : 0;
  };
  auto u16 = [&](size_t at) { return byte(at) | byte(at + 1) << 8; };
  auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
  Exports exports;
  size_t pe = u32(0x3c);
  if (u32(pe) != 0x00004550)  // "PE\0\0"
    return exports;
  size_t sections = u16(pe + 6);
  size_t optional = pe + 24;
  if (u16(optional) != 0x20b)  // PE32+
    return exports;
  size_t section_table = optional + u16(pe + 20);
  // The file offset of a relative virtual address, or 0.
  auto offset = [&](uint32_t rva) -> size_t {
    for (size_t i = 0; i < sections; ++i) {
      size_t section = section_table + 40 * i;
      uint32_t start = u32(section + 12), size = u32(section + 8);
      if (rva >= start && rva < start + size)
        return u32(section + 20) + (rva - start);
    }
    return 0;
  };
  size_t directory = offset(u32(optional + 112));
  if (directory == 0)
    return exports;
  uint32_t base = u32(directory + 16);
  uint32_t functions = u32(directory + 20);
  size_t addresses = offset(u32(directory + 28));
  for (uint32_t i = 0; i < functions && addresses != 0; ++i) {
    if (u32(addresses + 4 * i) != 0)
      exports.ordinals.insert(base + i);
  }
  exports.names = u32(directory + 24);
  exports.read = true;
  return exports;
}

TEST_F(WindowsTest, TheRuntimeStandInsExportByOrdinalOnly) {
  const std::set<uint32_t> kOrdinals = {13, 15, 25, 29, 51, 52, 143, 182, 183, 707, 2239};
  for (const char* library : {VEXMOR_SIMULATED_LIBRARY, VEXMOR_DOUBLE_LIBRARY}) {
    Exports exports = ReadExports(library);
    ASSERT_TRUE(exports.read) << library;
    EXPECT_EQ(exports.ordinals, kOrdinals) << library;
    EXPECT_EQ(exports.names, 0u) << library;
  }
  // The reader sees a gap and sees names.
  Exports gap = ReadExports(VEXMOR_GAP_LIBRARY);
  EXPECT_EQ(gap.ordinals.count(707), 0u);
  EXPECT_EQ(gap.ordinals.size(), kOrdinals.size() - 1);
  EXPECT_EQ(ReadExports(VEXMOR_FOREIGN_LIBRARY).names, 1u);
}

}  // namespace
