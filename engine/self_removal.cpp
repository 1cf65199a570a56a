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

void RestartWindows(Platform& platform) {
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

void LaunchSelfRemoval(Platform& platform, const CodePage& codePage) {
  Handle file = platform.CreateFileForWriting(kBatchPath);
  if (file == kInvalidHandle) return;
  char self[kMaxPath];
  char folder[kMaxPath];
  char text[3 * 2 * kMaxPath + 64];
  uint32_t length = platform.GetModuleFileName(self, kMaxPath);
  size_t size = 0;
  if (length != 0 && length < kMaxPath) {
    CopyBytes(folder, self, length + 1);
    char* backslash = const_cast<char*>(codePage.FindLast(folder, '\\'));
    if (backslash) *backslash = '\0';
    size = BuildBatchText(codePage, self, folder, text, sizeof text);
  }
  if (size == 0) {
    // Without its own path the batch could only delete the wrong file.
    platform.CloseHandle(file);
    platform.DeleteFile(kBatchPath);
    return;
  }
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
