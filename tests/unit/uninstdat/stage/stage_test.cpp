// A stage is data: what scan and try refuse in it, and the registry export
// made inert for a prefix.
#include "tools/uninstdat/stage/stage.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tools/uninstdat/codepage.h"

namespace uninstdat {
namespace {

namespace fs = std::filesystem;

class StageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // One folder per test and process: ctest runs the tests side by side.
    stage_ = ::testing::TempDir() + "/uninstdat-stage-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" + std::to_string(getpid());
    fs::remove_all(stage_);
    File("files/C/Program Files/Widget/widget.exe");
    File("shell/Desktop/Widget.lnk");
  }
  void TearDown() override { fs::remove_all(stage_); }
  std::string Path(const std::string& relative) { return stage_ + "/" + relative; }
  void File(const std::string& relative) {
    fs::create_directories(fs::path(Path(relative)).parent_path());
    std::ofstream(Path(relative)) << "x";
  }
  std::string stage_;
};

TEST_F(StageTest, RefusesWhatIsNoFileOrFolderAndNamesWindowsCannotCarry) {
  const struct {
    const char* name;
    std::string path;  // what the row makes
    const char* kind;  // link, fifo, socket, device, file, folder
    const char* said;  // in the error
  } rows[] = {
      {"link to a folder", "files/C/Program Files/Widget/data", "link", "files/C/Program Files/Widget/data is a symbolic link"},
      {"link in shell", "shell/Programs", "link", "shell/Programs is a symbolic link"},
      {"FIFO as registry.reg", "registry.reg", "fifo", "registry.reg is a FIFO"},
      {"socket", "files/C/sock", "socket", "files/C/sock is a socket"},
      {"device", "files/C/null", "device", "files/C/null is a device"},
      {"newline in a name", "files/C/a\nb.txt", "file", "holds a control character"},
      {"bar", "files/C/a|b.txt", "file", "holds \"|\""},
      {"semicolon", "shell/Desktop/a;b.lnk", "file", "holds \";\""},
      {"star", "files/C/a*.txt", "file", "holds \"*\" or \"?\""},
      {"question mark", "files/C/Windows/a?", "folder", "holds \"*\" or \"?\""},
      {"colon", "files/C/a:b", "file", "Windows refuses in a name"},
      {"backslash", "files/C/a\\b", "file", "Windows refuses in a name"},
      {"no UTF-8", "files/C/caf\xE9.txt", "file", "files/C/caf<xE9>.txt: the name is not UTF-8"},
      {"device name", "files/C/Widget/nul.txt", "file", "is a device name"},
      {"trailing dot", "files/C/Widget.", "folder", "ends in a blank or a dot"},
      {"one name ignoring case", "files/C/PROGRAM FILES", "folder", "are one name on Windows"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    SetUp();
    std::string kind = row.kind, path = Path(row.path);
    fs::create_directories(fs::path(path).parent_path());
    if (kind == "link") {
      fs::create_directory_symlink("/etc", path);
    } else if (kind == "fifo") {
      ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    } else if (kind == "socket") {
      int fd = socket(AF_UNIX, SOCK_STREAM, 0);
      sockaddr_un address = {};
      address.sun_family = AF_UNIX;
      ASSERT_LT(path.size(), sizeof address.sun_path);
      path.copy(address.sun_path, path.size());
      ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
      close(fd);
    } else if (kind == "device") {
      if (mknod(path.c_str(), S_IFCHR | 0600, makedev(1, 3)) != 0) continue;  // needs root
    } else if (kind == "folder") {
      fs::create_directories(path);
    } else {
      std::ofstream(path) << "x";
    }
    auto checked = CheckStage(stage_);
    ASSERT_FALSE(checked);
    EXPECT_EQ(checked.failure().code, Exit::kBadInput);
    EXPECT_NE(checked.failure().message.find(row.said), std::string::npos) << checked.failure().message;
  }
}

TEST_F(StageTest, AcceptsFilesAndFoldersAndRefusesAMissingStage) {
  auto checked = CheckStage(stage_);
  EXPECT_TRUE(checked) << checked.failure().message;
  checked = CheckStage(stage_ + "/nothing");
  ASSERT_FALSE(checked);
  EXPECT_NE(checked.failure().message.find("does not exist"), std::string::npos) << checked.failure().message;
  checked = CheckStage(Path("shell/Desktop/Widget.lnk"));
  ASSERT_FALSE(checked);
  EXPECT_NE(checked.failure().message.find("is no folder"), std::string::npos) << checked.failure().message;
}

// An export is refused when Wine's start-up would carry out what it sets,
// when it configures Wine, or when it deletes; values under Run and keys
// alone are data.
TEST(StageRegistryTest, RefusesWhatWineWouldCarryOut) {
  const struct {
    const char* name;
    const char* section;
    const char* line;
    const char* said;  // empty: accepted
  } rows[] = {
      {"RunOnce", "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", "\"x\"=\"cmd\"",
       "\"x\" under HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"},
      {"RunOnce of the user", "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\Setup", "@=\"cmd\"",
       "the default value under HKEY_CURRENT_USER"},
      {"RunOnceEx", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx\\0001", "\"1\"=\"a\"", "RunOnceEx"},
      {"RunServices", "HKLM\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunServices", "\"x\"=\"a\"",
       "whenever a prefix starts"},
      {"RunServicesOnce", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce", "\"x\"=\"a\"",
       "RunServicesOnce"},
      {"pending renames", "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager",
       "\"PendingFileRenameOperations\"=hex(7):00,00", "renames and deletes"},
      {"pending renames, second list", "HKLM\\SYSTEM\\ControlSet001\\Control\\Session Manager",
       "\"PendingFileRenameOperations2\"=hex(7):00,00", "Session Manager"},
      {"a service", "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\WidgetSvc", "\"Start\"=dword:00000002",
       "starts the services"},
      {"Wine's DLL overrides", "HKCU\\Software\\Wine\\DllOverrides", "\"user32\"=\"native\"", "Wine's own configuration"},
      {"Wine's drives", "HKLM\\Software\\Wine\\Drives", "\"d:\"=\"cdrom\"", "Wine's own configuration"},
      {"Wine's own values", "HKCU\\Software\\Wine", "\"Version\"=\"win95\"", "Wine's own configuration"},
      {"Wine's in the 32-bit view", "HKLM\\Software\\Wow6432Node\\Wine", "\"x\"=\"1\"", "Wine's own configuration"},
      {"the debugger", "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug", "\"Debugger\"=\"x.exe\"",
       "whenever a program fails"},
      {"a key deleted", "-HKCU\\Software\\Other", "", "deletes the key HKEY_CURRENT_USER\\Software\\Other"},
      {"a value deleted", "HKCU\\Software\\Widget", "\"old\"=-", "deletes the value \"old\" of"},
      {"Run is data", "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "\"Widget\"=\"widget.exe\"", ""},
      {"a RunOnce key alone", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", "", ""},
      {"a service's neighbour", "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Widget", "\"x\"=\"1\"", ""},
      {"Wine's name in a product", "HKCU\\Software\\Winery", "\"x\"=\"1\"", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::string text = std::string("REGEDIT4\r\n\r\n[") + row.section + "]\r\n" + row.line + "\r\n";
    auto exported = ParseRegistryExport(text, 1252);
    ASSERT_TRUE(exported) << exported.failure().message;
    Result<void> accepted = CheckRegistryExport(exported->items, exported->deletions);
    std::string error = accepted ? "" : accepted.failure().message;
    EXPECT_EQ(static_cast<bool>(accepted), !*row.said) << error;
    if (*row.said) {
      EXPECT_EQ(accepted.failure().code, Exit::kBadInput);
      EXPECT_NE(error.find(row.said), std::string::npos) << error;
    }
  }
}

// Every value under a Run key is set again, empty and of no type, after the
// export; nothing else changes, and the whole is UTF-16 with its mark.
TEST(StageRegistryTest, ImportTextMakesRunValuesInert) {
  const std::string exported =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n"
      "\"Widget \\\"Tray\\\"\"=\"widget.exe /tray\"\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Widget]\r\n\"Version\"=\"1.0\"\r\n";
  auto parsed = ParseRegistryExport(exported, 1252);
  ASSERT_TRUE(parsed) << parsed.failure().message;
  std::string import = RegistryImportText(exported, parsed->items, "[HKEY_CURRENT_USER\\X]\r\n");
  ASSERT_EQ(import.compare(0, 2, "\xFF\xFE"), 0);
  auto text = Utf16LeToUtf8(import.substr(2));
  ASSERT_TRUE(text);
  EXPECT_EQ(*text, exported + "\r\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n"
                              "\"Widget \\\"Tray\\\"\"=hex(0):\r\n\r\n[HKEY_CURRENT_USER\\X]\r\n");
  text = Utf16LeToUtf8(RegistryImportText("", {}, "").substr(2));
  EXPECT_EQ(*text, "Windows Registry Editor Version 5.00\r\n\r\n");
}

// The keys whose values Wine's start-up runs after a restart, in either
// view and of the policies too; keys below them or beside them are data.
TEST(StageRegistryTest, RunKeys) {
  const struct {
    const char* key;
    bool run;
  } rows[] = {
      {"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", true},
      {"hklm\\software\\wow6432node\\microsoft\\windows\\currentversion\\run", true},
      {"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run", true},
      {"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", false},
      {"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Widget", false},
      {"HKEY_CURRENT_USER\\Software\\Widget\\Run", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.key);
    EXPECT_EQ(IsRunKey(row.key), row.run);
  }
}

// A version 5 export without a byte-order mark is UTF-8, as the README says;
// a REGEDIT4 one is in the code page.
TEST(StageRegistryTest, DecodesEveryEncodingTheReadmeNames) {
  const struct {
    const char* name;
    std::string bytes;
    const char* text;
  } rows[] = {
      {"version 5, UTF-8 without a mark", "Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\Caf\xC3\xA9]",
       "Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\Caf\xC3\xA9]"},
      {"UTF-8 with a mark", "\xEF\xBB\xBFREGEDIT4\r\n[HKEY_CURRENT_USER\\Caf\xC3\xA9]",
       "REGEDIT4\r\n[HKEY_CURRENT_USER\\Caf\xC3\xA9]"},
      {"REGEDIT4 in 1252", "REGEDIT4\r\n[HKEY_CURRENT_USER\\Caf\xE9]", "REGEDIT4\r\n[HKEY_CURRENT_USER\\Caf\xC3\xA9]"},
      {"UTF-16", std::string("\xFF\xFER\0E\0G\0", 8), "REG"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    auto text = DecodeRegistryExport(row.bytes, 1252);
    ASSERT_TRUE(text) << text.failure().message;
    EXPECT_EQ(*text, row.text);
  }
}

}  // namespace
}  // namespace uninstdat
