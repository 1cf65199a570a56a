// Restart and self-removal; see self_removal.h.
#include "engine/self_removal.h"

#include "engine/restart_schedule.h"

namespace uninst {

const char kBatchPath[] = "\\kavotel.bat";

namespace {

class Writer {
 public:
  Writer(char* out, size_t size) : out_(out), size_(size) {}
  void Text(const char* text) {
    for (; *text; ++text) Byte(*text);
  }
  // A path inside double quotes, with "%" doubled.
  void Quoted(const char* path) {
    Byte('"');
    for (; *path; ++path) {
      if (*path == '%') Byte('%');
      Byte(*path);
    }
    Byte('"');
  }
  size_t Finish() {
    if (used_ >= size_) return 0;
    out_[used_] = '\0';
    return used_;
  }

 private:
  void Byte(char c) {
    if (used_ < size_) out_[used_] = c;
    ++used_;
  }
  char* out_;
  size_t size_;
  size_t used_ = 0;
};

}  // namespace

size_t BuildBatchText(const CodePage& codePage, const char* selfPath, const char* folder,
                      char* out, size_t size) {
  Writer w(out, size);
  w.Text(":Repeat\r\n");
  w.Text("del ");
  w.Quoted(selfPath);
  w.Text("\r\nif exist ");
  w.Quoted(selfPath);
  w.Text(" goto Repeat\r\n");
  if (!IsDriveOrShareRoot(codePage, folder)) {
    w.Text("rmdir ");
    w.Quoted(folder);
    w.Text("\r\n");
  }
  w.Text("del ");
  w.Quoted(kBatchPath);
  w.Text("\r\n");
  return w.Finish();
}

void RestartWindows(EnginePlatform& platform) {
  Handle token = nullptr;
  if (!platform.OpenProcessToken(&token)) return;
  uint64_t luid = 0;
  platform.LookupShutdownPrivilege(&luid);
  platform.AdjustTokenPrivilege(token, luid);
  uint32_t error = platform.GetLastError();
  platform.CloseHandle(token);
  if (error != kErrorSuccess) return;
  platform.ExitWindowsEx(kEwxReboot, 0);
}

namespace {

// `ansi` in the OEM code page, into `oem` (kMaxPath bytes). True only when
// converting it back gives `ansi` byte for byte: a character that the OEM
// page lacks comes out as "?" (a wildcard to del) or as a look-alike such as
// "E" for the euro sign, and either names another file.
bool ToOem(EnginePlatform& platform, const char* ansi, char* oem) {
  char back[kMaxPath];
  platform.CharToOem(ansi, oem);
  platform.OemToChar(oem, back);
  return EqualsExactly(back, ansi);
}

// The own path and its folder (the path cut at its last backslash character)
// as the batch interpreter reads them.
bool ToOemPaths(EnginePlatform& platform, const CodePage& codePage, const char* self, char* oemSelf,
                char* oemFolder) {
  char folder[kMaxPath];
  CopyBounded(folder, kMaxPath, self);
  char* backslash = const_cast<char*>(codePage.FindLast(folder, '\\'));
  if (backslash) *backslash = '\0';
  return ToOem(platform, self, oemSelf) && ToOem(platform, folder, oemFolder);
}

}  // namespace

bool BatchPathsFor(EnginePlatform& platform, const CodePage& codePage, const char* self,
                   char* oemSelf, char* oemFolder) {
  if (ToOemPaths(platform, codePage, self, oemSelf, oemFolder)) return true;
  char shortSelf[kMaxPath];
  uint32_t length = platform.GetShortPathName(self, shortSelf, kMaxPath);
  return length != 0 && length < kMaxPath &&
         ToOemPaths(platform, codePage, shortSelf, oemSelf, oemFolder);
}

void LaunchSelfRemoval(EnginePlatform& platform, const CodePage& codePage) {
  // Without its own path, or without a form of it that the batch interpreter
  // reads as the same file, a batch could only delete the wrong file or loop
  // on one it cannot find: then there is none, and the uninstaller stays.
  char self[kMaxPath];
  char oemSelf[kMaxPath];
  char oemFolder[kMaxPath];
  char text[3 * 2 * kMaxPath + 64];
  uint32_t length = platform.GetModuleFileName(self, kMaxPath);
  if (length == 0 || length >= kMaxPath) return;
  if (!BatchPathsFor(platform, codePage, self, oemSelf, oemFolder)) return;
  size_t size = BuildBatchText(codePage, oemSelf, oemFolder, text, sizeof text);
  if (size == 0) return;
  // del refuses a read-only file, and the batch repeats its del until the
  // file is gone: installers that copy from read-only media keep the attribute.
  platform.SetFileAttributes(self, kFileAttributeNormal);
  Handle file = platform.CreateFileForWriting(kBatchPath);
  if (file == kInvalidHandle) return;
  platform.WriteFile(file, text, static_cast<uint32_t>(size));
  platform.CloseHandle(file);

  ProcessInfo batch = {};
  if (!platform.CreateProcessSuspendedIdle(kBatchPath, "\\", &batch)) return;
  platform.SetThreadPriority(batch.thread, kThreadPriorityIdle);
  platform.SetThreadPriority(platform.GetCurrentThread(), kThreadPriorityTimeCritical);
  platform.SetPriorityClassOfSelf(kHighPriorityClass);
  platform.CloseHandle(batch.process);
  platform.ResumeThread(batch.thread);
  platform.CloseHandle(batch.thread);
}

}  // namespace uninst
