// The comparison of two data files: which items of OLD count as dropped on
// which family, as the uninstaller would remove them from each side.
#include "tools/uninstdat/diff/diff.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/unit/uninstdat/test_files.h"
#include "tools/uninstdat/diff/diff_render.h"
#include "tools/uninstdat/families.h"

namespace uninstdat {
namespace {

std::vector<Target> Targets() {
  std::vector<Target> targets;
  for (auto family : {uninst::kOsWin95, uninst::kOsWin98, uninst::kOsNt})
    targets.push_back({DefaultMachine(family), "C:\\Apps\\Widget"});
  return targets;
}

// "FAMILY KIND WHERE" of every dropped item on the three families, and
// "FAMILY narrowed WHERE" of every key narrowed (a note), sorted.
std::vector<std::string> Dropped(const std::string& oldBytes, const std::string& newBytes, int codePage = 1252) {
  TargetCodePage page(codePage);
  std::vector<std::string> dropped;
  for (const Target& target : Targets())
    DiffRecords(oldBytes, newBytes, page, target, 0, [&](const DiffRecord& record) {
      if (auto* d = std::get_if<DiffDropped>(&record))
        dropped.push_back(std::string(FamilyName(d->family)) + " " + DiffKindName(d->kind) + " " +
                          DiffJson(record)["where"].get<std::string>());
      if (auto* n = std::get_if<DiffNarrowed>(&record))
        dropped.push_back(std::string(FamilyName(n->family)) + " narrowed " + DiffJson(record)["where"].get<std::string>());
    });
  std::sort(dropped.begin(), dropped.end());
  return dropped;
}

std::vector<std::string> OnAll(const std::string& what) { return {"95 " + what, "98 " + what, "nt " + what}; }

TEST(DiffTest, WhatCountsAsDropped) {
  const Json kKey = {{"key", "HKEY_CURRENT_USER\\Software\\W"}};
  const Json kRunValue = {{"key", "HKEY_CURRENT_USER\\Software\\W\\Run"}, {"value", "Tray"}};
  struct Row {
    const char* name;
    Json oldManifest, newManifest;
    std::vector<std::string> dropped;
    int codePage = 1252;
  };
  const Row rows[] = {
      {"a file NEW no longer lists", {{"removalEntries", {"a.txt", "b.txt"}}}, {{"removalEntries", {"a.txt"}}},
       OnAll("path removalEntries[1]")},
      {"a case-only change is the same path",
       {{"removalEntries", {"Data\\A.TXT", "<Win>\\w.ini"}}},
       {{"removalEntries", {"data\\a.txt", "C:\\windows\\W.INI"}}},
       // <Win> is C:\WINDOWS on every default machine
       {}},
      {"\".\" and doubled backslashes resolve as Windows resolves them",
       {{"removalEntries", {"data\\.\\a.txt", "data\\\\b.txt", "x\\..\\c.txt"}}},
       {{"removalEntries", {"data\\a.txt", "data\\b.txt", "c.txt"}}},
       {}},
      {"a trail byte is never folded: ナ and オ differ only in one",
       {{"codePage", 932}, {"removalEntries", {"ナ.txt", "ソフトa.txt"}}},
       {{"codePage", 932}, {"removalEntries", {"オ.txt", "ソフトA.txt"}}},
       OnAll("path removalEntries[0]"), 932},
      {"an entry that removes nothing, or only the uninstaller's own folder, is never dropped",
       {{"removalEntries", {"", "."}}}, Json::object(), {}},
      {"a family-only drop through an alternate",
       {{"removalEntries", {{{"default", "<Win>\\w.ini"}, {"win95", "<Win>\\w95.ini"}}}}},
       {{"removalEntries", {"<Win>\\w.ini"}}},
       {"95 path removalEntries[0]"}},
      {"a value inside NEW's whole key is still removed", {{"registryList", {kRunValue}}},
       {{"registryList", {{{"key", "HKEY_CURRENT_USER\\SOFTWARE\\w"}}}}}, {}},
      {"a key below NEW's whole key is still removed, one beside it is dropped",
       {{"registryList", {{{"key", "HKEY_CURRENT_USER\\Software\\W\\Sub"}}, {{"key", "HKEY_CURRENT_USER\\Software\\W2"}}}}},
       // "W!" sorts between "W" and "W\Sub": the list must still find "W"
       {{"registryList", {kKey, {{"key", "HKEY_CURRENT_USER\\Software\\W!"}}}}},
       OnAll("key registryList[1]")},
      {"in a key too, a trail byte is never folded and never a backslash",
       {{"codePage", 932},
        {"registryList", {{{"key", "HKEY_CURRENT_USER\\Software\\ナ"}}, {{"key", "HKEY_CURRENT_USER\\Software\\ソフト"}}}}},
       {{"codePage", 932},
        {"registryList", {{{"key", "HKEY_CURRENT_USER\\Software\\オ"}}, {{"key", "HKEY_CURRENT_USER\\Software\\ソ"}}}}},
       {"95 key registryList[0]", "95 key registryList[1]", "98 key registryList[0]", "98 key registryList[1]",
        "nt key registryList[0]", "nt key registryList[1]"},
       932},
      {"a whole key is not kept by a value of NEW under it", {{"registryList", {kKey}}},
       {{"registryList", {{{"key", "HKEY_CURRENT_USER\\Software\\W"}, {"value", "x"}}}}}, OnAll("key registryList[0]")},
      {"values compare by key and name in any case, another name is dropped",
       {{"registryList", {kRunValue, {{"key", "HKEY_CURRENT_USER\\Software\\W\\Run"}, {"value", "Tray2"}}}}},
       {{"registryList", {{{"key", "HKEY_CURRENT_USER\\software\\w\\RUN"}, {"value", "TRAY"}}}}},
       OnAll("value registryList[1]")},
      {"another root is another key", {{"registryList", {kKey}}},
       {{"registryList", {{{"key", "HKEY_LOCAL_MACHINE\\Software\\W"}}}}}, OnAll("key registryList[0]")},
      {"a vendor's key narrowed to its product's key below it: a note, no drop",
       {{"registryList", {{{"key", "HKEY_CURRENT_USER\\Software\\Acme"}}}}},
       {{"registryList", {{{"key", "HKEY_CURRENT_USER\\Software\\Acme\\Notes"}}}}}, OnAll("narrowed registryList[0]")},
      {"the vendor's key in the 32-bit view narrowed in the other spelling of that view",
       {{"registryList", {{{"key", "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Acme"}}}}},
       {{"registryList", {{{"key", "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Acme\\Notes"}}}}},
       OnAll("narrowed registryList[0]")},
      {"a key a fresh machine has, narrowed to a product's key below it",
       {{"registryList", {{{"key", "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"}}}}},
       {{"registryList", {{{"key", "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme"}}}}},
       OnAll("narrowed registryList[0]")},
      {"a product's own key narrowed to a key below it is a drop: the rest was the product's",
       {{"registryList", {{{"key", "HKEY_CURRENT_USER\\Software\\Acme\\Notes"}}}}},
       {{"registryList", {{{"key", "HKEY_CURRENT_USER\\Software\\Acme\\Notes\\Recent"}}}}}, OnAll("key registryList[0]")},
      {"a vendor's key with nothing of NEW below it is a drop",
       {{"registryList", {{{"key", "HKEY_CURRENT_USER\\Software\\Acme"}}}}},
       {{"registryList", {{{"key", "HKEY_CURRENT_USER\\Software\\Acme Paint"}}}}}, OnAll("key registryList[0]")},
      {"a registry entry the uninstaller passes over is never dropped",
       {{"registryList", {"HKEY_CURRENT_USER\\Software\\W"}}}, Json::object(), {}},
      {"a shortcut moved to another list is dropped from its own",
       {{"desktopShortcuts", {"Widget"}}, {"startMenuShortcuts", {"Help"}}},
       {{"startMenuShortcuts", {"Widget", "HELP"}}}, OnAll("shortcut desktopShortcuts[0]")},
      {"a shortcut's file that NEW lists as a path is still removed",
       {{"desktopShortcuts", {"Widget"}}}, {{"removalEntries", {"C:\\Users\\User\\Desktop\\WIDGET.lnk"}}},
       {"95 shortcut desktopShortcuts[0]", "98 shortcut desktopShortcuts[0]"}},
      {"the all-users folders differ on the NT family only",
       {{"allUsers", false}, {"desktopShortcuts", {"Widget"}}},
       {{"allUsers", true}, {"desktopShortcuts", {"Widget"}}}, {"nt shortcut desktopShortcuts[0]"}},
      {"a renamed program group is dropped", {{"programGroup", "Widget"}}, {{"programGroup", "Widget 3"}},
       OnAll("group programGroup")},
      {"a group whose name only begins like NEW's is not in it", {{"programGroup", "Acme Tools"}},
       {{"programGroup", "Acme"}}, OnAll("group programGroup")},
      {"a group, shortcut or path inside NEW's group is still removed",
       {{"programGroup", "Acme\\Widget"},
        {"startupShortcuts", {"Tray"}},
        {"removalEntries", {"C:\\WINDOWS\\Start Menu\\Programs\\Acme\\Read me.lnk"}}},
       {{"programGroup", "ACME\\"}},
       // the Startup folder lies in Programs, not in Acme; the path is
       // that of Windows 95 and 98's Programs folder
       {"95 shortcut startupShortcuts[0]", "98 shortcut startupShortcuts[0]", "nt path removalEntries[0]",
        "nt shortcut startupShortcuts[0]"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Dropped(Bytes(row.oldManifest, row.codePage), Bytes(row.newManifest, row.codePage), row.codePage),
              row.dropped);
  }
}

// Of each kind the first N come as records, the others are counted in one
// record, and the counts hold them all.
TEST(DiffTest, CapPerKind) {
  Json old = {{"removalEntries", {"a", "b", "c", "d", "e"}}, {"desktopShortcuts", {"W"}}};
  TargetCodePage page(1252);
  std::vector<std::string> records;
  DiffCounts counts = DiffRecords(Bytes(old), Bytes(Json::object()), page, Targets()[2], 2,
                                  [&](const DiffRecord& r) { records.push_back(DiffJson(r).dump()); });
  EXPECT_EQ(counts.total(), 6u);
  EXPECT_EQ(counts.dropped[static_cast<size_t>(DiffKind::kPath)], 5u);
  ASSERT_EQ(records.size(), 5u);
  EXPECT_EQ(records[0], "null");  // the machine: each record names its family
  EXPECT_EQ(records[2],
            R"({"record":"dropped","family":"nt","kind":"path","where":"removalEntries[1]","entry":1,"text":"b","path":"C:\\Apps\\Widget\\b"})");
  EXPECT_EQ(records[3], R"({"record":"omitted","family":"nt","kind":"path","count":3})");
}

// A key narrowed is a note: the counts hold it, apart from the drops, as
// the summary shows it.
TEST(DiffTest, NarrowedKeysAreCountedApart) {
  Json old = {{"registryList", {{{"key", "HKEY_CURRENT_USER\\Software\\Acme"}}, {{"key", "HKEY_CURRENT_USER\\Software\\W"}}}}};
  Json now = {{"registryList", {{{"key", "HKEY_CURRENT_USER\\Software\\Acme\\Notes"}}}}};
  TargetCodePage page(1252);
  DiffCounts counts = DiffRecords(Bytes(old), Bytes(now), page, Targets()[2], 0, [](const DiffRecord&) {});
  EXPECT_EQ(counts.narrowed, 1u);
  EXPECT_EQ(counts.total(), 1u);
  EXPECT_EQ(counts.dropped[static_cast<size_t>(DiffKind::kKey)], 1u);
}

// The text groups by family and kind, and leaves out a family that drops
// nothing; when nothing is dropped it is empty.
TEST(DiffTest, TextForPeople) {
  Json old = {{"removalEntries", {{{"default", "a"}, {"win95", "b"}}, {{"default", "c"}, {"win95", "d"}}}},
              {"allUsers", false}, {"desktopShortcuts", {"W"}}};
  Json now = {{"removalEntries", {"a", "c"}}, {"allUsers", true}, {"desktopShortcuts", {"W"}}};
  TargetCodePage page(1252);
  DiffText text;
  std::string out;
  DiffCounts counts;
  for (const Target& target : Targets())
    counts += DiffRecords(Bytes(old), Bytes(now), page, target, 0, [&](const DiffRecord& r) { out += text(r); });
  out += text.Summary(counts);
  EXPECT_EQ(out.substr(0, out.find("3 removals dropped")),
            "Windows 95, the uninstaller in C:\\Apps\\Widget:\n"
            "  paths:\n"
            "    removalEntries[0] \"a;;;b\": C:\\Apps\\Widget\\b\n"
            "    removalEntries[1] \"c;;;d\": C:\\Apps\\Widget\\d\n"
            "NT family, the uninstaller in C:\\Apps\\Widget:\n"
            "  shortcuts:\n"
            "    desktopShortcuts[0] \"W\": C:\\Users\\User\\Desktop\\W.lnk\n");
  DiffText none;
  std::string alone = none(DiffMachine{uninst::kOsNt, "C:\\A"});
  EXPECT_EQ(alone + none.Summary(DiffCounts()), "");
}

}  // namespace
}  // namespace uninstdat
