// The described machine; see machine.h.
#include "tools/uninstdat/machine.h"

#include <cstdlib>
#include <cstring>

#include "tools/uninstdat/shell_folders.h"

namespace uninstdat {
namespace {

uint32_t CopyOut(const std::string& text, char* buffer, uint32_t size) {
  if (text.empty()) return 0;
  if (text.size() + 1 > size) return static_cast<uint32_t>(text.size() + 1);
  memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<uint32_t>(text.size());
}

// A machine description's names of the shell folders, and of Fonts.
const std::map<std::string, int> kFolderNames = [] {
  std::map<std::string, int> names = {{"fonts", uninst::kCsidlFonts}};
  for (int i = 0; i < kShellFolderKindCount; ++i) {
    const ShellFolderKind& kind = ShellFolderKinds()[i];
    names[kind.ownName] = kind.ownFolder;
    if (kind.commonName) names[kind.commonName] = kind.commonFolder;
  }
  return names;
}();

const uninst::RegKey kFolderKey = 0x4B45;

}  // namespace

Machine DefaultMachine(uninst::OsFamilyValue family) {
  Machine m;
  m.family = family;
  if (family == uninst::kOsNt) {
    m.windowsDir = "C:\\Windows";
    m.systemDir = "C:\\Windows\\System32";
    m.tempDir = "C:\\Users\\User\\AppData\\Local\\Temp\\";
    m.programFilesDir = "C:\\Program Files (x86)";
    m.commonFilesDir = "C:\\Program Files (x86)\\Common Files";
    m.profileDir = "C:\\Users\\User";
    m.shellFolders = ProfileShellFolders("C:\\Users", "User", "Startup");
    m.shellFolders[uninst::kCsidlFonts] = "C:\\Windows\\Fonts";
  } else {
    m.windowsDir = "C:\\WINDOWS";
    m.systemDir = "C:\\WINDOWS\\SYSTEM";
    m.tempDir = "C:\\WINDOWS\\TEMP\\";
    m.programFilesDir = "C:\\Program Files";
    m.commonFilesDir = "C:\\Program Files\\Common Files";
    m.shellFolders = {
        {uninst::kCsidlDesktopDirectory, "C:\\WINDOWS\\Desktop"},
        {uninst::kCsidlSendTo, "C:\\WINDOWS\\SendTo"},
        {uninst::kCsidlStartMenu, "C:\\WINDOWS\\Start Menu"},
        {uninst::kCsidlPrograms, "C:\\WINDOWS\\Start Menu\\Programs"},
        {uninst::kCsidlStartup, "C:\\WINDOWS\\Start Menu\\Programs\\StartUp"},
        {uninst::kCsidlFonts, "C:\\WINDOWS\\Fonts"},
    };
  }
  return m;
}

Result<void> ApplyMachineJson(const Json& json, Machine* m) {
  if (!json.is_object()) return Failure{Exit::kBadInput, "the machine description must be a JSON object"};
  const std::map<std::string, std::string*> folders = {
      {"windowsDir", &m->windowsDir},           {"systemDir", &m->systemDir},
      {"tempDir", &m->tempDir},                 {"programFilesDir", &m->programFilesDir},
      {"commonFilesDir", &m->commonFilesDir},   {"profileDir", &m->profileDir}};
  for (const auto& item : json.items()) {
    if (item.key() == "shellFolders" && item.value().is_object()) {
      for (const auto& folder : item.value().items()) {
        auto it = kFolderNames.find(folder.key());
        if (it == kFolderNames.end() || !(folder.value().is_string() || folder.value().is_null()))
          return Failure{Exit::kBadInput, "shellFolders." + folder.key() + " is no known folder or not a text"};
        if (folder.value().is_null()) m->shellFolders.erase(it->second);
        else m->shellFolders[it->second] = folder.value().get<std::string>();
      }
      continue;
    }
    auto it = folders.find(item.key());
    if (it == folders.end() || !(item.value().is_string() || item.value().is_null()))
      return Failure{Exit::kBadInput, item.key() + " is no folder of a machine description or not a text"};
    *it->second = item.value().is_null() ? "" : item.value().get<std::string>();
  }
  return {};
}

bool MachinePlatform::GetVersionEx(uninst::OsVersion* out) {
  switch (machine_.family) {
    case uninst::kOsWin95: *out = {uninst::kVerPlatformWin32Windows, 0}; return true;
    case uninst::kOsWin98: *out = {uninst::kVerPlatformWin32Windows, 10}; return true;
    case uninst::kOsNt: *out = {uninst::kVerPlatformWin32Nt, 0}; return true;
    default: return false;
  }
}

uninst::MemBlock MachinePlatform::GlobalAlloc(uint32_t size) { return malloc(size ? size : 1); }
void MachinePlatform::GlobalFree(uninst::MemBlock block) { free(block); }
void* MachinePlatform::HeapAlloc(uint32_t size) { return malloc(size ? size : 1); }
void* MachinePlatform::HeapReAlloc(void* block, uint32_t size) { return realloc(block, size ? size : 1); }
void MachinePlatform::HeapFree(void* block) { free(block); }

uninst::Handle MachinePlatform::FindFirstFile(const char*, uninst::FindData* out) {
  out->attributes = uninst::kFileAttributeNormal;
  out->alternateFileName[0] = '\0';
  return reinterpret_cast<uninst::Handle>(1);
}

uint32_t MachinePlatform::GetFullPathName(const char* path, char* buffer, uint32_t size) {
  return CopyOut(path, buffer, size);
}

uint32_t MachinePlatform::GetWindowsDirectory(char* buffer, uint32_t size) {
  return CopyOut(machine_.windowsDir, buffer, size);
}
uint32_t MachinePlatform::GetSystemDirectory(char* buffer, uint32_t size) {
  return CopyOut(machine_.systemDir, buffer, size);
}
uint32_t MachinePlatform::GetTempPath(uint32_t size, char* buffer) {
  return CopyOut(machine_.tempDir, buffer, size);
}

bool MachinePlatform::GetSpecialFolderDisplayName(int csidl, uint32_t, uninst::DisplayName* out) {
  auto it = machine_.shellFolders.find(csidl);
  if (it == machine_.shellFolders.end()) return false;
  shellName_ = it->second;
  *out = uninst::DisplayName{};
  out->kind = 2;
  out->ansi = shellName_.c_str();
  out->ansiMax = static_cast<uint32_t>(shellName_.size() + 1);
  return true;
}

int MachinePlatform::ShellDelete(const char* from) {
  if (onShellDelete) onShellDelete(from);
  else deleted.push_back(from);
  return 0;
}

int32_t MachinePlatform::RegCreateKey(uninst::RegKey, const char*, uninst::RegKey* out) {
  *out = kFolderKey;
  return 0;
}

int32_t MachinePlatform::RegQueryValueEx(uninst::RegKey, const char* name, char* data,
                                         uint32_t* size) {
  const std::string& value =
      strcmp(name, "ProgramFilesDir") == 0 ? machine_.programFilesDir : machine_.commonFilesDir;
  if (value.empty()) return 2;
  if (value.size() + 1 > *size) return 234;
  memcpy(data, value.c_str(), value.size() + 1);
  *size = static_cast<uint32_t>(value.size() + 1);
  return 0;
}

Result<std::vector<Target>> MakeTargets(const std::vector<uninst::OsFamilyValue>& families, const Json* machineJson,
                                        const std::string& exeFolderUtf8, const TargetCodePage& page) {
  const std::string pageName = "code page " + std::to_string(page.converter.number());
  auto convert = [&](std::string* text, const std::string& what) -> Result<void> {
    auto converted = page.converter.ToAnsi(*text);
    if (!converted)
      return Failure{Exit::kBadInput, what + " \"" + *text + "\" has a character that " + pageName + " cannot represent"};
    *text = *converted;
    return {};
  };
  std::vector<Target> targets;
  for (uninst::OsFamilyValue family : families) {
    Target target;
    target.machine = DefaultMachine(family);
    if (machineJson)
      if (auto applied = ApplyMachineJson(*machineJson, &target.machine); !applied) return applied.failure();
    Machine& m = target.machine;
    for (auto [text, name] : {std::pair<std::string*, const char*>{&m.windowsDir, "windowsDir"},
                              {&m.systemDir, "systemDir"},
                              {&m.tempDir, "tempDir"},
                              {&m.programFilesDir, "programFilesDir"},
                              {&m.commonFilesDir, "commonFilesDir"},
                              {&m.profileDir, "profileDir"}})
      if (auto done = convert(text, std::string("the machine's ") + name); !done) return done.failure();
    for (auto& [csidl, folder] : m.shellFolders)
      if (auto done = convert(&folder, "the machine's shell folder " + std::to_string(csidl)); !done)
        return done.failure();
    target.exeFolder = exeFolderUtf8.empty() ? m.programFilesDir + "\\Application" : exeFolderUtf8;
    if (!exeFolderUtf8.empty())
      if (auto done = convert(&target.exeFolder, "the uninstaller's folder"); !done) return done.failure();
    // ExeFolder never ends in a backslash.
    while (!target.exeFolder.empty() && page.codePage.EndsWithSeparator(target.exeFolder.c_str()))
      target.exeFolder.pop_back();
    if (target.exeFolder.size() >= uninst::kMaxPath)
      return Failure{Exit::kBadInput, "the uninstaller's folder \"" + Utf8(page, target.exeFolder) + "\" has " +
                                          std::to_string(target.exeFolder.size()) + " bytes in " + pageName +
                                          ": a path has at most " + std::to_string(uninst::kMaxPath - 1)};
    targets.push_back(std::move(target));
  }
  return targets;
}

}  // namespace uninstdat
