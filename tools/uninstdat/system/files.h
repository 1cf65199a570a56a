// Files and folders as the stage, try and capture need them: listing a
// folder, making, copying, renaming and removing. The one unit of the tool
// on std::filesystem (files.cpp, the same on Linux and Windows); the units
// above call these, so that what they do to a disk is written down here.
//
// A call that can fail returns a Result whose Failure carries the system's
// reason alone (such as "Permission denied"): each caller says what it was
// doing and on which path, as its own message needs. Reads fail with
// kBadInput, writes with kCannotWrite.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tools/uninstdat/result.h"

namespace uninstdat {

// What a path names. kNone: nothing, or nothing this process can see (a
// folder on the way that it may not enter); either way nothing to use.
enum class FileKind { kNone, kFile, kFolder, kLink, kFifo, kSocket, kOther };

// What is at `path`, a link followed to what it leads to.
FileKind KindAt(const std::string& path);
// What is at `path` itself: a link is kLink, wherever it leads.
FileKind EntryKindAt(const std::string& path);

// One entry of a folder: its name (or, from ListTree, its path below the
// folder with "/" between names), as the bytes on disk, and its kind, a
// link not followed.
struct FolderEntry {
  std::string name;
  FileKind kind = FileKind::kNone;
};

// The entries of `folder`, in the order the system gives them (sort them
// where the order shows).
Result<std::vector<FolderEntry>> ListFolder(const std::string& folder);
// Everything below `folder`, each folder before what it holds; links are
// listed, never followed.
Result<std::vector<FolderEntry>> ListTree(const std::string& folder);

// Where the link at `path` leads, as it is written.
Result<std::string> ReadLink(const std::string& path);
// The size in bytes of the file at `path` (a link followed).
Result<uint64_t> FileSize(const std::string& path);
// The file's bytes (ReadInput's, up to its limit), or empty when it cannot
// be read: for what a script may or may not have left.
std::string ReadOrEmpty(const std::string& path);

// `path` and every folder above it that is missing; a folder that is
// there already is no failure.
Result<void> MakeFolders(const std::string& path);
// `bytes` as the whole of the file at `path`, made or emptied first. Unlike
// WriteOutput (io.h), written in place: for the work folder's own files.
Result<void> WriteWholeFile(const std::string& path, const std::string& bytes);
// A copy of the file `from` at `to`; `replace` lets it take the place of
// a file there, else that is a failure.
Result<void> CopyFile(const std::string& from, const std::string& to, bool replace);
// A link at `path` that leads to `target`.
Result<void> MakeLink(const std::string& target, const std::string& path);
// `from` renamed to `to`, on the same file system.
Result<void> Rename(const std::string& from, const std::string& to);
// The permission bits of `path` set to `mode` (such as 0644).
Result<void> SetPermissions(const std::string& path, unsigned mode);
// The file, link or empty folder at `path` removed; nothing there is no
// failure.
Result<void> Remove(const std::string& path);
// `path` and everything below it removed, also where Wine or an installer
// left folders read-only (they are made writable first).
Result<void> RemoveTree(const std::string& path);

// A folder removed with everything in it when this goes out of scope,
// however the run ends, unless `keep` (or an empty `path`).
struct RemovedAtEnd {
  std::string path;
  bool keep = false;
  RemovedAtEnd(std::string folder, bool kept) : path(std::move(folder)), keep(kept) {}
  RemovedAtEnd(const RemovedAtEnd&) = delete;
  RemovedAtEnd& operator=(const RemovedAtEnd&) = delete;
  ~RemovedAtEnd();
};

// `path` made absolute against the current folder (not resolved: links
// and ".." stay).
Result<std::string> AbsolutePath(const std::string& path);
// The last name of `path` ("setup.exe" of "/a/setup.exe").
std::string FileNameOf(const std::string& path);
// `path` without its last name ("/a" of "/a/setup.exe").
std::string ParentOf(const std::string& path);

}  // namespace uninstdat
