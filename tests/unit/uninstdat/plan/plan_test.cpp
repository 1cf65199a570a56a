// The plan of the worked example: every path in the run's order on each
// family, as the text for people shows it.
#include "tools/uninstdat/plan/plan.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/unit/uninstdat/test_files.h"
#include "tools/uninstdat/plan/plan_render.h"

namespace uninstdat {
namespace {

TEST(PlanTest, WorkedExamplePaths) {
  std::string bytes = Bytes(Example());
  TargetCodePage page(1252);
  Target nt{DefaultMachine(uninst::kOsNt), "C:\\Apps\\Widget"};
  nt.machine.windowsDir = "C:\\WINNT";
  nt.machine.systemDir = "C:\\WINNT\\System32";
  nt.machine.tempDir = "C:\\TEMP\\";
  nt.machine.shellFolders[0x14] = "C:\\WINNT\\Fonts";
  Target w95{DefaultMachine(uninst::kOsWin95), "C:\\Apps\\Widget"};
  w95.machine.tempDir = "C:\\TEMP\\";
  struct Row { const char* name; const Target& target; std::vector<std::string> paths; };
  const Row rows[] = {
      {"NT", nt, {"C:\\Apps\\Widget\\widget.exe", "C:\\Apps\\Widget\\help\\widget.hlp",
                  "C:\\WINNT\\System32\\wdgt.dll", "C:\\WINNT\\wdgt.ini", "C:\\Apps\\Widget\\",
                  "C:\\TEMP\\wdgt.tmp", "D:\\Shared\\widget.ini", "C:\\WINNT\\Fonts\\wdgt.ttf",
                  "C:\\Apps\\Widget\\x.txt"}},
      {"Windows 95", w95, {"C:\\Apps\\Widget\\widget.exe", "C:\\Apps\\Widget\\help\\widget.hlp",
                           "C:\\WINDOWS\\System\\wdgt.dll", "C:\\WINDOWS\\wdgt95.ini",
                           "C:\\WINDOWS\\legacy.ini", "C:\\TEMP\\wdgt.tmp", "D:\\Shared\\widget.ini",
                           "C:\\WINDOWS\\Fonts\\wdgt.ttf", "C:\\Apps\\Widget\\x.txt"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string plan;
    PlanText text;
    bool folderRemoved = false;
    PlanRecords(bytes, page, row.target, 0, [&](const PlanRecord& record) {
      plan += text(record);
      if (auto* end = std::get_if<PlanEnd>(&record)) folderRemoved = end->folderRemoved;
    });
    EXPECT_TRUE(folderRemoved);
    size_t from = plan.find("\n5. "), to = plan.find("\n6. ");
    std::istringstream section(plan.substr(from, to - from));
    std::vector<std::string> paths;
    std::string line;
    std::getline(section, line);
    std::getline(section, line);
    while (std::getline(section, line))
      if (line.find("dropped:") == std::string::npos) paths.push_back(line.substr(5, line.find("   (") - 5));
    EXPECT_EQ(paths, row.paths);
  }
}

}  // namespace
}  // namespace uninstdat
