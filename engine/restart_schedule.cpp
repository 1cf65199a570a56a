// Deletion at the next start of Windows; see restart_schedule.h.
#include "engine/restart_schedule.h"

#include "engine/locations.h"

namespace uninst {
namespace {

constexpr size_t kPieceChars = 255;  // a 256-byte line buffer less its NUL

// Writes text with "\n" as CR LF, as a text-mode stream would.
void WriteText(ByteSink& out, const char* text, size_t size) {
  size_t start = 0;
  for (size_t i = 0; i < size; ++i) {
    if (text[i] != '\n') continue;
    if (i > start) out.Write(text + start, i - start);
    out.Write("\r\n", 2);
    start = i + 1;
  }
  if (size > start) out.Write(text + start, size - start);
}

// Reads the old file's bytes as text mode does, one piece at a time: up to and
// including a line end, or the next kPieceChars characters.
class PieceReader {
 public:
  PieceReader(const char* bytes, size_t size) : at_(bytes), end_(bytes + size) {
    if (const char* eof = FindByte(bytes, size, '\x1A')) end_ = eof;
  }
  // The next piece in `piece` (text mode: CR LF read as "\n"); false at end.
  bool Next(char* piece, size_t* length) {
    size_t n = 0;
    while (at_ < end_ && n < kPieceChars) {
      char c = *at_++;
      if (c == '\r' && at_ < end_ && *at_ == '\n') c = *at_++;
      piece[n++] = c;
      if (c == '\n') break;
    }
    *length = n;
    return n > 0;
  }

 private:
  const char* at_;
  const char* end_;
};

// Writes into a file through a small buffer, so that the many short pieces
// of a rewrite cost few WriteFile calls. Remembers the first failed write: a
// short temporary file must never take the place of WININIT.INI.
class FileSink : public ByteSink {
 public:
  FileSink(EnginePlatform& platform, Handle file) : platform_(platform), file_(file) {}
  void Write(const char* data, size_t size) override {
    while (size > 0) {
      if (used_ == sizeof buffer_) Flush();
      size_t n = sizeof buffer_ - used_ < size ? sizeof buffer_ - used_ : size;
      CopyBytes(buffer_ + used_, data, n);
      used_ += n;
      data += n;
      size -= n;
    }
  }
  // Writes what is buffered; true when every write so far succeeded.
  bool Flush() {
    if (used_ > 0 && !platform_.WriteFile(file_, buffer_, static_cast<uint32_t>(used_))) failed_ = true;
    used_ = 0;
    return !failed_;
  }

 private:
  EnginePlatform& platform_;
  Handle file_;
  char buffer_[1024];
  size_t used_ = 0;
  bool failed_ = false;
};

// Reads the whole file into one heap block. False when memory fails or a
// read fails: an error in the middle is no end of the file, and a rewrite
// from part of the old content would lose the rest.
bool ReadAll(EnginePlatform& platform, Handle file, char** bytes, size_t* size) {
  size_t capacity = 4096, used = 0;
  char* data = static_cast<char*>(platform.HeapAlloc(capacity));
  if (!data) return false;
  for (;;) {
    if (used == capacity) {
      void* grown = capacity < 0x40000000u ? platform.HeapReAlloc(data, static_cast<uint32_t>(capacity * 2))
                                           : nullptr;
      if (!grown) {
        platform.HeapFree(data);
        return false;
      }
      data = static_cast<char*>(grown);
      capacity *= 2;
    }
    int32_t got = platform.ReadFile(file, data + used, static_cast<uint32_t>(capacity - used));
    if (got < 0) {
      platform.HeapFree(data);
      return false;
    }
    if (got == 0) break;
    used += static_cast<size_t>(got);
  }
  *bytes = data;
  *size = used;
  return true;
}

bool RewriteWininitFile(RunState& state, const char* path) {
  EnginePlatform& platform = state.platform;
  char windows[kMaxPath];
  uint32_t length = platform.GetWindowsDirectory(windows, kMaxPath);
  if (length == 0 || length >= kMaxPath) return false;
  char shortPath[kMaxPath];
  bool line = state.osFamily != kOsUnknown;
  if (!ShortPathForWininit(platform, state.codePage, path, shortPath)) return false;

  char temp[kMaxPath + 1];
  if (!platform.GetTempFileName(windows, "WININIT.INI", 0, temp)) return false;
  char ini[kMaxPath];
  if (!CopyBounded(ini, sizeof ini, windows) ||
      !AppendPathComponent(state.codePage, ini, "WININIT.INI")) {
    platform.DeleteFile(temp);
    return false;
  }
  Handle out = platform.OpenFileReadWrite(temp);
  if (out == kInvalidHandle) return false;
  Handle in = platform.OpenFileForReading(ini);
  char* old = nullptr;
  size_t oldSize = 0;
  bool ok = in == kInvalidHandle || ReadAll(platform, in, &old, &oldSize);
  if (ok) {
    FileSink sink(platform, out);
    RewriteWininit(in != kInvalidHandle ? old : nullptr, oldSize, line ? shortPath : nullptr, sink);
    ok = sink.Flush();
  }
  if (old) platform.HeapFree(old);
  platform.CloseFile(out);
  if (in != kInvalidHandle) platform.CloseFile(in);
  // Without the whole old content, or with a new one that was not written
  // whole, WININIT.INI stays as it was.
  if (!ok || (in != kInvalidHandle && !platform.DeleteFile(ini))) {
    platform.DeleteFile(temp);
    return false;
  }
  platform.MoveFile(temp, ini);
  return line;
}

}  // namespace

void RewriteWininit(const char* old, size_t oldSize, const char* shortPath, ByteSink& out) {
  char piece[kPieceChars + 1];
  size_t length = 0;
  PieceReader reader(old ? old : "", old ? oldSize : 0);
  bool atLineStart = true;
  while (reader.Next(piece, &length)) {
    // Only the piece's first eight characters count; the rest of its line
    // goes with the old header. A piece that continues a line longer than
    // a piece is no line of its own, so it is never taken for the header.
    bool header = atLineStart && length >= 8;
    for (size_t i = 0; header && i < 8; ++i)
      if (AsciiLower(piece[i]) != "[rename]"[i]) header = false;
    if (header) break;
    WriteText(out, piece, length);
    atLineStart = piece[length - 1] == '\n';
  }
  // A last line without its line end would swallow the header.
  if (!atLineStart) out.Write("\r\n", 2);
  WriteText(out, "[rename]\n", 9);
  if (shortPath) {
    WriteText(out, "NUL=", 4);
    WriteText(out, shortPath, TextLength(shortPath));
    WriteText(out, "\n", 1);
  }
  while (reader.Next(piece, &length)) WriteText(out, piece, length);
}

bool ShortPathForWininit(EnginePlatform& platform, const CodePage& codePage, const char* path,
                         char* out) {
  uint32_t length = platform.GetShortPathName(path, out, kMaxPath);
  if (length != 0 && length < kMaxPath) return true;
  uint32_t error = platform.GetLastError();
  if (!CopyBounded(out, kMaxPath, path)) return false;
  if (error != kErrorNotSupported) return true;
  FindData data;
  Handle find = platform.FindFirstFile(path, &data);
  if (find == kInvalidHandle) return true;
  platform.FindClose(find);
  // An entry without a separate 8.3 name keeps its long name: appending the
  // empty alternate would name the folder instead. The last backslash is
  // found by characters: a trail byte "\\" is inside the last name.
  char* backslash = const_cast<char*>(codePage.FindLast(out, '\\'));
  if (!data.alternateFileName[0] || !backslash) return true;
  char shortened[kMaxPath];
  CopyBytes(shortened, out, static_cast<size_t>(backslash - out));
  shortened[backslash - out] = '\0';
  if (AppendPathComponent(codePage, shortened, data.alternateFileName))
    CopyBounded(out, kMaxPath, shortened);
  return true;
}

bool IsDriveOrShareRoot(const CodePage& codePage, const char* folder) {
  // The names between single-byte separators, walked by characters: a trail
  // byte equal to "\\" separates nothing.
  int names = 0;
  size_t firstName = 0;
  bool inName = false;
  for (const char* at = folder; *at;) {
    bool separator = *at == '\\' || *at == '/';
    size_t step = !separator && codePage.IsLead(static_cast<uint8_t>(*at)) && at[1] ? 2 : 1;
    if (separator) {
      inName = false;
    } else {
      if (!inName) ++names;
      inName = true;
      if (names == 1) firstName += step;
    }
    at += step;
  }
  if (names == 0) return true;
  if (folder[0] == '\\' && folder[1] == '\\') return names <= 2;  // "\\server\share"
  return names == 1 && firstName == 2 && folder[1] == ':';        // "C:", "C:\\"
}

bool ScheduleDeleteAtRestart(RunState& state, const char* path) {
  EnginePlatform& platform = state.platform;
  platform.SetFileAttributes(path, kFileAttributeNormal);
  if (state.osFamily == kOsNt)
    return platform.MoveFileEx(path, nullptr, kMoveFileDelayUntilReboot);
  return RewriteWininitFile(state, path);
}

void ScheduleDeferredList(RunState& state, const DeferredList& deferred) {
  if (!deferred.IsPresent()) return;
  const char* text = deferred.Text();
  char path[kMaxPath];
  // By characters, as the data file was read: a trail byte equal to "|" (as
  // in 0x83 0x7C) is inside a path, and only the single-byte "|" that ends
  // every path ends one.
  while (const char* bar = state.codePage.Find(text, '|')) {
    // A path longer than a path buffer is passed over, never cut.
    if (CopyBounded(path, kMaxPath, text, static_cast<size_t>(bar - text)))
      ScheduleDeleteAtRestart(state, path);
    text = bar + 1;
  }
}

void ScheduleSelfRemoval(RunState& state) {
  char self[kMaxPath];
  uint32_t length = state.platform.GetModuleFileName(self, kMaxPath);
  if (length == 0 || length >= kMaxPath) return;
  ScheduleDeleteAtRestart(state, self);
  // The own folder is what ExeFolder is: the path cut at its last backslash
  // character, never at a trail byte inside the program's own name.
  char* backslash = const_cast<char*>(state.codePage.FindLast(self, '\\'));
  if (!backslash) return;
  *backslash = '\0';
  if (!IsDriveOrShareRoot(state.codePage, self)) ScheduleDeleteAtRestart(state, self);
}

}  // namespace uninst
