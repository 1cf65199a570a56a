// Safe reading and writing on Windows; see io.h (io_posix.cpp on Linux).
// The temporary file goes beside the target and takes its place through
// MoveFileExA with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH.
#include "tools/uninstdat/system/io.h"

#include <fcntl.h>
#include <io.h>
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "tools/uninstdat/names.h"

namespace uninstdat {
namespace {

std::string Reason(const std::string& what, DWORD error) {
  char text[512] = "";
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                 sizeof text, nullptr);
  std::string reason = text;
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.'))
    reason.pop_back();
  return what + ": " + (reason.empty() ? "error " + std::to_string(error) : reason);
}

bool ReadHandle(HANDLE file, std::string* bytes, DWORD* error) {
  char buffer[65536];
  for (;;) {
    if (bytes->size() > kMaxInputBytes) return *error = ERROR_FILE_TOO_LARGE, false;
    DWORD got = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
      if (GetLastError() == ERROR_BROKEN_PIPE) return true;  // the writer is done
      return *error = GetLastError(), false;
    }
    if (got == 0) return true;
    bytes->append(buffer, got);
  }
}

bool WriteHandle(HANDLE file, const std::string& bytes, DWORD* error) {
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD put = 0;
    DWORD chunk = static_cast<DWORD>(bytes.size() - done < 1u << 20 ? bytes.size() - done : 1u << 20);
    if (!WriteFile(file, bytes.data() + done, chunk, &put, nullptr) || put == 0)
      return *error = GetLastError() ? GetLastError() : ERROR_DISK_FULL, false;
    done += put;
  }
  return true;
}

}  // namespace

Result<std::string> ReadInput(const std::string& path) {
  auto fail = [](const std::string& why) { return Failure{Exit::kBadInput, why}; };
  std::string bytes;
  DWORD code = 0;
  if (path == "-") {
    if (!ReadHandle(GetStdHandle(STD_INPUT_HANDLE), &bytes, &code)) return fail(Reason("cannot read standard input", code));
    return bytes;
  }
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return fail(Reason("cannot read " + path, GetLastError()));
  bool ok = ReadHandle(file, &bytes, &code);
  CloseHandle(file);
  if (!ok) return fail(Reason("cannot read " + path, code));
  return bytes;
}

bool SameFile(const std::string& a, const std::string& b) {
  if (a == "-" || b == "-") return false;
  BY_HANDLE_FILE_INFORMATION x, y;
  auto info = [](const std::string& path, BY_HANDLE_FILE_INFORMATION* out) {
    HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = GetFileInformationByHandle(file, out) != 0;
    CloseHandle(file);
    return ok;
  };
  return info(a, &x) && info(b, &y) && x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
         x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

// WriteOutput, false with the reason in `error`.
static bool WriteWhole(const std::string& path, const std::string& bytes, std::string* error) {
  DWORD code = 0;
  if (path == "-") {
    if (!WriteHandle(GetStdHandle(STD_OUTPUT_HANDLE), bytes, &code))
      return *error = Reason("cannot write standard output", code), false;
    return true;
  }
  DWORD attributes = GetFileAttributesA(path.c_str());
  bool device = path.rfind("\\\\.\\", 0) == 0 || EqualsAsciiNoCase(path.c_str(), "NUL");
  if (device || (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)))
    return *error = "cannot write " + path + ": it is no file", false;
  size_t slash = path.find_last_of("\\/");
  std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  char temp[MAX_PATH + 1];
  if (!GetTempFileNameA(folder.c_str(), "uds", 0, temp))
    return *error = Reason("cannot write a temporary file in " + folder, GetLastError()), false;
  HANDLE file = CreateFileA(temp, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  bool ok = file != INVALID_HANDLE_VALUE;
  if (!ok) code = GetLastError();
  if (ok && !WriteHandle(file, bytes, &code)) ok = false;
  if (ok && !FlushFileBuffers(file)) ok = false, code = GetLastError();
  if (file != INVALID_HANDLE_VALUE && !CloseHandle(file) && ok) ok = false, code = GetLastError();
  if (ok && !MoveFileExA(temp, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    ok = false, code = GetLastError();
  if (!ok) {
    DeleteFileA(temp);
    *error = Reason("cannot write " + path + " (it is unchanged)", code);
  }
  return ok;
}

Result<void> WriteOutput(const std::string& path, const std::string& bytes) {
  std::string error;
  if (!WriteWhole(path, bytes, &error)) return Failure{Exit::kCannotWrite, error};
  return {};
}

std::string LastSystemError() { return strerror(errno); }

}  // namespace uninstdat
