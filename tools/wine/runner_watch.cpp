// The runner's --watch run, for `uninstdat capture`: starts an installer's
// command line, presses nothing, refuses the end of the session (so that
// what the installer scheduled for a restart stays to be reported), and
// waits for the installer and every process it started, all of them ended
// on the timeout (runner.cpp's top says the lines of the account).
#include <windows.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "runner.h"

namespace {

// The processes of a program: the program and every process that one of
// them started, found by their parents' ids as they appear. A handle to
// each is kept, so that no id of theirs is taken by another process while
// the tree is watched.
class ProcessTree {
 public:
  ProcessTree(DWORD root, HANDLE handle) { members_.push_back({root, handle, "(the program)"}); }
  ~ProcessTree() {
    for (const Member& member : members_) CloseHandle(member.handle);
  }

  // Takes in the processes started since the last call.
  void Refresh() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    std::vector<PROCESSENTRY32> all;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) all.push_back(entry);
    CloseHandle(snapshot);
    for (bool grew = true; grew;) {
      grew = false;
      for (const PROCESSENTRY32& p : all) {
        if (Has(p.th32ProcessID) || !Has(p.th32ParentProcessID)) continue;
        HANDLE handle = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION, FALSE, p.th32ProcessID);
        if (!handle) continue;
        members_.push_back({p.th32ProcessID, handle, p.szExeFile});
        grew = true;
      }
    }
    for (Member& member : members_)
      for (const PROCESSENTRY32& p : all)
        if (p.th32ProcessID == member.pid) member.name = p.szExeFile;
  }

  bool Running(size_t i) const { return WaitForSingleObject(members_[i].handle, 0) == WAIT_TIMEOUT; }
  // Whether a process of the tree other than the program still runs.
  bool OthersRunning() const {
    for (size_t i = 1; i < members_.size(); ++i)
      if (Running(i)) return true;
    return false;
  }
  std::vector<DWORD> Ids() const {
    std::vector<DWORD> ids;
    for (const Member& member : members_) ids.push_back(member.pid);
    return ids;
  }
  // Names each process other than the program that still runs.
  void SayOutlived() const {
    for (size_t i = 1; i < members_.size(); ++i)
      if (Running(i)) Say("outlived: %s (process %lu)", members_[i].name.c_str(), members_[i].pid);
  }
  void EndAll() {
    for (size_t i = 0; i < members_.size(); ++i)
      if (Running(i)) TerminateProcess(members_[i].handle, 99);
    for (const Member& member : members_) WaitForSingleObject(member.handle, 5000);
  }

 private:
  struct Member {
    DWORD pid;
    HANDLE handle;
    std::string name;
  };
  bool Has(DWORD pid) const {
    for (const Member& member : members_)
      if (member.pid == pid) return true;
    return false;
  }
  std::vector<Member> members_;
};

// The visible texts of a window's Static children, " / " between them: a
// wizard page says more than its first line (often the maker's name).
BOOL CALLBACK CollectTexts(HWND window, LPARAM param) {
  std::string* text = reinterpret_cast<std::string*>(param);
  char cls[64] = "", buffer[1024] = "";
  GetClassNameA(window, cls, sizeof cls);
  GetWindowTextA(window, buffer, sizeof buffer);
  if (_stricmp(cls, "Static") == 0 && buffer[0] && IsWindowVisible(window) && text->size() < 600)
    *text += (text->empty() ? "" : " / ") + OneLine(buffer);
  return TRUE;
}

BOOL CALLBACK SayWindowOfTree(HWND window, LPARAM param) {
  const std::vector<DWORD>* ids = reinterpret_cast<const std::vector<DWORD>*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  for (DWORD id : *ids) {
    if (id != pid || !IsWindowVisible(window)) continue;
    char caption[512] = "";
    GetWindowTextA(window, caption, sizeof caption);
    std::string texts;
    EnumChildWindows(window, CollectTexts, reinterpret_cast<LPARAM>(&texts));
    Say("window: %s | %s", caption, texts.c_str());
  }
  return TRUE;
}

// The text of a file as UTF-16 from UTF-8, without a line end at its end.
bool ReadCommandLine(const char* path, std::wstring* command) {
  FILE* file = fopen(path, "rb");
  if (!file) return false;
  std::string bytes;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.append(buffer, n);
  fclose(file);
  while (!bytes.empty() && (bytes.back() == '\n' || bytes.back() == '\r')) bytes.pop_back();
  if (bytes.empty()) return false;
  int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (length <= 0) return false;
  command->assign(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &(*command)[0], length);
  return true;
}

// The window of --watch that refuses the end of the session: each request
// is noted once as "restart: asked" (WM_QUERYENDSESSION) and refused.
LRESULT CALLBACK RefuseEndOfSession(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  static bool said = false;
  if (message == WM_QUERYENDSESSION) {
    if (!said) Say("restart: asked%s", lparam & ENDSESSION_LOGOFF ? " (log off)" : "");
    said = true;
    return FALSE;
  }
  if (message == WM_ENDSESSION) return 0;
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

// --watch: see the top of runner.cpp.
int Watch(int argc, char** argv, int first) {
  DWORD timeoutMs = 300000;
  const char* cwd = nullptr;
  const char* commandFile = nullptr;
  for (int i = first; i < argc; ++i) {
    if (strcmp(argv[i], "--timeout") == 0 && i + 1 < argc) timeoutMs = static_cast<DWORD>(atoi(argv[++i])) * 1000;
    else if (strcmp(argv[i], "--cwd") == 0 && i + 1 < argc) cwd = argv[++i];
    else if (strcmp(argv[i], "--command-file") == 0 && i + 1 < argc) commandFile = argv[++i];
    else {
      Say("error: unknown option %s", argv[i]);
      return 2;
    }
  }
  std::wstring command;
  if (!commandFile || !ReadCommandLine(commandFile, &command)) {
    Say("error: cannot read the command line from %s", commandFile ? commandFile : "(no --command-file)");
    return 2;
  }
  Say("acp: %u", GetACP());
  // The desktop's own process starts with the first window of the prefix:
  // made here, it is this program's, never counted as the installer's.
  GetDesktopWindow();
  // A restart that the program asks for (ExitWindowsEx) makes Wine's
  // wineboot ask every window whether the session may end; this one says no
  // and notes it, so that what the installer scheduled for the restart
  // (RunOnce, pending renames, WININIT.INI) stays to be reported.
  WNDCLASSA type = {};
  type.lpfnWndProc = RefuseEndOfSession;
  type.hInstance = GetModuleHandleA(nullptr);
  type.lpszClassName = "uninstdat-capture";
  RegisterClassA(&type);
  HWND refuser = CreateWindowExA(WS_EX_TOOLWINDOW, type.lpszClassName, "capture", WS_POPUP, -100, -100, 1, 1,
                                 nullptr, nullptr, type.hInstance, nullptr);
  if (refuser) ShowWindow(refuser, SW_SHOWNOACTIVATE);
  std::wstring directory;
  if (cwd) directory.assign(cwd, cwd + strlen(cwd));
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::vector<wchar_t> line(command.begin(), command.end());
  line.push_back(L'\0');
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, cwd ? directory.c_str() : nullptr,
                      &startup, &process)) {
    Say("error: cannot start the program (%lu)", GetLastError());
    return 2;
  }
  CloseHandle(process.hThread);
  ProcessTree tree(process.dwProcessId, process.hProcess);
  bool ended = false;
  for (DWORD started = GetTickCount();;) {
    tree.Refresh();
    if (!ended && WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) {
      ended = true;
      DWORD code = 0;
      GetExitCodeProcess(process.hProcess, &code);
      Say("exit: %lu", code);
    }
    if (ended && !tree.OthersRunning()) break;
    if (GetTickCount() - started > timeoutMs) {
      std::vector<DWORD> ids = tree.Ids();
      EnumWindows(SayWindowOfTree, reinterpret_cast<LPARAM>(&ids));
      if (ended) tree.SayOutlived();
      Say("error: timeout after %lu s (%s)", timeoutMs / 1000,
          ended ? "processes of the program outlived it" : "the program still ran");
      tree.EndAll();
      return 2;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    for (MSG message; PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&message);
  }
  return 0;
}
