// The platform interface over the real Win32 calls, ANSI entry points.
//
// uninst.exe's engine is bound to this class at compile time (see
// engine/engine_platform.h), so it offers the interface's operations as plain
// member functions: not derived from Platform, it has no table of virtual
// calls to keep every body linked. win32_platform.cpp proves, operation by
// operation, that each has the interface's exact signature.
#pragma once

#include "platform/platform.h"

namespace uninst {

class Win32Platform {
 public:
  uint32_t SetErrorMode(uint32_t mode);
  bool GetVersionEx(OsVersion* out);
  uint32_t GetModuleFileName(char* buffer, uint32_t size);
  uint32_t GetLastError();
  bool IsDBCSLeadByte(uint8_t byte);
  bool EnableThreeDLook();
  MemBlock GlobalAlloc(uint32_t size);
  void* GlobalLock(MemBlock block);
  void GlobalUnlock(MemBlock block);
  void GlobalFree(MemBlock block);
  void* HeapAlloc(uint32_t size);
  void* HeapReAlloc(void* block, uint32_t size);
  void HeapFree(void* block);
  Handle GetActiveWindow();
  int MessageBox(Handle owner, const char* text, const char* caption, uint32_t type);
  Handle OpenFileReadWrite(const char* path);
  Handle OpenFileForReading(const char* path);
  int32_t SeekFile(Handle file, int32_t offset, uint32_t origin);
  int32_t ReadFile(Handle file, void* buffer, uint32_t size);
  void CloseFile(Handle file);
  bool DeleteFile(const char* path);
  bool RemoveDirectory(const char* path);
  Handle FindFirstFile(const char* pattern, FindData* out);
  void FindClose(Handle find);
  uint32_t GetFullPathName(const char* path, char* buffer, uint32_t size);
  bool GetVolumeInformation(const char* root);
  Handle OpenExclusive(const char* path);
  uint32_t GetWindowsDirectory(char* buffer, uint32_t size);
  uint32_t GetSystemDirectory(char* buffer, uint32_t size);
  uint32_t GetTempPath(uint32_t size, char* buffer);
  bool GetSpecialFolderDisplayName(int csidl, uint32_t flags, DisplayName* out);
  void ReleaseDisplayName(DisplayName* name);
  int WideCharToMultiByte(const uint16_t* wide, char* out, int outSize);
  int ShellDelete(const char* from);
  int32_t RegCreateKey(RegKey root, const char* subkey, RegKey* out);
  int32_t RegQueryValueEx(RegKey key, const char* name, char* data, uint32_t* size);
  int32_t RegCloseKey(RegKey key);
  int32_t RegOpenKeyEx(RegKey root, const char* subkey, RegKey* out);
  int32_t RegOpenKey(RegKey parent, const char* name, RegKey* out);
  int32_t RegEnumKey(RegKey key, uint32_t index, char* name, uint32_t size);
  int32_t RegDeleteKey(RegKey parent, const char* name);
  int32_t RegDeleteValue(RegKey key, const char* name);
  bool SetFileAttributes(const char* path, uint32_t attributes);
  bool MoveFileEx(const char* path, const char* newName, uint32_t flags);
  bool MoveFile(const char* from, const char* to);
  uint32_t GetShortPathName(const char* path, char* buffer, uint32_t size);
  uint32_t GetTempFileName(const char* folder, const char* prefix, uint32_t unique,
                           char* buffer);
  bool OpenProcessToken(Handle* token);
  bool LookupShutdownPrivilege(uint64_t* luid);
  bool AdjustTokenPrivilege(Handle token, uint64_t luid);
  bool ExitWindowsEx(uint32_t flags, uint32_t reserved);
  void CloseHandle(Handle handle);
  Handle CreateFileForWriting(const char* path);
  bool WriteFile(Handle file, const void* data, uint32_t size);
  bool CreateProcessSuspendedIdle(const char* commandLine, const char* currentDirectory,
                                  ProcessInfo* out);
  bool SetThreadPriority(Handle thread, int priority);
  Handle GetCurrentThread();
  bool SetPriorityClassOfSelf(uint32_t priorityClass);
  uint32_t ResumeThread(Handle thread);
  void CharToOem(const char* ansi, char* oem);
  void OemToChar(const char* oem, char* ansi);
};

}  // namespace uninst
