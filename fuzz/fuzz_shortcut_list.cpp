// Fuzz target: the program group and the four shortcut lists. Nothing but a
// path inside a special folder may reach the shell, never with a wildcard,
// never longer than its buffer allows.
#include <cstring>
#include <string>
#include <vector>

#include "engine/shortcuts.h"
#include "tests/unit/fake_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uninst::FakePlatform platform;
  const char* folders[] = {"C:\\U\\Programs", "C:\\U\\Desktop", "C:\\U\\SendTo", "C:\\U\\Start",
                           "C:\\U\\Startup"};
  int csidls[] = {uninst::kCsidlPrograms, uninst::kCsidlDesktopDirectory, uninst::kCsidlSendTo,
                  uninst::kCsidlStartMenu, uninst::kCsidlStartup};
  for (int i = 0; i < 5; ++i) {
    platform.shellFolders[csidls[i]] = folders[i];
    platform.AddFolder(folders[i]);
  }
  platform.AddFile("C:\\U\\keep.txt");
  // Split the input at NULs into the group and the four lists.
  std::string input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> texts;
  size_t at = 0;
  for (int i = 0; i < 5; ++i) {
    size_t nul = input.find('\0', at);
    texts.push_back(input.substr(std::min(at, input.size()), nul == std::string::npos ? std::string::npos : nul - at));
    at = nul == std::string::npos ? input.size() : nul + 1;
  }
  uninst::RunState state(platform);
  state.codePage = uninst::CodePage(platform);
  state.osFamily = uninst::kOsWin98;
  state.data.programGroup = texts[0].c_str();
  state.data.desktopShortcuts = texts[1].c_str();
  state.data.sendToShortcuts = texts[2].c_str();
  state.data.startMenuShortcuts = texts[3].c_str();
  state.data.startupShortcuts = texts[4].c_str();
  uninst::RemoveShortcuts(state);
  for (const std::string& line : platform.log) {
    if (line.rfind("ShellDelete ", 0) != 0) continue;
    std::string path = line.substr(12);
    if (path.find_first_of("*?") != std::string::npos || path.size() > uninst::kMaxPath - 2)
      __builtin_trap();
    bool inside = false;
    for (const char* folder : folders)
      if (path.rfind(std::string(folder) + "\\", 0) == 0 && path.size() > strlen(folder) + 1) inside = true;
    if (!inside) __builtin_trap();
  }
  if (!platform.Exists("C:\\U\\keep.txt")) __builtin_trap();
  return 0;
}
