#include "invocation/arguments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ArgumentsCase {
  const char* name;
  std::vector<std::string> args;  // after the program's name
  bool accepted;
  std::string server;
  bool usage;
};

void PrintTo(const ArgumentsCase& c, std::ostream* os) {
  *os << c.name;
}

class ArgumentsTest : public ::testing::TestWithParam<ArgumentsCase> {};

TEST_P(ArgumentsTest, TakesTheServerName) {
  const ArgumentsCase& c = GetParam();
  std::vector<std::string> storage = {"vexmor"};
  storage.insert(storage.end(), c.args.begin(), c.args.end());
  std::vector<char*> argv;
  for (std::string& arg : storage)
    argv.push_back(arg.data());
  argv.push_back(nullptr);

  char server[kServerNameSize] = "";
  testing::internal::CaptureStdout();
  bool accepted = ParseArguments(static_cast<int>(storage.size()), argv.data(), server);
  std::string out = testing::internal::GetCapturedStdout();

  EXPECT_EQ(accepted, c.accepted);
  EXPECT_EQ(std::string(server), c.server);
  EXPECT_EQ(out.find("USAGE: vexmor <ServerName> [/o:OutputFile]") != std::string::npos, c.usage)
      << out;
}

const ArgumentsCase kArgumentsCases[] = {
    {"NoArguments", {}, false, "", true},
    {"ServerName", {"Srv"}, true, "Srv", false},
    {"DashQuestionMark", {"-?"}, false, "", true},
    {"SlashQuestionMark", {"/?"}, false, "", true},
    {"HelpAfterServerName", {"Srv", "/?"}, false, "Srv", true},
    {"HelpStopsBeforeLaterNames", {"/?", "Srv"}, false, "", true},
    {"TwoNamesTakeTheSecond", {"First", "Second"}, true, "Second", false},
    {"EmptyArgumentIsAName", {"Srv", ""}, true, "", false},
    {"LaterNameReplacesEmpty", {"", "Srv"}, true, "Srv", false},
    {"UnknownOptionIgnored", {"/x", "Srv", "-z"}, true, "Srv", false},
    {"LoneDashOrSlashIgnored", {"-", "Srv", "/"}, true, "Srv", false},
    {"OptionsOnly", {"/q"}, true, "", false},
    {"TranscriptWithoutFileIsNoName", {"/o", "Srv", "-O:"}, true, "Srv", false},
    {"QuestionMarkNotSecondIsIgnored", {"/x?", "Srv"}, true, "Srv", false},
    {"NameWithBlanks", {"my server"}, true, "my server", false},
    {"LongestName", {std::string(127, 'n')}, true, std::string(127, 'n'), false},
    {"NameTooLongIsRefused", {std::string(128, 'n')}, false, "", false},
    {"ReplacedNameTooLongIsRefused", {std::string(200, 'n'), "Srv"}, false, "", false},
};

INSTANTIATE_TEST_SUITE_P(Cases, ArgumentsTest, ::testing::ValuesIn(kArgumentsCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
