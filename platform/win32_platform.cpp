// The platform interface over the real Win32 calls. Each operation is one
// call (or the fixed sequence the interface names) and decides nothing.
#include "platform/win32_platform.h"

#include <windows.h>
#include <shlobj.h>

// <windows.h> maps these names to their ANSI or wide entry points; the
// interface uses the plain names for its own operations.
#undef MessageBox
#undef DeleteFile
#undef RemoveDirectory
#undef FindFirstFile
#undef GetFullPathName
#undef GetVolumeInformation
#undef GetWindowsDirectory
#undef GetSystemDirectory
#undef GetTempPath
#undef GetModuleFileName
#undef RegCreateKey
#undef RegQueryValueEx
#undef RegOpenKeyEx
#undef RegOpenKey
#undef RegEnumKey
#undef RegDeleteKey
#undef RegDeleteValue
#undef SetFileAttributes
#undef MoveFileEx
#undef MoveFile
#undef GetShortPathName
#undef GetTempFileName
#undef GetVersionEx
#undef ExitWindowsEx
#undef WriteFile
#undef ReadFile
#undef CloseHandle
#undef CharToOem
#undef OemToChar

namespace uninst {
namespace {

// Win32Platform is not derived from Platform (see win32_platform.h), so no
// "override" compares its operations with the interface; this does: each
// operation's parameters and result are exactly the interface's, or the build
// stops. The engine, compiled against the interface for the unit tests and
// uninstdat, then makes the same calls with the same values in uninst.exe.
template <typename Interface, typename Bound>
struct SameSignature {
  static constexpr bool value = false;
};
template <typename Result, typename... Parameters>
struct SameSignature<Result (Platform::*)(Parameters...),
                     Result (Win32Platform::*)(Parameters...)> {
  static constexpr bool value = true;
};
#define SAME_AS_INTERFACE(operation)                                                   \
  static_assert(SameSignature<decltype(&Platform::operation),                         \
                              decltype(&Win32Platform::operation)>::value,            \
                #operation " differs from the platform interface")
SAME_AS_INTERFACE(SetErrorMode);
SAME_AS_INTERFACE(GetVersionEx);
SAME_AS_INTERFACE(GetModuleFileName);
SAME_AS_INTERFACE(GetLastError);
SAME_AS_INTERFACE(IsDBCSLeadByte);
SAME_AS_INTERFACE(EnableThreeDLook);
SAME_AS_INTERFACE(GlobalAlloc);
SAME_AS_INTERFACE(GlobalLock);
SAME_AS_INTERFACE(GlobalUnlock);
SAME_AS_INTERFACE(GlobalFree);
SAME_AS_INTERFACE(HeapAlloc);
SAME_AS_INTERFACE(HeapReAlloc);
SAME_AS_INTERFACE(HeapFree);
SAME_AS_INTERFACE(GetActiveWindow);
SAME_AS_INTERFACE(MessageBox);
SAME_AS_INTERFACE(OpenFileReadWrite);
SAME_AS_INTERFACE(OpenFileForReading);
SAME_AS_INTERFACE(SeekFile);
SAME_AS_INTERFACE(ReadFile);
SAME_AS_INTERFACE(WriteFile);
SAME_AS_INTERFACE(CloseFile);
SAME_AS_INTERFACE(DeleteFile);
SAME_AS_INTERFACE(RemoveDirectory);
SAME_AS_INTERFACE(FindFirstFile);
SAME_AS_INTERFACE(FindClose);
SAME_AS_INTERFACE(GetFullPathName);
SAME_AS_INTERFACE(GetVolumeInformation);
SAME_AS_INTERFACE(OpenExclusive);
SAME_AS_INTERFACE(GetWindowsDirectory);
SAME_AS_INTERFACE(GetSystemDirectory);
SAME_AS_INTERFACE(GetTempPath);
SAME_AS_INTERFACE(GetSpecialFolderDisplayName);
SAME_AS_INTERFACE(ReleaseDisplayName);
SAME_AS_INTERFACE(WideCharToMultiByte);
SAME_AS_INTERFACE(ShellDelete);
SAME_AS_INTERFACE(RegCreateKey);
SAME_AS_INTERFACE(RegQueryValueEx);
SAME_AS_INTERFACE(RegCloseKey);
SAME_AS_INTERFACE(RegOpenKeyEx);
SAME_AS_INTERFACE(RegOpenKey);
SAME_AS_INTERFACE(RegEnumKey);
SAME_AS_INTERFACE(RegDeleteKey);
SAME_AS_INTERFACE(RegDeleteValue);
SAME_AS_INTERFACE(SetFileAttributes);
SAME_AS_INTERFACE(MoveFileEx);
SAME_AS_INTERFACE(MoveFile);
SAME_AS_INTERFACE(GetShortPathName);
SAME_AS_INTERFACE(GetTempFileName);
SAME_AS_INTERFACE(OpenProcessToken);
SAME_AS_INTERFACE(LookupShutdownPrivilege);
SAME_AS_INTERFACE(AdjustTokenPrivilege);
SAME_AS_INTERFACE(ExitWindowsEx);
SAME_AS_INTERFACE(CloseHandle);
SAME_AS_INTERFACE(CreateFileForWriting);
SAME_AS_INTERFACE(CreateProcessSuspendedIdle);
SAME_AS_INTERFACE(SetThreadPriority);
SAME_AS_INTERFACE(GetCurrentThread);
SAME_AS_INTERFACE(SetPriorityClassOfSelf);
SAME_AS_INTERFACE(ResumeThread);
SAME_AS_INTERFACE(CharToOem);
SAME_AS_INTERFACE(OemToChar);
#undef SAME_AS_INTERFACE

HKEY Key(RegKey key) { return reinterpret_cast<HKEY>(key); }
HANDLE H(Handle handle) { return static_cast<HANDLE>(handle); }

// What GetSpecialFolderDisplayName holds until ReleaseDisplayName.
struct ShellName {
  IMalloc* allocator;
  LPITEMIDLIST items;
  IShellFolder* desktop;
  STRRET name;
};

void ReleaseShellName(ShellName* shell) {
  if (shell->name.uType == STRRET_WSTR && shell->name.pOleStr && shell->allocator)
    shell->allocator->Free(shell->name.pOleStr);
  if (shell->items && shell->allocator) shell->allocator->Free(shell->items);
  if (shell->desktop) shell->desktop->Release();
  if (shell->allocator) shell->allocator->Release();
  ::HeapFree(::GetProcessHeap(), 0, shell);
}

// The size in bytes of an item list, its terminating zero included.
uint32_t ItemListSize(LPCITEMIDLIST items) {
  const BYTE* at = reinterpret_cast<const BYTE*>(items);
  uint32_t size = 0;
  for (;;) {
    USHORT cb = *reinterpret_cast<const USHORT*>(at + size);
    if (cb == 0) return size + sizeof(USHORT);
    size += cb;
  }
}

}  // namespace

uint32_t Win32Platform::SetErrorMode(uint32_t mode) { return ::SetErrorMode(mode); }

bool Win32Platform::GetVersionEx(OsVersion* out) {
  OSVERSIONINFOA info;
  ZeroMemory(&info, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;  // 148
  if (!::GetVersionExA(&info)) return false;
  out->platformId = info.dwPlatformId;
  out->minorVersion = info.dwMinorVersion;
  return true;
}

uint32_t Win32Platform::GetModuleFileName(char* buffer, uint32_t size) {
  return ::GetModuleFileNameA(nullptr, buffer, size);
}

uint32_t Win32Platform::GetLastError() { return ::GetLastError(); }
bool Win32Platform::IsDBCSLeadByte(uint8_t byte) { return ::IsDBCSLeadByte(byte) != 0; }
// The embedded manifest asks for the themed common controls; message boxes
// pick them up without a call.
bool Win32Platform::EnableThreeDLook() { return true; }

MemBlock Win32Platform::GlobalAlloc(uint32_t size) { return ::GlobalAlloc(GMEM_MOVEABLE, size); }
void* Win32Platform::GlobalLock(MemBlock block) { return ::GlobalLock(block); }
void Win32Platform::GlobalUnlock(MemBlock block) { ::GlobalUnlock(block); }
void Win32Platform::GlobalFree(MemBlock block) { ::GlobalFree(block); }
void* Win32Platform::HeapAlloc(uint32_t size) { return ::HeapAlloc(::GetProcessHeap(), 0, size); }
void* Win32Platform::HeapReAlloc(void* block, uint32_t size) {
  return ::HeapReAlloc(::GetProcessHeap(), 0, block, size);
}
void Win32Platform::HeapFree(void* block) { ::HeapFree(::GetProcessHeap(), 0, block); }

Handle Win32Platform::GetActiveWindow() { return ::GetActiveWindow(); }
int Win32Platform::MessageBox(Handle owner, const char* text, const char* caption, uint32_t type) {
  return ::MessageBoxA(static_cast<HWND>(owner), text, caption, type);
}

Handle Win32Platform::OpenFileReadWrite(const char* path) {
  return ::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}
Handle Win32Platform::OpenFileForReading(const char* path) {
  return ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}
int32_t Win32Platform::SeekFile(Handle file, int32_t offset, uint32_t origin) {
  DWORD at = ::SetFilePointer(H(file), offset, nullptr, origin);
  return at == INVALID_SET_FILE_POINTER ? -1 : static_cast<int32_t>(at);
}
int32_t Win32Platform::ReadFile(Handle file, void* buffer, uint32_t size) {
  DWORD read = 0;
  if (!::ReadFile(H(file), buffer, size, &read, nullptr)) return -1;
  return static_cast<int32_t>(read);
}
void Win32Platform::CloseFile(Handle file) { ::CloseHandle(H(file)); }
bool Win32Platform::DeleteFile(const char* path) { return ::DeleteFileA(path) != 0; }
bool Win32Platform::RemoveDirectory(const char* path) { return ::RemoveDirectoryA(path) != 0; }

Handle Win32Platform::FindFirstFile(const char* pattern, FindData* out) {
  WIN32_FIND_DATAA data;
  HANDLE find = ::FindFirstFileA(pattern, &data);
  if (find == INVALID_HANDLE_VALUE) return kInvalidHandle;
  out->attributes = data.dwFileAttributes;
  memcpy(out->alternateFileName, data.cAlternateFileName, sizeof out->alternateFileName);
  out->alternateFileName[sizeof out->alternateFileName - 1] = '\0';
  return find;
}
void Win32Platform::FindClose(Handle find) { ::FindClose(H(find)); }

uint32_t Win32Platform::GetFullPathName(const char* path, char* buffer, uint32_t size) {
  return ::GetFullPathNameA(path, size, buffer, nullptr);
}
bool Win32Platform::GetVolumeInformation(const char* root) {
  return ::GetVolumeInformationA(root, nullptr, 0, nullptr, nullptr, nullptr, nullptr, 0) != 0;
}
Handle Win32Platform::OpenExclusive(const char* path) {
  HFILE file = ::_lopen(path, OF_READ | OF_SHARE_EXCLUSIVE);
  if (file == HFILE_ERROR) return kInvalidHandle;
  return reinterpret_cast<Handle>(static_cast<intptr_t>(file));
}
uint32_t Win32Platform::GetWindowsDirectory(char* buffer, uint32_t size) {
  return ::GetWindowsDirectoryA(buffer, size);
}
uint32_t Win32Platform::GetSystemDirectory(char* buffer, uint32_t size) {
  return ::GetSystemDirectoryA(buffer, size);
}
uint32_t Win32Platform::GetTempPath(uint32_t size, char* buffer) {
  return ::GetTempPathA(size, buffer);
}

bool Win32Platform::GetSpecialFolderDisplayName(int csidl, uint32_t flags, DisplayName* out) {
  ShellName* shell = static_cast<ShellName*>(
      ::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ShellName)));
  if (!shell) return false;
  if (FAILED(::SHGetMalloc(&shell->allocator)) ||
      FAILED(::SHGetSpecialFolderLocation(::GetDesktopWindow(), csidl, &shell->items)) ||
      FAILED(::SHGetDesktopFolder(&shell->desktop)) ||
      shell->desktop->GetDisplayNameOf(shell->items, flags, &shell->name) != S_OK) {
    shell->name.uType = STRRET_CSTR;  // nothing of the name to free
    ReleaseShellName(shell);
    return false;
  }
  ZeroMemory(out, sizeof *out);
  out->kind = shell->name.uType;
  out->cookie = shell;
  switch (shell->name.uType) {
    case STRRET_WSTR:
      out->wide = reinterpret_cast<const uint16_t*>(shell->name.pOleStr);
      out->wideMax = 0xFFFFFFFFu;
      break;
    case STRRET_OFFSET: {
      uint32_t size = ItemListSize(shell->items);
      out->ansi = reinterpret_cast<const char*>(shell->items) + shell->name.uOffset;
      out->ansiMax = shell->name.uOffset < size ? size - shell->name.uOffset : 0;
      break;
    }
    case STRRET_CSTR:
      out->ansi = shell->name.cStr;
      out->ansiMax = sizeof shell->name.cStr;
      break;
    case 5:
      out->wide = reinterpret_cast<const uint16_t*>(shell->name.cStr);
      out->wideMax = sizeof shell->name.cStr / 2;
      break;
  }
  return true;
}

void Win32Platform::ReleaseDisplayName(DisplayName* name) {
  if (name->cookie) ReleaseShellName(static_cast<ShellName*>(name->cookie));
  name->cookie = nullptr;
}

int Win32Platform::WideCharToMultiByte(const uint16_t* wide, char* out, int outSize) {
  return ::WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWSTR>(wide), -1, out, outSize,
                               nullptr, nullptr);
}

int Win32Platform::ShellDelete(const char* from) {
  SHFILEOPSTRUCTA op;
  ZeroMemory(&op, sizeof op);
  op.hwnd = ::GetDesktopWindow();
  op.wFunc = FO_DELETE;
  op.pFrom = from;
  op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
  return ::SHFileOperationA(&op);
}

int32_t Win32Platform::RegCreateKey(RegKey root, const char* subkey, RegKey* out) {
  HKEY key = nullptr;
  LONG status = ::RegCreateKeyA(Key(root), subkey, &key);
  *out = reinterpret_cast<RegKey>(key);
  return status;
}
int32_t Win32Platform::RegQueryValueEx(RegKey key, const char* name, char* data, uint32_t* size) {
  DWORD bytes = *size;
  LONG status = ::RegQueryValueExA(Key(key), name, nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(data), &bytes);
  *size = bytes;
  return status;
}
int32_t Win32Platform::RegCloseKey(RegKey key) { return ::RegCloseKey(Key(key)); }
int32_t Win32Platform::RegOpenKeyEx(RegKey root, const char* subkey, RegKey* out) {
  HKEY key = nullptr;
  LONG status = ::RegOpenKeyExA(Key(root), subkey, 0, KEY_ALL_ACCESS, &key);
  *out = reinterpret_cast<RegKey>(key);
  return status;
}
int32_t Win32Platform::RegOpenKey(RegKey parent, const char* name, RegKey* out) {
  HKEY key = nullptr;
  LONG status = ::RegOpenKeyA(Key(parent), name, &key);
  *out = reinterpret_cast<RegKey>(key);
  return status;
}
int32_t Win32Platform::RegEnumKey(RegKey key, uint32_t index, char* name, uint32_t size) {
  return ::RegEnumKeyA(Key(key), index, name, size);
}
int32_t Win32Platform::RegDeleteKey(RegKey parent, const char* name) {
  return ::RegDeleteKeyA(Key(parent), name);
}
int32_t Win32Platform::RegDeleteValue(RegKey key, const char* name) {
  return ::RegDeleteValueA(Key(key), name);
}

bool Win32Platform::SetFileAttributes(const char* path, uint32_t attributes) {
  return ::SetFileAttributesA(path, attributes) != 0;
}
bool Win32Platform::MoveFileEx(const char* path, const char* newName, uint32_t flags) {
  return ::MoveFileExA(path, newName, flags) != 0;
}
bool Win32Platform::MoveFile(const char* from, const char* to) {
  return ::MoveFileA(from, to) != 0;
}
uint32_t Win32Platform::GetShortPathName(const char* path, char* buffer, uint32_t size) {
  return ::GetShortPathNameA(path, buffer, size);
}
uint32_t Win32Platform::GetTempFileName(const char* folder, const char* prefix, uint32_t unique,
                                        char* buffer) {
  return ::GetTempFileNameA(folder, prefix, unique, buffer);
}
bool Win32Platform::OpenProcessToken(Handle* token) {
  HANDLE handle = nullptr;
  BOOL ok = ::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &handle);
  *token = handle;
  return ok != 0;
}
bool Win32Platform::LookupShutdownPrivilege(uint64_t* luid) {
  LUID value;
  BOOL ok = ::LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &value);
  *luid = (static_cast<uint64_t>(static_cast<uint32_t>(value.HighPart)) << 32) | value.LowPart;
  return ok != 0;
}
bool Win32Platform::AdjustTokenPrivilege(Handle token, uint64_t luid) {
  TOKEN_PRIVILEGES privileges;
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Luid.LowPart = static_cast<DWORD>(luid);
  privileges.Privileges[0].Luid.HighPart = static_cast<LONG>(luid >> 32);
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  return ::AdjustTokenPrivileges(H(token), FALSE, &privileges, 0, nullptr, nullptr) != 0;
}
bool Win32Platform::ExitWindowsEx(uint32_t flags, uint32_t reserved) {
  return ::ExitWindowsEx(flags, reserved) != 0;
}
void Win32Platform::CloseHandle(Handle handle) { ::CloseHandle(H(handle)); }
Handle Win32Platform::CreateFileForWriting(const char* path) {
  return ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}
bool Win32Platform::WriteFile(Handle file, const void* data, uint32_t size) {
  DWORD written = 0;
  return ::WriteFile(H(file), data, size, &written, nullptr) != 0 && written == size;
}
bool Win32Platform::CreateProcessSuspendedIdle(const char* commandLine,
                                               const char* currentDirectory, ProcessInfo* out) {
  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;  // 68
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION info;
  ZeroMemory(&info, sizeof info);
  char line[MAX_PATH];  // CreateProcessA may write into its command line
  lstrcpynA(line, commandLine, sizeof line);
  if (!::CreateProcessA(nullptr, line, nullptr, nullptr, FALSE,
                        CREATE_SUSPENDED | IDLE_PRIORITY_CLASS, nullptr, currentDirectory,
                        &startup, &info))
    return false;
  out->process = info.hProcess;
  out->thread = info.hThread;
  return true;
}
bool Win32Platform::SetThreadPriority(Handle thread, int priority) {
  return ::SetThreadPriority(H(thread), priority) != 0;
}
Handle Win32Platform::GetCurrentThread() { return ::GetCurrentThread(); }
bool Win32Platform::SetPriorityClassOfSelf(uint32_t priorityClass) {
  return ::SetPriorityClass(::GetCurrentProcess(), priorityClass) != 0;
}
uint32_t Win32Platform::ResumeThread(Handle thread) { return ::ResumeThread(H(thread)); }
void Win32Platform::CharToOem(const char* ansi, char* oem) { ::CharToOemA(ansi, oem); }
void Win32Platform::OemToChar(const char* oem, char* ansi) { ::OemToCharA(oem, ansi); }

}  // namespace uninst
