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

// Beyond the cap, the records of one kind and reason are counted, never
// left out unsaid: the first `max` are given, then one PlanOmitted with the
// count of the rest.
TEST(PlanTest, CapCountsWhatItLeavesOut) {
  std::string bytes = File(std::string(4, '\0'), {"a.exe|b.exe|c.exe|d.txt|<Win>|"});
  TargetCodePage page(1252);
  Target nt{DefaultMachine(uninst::kOsNt), "C:\\Apps\\Widget"};
  const struct {
    size_t max;
    std::vector<std::string> records;
  } rows[] = {
      {2,
       {"program C:\\Apps\\Widget\\a.exe", "program C:\\Apps\\Widget\\b.exe", "omitted program program 1",
        "entry 0 listed", "entry 1 listed", "entry 4 macro-without-backslash", "omitted entry listed 2"}},
      {3,
       {"program C:\\Apps\\Widget\\a.exe", "program C:\\Apps\\Widget\\b.exe", "program C:\\Apps\\Widget\\c.exe",
        "entry 0 listed", "entry 1 listed", "entry 2 listed", "entry 4 macro-without-backslash",
        "omitted entry listed 1"}},
      {0,
       {"program C:\\Apps\\Widget\\a.exe", "program C:\\Apps\\Widget\\b.exe", "program C:\\Apps\\Widget\\c.exe",
        "entry 0 listed", "entry 1 listed", "entry 2 listed", "entry 3 listed", "entry 4 macro-without-backslash"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.max);
    std::vector<std::string> records;
    PlanRecords(bytes, page, nt, row.max, [&](const PlanRecord& record) {
      if (auto* p = std::get_if<PlanProgram>(&record)) records.push_back("program " + p->path);
      if (auto* e = std::get_if<PlanEntry>(&record))
        records.push_back("entry " + std::to_string(e->entry) + " " + (e->reason != EntryReason::kNone ? EntryReasonName(e->reason) : "listed"));
      if (auto* o = std::get_if<PlanOmitted>(&record))
        records.push_back(std::string("omitted ") + o->of + " " + o->reason + " " + std::to_string(o->count));
    });
    EXPECT_EQ(records, row.records);
  }
}

}  // namespace
}  // namespace uninstdat
