// A Windows machine described by its folders: the platform through which
// plan and lint run the uninstaller's own parser, resolver and list walks
// without touching anything. Deletions are recorded, never made.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/run_state.h"
#include "engine/text.h"
#include "platform/platform.h"
#include "tools/uninstdat/codepage.h"
#include "tools/uninstdat/json.h"
#include "tools/uninstdat/result.h"

namespace uninstdat {

struct Machine {
  uninst::OsFamilyValue family = uninst::kOsNt;
  std::string windowsDir, systemDir, tempDir, programFilesDir, commonFilesDir;
  std::string profileDir;  // the user's profile folder (NT family); the uninstaller never asks for it
  std::map<int, std::string> shellFolders;  // by CSIDL
};

// Typical folders of each family.
Machine DefaultMachine(uninst::OsFamilyValue family);
// Overrides folders from a JSON description; fails (kBadInput) on a bad
// one, naming the member at fault; the caller names the file.
Result<void> ApplyMachineJson(const Json& json, Machine* machine);

// One machine that lint or plan looks at: a family, its folders and the
// uninstaller's folder on it, every text in the target code page.
struct Target {
  Machine machine;
  std::string exeFolder;
};

// The targets for `families`: each family's default machine, with the
// folders of `machineJson` (may be null) over it, and the uninstaller's
// folder `exeFolderUtf8`, or the machine's ProgramFilesDir and
// "\Application" when it is empty. Fails (kBadInput) on a bad description,
// or when a text cannot be written in the code page or does not fit a path.
Result<std::vector<Target>> MakeTargets(const std::vector<uninst::OsFamilyValue>& families, const Json* machineJson,
                                        const std::string& exeFolderUtf8, const TargetCodePage& page);

class MachinePlatform final : public uninst::Platform {
 public:
  MachinePlatform(const Machine& machine, const uninst::CodePage& codePage)
      : machine_(machine), codePage_(codePage) {}
  // What the shell would have been asked to delete: given to onShellDelete
  // when it is set, else kept in `deleted`.
  std::vector<std::string> deleted;
  std::function<void(const char*)> onShellDelete;

  uint32_t SetErrorMode(uint32_t) override { return 0; }
  bool GetVersionEx(uninst::OsVersion* out) override;
  uint32_t GetModuleFileName(char*, uint32_t) override { return 0; }
  uint32_t GetLastError() override { return 0; }
  bool IsDBCSLeadByte(uint8_t byte) override { return codePage_.IsLead(byte); }
  bool EnableThreeDLook() override { return true; }
  uninst::MemBlock GlobalAlloc(uint32_t size) override;
  void* GlobalLock(uninst::MemBlock block) override { return block; }
  void GlobalUnlock(uninst::MemBlock) override {}
  void GlobalFree(uninst::MemBlock block) override;
  void* HeapAlloc(uint32_t size) override;
  void* HeapReAlloc(void* block, uint32_t size) override;
  void HeapFree(void* block) override;
  uninst::Handle GetActiveWindow() override { return nullptr; }
  int MessageBox(uninst::Handle, const char*, const char*, uint32_t) override { return 0; }
  uninst::Handle OpenFileReadWrite(const char*) override { return uninst::kInvalidHandle; }
  uninst::Handle OpenFileForReading(const char*) override { return uninst::kInvalidHandle; }
  int32_t SeekFile(uninst::Handle, int32_t, uint32_t) override { return -1; }
  int32_t ReadFile(uninst::Handle, void*, uint32_t) override { return -1; }
  void CloseFile(uninst::Handle) override {}
  bool DeleteFile(const char*) override { return false; }
  bool RemoveDirectory(const char*) override { return false; }
  // Everything is taken to exist, so that the shell deletions show.
  uninst::Handle FindFirstFile(const char*, uninst::FindData* out) override;
  void FindClose(uninst::Handle) override {}
  uint32_t GetFullPathName(const char* path, char* buffer, uint32_t size) override;
  bool GetVolumeInformation(const char*) override { return true; }
  uninst::Handle OpenExclusive(const char*) override { return uninst::kInvalidHandle; }
  uint32_t GetWindowsDirectory(char* buffer, uint32_t size) override;
  uint32_t GetSystemDirectory(char* buffer, uint32_t size) override;
  uint32_t GetTempPath(uint32_t size, char* buffer) override;
  bool GetSpecialFolderDisplayName(int csidl, uint32_t flags, uninst::DisplayName* out) override;
  void ReleaseDisplayName(uninst::DisplayName*) override {}
  int WideCharToMultiByte(const uint16_t*, char*, int) override { return 0; }
  int ShellDelete(const char* from) override;
  int32_t RegCreateKey(uninst::RegKey root, const char* subkey, uninst::RegKey* out) override;
  int32_t RegQueryValueEx(uninst::RegKey key, const char* name, char* data, uint32_t* size) override;
  int32_t RegCloseKey(uninst::RegKey) override { return 0; }
  int32_t RegOpenKeyEx(uninst::RegKey, const char*, uninst::RegKey*) override { return 2; }
  int32_t RegOpenKey(uninst::RegKey, const char*, uninst::RegKey*) override { return 2; }
  int32_t RegEnumKey(uninst::RegKey, uint32_t, char*, uint32_t) override { return 259; }
  int32_t RegDeleteKey(uninst::RegKey, const char*) override { return 2; }
  int32_t RegDeleteValue(uninst::RegKey, const char*) override { return 2; }
  bool SetFileAttributes(const char*, uint32_t) override { return false; }
  bool MoveFileEx(const char*, const char*, uint32_t) override { return false; }
  bool MoveFile(const char*, const char*) override { return false; }
  uint32_t GetShortPathName(const char*, char*, uint32_t) override { return 0; }
  uint32_t GetTempFileName(const char*, const char*, uint32_t, char*) override { return 0; }
  bool OpenProcessToken(uninst::Handle*) override { return false; }
  bool LookupShutdownPrivilege(uint64_t*) override { return false; }
  bool AdjustTokenPrivilege(uninst::Handle, uint64_t) override { return false; }
  bool ExitWindowsEx(uint32_t, uint32_t) override { return false; }
  void CloseHandle(uninst::Handle) override {}
  uninst::Handle CreateFileForWriting(const char*) override { return uninst::kInvalidHandle; }
  bool WriteFile(uninst::Handle, const void*, uint32_t) override { return false; }
  bool CreateProcessSuspendedIdle(const char*, const char*, uninst::ProcessInfo*) override {
    return false;
  }
  bool SetThreadPriority(uninst::Handle, int) override { return false; }
  uninst::Handle GetCurrentThread() override { return nullptr; }
  bool SetPriorityClassOfSelf(uint32_t) override { return false; }
  uint32_t ResumeThread(uninst::Handle) override { return 0; }
  // Never asked: plan and lint do not write the self-removal batch.
  void CharToOem(const char* ansi, char* oem) override { uninst::CopyBounded(oem, uninst::kMaxPath, ansi); }
  void OemToChar(const char* oem, char* ansi) override { uninst::CopyBounded(ansi, uninst::kMaxPath, oem); }

 private:
  const Machine machine_;  // a copy: callers pass temporaries
  const uninst::CodePage& codePage_;
  std::string shellName_;
};

}  // namespace uninstdat
