// Location macros, special folders and path joining; see locations.h.
#include "engine/locations.h"

namespace uninst {
namespace {

const char kCurrentVersionKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// Windows folder calls return 0 on failure and the size they need when the
// buffer is too small; only a result inside the buffer is a whole folder.
bool FitsBuffer(uint32_t result) { return result != 0 && result < kMaxPath; }

bool WindowsFolderWith(RunState& state, const char* component) {
  char* out = state.locationBuffer;
  if (!FitsBuffer(state.platform.GetWindowsDirectory(out, kMaxPath))) return false;
  return component == nullptr || AppendPathComponent(state.codePage, out, component);
}

bool ReadFolderValue(EnginePlatform& platform, const char* valueName, char* out) {
  RegKey key = 0;
  if (platform.RegCreateKey(kHkeyLocalMachine, kCurrentVersionKey, &key) != 0) return false;
  char data[kMaxPath];
  uint32_t size = kMaxPath;
  int32_t status = platform.RegQueryValueEx(key, valueName, data, &size);
  platform.RegCloseKey(key);
  if (status != 0 || size > kMaxPath) return false;
  // The value's type is not examined, so its bytes need not end in a NUL:
  // take the text up to the first NUL inside the returned bytes, or all of
  // them when a terminator still fits after them.
  const char* nul = FindByte(data, size, '\0');
  size_t length = nul ? static_cast<size_t>(nul - data) : size;
  // An empty folder would make every entry below it a relative path, which
  // names files in whatever the current folder is.
  if (length == 0) return false;
  return CopyBounded(out, kMaxPath, data, length);
}

// Length of a wide text within `max` characters, or -1 without terminator.
int64_t BoundedWideLength(const uint16_t* text, uint32_t max) {
  for (uint32_t i = 0; i < max; ++i)
    if (text[i] == 0) return i;
  return -1;
}

}  // namespace

bool AppendPathComponent(const CodePage& codePage, char* buffer, const char* component) {
  size_t length = TextLength(buffer);
  bool separator = length != 0 && !codePage.EndsWithSeparator(buffer);
  size_t componentLength = TextLength(component);
  size_t joined = length + (separator ? 1 : 0) + componentLength;
  if (joined > kMaxPath - 2) return false;
  if (separator) buffer[length++] = '\\';
  CopyBytes(buffer + length, component, componentLength);
  buffer[joined] = '\0';
  buffer[joined + 1] = '\0';
  return true;
}

namespace {

enum Macro { kExe, kWin, kSys, kSys32, kAutosys, kFonts, kWinTemp, kInstall, kProgramFiles, kCommonFiles };

struct MacroName {
  const char* name;
  Macro macro;
};

const MacroName kMacros[] = {
    {"<Exe>", kExe},         {"<Win>", kWin},         {"<Sys>", kSys},
    {"<Sys32>", kSys32},     {"<Autosys>", kAutosys}, {"<Fonts>", kFonts},
    {"<WinTemp>", kWinTemp}, {"<InstallFolder>", kInstall},
    {"<ProgramFiles>", kProgramFiles}, {"<CommonFiles>", kCommonFiles},
};

const MacroName* FindMacro(const char* component, size_t length) {
  for (const MacroName& m : kMacros)
    if (EqualsAsciiNoCase(component, length, m.name)) return &m;
  return nullptr;
}

}  // namespace

bool IsLocationMacro(const char* component, size_t length) {
  return FindMacro(component, length) != nullptr;
}

const char* ResolveLocationMacro(RunState& state, const char* path) {
  if (!*path) return state.exeFolder;
  const char* backslash = FindFirstByte(path, '\\');
  if (backslash == path) return state.exeFolder;
  size_t length = backslash ? static_cast<size_t>(backslash - path) : TextLength(path);
  if (length >= kMaxPath) return nullptr;
  const MacroName* macro = FindMacro(path, length);
  if (!macro) return state.exeFolder;

  EnginePlatform& platform = state.platform;
  char* out = state.locationBuffer;
  switch (macro->macro) {
    case kExe:
    case kInstall:
      return state.exeFolder;
    case kWin:
      return WindowsFolderWith(state, nullptr) ? out : nullptr;
    case kSys:
      return WindowsFolderWith(state, "System") ? out : nullptr;
    case kSys32:
      return WindowsFolderWith(state, "System32") ? out : nullptr;
    case kAutosys:
      return FitsBuffer(platform.GetSystemDirectory(out, kMaxPath)) ? out : nullptr;
    case kFonts:
      if (GetShellFolderPath(platform, kCsidlFonts, out)) return out;
      return WindowsFolderWith(state, "Fonts") ? out : nullptr;
    case kWinTemp: {
      uint32_t result = platform.GetTempPath(kMaxPath, out);
      if (result == 0) return state.exeFolder;
      return result < kMaxPath ? out : nullptr;
    }
    case kProgramFiles:
      return ReadProgramFilesDir(platform, out) ? out : nullptr;
    case kCommonFiles:
      return ReadCommonFilesDir(platform, out) ? out : nullptr;
  }
  return state.exeFolder;
}

bool StrRetToPath(EnginePlatform& platform, const DisplayName& name, char* out) {
  switch (name.kind) {
    case 0:
    case 5: {
      if (!name.wide || BoundedWideLength(name.wide, name.wideMax) < 0) return false;
      return platform.WideCharToMultiByte(name.wide, out, kMaxPath) > 0;
    }
    case 1:
    case 2: {
      if (!name.ansi) return false;
      const char* nul = FindByte(name.ansi, name.ansiMax, '\0');
      if (!nul) return false;
      return CopyBounded(out, kMaxPath, name.ansi, static_cast<size_t>(nul - name.ansi));
    }
    default:
      return false;
  }
}

bool GetShellFolderPath(EnginePlatform& platform, int csidl, char* out) {
  DisplayName name = {};
  if (!platform.GetSpecialFolderDisplayName(csidl, kShgdnForParsing, &name)) return false;
  bool ok = StrRetToPath(platform, name, out);
  platform.ReleaseDisplayName(&name);
  return ok;
}

bool ReadProgramFilesDir(EnginePlatform& platform, char* out) {
  return ReadFolderValue(platform, "ProgramFilesDir", out);
}

bool ReadCommonFilesDir(EnginePlatform& platform, char* out) {
  return ReadFolderValue(platform, "CommonFilesDir", out);
}

}  // namespace uninst
