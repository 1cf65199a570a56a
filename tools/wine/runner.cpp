// wine_runner.exe: starts a program under Wine, answers each message box it
// shows from a script, and prints what it saw, so that the end-to-end tests
// and the demo can check boxes, answers and the exit code.
//
//   wine_runner.exe [--report FILE] [--hold PATH]... [--copy FROM TO]...
//                  [--cwd DIR] [--timeout S] [--default] [--yes-no Yes|No]
//                  [--check FILE] PROGRAM ANSWER...
//   wine_runner.exe [--report FILE] --control none|restart
//   wine_runner.exe [--report FILE] --watch [--timeout S] [--cwd DIR] --command-file FILE
//
// --report writes the account to FILE instead of standard output. A program
// that the run starts (the self-removal batch, whose cmd echoes its lines)
// inherits standard output and may write into it at any moment, even in
// the middle of the runner's last line; FILE is the runner's alone (its
// handle is not inherited), and each line goes into it whole, in one write.
//
// --check names a file of paths, one a line: when the first box with a Yes
// button (the restart question) shows, each of them that is still there is
// printed as "deferred: PATH" before the box is answered. Every listed path
// has had its turn by then, so these are the paths that resisted removal.
//
// --control starts no program: it is the control run of `uninstdat try`,
// which takes the same path through Wine's start-up without the uninstaller:
// "none" only starts the prefix, "restart" asks Wine for the restart that
// the uninstaller asks for (ExitWindowsEx with EWX_REBOOT).
//
// --copy copies a file before the program starts. Wine carries out
// WININIT.INI whenever a prefix starts, before the first process runs, so a
// WININIT.INI that a test lays out this way, from inside the running prefix,
// is still there when the program reads it.
//
// --watch is the run of `uninstdat capture`: it starts the command line
// that FILE holds (UTF-8, so that any name reaches CreateProcessW whole),
// presses no button, and waits for the program and every process it
// started, at most S seconds in all. An installer is hostile input: a box it
// shows is the installer's question, not ours to answer. When the program
// and its processes end, the account is:
//   exit: <the program's exit code>
// On the timeout, it names each open window of the program's processes
//   window: <caption> | <text>
// and, when the program itself has ended, each process of its that still
// ran ("outlived: NAME (process N)"), ends them all, and says
//   error: timeout after S s (the program still ran | processes of the program outlived it)
// A restart the program asks for (ExitWindowsEx) would carry out what the
// installer scheduled (RunOnce, pending renames, WININIT.INI), which must
// stay to be reported: a window of the runner's refuses the end of the
// session and the account says "restart: asked".
//
// ANSWER names the button to press: OK, Cancel, Yes or No. Buttons are found
// by their control id (IDOK, IDCANCEL, IDYES, IDNO), not by their text, which
// is Japanese under a Japanese locale. Written
// as release:LABEL it first closes the files that --hold opened without
// sharing (a program "still running"), then presses LABEL. With --default,
// boxes beyond the answers get OK where there is one, else No, else Cancel
// (never a restart); with --yes-no, a Yes/No box beyond the answers gets
// that answer and any other box OK. Without either such a box is an error.
// Each box is answered once: the runner waits until the box has closed
// before it looks for the next one, however long a loaded machine takes,
// so that a box still on the screen is never taken for the next box.
// Output lines:
//   acp: <the ANSI code page the program runs under>
//   box: <caption> | <text> | <answer>
//   released: <path>        a held file closed by a release: answer
//   exit: <code>            or   error: <what went wrong>
// A timeout names the box that was open and every process of the program's
// that still ran ("error: timeout ...", then "running: ..." lines).
#include <windows.h>
#include <tlhelp32.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

// Where the account goes: the --report file, else standard output.
HANDLE g_report = INVALID_HANDLE_VALUE;

// Writes one line of the account, whole, in one write.
void Say(const char* format, ...) {
  char line[4096];
  va_list args;
  va_start(args, format);
  int length = vsnprintf(line, sizeof line - 2, format, args);
  va_end(args);
  if (length < 0) return;
  if (length > static_cast<int>(sizeof line) - 3) length = sizeof line - 3;
  line[length++] = '\n';
  line[length] = '\0';
  if (g_report == INVALID_HANDLE_VALUE) {
    fputs(line, stdout);
    fflush(stdout);
    return;
  }
  DWORD written = 0;
  WriteFile(g_report, line, static_cast<DWORD>(length), &written, nullptr);
}

struct Found {
  DWORD pid;
  HWND dialog;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM param) {
  Found* found = reinterpret_cast<Found*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  char cls[64] = "";
  GetClassNameA(window, cls, sizeof cls);
  if (pid == found->pid && strcmp(cls, "#32770") == 0 && IsWindowVisible(window)) {
    found->dialog = window;
    return FALSE;
  }
  return TRUE;
}

// The control id of each answer's button.
const struct {
  const char* answer;
  int id;
} kButtons[] = {{"OK", IDOK}, {"Cancel", IDCANCEL}, {"Yes", IDYES}, {"No", IDNO}};

int ButtonId(const std::string& answer) {
  for (const auto& button : kButtons)
    if (_stricmp(button.answer, answer.c_str()) == 0) return button.id;
  return 0;
}

BOOL CALLBACK CollectText(HWND window, LPARAM param) {
  std::string* text = reinterpret_cast<std::string*>(param);
  char cls[64] = "", buffer[2048] = "";
  GetClassNameA(window, cls, sizeof cls);
  GetWindowTextA(window, buffer, sizeof buffer);
  if (_stricmp(cls, "Static") == 0 && buffer[0] && text->empty()) *text = buffer;
  return TRUE;
}

std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  return text;
}

// "caption | text" of a box.
std::string BoxText(HWND dialog) {
  char caption[1024] = "";
  GetWindowTextA(dialog, caption, sizeof caption);
  std::string text;
  EnumChildWindows(dialog, CollectText, reinterpret_cast<LPARAM>(&text));
  return std::string(caption) + " | " + OneLine(text);
}

// Prints "deferred: PATH" for each path in `list` (a file, one path a line)
// that FindFirstFileA finds.
void PrintDeferred(const std::string& list) {
  FILE* file = fopen(list.c_str(), "rb");
  if (!file) {
    Say("error: cannot read %s", list.c_str());
    return;
  }
  char line[1024];
  while (fgets(line, sizeof line, file)) {
    size_t length = strlen(line);
    while (length && (line[length - 1] == '\n' || line[length - 1] == '\r')) line[--length] = '\0';
    if (!length) continue;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(line, &data);
    if (find == INVALID_HANDLE_VALUE) continue;
    FindClose(find);
    Say("deferred: %s", line);
  }
  fclose(file);
}

BOOL CALLBACK SayWindowOfOurs(HWND window, LPARAM param) {
  const std::vector<DWORD>* ours = reinterpret_cast<const std::vector<DWORD>*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  for (DWORD own : *ours)
    if (own == pid && IsWindowVisible(window)) Say("running: a window of process %lu: %s", pid, BoxText(window).c_str());
  return TRUE;
}

// Names every process that descends from `root` (the program and what it
// started, such as the self-removal batch's cmd), one "running:" line each,
// and every visible window of theirs with its text.
void SayRunning(DWORD root) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) {
    Say("running: (the processes cannot be listed: %lu)", GetLastError());
    return;
  }
  std::vector<PROCESSENTRY32> all;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) all.push_back(entry);
  CloseHandle(snapshot);
  std::vector<DWORD> ours = {root};
  for (size_t i = 0; i < ours.size(); ++i)
    for (const PROCESSENTRY32& p : all)
      if (p.th32ParentProcessID == ours[i] && p.th32ProcessID != root) ours.push_back(p.th32ProcessID);
  for (DWORD pid : ours)
    for (const PROCESSENTRY32& p : all)
      if (p.th32ProcessID == pid) Say("running: %s (process %lu, started by %lu)", p.szExeFile, pid, p.th32ParentProcessID);
  EnumWindows(SayWindowOfOurs, reinterpret_cast<LPARAM>(&ours));
}

// The control run: the prefix's start-up, a window shown and closed as the
// uninstaller's boxes are (so the display starts as it does in the run),
// and with "restart" the restart the uninstaller asks for.
int Control(const char* kind) {
  Say("acp: %u", GetACP());
  HWND window = CreateWindowExA(0, "STATIC", "control", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  if (window) {
    ShowWindow(window, SW_SHOW);
    MSG message;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 300;)
      if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
      else Sleep(20);
    DestroyWindow(window);
  }
  if (strcmp(kind, "restart") == 0 && !ExitWindowsEx(EWX_REBOOT, 0)) {
    Say("error: ExitWindowsEx failed (%lu)", GetLastError());
    return 2;
  }
  Say("exit: 0");
  return 0;
}

struct Options {
  std::vector<HANDLE> held;  // files held open without sharing until a release: answer
  std::vector<std::string> heldPaths;
  const char* cwd = nullptr;
  DWORD timeoutMs = 60000;
  bool byDefault = false;
  std::string yesNo, check;
  std::vector<std::string> answers;
};

// Opens the --report file; false, after saying why on standard output.
bool OpenReport(const char* path) {
  g_report = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (g_report != INVALID_HANDLE_VALUE) return true;
  printf("error: cannot write the report %s (%lu)\n", path, GetLastError());
  return false;
}

// Reads the options before PROGRAM, holding and copying files as they come;
// `program` gets the program's index. False, after printing why, on an error.
bool ReadOptions(int argc, char** argv, Options* options, int* program) {
  int i = 1;
  for (; i < argc; ++i) {
    if (strcmp(argv[i], "--hold") == 0 && i + 1 < argc) {
      HANDLE file = CreateFileA(argv[++i], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      if (file == INVALID_HANDLE_VALUE) {
        Say("error: cannot hold %s (%lu)", argv[i], GetLastError());
        return false;
      }
      options->held.push_back(file);
      options->heldPaths.push_back(argv[i]);
    } else if (strcmp(argv[i], "--copy") == 0 && i + 2 < argc) {
      if (!CopyFileA(argv[i + 1], argv[i + 2], FALSE)) {
        Say("error: cannot copy %s to %s (%lu)", argv[i + 1], argv[i + 2], GetLastError());
        return false;
      }
      i += 2;
    } else if (strcmp(argv[i], "--cwd") == 0 && i + 1 < argc) {
      options->cwd = argv[++i];
    } else if (strcmp(argv[i], "--default") == 0) {
      options->byDefault = true;
    } else if (strcmp(argv[i], "--yes-no") == 0 && i + 1 < argc) {
      options->yesNo = argv[++i];
    } else if (strcmp(argv[i], "--check") == 0 && i + 1 < argc) {
      options->check = argv[++i];
    } else if (strcmp(argv[i], "--timeout") == 0 && i + 1 < argc) {
      options->timeoutMs = static_cast<DWORD>(atoi(argv[++i])) * 1000;
    } else {
      break;
    }
  }
  if (i >= argc) {
    Say("error: no program");
    return false;
  }
  *program = i;
  options->answers.assign(argv + i + 1, argv + argc);
  return true;
}

// The answer to the box `dialog`, or false when the options give none.
bool ChooseAnswer(Options& options, size_t* next, HWND dialog, std::string* answer) {
  if (*next < options.answers.size()) *answer = options.answers[(*next)++];
  else if (!options.yesNo.empty()) *answer = GetDlgItem(dialog, IDYES) ? options.yesNo : "OK";
  else if (!options.byDefault) return false;
  else
    for (const char* label : {"Cancel", "No", "OK"})
      if (GetDlgItem(dialog, ButtonId(label))) *answer = label;
  return true;
}

// Answers one box of the program; false, after printing why, when it has
// no answer or no button for it. `shown` gets the box's account line.
bool AnswerBox(Options& options, size_t* next, HWND dialog, HANDLE process, std::string* shown) {
  Sleep(200);  // let the box finish laying out its text
  std::string box = BoxText(dialog);
  if (!options.check.empty() && GetDlgItem(dialog, IDYES)) {
    PrintDeferred(options.check);
    options.check.clear();
  }
  std::string answer;
  if (!ChooseAnswer(options, next, dialog, &answer)) {
    Say("box: %s | <no answer left>", box.c_str());
    Say("error: unexpected box");
    TerminateProcess(process, 98);
    return false;
  }
  if (answer.compare(0, 8, "release:") == 0) {
    for (size_t i = 0; i < options.held.size(); ++i) {
      CloseHandle(options.held[i]);
      Say("released: %s", options.heldPaths[i].c_str());
    }
    options.held.clear();
    options.heldPaths.clear();
    answer = answer.substr(8);
  }
  HWND button = ButtonId(answer) ? GetDlgItem(dialog, ButtonId(answer)) : nullptr;
  *shown = box + " | " + answer;
  Say("box: %s", shown->c_str());
  if (!button) {
    Say("error: no button %s", answer.c_str());
    TerminateProcess(process, 97);
    return false;
  }
  PostMessageA(button, BM_CLICK, 0, 0);
  return true;
}

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

// --watch: see the top of this file.
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

}  // namespace

int main(int argc, char** argv) {
  int first = 1;
  if (argc > 2 && strcmp(argv[1], "--report") == 0) {
    if (!OpenReport(argv[2])) return 2;
    first = 3;
  }
  if (argc == first + 2 && strcmp(argv[first], "--control") == 0) return Control(argv[first + 1]);
  if (argc > first && strcmp(argv[first], "--watch") == 0) return Watch(argc, argv, first + 1);
  argv[first - 1] = argv[0];  // the options begin at argv[first]: read them as if they were the first
  argc -= first - 1;
  argv += first - 1;
  Options options;
  int program = 0;
  if (!ReadOptions(argc, argv, &options, &program)) return 2;
  Say("acp: %u", GetACP());
  std::string command = std::string("\"") + argv[program] + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, options.cwd, &startup, &process)) {
    Say("error: cannot start %s (%lu)", command.c_str(), GetLastError());
    return 2;
  }
  size_t next = 0;
  HWND answered = nullptr;  // the last box answered, until it has closed
  std::string lastBox = "none";
  for (DWORD started = GetTickCount();;) {
    if (WaitForSingleObject(process.hProcess, 100) == WAIT_OBJECT_0) break;
    if (GetTickCount() - started > options.timeoutMs) {
      Say("error: timeout after %lu s: %u boxes answered, the last: %s%s", options.timeoutMs / 1000,
          static_cast<unsigned>(next), lastBox.c_str(), answered && IsWindow(answered) ? " (still open)" : "");
      SayRunning(process.dwProcessId);
      TerminateProcess(process.hProcess, 99);
      return 2;
    }
    if (answered && IsWindow(answered)) continue;
    answered = nullptr;
    Found found = {process.dwProcessId, nullptr};
    EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&found));
    if (!found.dialog) continue;
    if (!AnswerBox(options, &next, found.dialog, process.hProcess, &lastBox)) return 2;
    answered = found.dialog;
  }
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  Say("exit: %lu", code);
  return 0;
}
