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
//
// This unit keeps the account and chooses the run: each line of the account
// goes out whole, in one write, to the --report file or standard output;
// the control run is here too. runner_boxes.cpp answers a program's boxes,
// runner_watch.cpp watches an installer; runner.h is what they share.
#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "runner.h"

namespace {

// Where the account goes: the --report file, else standard output.
HANDLE g_report = INVALID_HANDLE_VALUE;

}  // namespace

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

std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  return text;
}

namespace {

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

// Opens the --report file; false, after saying why on standard output.
bool OpenReport(const char* path) {
  g_report = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (g_report != INVALID_HANDLE_VALUE) return true;
  printf("error: cannot write the report %s (%lu)\n", path, GetLastError());
  return false;
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
  return AnswerBoxes(argc, argv);
}
