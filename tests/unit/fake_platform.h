// An in-memory Windows for the engine's unit tests: a file tree with held-open
// files, a registry tree, shell folders, scripted message boxes, a settable
// code page, failure switches and a log of the calls whose order matters.
#pragma once

#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace uninst {

struct FakeBox {
  std::string text;
  std::string caption;
  uint32_t type;
};

class FakePlatform : public Platform {
 public:
  FakePlatform();

  // --- Set-up helpers ---
  void AddFile(const std::string& path, const std::string& content = "");
  void AddFolder(const std::string& path);
  bool Exists(const std::string& path) const;
  std::string Content(const std::string& path) const;
  std::vector<std::string> Paths() const;  // every file and folder, sorted
  void AddKey(const std::string& path);    // "HKLM\\Software\\X", parents too
  void SetValue(const std::string& keyPath, const std::string& name, const std::string& data);
  bool KeyExists(const std::string& path) const;
  bool ValueExists(const std::string& keyPath, const std::string& name) const;
  static std::string Upper(std::string text);
  size_t OpenKeys() const { return openKeys_.size(); }  // opened and not closed

  // --- State the tests set ---
  bool versionOk = true;
  OsVersion version = {kVerPlatformWin32Nt, 0};
  std::string modulePath = "C:\\Apps\\Widget\\uninst.exe";
  std::string windowsDir = "C:\\WINNT";
  std::string systemDir = "C:\\WINNT\\System32";
  std::string tempDir = "C:\\TEMP\\";
  uint32_t tempPathResult = 0;  // nonzero: GetTempPath returns this instead
  std::set<uint8_t> leadBytes;
  std::map<int, std::string> shellFolders;  // CSIDL to path
  uint32_t displayNameKind = 0;
  std::deque<int> boxAnswers;  // what each box returns; 0 once they run out
  std::set<std::string> volumes = {"C:\\", "D:\\"};
  std::set<std::string> locked;      // held open without sharing: open and delete fail
  std::map<std::string, int> unlockAfterOpens;  // locked file freed after n lock tests
  std::set<std::string> undeletableKeys;  // RegDeleteKey fails with access denied
  std::set<std::string> unopenableKeys;   // RegOpenKey fails with access denied
  std::set<std::string> badKeys;          // RegEnumKey fails with ERROR_BADKEY
  std::set<std::string> unopenable;       // every open of these files fails
  std::map<std::string, size_t> readFailsAt;  // reads of the file fail from this offset
  std::map<std::string, size_t> fullAt;       // writes to the file stop at this size
  std::map<std::string, std::string> shortNames;  // long path to short path
  uint32_t shortPathError = 0;   // nonzero: GetShortPathName fails with it
  std::map<std::string, std::string> alternateNames;  // path to its 8.3 name
  bool tempFileFails = false;
  bool deleteFails = false;  // DeleteFile of anything named WININIT.INI fails
  bool moveFails = false;    // MoveFile fails
  bool tokenFails = false;
  uint32_t adjustError = 0;  // GetLastError after AdjustTokenPrivilege
  bool createFileFails = false;
  bool createProcessFails = false;
  int heapFailAfter = -1;    // number of heap allocations that succeed, -1 all
  // The OEM code page: ANSI bytes from 0x80 up that it has, as a few letters
  // of 1252 stand in 437; any other such byte becomes oemDefault. The
  // conversion back is the inverse, and "?" for a byte outside it. With
  // oemIsAnsi both pages are one (as for 932, 936, 949 and 950).
  std::map<uint8_t, uint8_t> oemOf = {{0xE9, 0x82}, {0xFC, 0x81}, {0xC4, 0x8E}, {0xE4, 0x84},
                                      {0xDF, 0xE1}, {0xC5, 0x8F}, {0xF6, 0x94}};
  char oemDefault = '?';
  bool oemIsAnsi = false;
  uint32_t lastError = 0;
  uint32_t errorMode = 0;    // what SetErrorMode sets and returns

  // --- What the tests read ---
  std::vector<FakeBox> boxes;
  std::vector<std::string> log;  // ordered calls: "ShellDelete path", ...
  std::vector<std::string> scheduled;  // MoveFileEx delayed deletions
  std::string written;           // what WriteFile wrote, to any file
  int lockTests = 0;
  int heapBlocks = 0;            // allocated and not freed
  int globalBlocks = 0;

  // --- Platform ---
  uint32_t SetErrorMode(uint32_t mode) override;
  bool GetVersionEx(OsVersion* out) override;
  uint32_t GetModuleFileName(char* buffer, uint32_t size) override;
  uint32_t GetLastError() override { return lastError; }
  bool IsDBCSLeadByte(uint8_t byte) override { return leadBytes.count(byte) != 0; }
  bool EnableThreeDLook() override { return true; }
  MemBlock GlobalAlloc(uint32_t size) override;
  void* GlobalLock(MemBlock block) override { return block; }
  void GlobalUnlock(MemBlock) override {}
  void GlobalFree(MemBlock block) override;
  void* HeapAlloc(uint32_t size) override;
  void* HeapReAlloc(void* block, uint32_t size) override;
  void HeapFree(void* block) override;
  Handle GetActiveWindow() override { return nullptr; }
  int MessageBox(Handle owner, const char* text, const char* caption, uint32_t type) override;
  Handle OpenFileReadWrite(const char* path) override;
  Handle OpenFileForReading(const char* path) override;
  int32_t SeekFile(Handle file, int32_t offset, uint32_t origin) override;
  int32_t ReadFile(Handle file, void* buffer, uint32_t size) override;
  void CloseFile(Handle file) override;
  bool DeleteFile(const char* path) override;
  bool RemoveDirectory(const char* path) override;
  Handle FindFirstFile(const char* pattern, FindData* out) override;  // "*", "?" in the last name
  void FindClose(Handle) override {}
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
  Handle GetCurrentThread() override { return reinterpret_cast<Handle>(0x5E1F); }
  bool SetPriorityClassOfSelf(uint32_t priorityClass) override;
  uint32_t ResumeThread(Handle thread) override;
  void CharToOem(const char* ansi, char* oem) override;
  void OemToChar(const char* oem, char* ansi) override;

 private:
  struct Node {
    bool folder = false;
    std::string name;  // as given, for listings
    std::string content;
  };
  struct Key {
    std::string name;
    std::map<std::string, std::pair<std::string, std::string>> values;  // upper name
  };
  struct OpenFile {
    std::string key;
    size_t position = 0;
  };
  bool HasChildren(const std::string& key) const;
  std::string KeyPath(RegKey key) const;
  bool TakeHeap();

  std::map<std::string, Node> nodes_;  // by upper path
  std::map<std::string, Key> keys_;    // by upper path, "HKLM\\..."
  std::map<RegKey, std::string> openKeys_;
  RegKey nextKey_ = 0x1000;
  std::map<intptr_t, OpenFile> files_;
  intptr_t nextFile_ = 0x100;
  std::vector<uint16_t> wideName_;
  std::string ansiName_;
  int tempCounter_ = 0;
};

}  // namespace uninst
