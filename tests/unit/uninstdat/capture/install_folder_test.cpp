// The install folder chosen from what an installer added: the wrong one
// makes scan list the product's own folder as entries, or try lay the
// uninstaller beside another product's files.
#include "tools/uninstdat/capture/install_folder.h"

#include <gtest/gtest.h>

namespace uninstdat {
namespace {

TEST(InstallFolderTest, Chooses) {
  const std::string pf = "C:\\Program Files";
  const struct {
    const char* name;
    std::string given;
    std::vector<std::string> uninstallers, files, folders;
    InstallFolderChoice::How how;
    std::string folder;
    std::vector<std::string> candidates;
  } rows[] = {
      {"given wins", "C:\\Apps\\Acme", {pf + "\\Acme\\uninst.exe"}, {pf + "\\Acme\\a.exe"}, {pf + "\\Acme"},
       InstallFolderChoice::kGiven, "C:\\Apps\\Acme", {}},
      {"the uninstaller's folder", "", {pf + "\\Acme\\Notes\\bin\\uninst.exe"}, {pf + "\\Acme\\Notes\\a.exe"},
       {pf + "\\Acme", pf + "\\Acme\\Notes"}, InstallFolderChoice::kUninstaller, pf + "\\Acme\\Notes\\bin", {}},
      {"the uninstaller outside Program Files", "", {"C:\\Acme\\uninst.exe"}, {pf + "\\Acme\\a.exe"}, {pf + "\\Acme"},
       InstallFolderChoice::kUninstaller, "C:\\Acme", {}},
      {"two uninstallers", "", {pf + "\\A\\uninst.exe", pf + "\\B\\uninst.exe"}, {}, {},
       InstallFolderChoice::kSeveral, "", {pf + "\\A", pf + "\\B"}},
      {"two uninstallers in one folder, any case", "", {pf + "\\A\\uninst.exe", pf + "\\a\\UNINST.EXE"}, {}, {},
       InstallFolderChoice::kUninstaller, pf + "\\A", {}},
      {"the product's folder", "", {}, {pf + "\\Acme Notes\\notes.exe", pf + "\\Acme Notes\\help\\a.hlp"},
       {pf + "\\Acme Notes", pf + "\\Acme Notes\\help"}, InstallFolderChoice::kProgramFiles, pf + "\\Acme Notes", {}},
      {"below a vendor folder with no files of its own", "", {}, {pf + "\\Acme\\Notes\\notes.exe", pf + "\\Acme\\Notes\\x\\y.dat"},
       {pf + "\\Acme", pf + "\\Acme\\Notes", pf + "\\Acme\\Notes\\x"}, InstallFolderChoice::kProgramFiles, pf + "\\Acme\\Notes", {}},
      {"the deepest that holds them all", "", {}, {pf + "\\Acme\\a.txt", pf + "\\Acme\\Notes\\b.txt"},
       {pf + "\\Acme", pf + "\\Acme\\Notes"}, InstallFolderChoice::kProgramFiles, pf + "\\Acme", {}},
      {"two products", "", {}, {pf + "\\Acme Notes\\a.exe", pf + "\\Acme Tools\\b.exe"},
       {pf + "\\Acme Notes", pf + "\\Acme Tools"}, InstallFolderChoice::kSeveral, "", {pf + "\\Acme Notes", pf + "\\Acme Tools"}},
      {"a product and Common Files", "", {}, {pf + "\\Acme\\a.exe", pf + "\\Common Files\\Acme\\s.dll"},
       {pf + "\\Acme", pf + "\\Common Files\\Acme"}, InstallFolderChoice::kSeveral, "",
       {pf + "\\Acme", pf + "\\Common Files\\Acme"}},
      {"files in no added folder", "", {}, {pf + "\\stray.txt"}, {}, InstallFolderChoice::kNone, "", {}},
      {"a folder that was there before", "", {}, {pf + "\\Common Files\\s.dll"}, {}, InstallFolderChoice::kNone, "", {}},
      {"one product and a stray file", "", {}, {pf + "\\Acme\\a.exe", pf + "\\stray.txt"}, {pf + "\\Acme"},
       InstallFolderChoice::kNone, "", {}},
      {"nothing below Program Files", "", {}, {"C:\\Windows\\acme.ini"}, {}, InstallFolderChoice::kNone, "", {}},
      {"any case", "", {}, {"C:\\PROGRAM FILES\\Acme\\a.exe"}, {pf + "\\Acme"}, InstallFolderChoice::kProgramFiles, pf + "\\Acme", {}},
      {"a name only beginning like Program Files", "", {}, {"C:\\Program Filesx\\Acme\\a.exe"}, {"C:\\Program Filesx\\Acme"},
       InstallFolderChoice::kNone, "", {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    InstallFolderChoice choice = ChooseInstallFolder(row.given, row.uninstallers, row.files, row.folders);
    EXPECT_EQ(choice.how, row.how);
    EXPECT_EQ(choice.folder, row.folder);
    EXPECT_EQ(choice.candidates, row.candidates);
  }
}

}  // namespace
}  // namespace uninstdat
