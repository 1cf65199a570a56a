// The in-memory Windows of the unit tests; see fake_platform.h.
#include "tests/unit/fake_platform.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <fnmatch.h>

namespace uninst {
namespace {

const intptr_t kProcess = 0xB0, kThread = 0xB1, kToken = 0x70;

std::string HandleName(Handle handle) {
  intptr_t value = reinterpret_cast<intptr_t>(handle);
  if (value == kProcess) return "batch-process";
  if (value == kThread) return "batch-thread";
  if (value == kToken) return "token";
  if (value == 0x5E1F) return "self-thread";
  return "file";
}

uint32_t CopyOut(const std::string& text, char* buffer, uint32_t size) {
  if (text.size() + 1 > size) return static_cast<uint32_t>(text.size() + 1);
  memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<uint32_t>(text.size());
}

std::string Parent(const std::string& path) {
  size_t at = path.rfind('\\');
  return at == std::string::npos ? std::string() : path.substr(0, at);
}

std::string RootName(RegKey key) {
  switch (key) {
    case kHkeyClassesRoot: return "HKCR";
    case kHkeyCurrentUser: return "HKCU";
    case kHkeyLocalMachine: return "HKLM";
    case kHkeyUsers: return "HKU";
    case kHkeyCurrentConfig: return "HKCC";
    case kHkeyDynData: return "HKDD";
    default: return "";
  }
}

}  // namespace

FakePlatform::FakePlatform() {
  for (const char* root : {"HKCR", "HKCU", "HKLM", "HKU", "HKCC", "HKDD"}) keys_[root].name = root;
}

std::string FakePlatform::Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return text;
}

void FakePlatform::AddFolder(const std::string& path) {
  std::string parent = Parent(path);
  if (parent.size() > 2 && !nodes_.count(Upper(parent))) AddFolder(parent);
  Node& node = nodes_[Upper(path)];
  node.folder = true;
  node.name = path;
}

void FakePlatform::AddFile(const std::string& path, const std::string& content) {
  std::string parent = Parent(path);
  if (parent.size() > 2 && !nodes_.count(Upper(parent))) AddFolder(parent);
  Node& node = nodes_[Upper(path)];
  node.folder = false;
  node.name = path;
  node.content = content;
}

bool FakePlatform::Exists(const std::string& path) const { return nodes_.count(Upper(path)) != 0; }

std::string FakePlatform::Content(const std::string& path) const {
  auto it = nodes_.find(Upper(path));
  return it == nodes_.end() ? std::string() : it->second.content;
}

std::vector<std::string> FakePlatform::Paths() const {
  std::vector<std::string> paths;
  for (const auto& entry : nodes_) paths.push_back(entry.second.name);
  return paths;
}

bool FakePlatform::HasChildren(const std::string& key) const {
  auto it = nodes_.upper_bound(key + "\\");
  return it != nodes_.end() && it->first.compare(0, key.size() + 1, key + "\\") == 0;
}

void FakePlatform::AddKey(const std::string& path) {
  std::string parent = Parent(path);
  if (!parent.empty() && !keys_.count(Upper(parent))) AddKey(parent);
  Key& key = keys_[Upper(path)];
  key.name = path.substr(path.rfind('\\') + 1);
}

void FakePlatform::SetValue(const std::string& keyPath, const std::string& name,
                            const std::string& data) {
  AddKey(keyPath);
  keys_[Upper(keyPath)].values[Upper(name)] = {name, data};
}

bool FakePlatform::KeyExists(const std::string& path) const { return keys_.count(Upper(path)) != 0; }

bool FakePlatform::ValueExists(const std::string& keyPath, const std::string& name) const {
  auto it = keys_.find(Upper(keyPath));
  return it != keys_.end() && it->second.values.count(Upper(name)) != 0;
}

bool FakePlatform::TakeHeap() {
  if (heapFailAfter == 0) return false;
  if (heapFailAfter > 0) --heapFailAfter;
  return true;
}

uint32_t FakePlatform::SetErrorMode(uint32_t mode) {
  log.push_back("SetErrorMode " + std::to_string(mode));
  uint32_t old = errorMode;
  errorMode = mode;
  return old;
}

bool FakePlatform::GetVersionEx(OsVersion* out) {
  if (!versionOk) return false;
  *out = version;
  return true;
}

uint32_t FakePlatform::GetModuleFileName(char* buffer, uint32_t size) {
  if (modulePath.size() + 1 > size) {
    memcpy(buffer, modulePath.c_str(), size - 1);
    buffer[size - 1] = '\0';
    return size;
  }
  return CopyOut(modulePath, buffer, size);
}

MemBlock FakePlatform::GlobalAlloc(uint32_t size) {
  if (!TakeHeap()) return nullptr;
  ++globalBlocks;
  return malloc(size ? size : 1);
}

void FakePlatform::GlobalFree(MemBlock block) {
  log.push_back("GlobalFree");
  --globalBlocks;
  free(block);
}

void* FakePlatform::HeapAlloc(uint32_t size) {
  if (!TakeHeap()) return nullptr;
  ++heapBlocks;
  return malloc(size ? size : 1);
}

void* FakePlatform::HeapReAlloc(void* block, uint32_t size) {
  if (!TakeHeap()) return nullptr;
  return realloc(block, size ? size : 1);
}

void FakePlatform::HeapFree(void* block) {
  --heapBlocks;
  free(block);
}

int FakePlatform::MessageBox(Handle, const char* text, const char* caption, uint32_t type) {
  boxes.push_back({text, caption, type});
  log.push_back(std::string("MessageBox ") + text);
  if (boxAnswers.empty()) return 0;
  int answer = boxAnswers.front();
  boxAnswers.pop_front();
  return answer;
}

Handle FakePlatform::OpenFileReadWrite(const char* path) {
  auto it = nodes_.find(Upper(path));
  if (it == nodes_.end() || it->second.folder || locked.count(Upper(path)) ||
      unopenable.count(Upper(path)))
    return kInvalidHandle;
  intptr_t handle = nextFile_++;
  files_[handle] = {Upper(path), 0};
  return reinterpret_cast<Handle>(handle);
}

Handle FakePlatform::OpenFileForReading(const char* path) { return OpenFileReadWrite(path); }

int32_t FakePlatform::SeekFile(Handle file, int32_t offset, uint32_t origin) {
  OpenFile& open = files_.at(reinterpret_cast<intptr_t>(file));
  size_t size = nodes_[open.key].content.size();
  open.position = (origin == kSeekEnd ? size : 0) + offset;
  return static_cast<int32_t>(open.position);
}

int32_t FakePlatform::ReadFile(Handle file, void* buffer, uint32_t size) {
  OpenFile& open = files_.at(reinterpret_cast<intptr_t>(file));
  const std::string& content = nodes_[open.key].content;
  size_t end = content.size();
  auto fails = readFailsAt.find(open.key);
  if (fails != readFailsAt.end()) {
    if (open.position >= fails->second) return -1;
    end = std::min(end, fails->second);
  }
  size_t n = std::min<size_t>(size, end - std::min(open.position, end));
  memcpy(buffer, content.data() + open.position, n);
  open.position += n;
  return static_cast<int32_t>(n);
}

void FakePlatform::CloseFile(Handle file) { files_.erase(reinterpret_cast<intptr_t>(file)); }

bool FakePlatform::DeleteFile(const char* path) {
  log.push_back(std::string("DeleteFile ") + path);
  std::string key = Upper(path);
  if (key.size() > 1 && key[0] == '\\' && key[1] != '\\') key = "C:" + key;  // current drive
  auto it = nodes_.find(key);
  if (it == nodes_.end()) { lastError = 2; return false; }
  if (it->second.folder || locked.count(key)) { lastError = it->second.folder ? 5 : 32; return false; }
  if (deleteFails && key.size() >= 11 && key.compare(key.size() - 11, 11, "WININIT.INI") == 0)
    return false;
  nodes_.erase(it);
  return true;
}

bool FakePlatform::RemoveDirectory(const char* path) {
  log.push_back(std::string("RemoveDirectory ") + path);
  std::string key = Upper(path);
  auto it = nodes_.find(key);
  if (it == nodes_.end() || !it->second.folder || HasChildren(key)) return false;
  nodes_.erase(it);
  return true;
}

Handle FakePlatform::FindFirstFile(const char* pattern, FindData* out) {
  auto it = nodes_.find(Upper(pattern));
  if (it == nodes_.end() && strpbrk(pattern, "*?")) {  // the first match in the pattern's folder
    std::string folder = Upper(Parent(pattern));
    std::string name = Upper(pattern).substr(folder.size() + 1);
    auto matches = [&](const std::pair<const std::string, Node>& node) {
      return Parent(node.first) == folder &&
             fnmatch(name.c_str(), node.first.c_str() + folder.size() + 1, FNM_NOESCAPE) == 0;
    };
    it = std::find_if(nodes_.begin(), nodes_.end(), matches);
  }
  if (it == nodes_.end()) { lastError = 2; return kInvalidHandle; }
  out->attributes = it->second.folder ? kFileAttributeDirectory : kFileAttributeNormal;
  auto alt = alternateNames.find(Upper(pattern));
  std::string name = alt == alternateNames.end() ? "" : alt->second;
  strncpy(out->alternateFileName, name.c_str(), sizeof out->alternateFileName - 1);
  out->alternateFileName[sizeof out->alternateFileName - 1] = '\0';
  return reinterpret_cast<Handle>(0xF1);
}

uint32_t FakePlatform::GetFullPathName(const char* path, char* buffer, uint32_t size) {
  std::string full = path;
  if (!(full.size() >= 2 && (full[1] == ':' || (full[0] == '\\' && full[1] == '\\'))))
    full = "C:\\" + full;
  return CopyOut(full, buffer, size);
}

bool FakePlatform::GetVolumeInformation(const char* root) { return volumes.count(Upper(root)) != 0; }

Handle FakePlatform::OpenExclusive(const char* path) {
  ++lockTests;
  std::string key = Upper(path);
  if (locked.count(key)) {
    auto it = unlockAfterOpens.find(key);
    if (it != unlockAfterOpens.end() && --it->second <= 0) {
      locked.erase(key);
      unlockAfterOpens.erase(it);
    } else {
      lastError = kErrorSharingViolation;
      return kInvalidHandle;
    }
  }
  if (unopenable.count(key)) { lastError = 5; return kInvalidHandle; }  // access denied
  auto it = nodes_.find(key);
  if (it == nodes_.end()) { lastError = 2; return kInvalidHandle; }
  intptr_t handle = nextFile_++;
  files_[handle] = {key, 0};
  return reinterpret_cast<Handle>(handle);
}

uint32_t FakePlatform::GetWindowsDirectory(char* buffer, uint32_t size) {
  return windowsDir.empty() ? 0 : CopyOut(windowsDir, buffer, size);
}

uint32_t FakePlatform::GetSystemDirectory(char* buffer, uint32_t size) {
  return CopyOut(systemDir, buffer, size);
}

uint32_t FakePlatform::GetTempPath(uint32_t size, char* buffer) {
  if (tempPathResult) return tempPathResult;
  return tempDir.empty() ? 0 : CopyOut(tempDir, buffer, size);
}

bool FakePlatform::GetSpecialFolderDisplayName(int csidl, uint32_t flags, DisplayName* out) {
  log.push_back("ShellFolder " + std::to_string(csidl));
  auto it = shellFolders.find(csidl);
  if (it == shellFolders.end() || flags != kShgdnForParsing) return false;
  *out = DisplayName{};
  out->kind = displayNameKind;
  ansiName_ = it->second;
  wideName_.assign(ansiName_.begin(), ansiName_.end());
  wideName_.push_back(0);
  if (displayNameKind == 0 || displayNameKind == 5) {
    out->wide = wideName_.data();
    out->wideMax = displayNameKind == 5 ? 130 : static_cast<uint32_t>(wideName_.size());
  } else {
    out->ansi = ansiName_.c_str();
    out->ansiMax = static_cast<uint32_t>(ansiName_.size() + 1);
  }
  out->cookie = this;
  return true;
}

void FakePlatform::ReleaseDisplayName(DisplayName* name) { name->cookie = nullptr; }

int FakePlatform::WideCharToMultiByte(const uint16_t* wide, char* out, int outSize) {
  int length = 0;
  while (wide[length]) ++length;
  if (length + 1 > outSize) return 0;
  for (int i = 0; i <= length; ++i) out[i] = static_cast<char>(wide[i]);
  return length + 1;
}

int FakePlatform::ShellDelete(const char* from) {
  log.push_back(std::string("ShellDelete ") + from);
  if (from[strlen(from) + 1] != '\0') return 1;  // a list of more than one name
  std::string key = Upper(from);
  auto it = nodes_.find(key);
  if (it == nodes_.end()) return 2;
  nodes_.erase(it);
  for (auto child = nodes_.lower_bound(key + "\\");
       child != nodes_.end() && child->first.compare(0, key.size() + 1, key + "\\") == 0;)
    child = nodes_.erase(child);
  return 0;
}

std::string FakePlatform::KeyPath(RegKey key) const {
  std::string root = RootName(key);
  if (!root.empty()) return root;
  auto it = openKeys_.find(key);
  return it == openKeys_.end() ? std::string() : it->second;
}

int32_t FakePlatform::RegCreateKey(RegKey root, const char* subkey, RegKey* out) {
  std::string path = KeyPath(root) + "\\" + subkey;
  AddKey(path);
  *out = nextKey_++;
  openKeys_[*out] = Upper(path);
  return 0;
}

int32_t FakePlatform::RegQueryValueEx(RegKey key, const char* name, char* data, uint32_t* size) {
  auto it = keys_.find(KeyPath(key));
  if (it == keys_.end()) return 6;
  auto value = it->second.values.find(Upper(name));
  if (value == it->second.values.end()) return 2;
  const std::string& bytes = value->second.second;
  if (bytes.size() > *size) { *size = static_cast<uint32_t>(bytes.size()); return 234; }
  memcpy(data, bytes.data(), bytes.size());
  *size = static_cast<uint32_t>(bytes.size());
  return 0;
}

int32_t FakePlatform::RegCloseKey(RegKey key) {
  openKeys_.erase(key);
  return 0;
}

int32_t FakePlatform::RegOpenKeyEx(RegKey root, const char* subkey, RegKey* out) {
  return RegOpenKey(root, subkey, out);
}

int32_t FakePlatform::RegOpenKey(RegKey parent, const char* name, RegKey* out) {
  std::string path = KeyPath(parent);
  if (path.empty()) return 6;
  if (*name) path += "\\" + Upper(name);
  if (!keys_.count(path)) return 2;
  if (unopenableKeys.count(path)) return 5;
  *out = nextKey_++;
  openKeys_[*out] = path;
  return 0;
}

int32_t FakePlatform::RegEnumKey(RegKey key, uint32_t index, char* name, uint32_t size) {
  std::string path = KeyPath(key);
  if (!keys_.count(path) || badKeys.count(path)) return static_cast<int32_t>(kErrorBadKey);
  std::string prefix = path + "\\";
  uint32_t seen = 0;
  for (auto it = keys_.lower_bound(prefix); it != keys_.end(); ++it) {
    if (it->first.compare(0, prefix.size(), prefix) != 0) break;
    if (it->first.find('\\', prefix.size()) != std::string::npos) continue;
    if (seen++ < index) continue;
    if (it->second.name.size() + 1 > size) return 234;
    memcpy(name, it->second.name.c_str(), it->second.name.size() + 1);
    return 0;
  }
  return static_cast<int32_t>(kErrorNoMoreItems);
}

int32_t FakePlatform::RegDeleteKey(RegKey parent, const char* name) {
  std::string path = KeyPath(parent) + "\\" + Upper(name);
  log.push_back("RegDeleteKey " + path);
  if (!keys_.count(path)) return 2;
  if (undeletableKeys.count(path)) return 5;
  auto child = keys_.upper_bound(path + "\\");
  if (child != keys_.end() && child->first.compare(0, path.size() + 1, path + "\\") == 0) return 5;
  keys_.erase(path);
  return 0;
}

int32_t FakePlatform::RegDeleteValue(RegKey key, const char* name) {
  auto it = keys_.find(KeyPath(key));
  log.push_back("RegDeleteValue " + KeyPath(key) + " " + name);
  if (it == keys_.end() || !it->second.values.erase(Upper(name))) return 2;
  return 0;
}

bool FakePlatform::SetFileAttributes(const char* path, uint32_t attributes) {
  log.push_back("SetFileAttributes " + std::string(path) + " " + std::to_string(attributes));
  return Exists(path);
}

bool FakePlatform::MoveFileEx(const char* path, const char* newName, uint32_t flags) {
  if (newName || flags != kMoveFileDelayUntilReboot) return false;
  scheduled.push_back(path);
  return true;
}

bool FakePlatform::MoveFile(const char* from, const char* to) {
  log.push_back(std::string("MoveFile ") + from + " " + to);
  if (moveFails) return false;
  auto it = nodes_.find(Upper(from));
  if (it == nodes_.end() || Exists(to)) return false;
  Node node = it->second;
  nodes_.erase(it);
  node.name = to;
  nodes_[Upper(to)] = node;
  return true;
}

uint32_t FakePlatform::GetShortPathName(const char* path, char* buffer, uint32_t size) {
  if (shortPathError) { lastError = shortPathError; return 0; }
  auto it = shortNames.find(Upper(path));
  if (it == shortNames.end()) { lastError = 2; return 0; }
  // A short form that does not fit leaves the buffer holding its cut start,
  // so that a caller that used it anyway would name another file.
  if (it->second.size() + 1 > size && size > 0) {
    memcpy(buffer, it->second.data(), size - 1);
    buffer[size - 1] = '\0';
  }
  return CopyOut(it->second, buffer, size);
}

uint32_t FakePlatform::GetTempFileName(const char* folder, const char* prefix, uint32_t unique,
                                       char* buffer) {
  log.push_back(std::string("GetTempFileName ") + folder + " " + prefix + " " + std::to_string(unique));
  if (tempFileFails) return 0;
  char name[32];
  snprintf(name, sizeof name, "%.3s%X.TMP", prefix, ++tempCounter_);
  std::string path = std::string(folder) + "\\" + name;
  AddFile(path);
  return CopyOut(path, buffer, kMaxPath + 1) ? tempCounter_ : 0;
}

bool FakePlatform::OpenProcessToken(Handle* token) {
  log.push_back("OpenProcessToken");
  if (tokenFails) return false;
  *token = reinterpret_cast<Handle>(kToken);
  return true;
}

bool FakePlatform::LookupShutdownPrivilege(uint64_t* luid) {
  log.push_back("LookupPrivilegeValue");
  *luid = 19;
  return true;
}

bool FakePlatform::AdjustTokenPrivilege(Handle, uint64_t luid) {
  log.push_back("AdjustTokenPrivileges " + std::to_string(luid));
  lastError = adjustError;
  return true;
}

bool FakePlatform::ExitWindowsEx(uint32_t flags, uint32_t reserved) {
  log.push_back("ExitWindowsEx " + std::to_string(flags) + " " + std::to_string(reserved));
  return true;
}

void FakePlatform::CloseHandle(Handle handle) {
  log.push_back("CloseHandle " + HandleName(handle));
  files_.erase(reinterpret_cast<intptr_t>(handle));
}

Handle FakePlatform::CreateFileForWriting(const char* path) {
  log.push_back(std::string("CreateFile ") + path);
  if (createFileFails) return kInvalidHandle;
  std::string full = std::string("C:") + path;
  AddFile(full);
  intptr_t handle = nextFile_++;
  files_[handle] = {Upper(full), 0};
  return reinterpret_cast<Handle>(handle);
}

bool FakePlatform::WriteFile(Handle file, const void* data, uint32_t size) {
  log.push_back("WriteFile");
  OpenFile& open = files_.at(reinterpret_cast<intptr_t>(file));
  std::string& content = nodes_[open.key].content;
  auto full = fullAt.find(open.key);
  uint32_t fits = size;
  if (full != fullAt.end()) fits = static_cast<uint32_t>(std::min<size_t>(size, full->second - std::min(full->second, open.position)));
  written.append(static_cast<const char*>(data), fits);
  content.replace(open.position, fits, static_cast<const char*>(data), fits);
  open.position += fits;
  return fits == size;
}

bool FakePlatform::CreateProcessSuspendedIdle(const char* commandLine,
                                              const char* currentDirectory, ProcessInfo* out) {
  log.push_back(std::string("CreateProcess ") + commandLine + " in " + currentDirectory);
  if (createProcessFails) return false;
  out->process = reinterpret_cast<Handle>(kProcess);
  out->thread = reinterpret_cast<Handle>(kThread);
  return true;
}

bool FakePlatform::SetThreadPriority(Handle thread, int priority) {
  log.push_back("SetThreadPriority " + HandleName(thread) + " " + std::to_string(priority));
  return true;
}

bool FakePlatform::SetPriorityClassOfSelf(uint32_t priorityClass) {
  log.push_back("SetPriorityClass " + std::to_string(priorityClass));
  return true;
}

uint32_t FakePlatform::ResumeThread(Handle thread) {
  log.push_back("ResumeThread " + HandleName(thread));
  return 1;
}

void FakePlatform::CharToOem(const char* ansi, char* oem) {
  for (;; ++ansi, ++oem) {
    uint8_t byte = static_cast<uint8_t>(*ansi);
    auto it = oemOf.find(byte);
    *oem = byte < 0x80 || oemIsAnsi ? *ansi : it != oemOf.end() ? static_cast<char>(it->second) : oemDefault;
    if (!byte) return;
  }
}

void FakePlatform::OemToChar(const char* oem, char* ansi) {
  for (;; ++oem, ++ansi) {
    uint8_t byte = static_cast<uint8_t>(*oem);
    *ansi = byte < 0x80 || oemIsAnsi ? *oem : '?';
    for (const auto& pair : oemOf)
      if (!oemIsAnsi && byte >= 0x80 && pair.second == byte) *ansi = static_cast<char>(pair.first);
    if (!byte) return;
  }
}

}  // namespace uninst
