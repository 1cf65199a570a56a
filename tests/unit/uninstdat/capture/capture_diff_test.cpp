// The installer's changes told from Wine's own: before, after and the
// control run compared item by item, contents by hash and values by type
// and data.
#include "tools/uninstdat/capture/capture_diff.h"

#include <gtest/gtest.h>

namespace uninstdat {
namespace {

// A file's state in one snapshot: "" absent, "f" untouched file, "f:HASH"
// a file touched with those contents, "d" folder, "l:TARGET" link.
void Put(CaptureSnapshot* snapshot, const Location& where, const std::string& state) {
  if (state.empty()) return;
  FileRecord record;
  record.type = state[0];
  if (record.type == 'l') record.target = state.substr(2);
  snapshot->files[where] = record;
  if (record.type == 'f' && state.size() > 2) snapshot->hashes[where] = state.substr(2);
}

TEST(CaptureDiffTest, FilesChangedByTheInstallerNotByWine) {
  const struct {
    const char* name;
    const char* before;
    const char* after;
    const char* control;
    bool installers;
  } rows[] = {
      {"added", "", "f:1", "", true},
      {"added folder", "", "d", "", true},
      {"added by Wine too, even with other contents (a log)", "", "f:1", "f:2", false},
      {"deleted", "f", "", "f", true},
      {"deleted by Wine too", "f", "", "", false},
      {"changed", "f:1", "f:2", "f", true},
      {"rewritten with the same contents: no change", "f:1", "f:1", "f", false},
      {"untouched", "f", "f", "f", false},
      {"changed by Wine too, in its own way (a time stamp)", "f:1", "f:2", "f:3", false},
      {"changed by the installer, deleted by Wine", "f:1", "f:2", "", true},
      {"deleted by the installer, changed by Wine", "f:1", "", "f:3", true},
      {"a file replaced by a folder", "f:1", "d", "f", true},
      {"a link's target changed", "l:/a", "l:/b", "l:/a", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    CaptureSnapshot before, after, control;
    Location where{"C", "windows/win.ini"};
    Put(&before, where, row.before);
    Put(&after, where, row.after);
    Put(&control, where, row.control);
    // Touched files have a hash before as well (capture.sh hashes them there).
    CaptureChanges changes = CompareCapture(before, after, control);
    ASSERT_EQ(changes.files.size(), row.installers ? 1u : 0u);
    if (!row.installers) continue;
    EXPECT_EQ(changes.files[0].where, where);
    EXPECT_EQ(changes.files[0].before.type, row.before[0]);
    EXPECT_EQ(changes.files[0].after.type, row.after[0]);
  }
}

TEST(CaptureDiffTest, KeysAndValuesByTypeAndData) {
  RegistryValue one{kRegDword, std::string("\x01\0\0\0", 4)}, two{kRegDword, std::string("\x02\0\0\0", 4)},
      text{kRegString, std::string("\x01\0\0\0", 4)}, three{kRegDword, std::string("\x03\0\0\0", 4)};
  const struct {
    const char* name;
    const RegistryValue* before;  // null: absent
    const RegistryValue* after;
    const RegistryValue* control;
    bool installers;
  } rows[] = {
      {"added", nullptr, &one, nullptr, true},
      {"added by Wine too", nullptr, &one, &two, false},
      {"changed data", &one, &two, &one, true},
      {"changed type, same bytes", &one, &text, &one, true},
      {"unchanged", &one, &one, &one, false},
      {"a time stamp Wine rewrites", &one, &two, &three, false},
      {"deleted", &one, nullptr, &one, true},
      {"deleted by Wine too", &one, nullptr, nullptr, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    CaptureSnapshot before, after, control;
    const std::string key = "HKEY_LOCAL_MACHINE\\Software\\Acme";
    for (auto [snapshot, value] : {std::pair{&before, row.before}, {&after, row.after}, {&control, row.control}}) {
      snapshot->registry[key];
      if (value) snapshot->registry[key].values["v"] = *value;
    }
    CaptureChanges changes = CompareCapture(before, after, control);
    EXPECT_TRUE(changes.keys.empty());
    ASSERT_EQ(changes.values.size(), row.installers ? 1u : 0u);
    if (!row.installers) continue;
    EXPECT_EQ(changes.values[0].before, row.before != nullptr);
    EXPECT_EQ(changes.values[0].after, row.after != nullptr);
    if (row.after) {
      EXPECT_EQ(changes.values[0].now, *row.after);
    }
    if (row.before) {
      EXPECT_EQ(changes.values[0].old, *row.before);
    }
  }
}

TEST(CaptureDiffTest, KeysAddedAndDeletedAndLinksIgnored) {
  CaptureSnapshot before, after, control;
  for (CaptureSnapshot* s : {&before, &after, &control}) {
    s->registry["HKEY_LOCAL_MACHINE\\Software"];
    s->registry["HKEY_LOCAL_MACHINE\\Software\\Old"];
    s->registry["HKEY_LOCAL_MACHINE\\Software\\Link"].link = true;
  }
  after.registry["HKEY_LOCAL_MACHINE\\Software\\Acme"];
  after.registry["HKEY_LOCAL_MACHINE\\Software\\Acme\\Notes"].values[""] = {kRegString, std::string(2, '\0')};
  after.registry.erase("HKEY_LOCAL_MACHINE\\Software\\Old");
  after.registry["HKEY_LOCAL_MACHINE\\Software\\WineToo"];
  control.registry["HKEY_LOCAL_MACHINE\\Software\\WineToo"];
  after.registry.erase("HKEY_LOCAL_MACHINE\\Software\\Link");  // a link Wine made again is no item
  CaptureChanges changes = CompareCapture(before, after, control);
  ASSERT_EQ(changes.keys.size(), 3u);
  EXPECT_EQ(changes.keys[0].key, "HKEY_LOCAL_MACHINE\\Software\\Acme");  // parents first
  EXPECT_TRUE(changes.keys[0].added);
  EXPECT_EQ(changes.keys[1].key, "HKEY_LOCAL_MACHINE\\Software\\Acme\\Notes");
  EXPECT_EQ(changes.keys[2].key, "HKEY_LOCAL_MACHINE\\Software\\Old");
  EXPECT_FALSE(changes.keys[2].added);
  ASSERT_EQ(changes.values.size(), 1u);
  EXPECT_EQ(changes.values[0].name, "");  // the default value
}

TEST(CaptureDiffTest, Sha256SumsReadWhateverTheNames) {
  std::map<Location, std::string> hashes;
  std::string h(64, 'a');
  std::string bytes = h + "  Program Files (x86)/a\nb.txt" + '\0' + h + " *bin.dat" + '\0';
  ASSERT_TRUE(ReadSha256Sums(bytes, "C", &hashes));
  EXPECT_EQ(hashes.size(), 2u);
  EXPECT_EQ(hashes.at({"C", "Program Files (x86)/a\nb.txt"}), h);
  EXPECT_EQ(hashes.count({"C", "bin.dat"}), 1u);
  EXPECT_FALSE(ReadSha256Sums(bytes.substr(0, bytes.size() - 1), "C", &hashes));  // cut short
  EXPECT_FALSE(ReadSha256Sums(std::string(64, 'Z') + "  x" + '\0', "C", &hashes));  // no hash
  EXPECT_FALSE(ReadSha256Sums(h + "x" + '\0', "C", &hashes));
}

}  // namespace
}  // namespace uninstdat
