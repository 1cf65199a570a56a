// e2e_runner.exe: starts a program under Wine, answers each message box it
// shows from a script, and prints what it saw, so that the end-to-end tests
// and the demo can check boxes, answers and the exit code.
//
//   e2e_runner.exe [--hold PATH]... [--copy FROM TO]... [--cwd DIR]
//                  [--timeout S] [--default] [--yes-no Yes|No] [--check FILE]
//                  PROGRAM ANSWER...
//   e2e_runner.exe --control none|restart
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
// ANSWER names the button to press: OK, Cancel, Yes or No. Buttons are found
// by their control id (IDOK, IDCANCEL, IDYES, IDNO), not by their text, which
// is Japanese under a Japanese locale. Written
// as release:LABEL it first closes the files that --hold opened without
// sharing (a program "still running"), then presses LABEL. With --default,
// boxes beyond the answers get OK where there is one, else No, else Cancel
// (never a restart); with --yes-no, a Yes/No box beyond the answers gets
// that answer and any other box OK. Without either such a box is an error.
// Output lines:
//   acp: <the ANSI code page the program runs under>
//   box: <caption> | <text> | <answer>
//   exit: <code>            or   error: <what went wrong>
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

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

// Prints "deferred: PATH" for each path in `list` (a file, one path a line)
// that FindFirstFileA finds.
void PrintDeferred(const std::string& list) {
  FILE* file = fopen(list.c_str(), "rb");
  if (!file) {
    printf("error: cannot read %s\n", list.c_str());
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
    printf("deferred: %s\n", line);
  }
  fclose(file);
  fflush(stdout);
}

// The control run: the prefix's start-up, a window shown and closed as the
// uninstaller's boxes are (so the display starts as it does in the run),
// and with "restart" the restart the uninstaller asks for.
int Control(const char* kind) {
  printf("acp: %u\n", GetACP());
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
    printf("error: ExitWindowsEx failed (%lu)\n", GetLastError());
    return 2;
  }
  printf("exit: 0\n");
  return 0;
}

struct Options {
  std::vector<HANDLE> held;  // files held open without sharing until a release: answer
  const char* cwd = nullptr;
  DWORD timeoutMs = 60000;
  bool byDefault = false;
  std::string yesNo, check;
  std::vector<std::string> answers;
};

// Reads the options before PROGRAM, holding and copying files as they come;
// `program` gets the program's index. False, after printing why, on an error.
bool ReadOptions(int argc, char** argv, Options* options, int* program) {
  int i = 1;
  for (; i < argc; ++i) {
    if (strcmp(argv[i], "--hold") == 0 && i + 1 < argc) {
      HANDLE file = CreateFileA(argv[++i], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      if (file == INVALID_HANDLE_VALUE) {
        printf("error: cannot hold %s (%lu)\n", argv[i], GetLastError());
        return false;
      }
      options->held.push_back(file);
    } else if (strcmp(argv[i], "--copy") == 0 && i + 2 < argc) {
      if (!CopyFileA(argv[i + 1], argv[i + 2], FALSE)) {
        printf("error: cannot copy %s to %s (%lu)\n", argv[i + 1], argv[i + 2], GetLastError());
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
    printf("error: no program\n");
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
// no answer or no button for it.
bool AnswerBox(Options& options, size_t* next, HWND dialog, HANDLE process) {
  Sleep(200);  // let the box finish laying out its text
  char caption[1024] = "";
  GetWindowTextA(dialog, caption, sizeof caption);
  std::string text;
  EnumChildWindows(dialog, CollectText, reinterpret_cast<LPARAM>(&text));
  if (!options.check.empty() && GetDlgItem(dialog, IDYES)) {
    PrintDeferred(options.check);
    options.check.clear();
  }
  std::string answer;
  if (!ChooseAnswer(options, next, dialog, &answer)) {
    printf("box: %s | %s | <no answer left>\n", caption, OneLine(text).c_str());
    printf("error: unexpected box\n");
    fflush(stdout);
    TerminateProcess(process, 98);
    return false;
  }
  if (answer.compare(0, 8, "release:") == 0) {
    for (HANDLE file : options.held) CloseHandle(file);
    options.held.clear();
    answer = answer.substr(8);
  }
  HWND button = ButtonId(answer) ? GetDlgItem(dialog, ButtonId(answer)) : nullptr;
  printf("box: %s | %s | %s\n", caption, OneLine(text).c_str(), answer.c_str());
  fflush(stdout);
  if (!button) {
    printf("error: no button %s\n", answer.c_str());
    TerminateProcess(process, 97);
    return false;
  }
  PostMessageA(button, BM_CLICK, 0, 0);
  for (int wait = 0; wait < 100 && IsWindow(dialog); ++wait) Sleep(50);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && strcmp(argv[1], "--control") == 0) return Control(argv[2]);
  Options options;
  int program = 0;
  if (!ReadOptions(argc, argv, &options, &program)) return 2;
  printf("acp: %u\n", GetACP());
  std::string command = std::string("\"") + argv[program] + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, options.cwd, &startup, &process)) {
    printf("error: cannot start %s (%lu)\n", command.c_str(), GetLastError());
    return 2;
  }
  size_t next = 0;
  for (DWORD started = GetTickCount();;) {
    if (WaitForSingleObject(process.hProcess, 100) == WAIT_OBJECT_0) break;
    if (GetTickCount() - started > options.timeoutMs) {
      printf("error: timeout, %u boxes answered\n", static_cast<unsigned>(next));
      TerminateProcess(process.hProcess, 99);
      return 2;
    }
    Found found = {process.dwProcessId, nullptr};
    EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&found));
    if (found.dialog && !AnswerBox(options, &next, found.dialog, process.hProcess)) return 2;
  }
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  printf("exit: %lu\n", code);
  return 0;
}
