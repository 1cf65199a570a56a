// Files and folders on std::filesystem; see files.h. The same source serves
// Linux and Windows: the library carries the difference.
#include "tools/uninstdat/system/files.h"

#include <stdio.h>
#include <errno.h>
#include <string.h>

#include <filesystem>
#include <system_error>

#include "tools/uninstdat/system/io.h"

namespace uninstdat {
namespace fs = std::filesystem;
namespace {

Failure ReadFailure(const std::error_code& ec) { return Failure{Exit::kBadInput, ec.message()}; }
Failure WriteFailure(const std::error_code& ec) { return Failure{Exit::kCannotWrite, ec.message()}; }

FileKind KindOf(const fs::file_status& status) {
  switch (status.type()) {
    case fs::file_type::regular: return FileKind::kFile;
    case fs::file_type::directory: return FileKind::kFolder;
    case fs::file_type::symlink: return FileKind::kLink;
    case fs::file_type::fifo: return FileKind::kFifo;
    case fs::file_type::socket: return FileKind::kSocket;
    case fs::file_type::none:
    case fs::file_type::not_found: return FileKind::kNone;
    default: return FileKind::kOther;
  }
}

// ListTree's walk: the entries of `folder` as `prefix` + name, each folder
// followed by what it holds.
Result<void> AppendTree(const std::string& folder, const std::string& prefix, std::vector<FolderEntry>* tree) {
  auto entries = ListFolder(folder);
  if (!entries) return entries.failure();
  for (FolderEntry& entry : *entries) {
    std::string name = entry.name;
    tree->push_back({prefix + name, entry.kind});
    if (entry.kind != FileKind::kFolder) continue;
    if (auto below = AppendTree(folder + "/" + name, prefix + name + "/", tree); !below) return below;
  }
  return {};
}

Result<void> Written(const std::error_code& ec) {
  if (ec) return WriteFailure(ec);
  return {};
}

}  // namespace

FileKind KindAt(const std::string& path) {
  std::error_code ec;
  return KindOf(fs::status(path, ec));
}

FileKind EntryKindAt(const std::string& path) {
  std::error_code ec;
  return KindOf(fs::symlink_status(path, ec));
}

Result<std::vector<FolderEntry>> ListFolder(const std::string& folder) {
  std::vector<FolderEntry> entries;
  std::error_code ec;
  fs::directory_iterator it(folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    fs::file_status status = it->symlink_status(ec);
    if (ec) break;
    entries.push_back({it->path().filename().string(), KindOf(status)});
  }
  if (ec) return ReadFailure(ec);
  return entries;
}

Result<std::vector<FolderEntry>> ListTree(const std::string& folder) {
  std::vector<FolderEntry> tree;
  if (auto walked = AppendTree(folder, "", &tree); !walked) return walked.failure();
  return tree;
}

Result<std::string> ReadLink(const std::string& path) {
  std::error_code ec;
  fs::path target = fs::read_symlink(path, ec);
  if (ec) return ReadFailure(ec);
  return target.string();
}

Result<uint64_t> FileSize(const std::string& path) {
  std::error_code ec;
  uintmax_t size = fs::file_size(path, ec);
  if (ec) return ReadFailure(ec);
  return static_cast<uint64_t>(size);
}

std::string ReadOrEmpty(const std::string& path) {
  auto bytes = ReadInput(path);
  return bytes ? std::move(*bytes) : std::string();
}

Result<void> MakeFolders(const std::string& path) {
  std::error_code ec;
  fs::create_directories(path, ec);
  return Written(ec);
}

Result<void> WriteWholeFile(const std::string& path, const std::string& bytes) {
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return Failure{Exit::kCannotWrite, strerror(errno)};
  bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  int reason = errno;
  if (fclose(file) != 0 && written) written = false, reason = errno;
  if (!written) return Failure{Exit::kCannotWrite, strerror(reason)};
  return {};
}

Result<void> CopyFile(const std::string& from, const std::string& to, bool replace) {
  std::error_code ec;
  fs::copy_file(from, to, replace ? fs::copy_options::overwrite_existing : fs::copy_options::none, ec);
  return Written(ec);
}

Result<void> MakeLink(const std::string& target, const std::string& path) {
  std::error_code ec;
  fs::create_symlink(target, path, ec);
  return Written(ec);
}

Result<void> Rename(const std::string& from, const std::string& to) {
  std::error_code ec;
  fs::rename(from, to, ec);
  return Written(ec);
}

Result<void> SetPermissions(const std::string& path, unsigned mode) {
  std::error_code ec;
  fs::permissions(path, fs::perms(mode), fs::perm_options::replace, ec);
  return Written(ec);
}

Result<void> Remove(const std::string& path) {
  std::error_code ec;
  fs::remove(path, ec);
  return Written(ec);
}

Result<void> RemoveTree(const std::string& path) {
  std::error_code ec;
  fs::remove_all(path, ec);
  if (!ec) return {};
  // A folder made read-only keeps what it holds: make every folder
  // writable, then remove again.
  for (auto it = fs::recursive_directory_iterator(path, fs::directory_options::skip_permission_denied, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
    if (it->is_directory(ec) && !it->is_symlink(ec))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  ec.clear();
  fs::remove_all(path, ec);
  return Written(ec);
}

RemovedAtEnd::~RemovedAtEnd() {
  if (path.empty() || keep) return;
  // The run is over: what will not go stays in the temporary folder, and
  // there is no one left to tell.
  static_cast<void>(RemoveTree(path));
}

Result<std::string> AbsolutePath(const std::string& path) {
  std::error_code ec;
  fs::path absolute = fs::absolute(path, ec);
  if (ec) return ReadFailure(ec);
  return absolute.string();
}

std::string FileNameOf(const std::string& path) { return fs::path(path).filename().string(); }

std::string ParentOf(const std::string& path) { return fs::path(path).parent_path().string(); }

}  // namespace uninstdat
