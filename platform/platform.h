// The only door from the engine to Windows: one operation per Win32 call the
// engine makes, with the same arguments, results and error codes.
#pragma once

#include <stdint.h>

namespace uninst {

constexpr uint32_t kMaxPath = 260;  // MAX_PATH, terminator included

// Win32 values the engine passes or compares; spelled out so that the engine
// never needs <windows.h>.
constexpr uint32_t kVerPlatformWin32Windows = 1;
constexpr uint32_t kVerPlatformWin32Nt = 2;
constexpr int kIdOk = 1;
constexpr int kIdYes = 6;
constexpr uint32_t kMbOk = 0x0;
constexpr uint32_t kMbOkCancel = 0x1;
constexpr uint32_t kMbYesNo = 0x4;
constexpr uint32_t kSemFailCriticalErrors = 0x0001;
constexpr uint32_t kSemNoOpenFileErrorBox = 0x8000;
constexpr uint32_t kFileAttributeDirectory = 0x10;
constexpr uint32_t kFileAttributeNormal = 0x80;
constexpr uint32_t kErrorSuccess = 0;
constexpr uint32_t kErrorSharingViolation = 32;
constexpr uint32_t kErrorNotSupported = 50;
constexpr uint32_t kErrorNoMoreItems = 259;
constexpr uint32_t kErrorBadKey = 1010;
constexpr uint32_t kErrorNotAllAssigned = 1300;
constexpr uint32_t kSeekBegin = 0;  // FILE_BEGIN
constexpr uint32_t kSeekEnd = 2;    // FILE_END
constexpr uint32_t kMoveFileDelayUntilReboot = 0x4;
constexpr uint32_t kEwxReboot = 0x2;
constexpr int kThreadPriorityIdle = -15;
constexpr int kThreadPriorityTimeCritical = 15;
constexpr uint32_t kHighPriorityClass = 0x80;
constexpr uint32_t kShgdnForParsing = 0x8000;

// CSIDL numbers of the special folders the engine asks for.
constexpr int kCsidlPrograms = 0x02;
constexpr int kCsidlStartup = 0x07;
constexpr int kCsidlSendTo = 0x09;
constexpr int kCsidlStartMenu = 0x0B;
constexpr int kCsidlDesktopDirectory = 0x10;
constexpr int kCsidlFonts = 0x14;
constexpr int kCsidlCommonStartMenu = 0x16;
constexpr int kCsidlCommonPrograms = 0x17;
constexpr int kCsidlCommonStartup = 0x18;
constexpr int kCsidlCommonDesktopDirectory = 0x19;

// Predefined registry keys, by their handle values. Windows defines them as
// a 32-bit LONG cast to a handle, so on 64-bit Windows they are sign-extended
// (HKEY_LOCAL_MACHINE is 0xFFFFFFFF80000002 there, not 0x80000002).
using RegKey = uintptr_t;
constexpr RegKey PredefinedKey(int32_t value) {
  return static_cast<RegKey>(static_cast<intptr_t>(value));
}
constexpr RegKey kHkeyClassesRoot = PredefinedKey(INT32_MIN);  // 0x80000000
constexpr RegKey kHkeyCurrentUser = PredefinedKey(INT32_MIN + 1);
constexpr RegKey kHkeyLocalMachine = PredefinedKey(INT32_MIN + 2);
constexpr RegKey kHkeyUsers = PredefinedKey(INT32_MIN + 3);
constexpr RegKey kHkeyCurrentConfig = PredefinedKey(INT32_MIN + 5);
constexpr RegKey kHkeyDynData = PredefinedKey(INT32_MIN + 6);

using Handle = void*;    // kernel object, file, find or window handle
using MemBlock = void*;  // global memory handle
const Handle kInvalidHandle = reinterpret_cast<Handle>(static_cast<intptr_t>(-1));

// What GetVersionExA reports, as far as the engine reads it.
struct OsVersion {
  uint32_t platformId;
  uint32_t minorVersion;
};

// What FindFirstFileA reports, as far as the engine reads it.
struct FindData {
  uint32_t attributes;
  char alternateFileName[14];  // the 8.3 name; empty when the entry has none
};

// A display name as the shell's GetDisplayNameOf returns it (STRRET). Only the
// members of the returned kind are set; each text is bounded by its Max, and
// nothing guarantees a terminator inside that bound.
struct DisplayName {
  uint32_t kind;          // 0 wide string, 1 offset into item list, 2 ANSI, 5 inline wide
  const uint16_t* wide;   // kinds 0 and 5
  uint32_t wideMax;       // characters readable at `wide`
  const char* ansi;       // kinds 1 and 2
  uint32_t ansiMax;       // bytes readable at `ansi`
  void* cookie;           // the platform's own, for ReleaseDisplayName
};

// Start-up of the self-removal batch: what CreateProcessA hands back.
struct ProcessInfo {
  Handle process;
  Handle thread;
};

class Platform {
 public:
  // --- System ---
  virtual uint32_t SetErrorMode(uint32_t mode) = 0;
  virtual bool GetVersionEx(OsVersion* out) = 0;
  virtual uint32_t GetModuleFileName(char* buffer, uint32_t size) = 0;
  virtual uint32_t GetLastError() = 0;
  virtual bool IsDBCSLeadByte(uint8_t byte) = 0;
  virtual bool EnableThreeDLook() = 0;

  // --- Memory: the data block (GlobalAlloc GMEM_MOVEABLE) ---
  virtual MemBlock GlobalAlloc(uint32_t size) = 0;
  virtual void* GlobalLock(MemBlock block) = 0;
  virtual void GlobalUnlock(MemBlock block) = 0;
  virtual void GlobalFree(MemBlock block) = 0;
  // --- Memory: the process heap, for lists the engine grows ---
  virtual void* HeapAlloc(uint32_t size) = 0;
  virtual void* HeapReAlloc(void* block, uint32_t size) = 0;  // null: old block kept
  virtual void HeapFree(void* block) = 0;

  // --- User interface ---
  virtual Handle GetActiveWindow() = 0;
  virtual int MessageBox(Handle owner, const char* text, const char* caption,
                         uint32_t type) = 0;

  // --- Files ---
  // CreateFileA(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING).
  virtual Handle OpenFileReadWrite(const char* path) = 0;
  // CreateFileA(GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING).
  virtual Handle OpenFileForReading(const char* path) = 0;
  // SetFilePointer: the new position, or -1.
  virtual int32_t SeekFile(Handle file, int32_t offset, uint32_t origin) = 0;
  // ReadFile: bytes read (0 at the end), or -1 on failure.
  virtual int32_t ReadFile(Handle file, void* buffer, uint32_t size) = 0;
  // WriteFile: true only when every byte was written.
  virtual bool WriteFile(Handle file, const void* data, uint32_t size) = 0;
  virtual void CloseFile(Handle file) = 0;
  virtual bool DeleteFile(const char* path) = 0;
  virtual bool RemoveDirectory(const char* path) = 0;
  virtual Handle FindFirstFile(const char* pattern, FindData* out) = 0;
  virtual void FindClose(Handle find) = 0;
  virtual uint32_t GetFullPathName(const char* path, char* buffer, uint32_t size) = 0;
  virtual bool GetVolumeInformation(const char* root) = 0;
  // _lopen(path, OF_READ | OF_SHARE_EXCLUSIVE): a handle or kInvalidHandle.
  virtual Handle OpenExclusive(const char* path) = 0;
  virtual uint32_t GetWindowsDirectory(char* buffer, uint32_t size) = 0;
  virtual uint32_t GetSystemDirectory(char* buffer, uint32_t size) = 0;
  virtual uint32_t GetTempPath(uint32_t size, char* buffer) = 0;

  // --- Shell ---
  // SHGetMalloc, SHGetSpecialFolderLocation(GetDesktopWindow(), csidl),
  // SHGetDesktopFolder and the desktop folder's GetDisplayNameOf(flags).
  // Returns false when any step fails; on true, `out` stays valid until
  // ReleaseDisplayName, which frees the name, the item list and the objects.
  virtual bool GetSpecialFolderDisplayName(int csidl, uint32_t flags,
                                           DisplayName* out) = 0;
  virtual void ReleaseDisplayName(DisplayName* name) = 0;
  // WideCharToMultiByte(CP_ACP, 0, wide, -1, out, outSize): bytes written with
  // the terminator, 0 on failure (also when `out` is too small).
  virtual int WideCharToMultiByte(const uint16_t* wide, char* out, int outSize) = 0;
  // SHFileOperationA FO_DELETE with FOF_SILENT | FOF_NOCONFIRMATION |
  // FOF_NOERRORUI, owner the desktop window; `from` ends with two NULs.
  virtual int ShellDelete(const char* from) = 0;

  // --- Registry ---
  virtual int32_t RegCreateKey(RegKey root, const char* subkey, RegKey* out) = 0;
  virtual int32_t RegQueryValueEx(RegKey key, const char* name, char* data,
                                  uint32_t* size) = 0;
  virtual int32_t RegCloseKey(RegKey key) = 0;
  virtual int32_t RegOpenKeyEx(RegKey root, const char* subkey, RegKey* out) = 0;
  virtual int32_t RegOpenKey(RegKey parent, const char* name, RegKey* out) = 0;
  virtual int32_t RegEnumKey(RegKey key, uint32_t index, char* name, uint32_t size) = 0;
  virtual int32_t RegDeleteKey(RegKey parent, const char* name) = 0;
  virtual int32_t RegDeleteValue(RegKey key, const char* name) = 0;

  // --- Deletion at restart ---
  virtual bool SetFileAttributes(const char* path, uint32_t attributes) = 0;
  virtual bool MoveFileEx(const char* path, const char* newName, uint32_t flags) = 0;
  virtual bool MoveFile(const char* from, const char* to) = 0;
  virtual uint32_t GetShortPathName(const char* path, char* buffer, uint32_t size) = 0;
  virtual uint32_t GetTempFileName(const char* folder, const char* prefix,
                                   uint32_t unique, char* buffer) = 0;

  // --- Restart and self-removal ---
  virtual bool OpenProcessToken(Handle* token) = 0;  // current process, 0x28
  virtual bool LookupShutdownPrivilege(uint64_t* luid) = 0;
  virtual bool AdjustTokenPrivilege(Handle token, uint64_t luid) = 0;  // enable one
  virtual bool ExitWindowsEx(uint32_t flags, uint32_t reserved) = 0;
  virtual void CloseHandle(Handle handle) = 0;
  // CreateFileA(path, GENERIC_WRITE, 0, CREATE_ALWAYS, NORMAL | SEQUENTIAL_SCAN).
  virtual Handle CreateFileForWriting(const char* path) = 0;
  // CreateProcessA(command line, CREATE_SUSPENDED | IDLE_PRIORITY_CLASS,
  // current directory, hidden window).
  virtual bool CreateProcessSuspendedIdle(const char* commandLine,
                                          const char* currentDirectory,
                                          ProcessInfo* out) = 0;
  virtual bool SetThreadPriority(Handle thread, int priority) = 0;
  virtual Handle GetCurrentThread() = 0;
  virtual bool SetPriorityClassOfSelf(uint32_t priorityClass) = 0;
  virtual uint32_t ResumeThread(Handle thread) = 0;
  // CharToOemA and OemToCharA: the same text in the OEM code page (the batch
  // interpreter's) and back in the ANSI one. Both write at most as many
  // bytes as the source holds, its terminator included.
  virtual void CharToOem(const char* ansi, char* oem) = 0;
  virtual void OemToChar(const char* oem, char* ansi) = 0;

 protected:
  ~Platform() = default;
};

}  // namespace uninst
