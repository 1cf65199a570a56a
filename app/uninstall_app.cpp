// The run; see uninstall_app.h.
#include "app/uninstall_app.h"

#include "engine/data_file.h"
#include "engine/file_removal.h"
#include "engine/registry.h"
#include "engine/restart_schedule.h"
#include "engine/self_removal.h"
#include "engine/shortcuts.h"

namespace uninst {
namespace {

bool HasText(const char* text) { return text[0] != '\0'; }

// A box is shown only with a text and a caption; a skipped box counts as the
// answer that goes on.
bool BoxShown(const UninstallData& data, const char* text) {
  return HasText(text) && HasText(data.messageCaption);
}

}  // namespace

int32_t GetOsFamily(EnginePlatform& platform) {
  OsVersion version = {};
  if (!platform.GetVersionEx(&version)) return kOsUnknown;
  if (version.platformId == kVerPlatformWin32Windows)
    return version.minorVersion == 0 ? kOsWin95 : kOsWin98;
  if (version.platformId == kVerPlatformWin32Nt) return kOsNt;
  return kOsUnknown;
}

Handle GetMessageOwner(EnginePlatform& platform) { return platform.GetActiveWindow(); }

bool DataFilePathFor(const char* module, char* out) {
  const char* dot = FindLastByte(module, '.');
  if (!dot) return CopyBounded(out, kMaxPath, module);
  size_t keep = static_cast<size_t>(dot - module) + 1;
  if (keep + 3 >= kMaxPath) return false;
  CopyBytes(out, module, keep);
  CopyBytes(out + keep, "dat", 4);
  return true;
}

void ExeFolderFor(const CodePage& codePage, const char* module, char* out) {
  CopyBounded(out, kMaxPath, module);
  char* backslash = const_cast<char*>(codePage.FindLast(out, '\\'));
  if (backslash) *backslash = '\0';
}

void PrepareProcess(EnginePlatform& platform) {
  uint32_t mode = platform.SetErrorMode(0);
  platform.SetErrorMode(mode | kSemFailCriticalErrors | kSemNoOpenFileErrorBox);
}

void UninstallApp::Attach(EnginePlatform& platform) {
  platform_ = &platform;
  removalList_.Attach(&platform);
}

bool UninstallApp::RunUninstall() {
  EnginePlatform& platform = *platform_;
  RunState state(platform);
  state.osFamily = GetOsFamily(platform);
  state.codePage = CodePage(platform);
  platform.EnableThreeDLook();

  char module[kMaxPath];
  uint32_t length = platform.GetModuleFileName(module, kMaxPath);
  if (length == 0 || length >= kMaxPath) return false;  // no whole path: no data file
  char dataFilePath[kMaxPath];
  if (!DataFilePathFor(module, dataFilePath)) return false;
  ExeFolderFor(state.codePage, module, state.exeFolder);

  DataBlock block;
  if (!LoadDataFile(state, dataFilePath, removalList_, &block)) return false;
  const UninstallData& data = state.data;
  Handle owner = GetMessageOwner(platform);

  bool goOn = !BoxShown(data, data.confirmPrompt) ||
              platform.MessageBox(owner, data.confirmPrompt, data.messageCaption, kMbOkCancel) == kIdOk;
  if (goOn) goOn = CheckRunningPrograms(platform, removalList_, data, owner);
  if (!goOn) {
    ReleaseDataBlock(platform, &block);
    return false;
  }

  RemoveShortcuts(state);
  CleanRegistry(state);
  DeferredList deferred;
  deferred.Attach(&platform);
  bool removalFailed = RemoveListedPaths(platform, removalList_, deferred);

  if (BoxShown(data, data.closingMessage))
    platform.MessageBox(owner, data.closingMessage, data.messageCaption, kMbOk);
  platform.DeleteFile(dataFilePath);

  // With leftovers the user decides on a restart. Without a question to ask
  // (no text or no caption) nobody agreed to a restart, so the run ends the
  // clean way instead and the leftovers stay.
  if (removalFailed && BoxShown(data, data.restartPrompt)) {
    if (platform.MessageBox(owner, data.restartPrompt, data.messageCaption, kMbYesNo) == kIdYes) {
      ScheduleDeferredList(state, deferred);
      ScheduleSelfRemoval(state);
      if (state.osFamily == kOsNt)
        RestartWindows(platform);
      else
        platform.ExitWindowsEx(kEwxReboot, 0);
    }
  } else {
    LaunchSelfRemoval(platform, state.codePage);
  }

  deferred.Release();
  ReleaseDataBlock(platform, &block);
  return false;
}

}  // namespace uninst
