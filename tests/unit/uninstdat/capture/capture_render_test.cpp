// capture's report as JSON records and text: the fields a CI job reads and
// the lines an author reads, from one report.
#include "tools/uninstdat/capture/capture_render.h"

#include <gtest/gtest.h>

namespace uninstdat {
namespace {

CaptureReport Report() {
  CaptureReport report;
  report.installer = {InstallerKind::kNsis, 32};
  report.installerName = "setup.exe";
  report.commandLine = "\"Z:\\setup.exe\" /S";
  report.family = "nt";
  report.installerExit = 0;
  CaptureRecord file;
  file.path = "C:\\Program Files (x86)\\Acme\\a.exe";
  file.stage = "files/C/Program Files/Acme/a.exe";
  CaptureRecord value;
  value.item = CaptureRecord::kValue;
  value.path = "HKEY_LOCAL_MACHINE\\Software\\Acme";
  value.value = "";
  value.type = "string";
  value.stage = "registry.reg";
  CaptureRecord ini;
  ini.record = CaptureRecord::kLeftOut;
  ini.path = "C:\\windows\\win.ini";
  ini.reason = "changed";
  ini.why = "the installer changed what was there";
  ini.old = "sha256:1";
  ini.now = "sha256:2";
  ini.linesAdded = {"[Acme]"};
  CaptureRecord note;
  note.record = CaptureRecord::kNote;
  note.path = "C:\\Program Files (x86)\\Acme\\uninst.exe";
  note.reason = "uninstaller";
  note.why = "the uninstaller itself";
  report.records = {file, value, ini, note};
  report.captured = 2;
  report.leftOut = 1;
  report.notes = 1;
  report.installFolder.how = InstallFolderChoice::kUninstaller;
  report.installFolder.folder = "C:\\Program Files\\Acme";
  report.allUsers = true;
  report.stage = "stage";
  report.scanCommand = "uninstdat scan stage -o manifest.json";
  return report;
}

std::vector<Json> Records(const std::string& lines) {
  std::vector<Json> records;
  size_t from = 0;
  for (size_t end; (end = lines.find('\n', from)) != std::string::npos; from = end + 1)
    records.push_back(Json::parse(lines.substr(from, end - from)));
  return records;
}

TEST(CaptureRenderTest, JsonOneRecordPerItemThenTheSummary) {
  std::vector<Json> records = Records(CaptureReportJsonLines(Report(), 1));
  ASSERT_EQ(records.size(), 8u);
  EXPECT_EQ(records[0]["record"], "installer");
  EXPECT_EQ(records[0]["bits"], 32);
  EXPECT_EQ(records[1], Json::parse(R"({"record":"captured","kind":"file","path":"C:\\Program Files (x86)\\Acme\\a.exe","stage":"files/C/Program Files/Acme/a.exe"})"));
  EXPECT_EQ(records[2]["key"], "HKEY_LOCAL_MACHINE\\Software\\Acme");
  EXPECT_EQ(records[2]["value"], "");  // the default value
  EXPECT_EQ(records[2]["type"], "string");
  EXPECT_EQ(records[3]["record"], "left-out");
  EXPECT_EQ(records[3]["reason"], "changed");
  EXPECT_EQ(records[3]["old"], "sha256:1");
  EXPECT_EQ(records[3]["linesAdded"], Json::array({"[Acme]"}));
  EXPECT_EQ(records[4]["record"], "note");
  EXPECT_EQ(records[5]["record"], "install-folder");
  EXPECT_EQ(records[5]["how"], "uninstaller");
  EXPECT_EQ(records[6]["record"], "shortcuts");
  EXPECT_EQ(records[6]["allUsers"], true);
  EXPECT_EQ(records[7]["record"], "summary");
  EXPECT_EQ(records[7]["captured"], 2);
  EXPECT_EQ(records[7]["leftOut"], 1);
  EXPECT_EQ(records[7]["notes"], 1);
  EXPECT_EQ(records[7]["stage"], "stage");
  EXPECT_EQ(records[7]["exit"], 1);
}

TEST(CaptureRenderTest, JsonOfAnInstallerThatWaited) {
  CaptureReport report = Report();
  report.timedOut = true;
  report.windows = {"Acme Setup | Welcome"};
  report.silentSwitch = "/S";
  report.outlived = {"acme.exe (process 40)"};
  report.cap = "bytes";
  report.capCount = 9;
  report.capLimit = 8;
  report.fatal = {"the control run did not end"};
  report.stage.clear();
  report.restartAsked = true;
  report.scheduled = {"x"};
  std::string text;
  for (const Json& record : Records(CaptureReportJsonLines(report, 3))) text += record["record"].get<std::string>() + " ";
  EXPECT_EQ(text, "installer captured captured left-out note install-folder shortcuts restart timeout outlived cap error summary ");
  std::vector<Json> records = Records(CaptureReportJsonLines(report, 3));
  EXPECT_EQ(records[8]["silentSwitch"], "/S");
  EXPECT_EQ(records[8]["windows"], Json::array({"Acme Setup | Welcome"}));
  EXPECT_TRUE(records.back()["stage"].is_null());
}

TEST(CaptureRenderTest, TextNamesEachItemAndWhatToDoNext) {
  std::string text = CaptureReportText(Report(), 1);
  for (const char* line : {
           "Installer: setup.exe, an NSIS installer (32-bit), run as \"Z:\\setup.exe\" /S on the Windows NT family; it ended with exit code 0\n",
           "Captured (2):\n",
           "  file    C:\\Program Files (x86)\\Acme\\a.exe -> files/C/Program Files/Acme/a.exe\n",
           "  value   HKEY_LOCAL_MACHINE\\Software\\Acme @ (string)\n",
           "Left out, to read (1):\n",
           "  file    C:\\windows\\win.ini: changed: the installer changed what was there; lines added: \"[Acme]\"\n",
           "Left out, as they must be (1):\n",
           "Install folder: C:\\Program Files\\Acme (the folder of the installer's uninst.exe)\n",
           "Shortcuts: all users' (allUsers true)\n",
           "Stage: stage\nNext: uninstdat scan stage -o manifest.json\n",
           "Result: 2 captured, 1 left out to read, 1 left out as they must be; exit 1\n",
       })
    EXPECT_NE(text.find(line), std::string::npos) << line << "\nin:\n" << text;
  CaptureReport waited = Report();
  waited.timedOut = true;
  waited.silentSwitch = "/S";
  waited.windows = {"Acme Setup | Welcome"};
  waited.stage.clear();
  text = CaptureReportText(waited, 1);
  EXPECT_NE(text.find("its open windows: \"Acme Setup | Welcome\""), std::string::npos) << text;
  EXPECT_NE(text.find("NSIS's usual silent switch: --args '/S'"), std::string::npos) << text;
  EXPECT_NE(text.find("No stage was written: the installer did not finish"), std::string::npos) << text;
}

}  // namespace
}  // namespace uninstdat
