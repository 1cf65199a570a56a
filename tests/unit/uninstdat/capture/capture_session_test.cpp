// What capture checks before any Wine work, and the scan command it prints.
#include "tools/uninstdat/capture/capture_session.h"

#include <gtest/gtest.h>

namespace uninstdat {
namespace {

TEST(CaptureSessionTest, ArgumentsThatNoCommandLineCarries) {
  EXPECT_EQ(ArgumentsProblem("/S /D=C:\\Acme"), "");
  EXPECT_EQ(ArgumentsProblem(""), "");
  EXPECT_NE(ArgumentsProblem("/S\n/D"), "");
  EXPECT_NE(ArgumentsProblem("/S\r"), "");
  EXPECT_NE(ArgumentsProblem(std::string("/S\0", 3)), "");
  EXPECT_NE(ArgumentsProblem("caf\xE9"), "");
}

TEST(CaptureSessionTest, TheScanCommandQuotesWhatTheShellWouldSplit) {
  EXPECT_EQ(ShellWord("stage"), "stage");
  EXPECT_EQ(ShellWord("/tmp/a-b_c.d"), "/tmp/a-b_c.d");
  EXPECT_EQ(ShellWord("my stage"), "'my stage'");
  EXPECT_EQ(ShellWord("it's"), "'it'\\''s'");
  EXPECT_EQ(ShellWord("$USER"), "'$USER'");
  EXPECT_EQ(ShellWord(""), "''");
}

// The options of a capture: the installer, the stage, then what the row sets.
CaptureOptions Options(const std::string& installer, const std::string& stage, const std::string& arguments = "",
                       const std::string& installFolder = "") {
  CaptureOptions options;
  options.installer = installer;
  options.stage = stage;
  options.arguments = arguments;
  options.installFolder = installFolder;
  return options;
}

TEST(CaptureSessionTest, RefusesBeforeAnyWineWork) {
  const std::string tmp = ::testing::TempDir();
  const struct {
    const char* name;
    CaptureOptions options;
    Exit failure;
    const char* said;
  } rows[] = {
      {"an install folder on D:", Options("/bin/true", tmp + "/capture-a", "", "D:\\Acme"), Exit::kUsage,
       "absolute folder on C:"},
      {"arguments with a line end", Options("/bin/true", tmp + "/capture-b", "/S\n"), Exit::kUsage, "line end"},
      {"a stage that is a file", Options("/bin/true", "/bin/true"), Exit::kCannotWrite, "is no folder"},
      {"a stage with something in it", Options("/bin/true", "/usr"), Exit::kCannotWrite, "is not empty"},
      {"no installer", Options("/nonexistent/setup.exe", tmp + "/capture-c"), Exit::kBadInput,
       "no file that can be read"},
      {"no Windows program", Options("/bin/true", tmp + "/capture-d"), Exit::kBadInput,
       "neither a Windows program nor an MSI package"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    CaptureOutcome outcome = RunCapture(row.options, [](const std::string&) {});
    ASSERT_FALSE(outcome.result);
    EXPECT_EQ(outcome.result.failure().code, row.failure);
    const std::string& message = outcome.result.failure().message;
    EXPECT_NE(message.find(row.said), std::string::npos) << message;
    EXPECT_FALSE(outcome.reported);
  }
}

}  // namespace
}  // namespace uninstdat
