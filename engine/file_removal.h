// File and folder removal: path queries, silent shell deletion, the
// running-program check, the removal of the listed paths and DeferredList.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "engine/removal_list.h"
#include "engine/run_state.h"

namespace uninst {

enum PathClass : int { kPathNothing = 0, kPathFile = 1, kPathFolder = 2 };

// What FindFirstFileA finds first at `path`: nothing, a file or a folder.
int ClassifyPath(EnginePlatform& platform, const char* path);
// Whether the path's volume answers and something is found at it. The share
// root of a network path is found by characters in `codePage`.
bool PathExists(EnginePlatform& platform, const CodePage& codePage, const char* path);
// Whether opening the file exclusively fails with a sharing violation.
bool IsFileLocked(EnginePlatform& platform, const char* path);
// Whether the text from the last "." of the whole path is ".exe" in any
// ASCII case.
bool IsExecutable(const char* path);

// Deletes what is at the path in `buffer` (of `size` bytes) through the shell,
// silently and outright, a folder with everything in it. Returns 0 when
// nothing is there or the deletion succeeded, else the shell's result. A path
// with "*" or "?" is treated as not found and never reaches the shell, which
// would delete every match; so is a path without room for the second NUL.
int DeleteWithShell(EnginePlatform& platform, const CodePage& codePage, char* buffer, size_t size);

// DeferredList: the paths that resisted removal, each followed by "|", the
// whole ended by one NUL, in one heap block. Size() is the size the list
// reports (the sum of length + 2 over its paths); the block behind it grows
// by doubling so that n appends copy the text O(log n) times, not n times.
class DeferredList {
 public:
  DeferredList() = default;
  DeferredList(const DeferredList&) = delete;
  DeferredList& operator=(const DeferredList&) = delete;
  ~DeferredList() { Release(); }

  void Attach(EnginePlatform* platform) { platform_ = platform; }
  bool IsPresent() const { return text_ != nullptr; }
  const char* Text() const { return text_ ? text_ : ""; }
  uint32_t Size() const { return size_; }
  // Paths that failed but could not be recorded for want of memory.
  uint32_t Lost() const { return lost_; }

  // Appends `path` and "|". Returns false, keeping every path recorded so
  // far, when the block cannot be grown.
  bool Append(const char* path);
  void Release();

 private:
  EnginePlatform* platform_ = nullptr;
  char* text_ = nullptr;
  uint32_t size_ = 0;
  uint32_t length_ = 0;    // text length without the NUL
  uint32_t capacity_ = 0;  // bytes really allocated
  uint32_t lost_ = 0;
};

// For every listed file that is in use and a program, asks the user with
// `runningPrompt` (OK/Cancel, owner `owner`) until the file is free. Returns
// false when the user answers anything but OK. Skips the box (and the file)
// when the prompt or the caption is empty.
bool CheckRunningPrograms(EnginePlatform& platform, const RemovalList& list,
                          const UninstallData& data, Handle owner);

// Drains `list` head first: files with DeleteFileA, folders with
// RemoveDirectoryA, each classified at its turn; every failed call appends
// the path to `deferred`. Returns removalFailed: true exactly when a removal
// call failed.
bool RemoveListedPaths(EnginePlatform& platform, RemovalList& list, DeferredList& deferred);

}  // namespace uninst
