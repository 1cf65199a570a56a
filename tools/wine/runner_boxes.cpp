// The runner's answering run: starts PROGRAM, answers each message box it
// shows with the next ANSWER (or the --default/--yes-no choice), each box
// exactly once, pressing buttons by control id, and accounts for every box,
// the exit code, or the timeout with what still ran (runner.cpp's top says
// the options and the lines).
#include <windows.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "runner.h"

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

struct Options {
  std::vector<HANDLE> held;  // files held open without sharing until a release: answer
  std::vector<std::string> heldPaths;
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

}  // namespace

// The options begin at argv[1], PROGRAM and its answers after them.
int AnswerBoxes(int argc, char** argv) {
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
