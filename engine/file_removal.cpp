// File and folder removal; see file_removal.h.
#include "engine/file_removal.h"

namespace uninst {
namespace {

// The root of an absolute path as GetVolumeInformationA takes it: "X:\" for a
// drive path, "\\server\share\" for a network path. False for anything else.
bool VolumeRoot(const CodePage& codePage, const char* full, char* root) {
  if (full[0] && full[1] == ':') {
    root[0] = full[0];
    root[1] = ':';
    root[2] = '\\';
    root[3] = '\0';
    return true;
  }
  if (full[0] != '\\' || full[1] != '\\') return false;
  const char* server = full + 2;
  const char* share = codePage.Find(server, '\\');
  if (!share || share == server) return false;
  const char* shareEnd = codePage.Find(share + 1, '\\');
  size_t length = shareEnd ? static_cast<size_t>(shareEnd - full) : TextLength(full);
  if (length + 2 > kMaxPath || length == static_cast<size_t>(share + 1 - full)) return false;
  CopyBytes(root, full, length);
  root[length] = '\\';
  root[length + 1] = '\0';
  return true;
}

}  // namespace

int ClassifyPath(EnginePlatform& platform, const char* path) {
  FindData data;
  Handle find = platform.FindFirstFile(path, &data);
  if (find == kInvalidHandle) return kPathNothing;
  platform.FindClose(find);
  return (data.attributes & kFileAttributeDirectory) ? kPathFolder : kPathFile;
}

bool PathExists(EnginePlatform& platform, const CodePage& codePage, const char* path) {
  char full[kMaxPath];
  uint32_t length = platform.GetFullPathName(path, full, kMaxPath);
  if (length == 0 || length >= kMaxPath) return false;
  char root[kMaxPath];
  if (!VolumeRoot(codePage, full, root) || !platform.GetVolumeInformation(root)) return false;
  FindData data;
  Handle find = platform.FindFirstFile(path, &data);
  if (find == kInvalidHandle) return false;
  platform.FindClose(find);
  return true;
}

bool IsFileLocked(EnginePlatform& platform, const char* path) {
  Handle file = platform.OpenExclusive(path);
  if (file != kInvalidHandle) {
    platform.CloseFile(file);
    return false;
  }
  return platform.GetLastError() == kErrorSharingViolation;
}

bool IsExecutable(const char* path) {
  const char* dot = FindLastByte(path, '.');
  return dot && EqualsAsciiNoCase(dot, ".exe");
}

int DeleteWithShell(EnginePlatform& platform, const CodePage& codePage, char* buffer, size_t size) {
  size_t length = TextLength(buffer);
  if (HasAnyByte(buffer, "*?") || length + 2 > size) return 0;
  if (!PathExists(platform, codePage, buffer)) return 0;
  buffer[length + 1] = '\0';
  return platform.ShellDelete(buffer);
}

bool DeferredList::Append(const char* path) {
  uint32_t length = static_cast<uint32_t>(TextLength(path));
  uint32_t needed = length_ + length + 2;  // path, "|", NUL
  if (needed > capacity_) {
    uint32_t capacity = capacity_ ? capacity_ : 0;
    capacity = capacity * 2 > needed ? capacity * 2 : needed;
    void* grown = text_ ? platform_->HeapReAlloc(text_, capacity) : platform_->HeapAlloc(capacity);
    if (!grown && capacity > needed) {
      // Doubling asked for more than this path needs; ask for just enough.
      capacity = needed;
      grown = text_ ? platform_->HeapReAlloc(text_, capacity) : platform_->HeapAlloc(capacity);
    }
    if (!grown) {
      ++lost_;
      return false;
    }
    if (!text_) static_cast<char*>(grown)[0] = '\0';
    text_ = static_cast<char*>(grown);
    capacity_ = capacity;
  }
  CopyBytes(text_ + length_, path, length);
  length_ += length;
  text_[length_++] = '|';
  text_[length_] = '\0';
  size_ += length + 2;
  return true;
}

void DeferredList::Release() {
  if (text_) platform_->HeapFree(text_);
  text_ = nullptr;
  size_ = length_ = capacity_ = 0;
}

bool CheckRunningPrograms(EnginePlatform& platform, const RemovalList& list,
                          const UninstallData& data, Handle owner) {
  for (const char* path = list.First(); path; path = list.Next(path)) {
    if (ClassifyPath(platform, path) != kPathFile) continue;
    while (IsFileLocked(platform, path) && IsExecutable(path)) {
      if (!*data.runningPrompt || !*data.messageCaption) break;
      if (platform.MessageBox(owner, data.runningPrompt, data.messageCaption, kMbOkCancel) != kIdOk)
        return false;
    }
  }
  return true;
}

bool RemoveListedPaths(EnginePlatform& platform, RemovalList& list, DeferredList& deferred) {
  bool removalFailed = false;
  while (!list.IsEmpty()) {
    const char* path = list.TakeHead();
    int kind = ClassifyPath(platform, path);
    bool removed = true;
    if (kind == kPathFile) removed = platform.DeleteFile(path);
    else if (kind == kPathFolder) removed = platform.RemoveDirectory(path);
    if (!removed) {
      removalFailed = true;
      deferred.Append(path);
    }
  }
  return removalFailed;
}

}  // namespace uninst
