// The platform interface over the real Win32 calls, ANSI entry points.
#pragma once

#include "platform/platform.h"

namespace uninst {

class Win32Platform final : public Platform {
 public:
  uint32_t SetErrorMode(uint32_t mode) override;
  bool GetVersionEx(OsVersion* out) override;
  uint32_t GetModuleFileName(char* buffer, uint32_t size) override;
  uint32_t GetLastError() override;
  bool IsDBCSLeadByte(uint8_t byte) override;
  bool EnableThreeDLook() override;
  MemBlock GlobalAlloc(uint32_t size) override;
  void* GlobalLock(MemBlock block) override;
  void GlobalUnlock(MemBlock block) override;
  void GlobalFree(MemBlock block) override;
  void* HeapAlloc(uint32_t size) override;
  void* HeapReAlloc(void* block, uint32_t size) override;
  void HeapFree(void* block) override;
  Handle GetActiveWindow() override;
  int MessageBox(Handle owner, const char* text, const char* caption, uint32_t type) override;
  Handle OpenFileReadWrite(const char* path) override;
  Handle OpenFileForReading(const char* path) override;
  int32_t SeekFile(Handle file, int32_t offset, uint32_t origin) override;
  int32_t ReadFile(Handle file, void* buffer, uint32_t size) override;
  void CloseFile(Handle file) override;
  bool DeleteFile(const char* path) override;
  bool RemoveDirectory(const char* path) override;
  Handle FindFirstFile(const char* pattern, FindData* out) override;
  void FindClose(Handle find) override;
  uint32_t GetFullPathName(const char* path, char* buffer, uint32_t size) override;
  bool GetVolumeInformation(const char* root) override;
  Handle OpenExclusive(const char* path) override;
  uint32_t GetWindowsDirectory(char* buffer, uint32_t size) override;
  uint32_t GetSystemDirectory(char* buffer, uint32_t size) override;
  uint32_t GetTempPath(uint32_t size, char* buffer) override;
  bool GetSpecialFolderDisplayName(int csidl, uint32_t flags, DisplayName* out) override;
  void ReleaseDisplayName(DisplayName* name) override;
  int WideCharToMultiByte(const uint16_t* wide, char* out, int outSize) override;
  int ShellDelete(const char* from) override;
  int32_t RegCreateKey(RegKey root, const char* subkey, RegKey* out) override;
  int32_t RegQueryValueEx(RegKey key, const char* name, char* data, uint32_t* size) override;
  int32_t RegCloseKey(RegKey key) override;
  int32_t RegOpenKeyEx(RegKey root, const char* subkey, RegKey* out) override;
  int32_t RegOpenKey(RegKey parent, const char* name, RegKey* out) override;
  int32_t RegEnumKey(RegKey key, uint32_t index, char* name, uint32_t size) override;
  int32_t RegDeleteKey(RegKey parent, const char* name) override;
  int32_t RegDeleteValue(RegKey key, const char* name) override;
  bool SetFileAttributes(const char* path, uint32_t attributes) override;
  bool MoveFileEx(const char* path, const char* newName, uint32_t flags) override;
  bool MoveFile(const char* from, const char* to) override;
  uint32_t GetShortPathName(const char* path, char* buffer, uint32_t size) override;
  uint32_t GetTempFileName(const char* folder, const char* prefix, uint32_t unique,
                           char* buffer) override;
  bool OpenProcessToken(Handle* token) override;
  bool LookupShutdownPrivilege(uint64_t* luid) override;
  bool AdjustTokenPrivilege(Handle token, uint64_t luid) override;
  bool ExitWindowsEx(uint32_t flags, uint32_t reserved) override;
  void CloseHandle(Handle handle) override;
  Handle CreateFileForWriting(const char* path) override;
  bool WriteFile(Handle file, const void* data, uint32_t size) override;
  bool CreateProcessSuspendedIdle(const char* commandLine, const char* currentDirectory,
                                  ProcessInfo* out) override;
  bool SetThreadPriority(Handle thread, int priority) override;
  Handle GetCurrentThread() override;
  bool SetPriorityClassOfSelf(uint32_t priorityClass) override;
  uint32_t ResumeThread(Handle thread) override;
  void CharToOem(const char* ansi, char* oem) override;
  void OemToChar(const char* oem, char* ansi) override;
};

}  // namespace uninst
