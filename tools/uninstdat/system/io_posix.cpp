// Safe reading and writing on Linux; see io.h (io_win.cpp on Windows).
#include "tools/uninstdat/system/io.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace uninstdat {
namespace {

std::string Reason(const std::string& what, int error) { return what + ": " + strerror(error); }

// For reads: EFBIG is the size limit of an input, not of the file system.
std::string ReadReason(const std::string& what, int error) {
  if (error == EFBIG) return what + ": it has more than " + std::to_string(kMaxInputBytes >> 20) + " MiB";
  return Reason(what, error);
}

bool ReadFd(int fd, std::string* bytes, int* error) {
  char buffer[65536];
  for (;;) {
    if (bytes->size() > kMaxInputBytes) {
      *error = EFBIG;
      return false;
    }
    ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *error = errno;
      return false;
    }
    if (got == 0) return true;
    bytes->append(buffer, static_cast<size_t>(got));
  }
}

bool WriteFd(int fd, const std::string& bytes, int* error) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      *error = put < 0 ? errno : ENOSPC;
      return false;
    }
    done += static_cast<size_t>(put);
  }
  return true;
}

}  // namespace

Result<std::string> ReadInput(const std::string& path) {
  auto fail = [](const std::string& why) { return Failure{Exit::kBadInput, why}; };
  std::string bytes;
  int error = 0;
  if (path == "-") {
    if (!ReadFd(STDIN_FILENO, &bytes, &error)) return fail(ReadReason("cannot read standard input", error));
    return bytes;
  }
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return fail(Reason("cannot read " + path, errno));
  struct stat info;
  if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    close(fd);
    return fail(Reason("cannot read " + path, EISDIR));
  }
  bool ok = ReadFd(fd, &bytes, &error);
  close(fd);
  if (!ok) return fail(ReadReason("cannot read " + path, error));
  return bytes;
}

bool SameFile(const std::string& a, const std::string& b) {
  if (a == "-" || b == "-") return false;
  struct stat x, y;
  if (stat(a.c_str(), &x) != 0 || stat(b.c_str(), &y) != 0) return false;
  return x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

// WriteOutput, false with the reason in `error`.
static bool WriteWhole(const std::string& path, const std::string& bytes, std::string* error) {
  int error_ = 0;
  if (path == "-") {
    if (!WriteFd(STDOUT_FILENO, bytes, &error_)) return *error = Reason("cannot write standard output", error_), false;
    return true;
  }
  // A link is followed, so that the file it names gets the new bytes.
  std::string target = path;
  struct stat info;
  bool exists = stat(path.c_str(), &info) == 0;
  if (exists) {
    if (char* resolved = realpath(path.c_str(), nullptr)) {
      target = resolved;
      free(resolved);
    }
  }
  if (exists && !S_ISREG(info.st_mode)) {
    int fd = open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) return *error = Reason("cannot write " + path, errno), false;
    bool ok = WriteFd(fd, bytes, &error_);
    if (close(fd) != 0 && ok) ok = false, error_ = errno;
    if (!ok) *error = Reason("cannot write " + path, error_);
    return ok;
  }

  size_t slash = target.rfind('/');
  std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
  std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string pattern = folder + "/." + name + ".XXXXXX";
  std::vector<char> temp(pattern.begin(), pattern.end());
  temp.push_back('\0');
  int fd = mkstemp(temp.data());
  if (fd < 0) return *error = Reason("cannot write a temporary file in " + folder, errno), false;
  auto fail = [&](int code) {
    close(fd);
    unlink(temp.data());
    *error = Reason("cannot write " + path + " (it is unchanged)", code);
    return false;
  };
  // The new file gets the old one's permissions, or those a new file gets.
  mode_t mode;
  if (exists) {
    mode = info.st_mode & 07777;
  } else {
    mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  if (fchmod(fd, mode) != 0) return fail(errno);
  if (!WriteFd(fd, bytes, &error_)) return fail(error_);
  if (fsync(fd) != 0) return fail(errno);
  if (close(fd) != 0) {
    int code = errno;
    unlink(temp.data());
    *error = Reason("cannot write " + path + " (it is unchanged)", code);
    return false;
  }
  if (rename(temp.data(), target.c_str()) != 0) {
    int code = errno;
    unlink(temp.data());
    *error = Reason("cannot put the new file in the place of " + path + " (it is unchanged)", code);
    return false;
  }
  return true;
}

Result<void> WriteOutput(const std::string& path, const std::string& bytes) {
  std::string error;
  if (!WriteWhole(path, bytes, &error)) return Failure{Exit::kCannotWrite, error};
  return {};
}

std::string LastSystemError() { return strerror(errno); }

}  // namespace uninstdat
