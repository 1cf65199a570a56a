// Files and folders as the stage, try and capture reach them: kinds with and
// without following a link, listings, copies that replace only when told,
// and trees removed even where a folder was made read-only.
#include "tools/uninstdat/system/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace uninstdat {
namespace {

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // One folder per test and process: ctest runs the tests side by side.
    root_ = ::testing::TempDir() + "/uninstdat-files-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" + std::to_string(getpid());
    static_cast<void>(RemoveTree(root_));
    ASSERT_TRUE(MakeFolders(root_ + "/a/b"));
    ASSERT_TRUE(WriteWholeFile(root_ + "/a/f.txt", "four"));
    ASSERT_TRUE(MakeLink("a", root_ + "/link"));
    ASSERT_EQ(mkfifo((root_ + "/fifo").c_str(), 0600), 0);
  }
  void TearDown() override { static_cast<void>(RemoveTree(root_)); }
  std::string root_;
};

TEST_F(FilesTest, KindsWithAndWithoutFollowingALink) {
  const struct {
    const char* path;
    FileKind entry, behind;
  } rows[] = {
      {"a", FileKind::kFolder, FileKind::kFolder},
      {"a/f.txt", FileKind::kFile, FileKind::kFile},
      {"link", FileKind::kLink, FileKind::kFolder},
      {"fifo", FileKind::kFifo, FileKind::kFifo},
      {"nothing", FileKind::kNone, FileKind::kNone},
      {"a/f.txt/below", FileKind::kNone, FileKind::kNone},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(EntryKindAt(root_ + "/" + row.path), row.entry);
    EXPECT_EQ(KindAt(root_ + "/" + row.path), row.behind);
  }
  auto target = ReadLink(root_ + "/link");
  ASSERT_TRUE(target);
  EXPECT_EQ(*target, "a");
  EXPECT_FALSE(ReadLink(root_ + "/a"));
}

TEST_F(FilesTest, ListsAFolderAndATreeWithoutFollowingLinks) {
  auto entries = ListFolder(root_);
  ASSERT_TRUE(entries) << entries.failure().message;
  std::vector<std::string> names;
  for (const FolderEntry& entry : *entries) names.push_back(entry.name + ":" + std::to_string(int(entry.kind)));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a:" + std::to_string(int(FileKind::kFolder)),
                                             "fifo:" + std::to_string(int(FileKind::kFifo)),
                                             "link:" + std::to_string(int(FileKind::kLink))}));
  auto tree = ListTree(root_);
  ASSERT_TRUE(tree) << tree.failure().message;
  std::vector<std::string> paths;
  for (const FolderEntry& entry : *tree) paths.push_back(entry.name);
  EXPECT_EQ(paths.size(), 5u);  // a, a/b, a/f.txt, fifo, link: nothing through the link
  for (const char* path : {"a/b", "a/f.txt"}) {
    auto at = std::find(paths.begin(), paths.end(), path);
    ASSERT_NE(at, paths.end()) << path;
    EXPECT_LT(std::find(paths.begin(), paths.end(), "a"), at) << "a folder comes before what it holds";
  }
  auto missing = ListFolder(root_ + "/nothing");
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.failure().code, Exit::kBadInput);
}

TEST_F(FilesTest, CopiesReplaceOnlyWhenTold) {
  std::string from = root_ + "/a/f.txt", to = root_ + "/a/g.txt";
  ASSERT_TRUE(CopyFile(from, to, false));
  EXPECT_EQ(ReadOrEmpty(to), "four");
  ASSERT_TRUE(WriteWholeFile(from, "five!"));
  auto refused = CopyFile(from, to, false);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.failure().code, Exit::kCannotWrite);
  EXPECT_EQ(ReadOrEmpty(to), "four");
  ASSERT_TRUE(CopyFile(from, to, true));
  EXPECT_EQ(ReadOrEmpty(to), "five!");
  auto size = FileSize(to);
  ASSERT_TRUE(size);
  EXPECT_EQ(*size, 5u);
  EXPECT_FALSE(FileSize(root_ + "/nothing"));
  EXPECT_EQ(ReadOrEmpty(root_ + "/nothing"), "");
  EXPECT_TRUE(MakeFolders(root_ + "/a/b"));  // there already: no failure
  EXPECT_FALSE(MakeFolders(root_ + "/a/f.txt/c"));
}

TEST_F(FilesTest, RemovesATreeWithReadOnlyFolders) {
  ASSERT_TRUE(WriteWholeFile(root_ + "/a/b/inner.txt", "x"));
  ASSERT_TRUE(SetPermissions(root_ + "/a/b", 0555));
  ASSERT_TRUE(SetPermissions(root_ + "/a", 0555));
  {
    RemovedAtEnd kept(root_ + "/a", true);
  }
  EXPECT_EQ(KindAt(root_ + "/a/b/inner.txt"), FileKind::kFile);
  {
    RemovedAtEnd removed(root_ + "/a", false);
  }
  EXPECT_EQ(EntryKindAt(root_ + "/a"), FileKind::kNone);
  EXPECT_EQ(EntryKindAt(root_ + "/link"), FileKind::kLink);  // beside it, untouched
  EXPECT_TRUE(Remove(root_ + "/link"));
  EXPECT_TRUE(Remove(root_ + "/link"));  // nothing there: no failure
}

TEST(FilesPathTest, NamesAndParents) {
  EXPECT_EQ(FileNameOf("/w/setup.exe"), "setup.exe");
  EXPECT_EQ(FileNameOf("setup.exe"), "setup.exe");
  EXPECT_EQ(ParentOf("/w/setup.exe"), "/w");
  EXPECT_EQ(ParentOf("/w/stage/"), "/w/stage");
  auto absolute = AbsolutePath("stage");
  ASSERT_TRUE(absolute);
  EXPECT_EQ(absolute->front(), '/');
  EXPECT_EQ(FileNameOf(*absolute), "stage");
}

}  // namespace
}  // namespace uninstdat
