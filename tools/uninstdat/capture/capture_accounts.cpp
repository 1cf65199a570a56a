// Reads what the runner and the Wine side said of a capture's run and of its
// control run into the report: the installer's exit code, a restart asked
// for, windows still open and processes that outlived the installer at a
// timeout, the script's cap, and every fatal error (an account cut short or
// garbled, a Wine server that had to be killed), so that a report whose
// snapshots cannot be trusted never writes a stage. Pure: it parses texts.
#include <sstream>
#include <string>

#include "tools/uninstdat/capture/capture_report_parts.h"
#include "tools/uninstdat/names.h"

namespace uninstdat {
namespace {

// The share of the report's builder (capture_report.cpp) that the reading
// takes and fills, under the names the builder gives them.
class AccountReader {
 public:
  AccountReader(const CaptureFacts& facts, CaptureReport& report) : facts_(facts), report_(report) {}

  // The run's account (runner.cpp, --watch; session.sh capture) and the
  // control run's: the installer's exit code, a restart asked for, the
  // windows and processes at a timeout, and anything that makes the
  // snapshots untrustworthy.
  void ReadAccounts() {
    std::istringstream in(facts_.account);
    bool sawExit = false;
    for (std::string line; std::getline(in, line);) {
      if (StartsWith(line, "exit: ")) {
        sawExit = true;
        try {
          report_.installerExit = static_cast<int>(std::stoll(line.substr(6)));
        } catch (const std::exception&) {
          report_.fatal.push_back("the run's account is garbled: " + line);
        }
      } else if (StartsWith(line, "restart: ")) {
        report_.restartAsked = true;
      } else if (StartsWith(line, "window: ")) {
        report_.windows.push_back(Utf8Escaped(line.substr(8)));
      } else if (StartsWith(line, "outlived: ")) {
        std::string name = line.substr(10, line.find(" (process") - 10);
        // Windows Installer's own service is no process of the installer's.
        if (UpperAscii(name) != "MSIEXEC.EXE") report_.outlived.push_back(Utf8Escaped(line.substr(10)));
      } else if (StartsWith(line, "error: timeout after ")) {
        if (line.find("the program still ran") != std::string::npos) report_.timedOut = true;
      } else if (StartsWith(line, "error: timeout: processes of the prefix")) {
        report_.fatal.push_back("Wine's server did not end within 60 s after the installer and was killed, so the "
                                "prefix's registry files may be incomplete (" + Utf8Escaped(line.substr(7)) + ")");
      } else if (StartsWith(line, "error: ")) {
        report_.fatal.push_back(Utf8Escaped(line.substr(7)));
      }
    }
    if (!sawExit && !report_.timedOut && report_.fatal.empty())
      report_.fatal.push_back("the run's account has no end: the runner was ended before the installer, as a forced "
                              "restart (ExitWindowsEx with EWX_FORCE) ends every process; what the installer scheduled "
                              "may have been carried out inside the sandbox");
    if (report_.installerExit == 3010 || report_.installerExit == 1641) report_.restartAsked = true;
    std::istringstream control(facts_.controlAccount);
    bool controlEnded = false;
    for (std::string line; std::getline(control, line);) {
      if (StartsWith(line, "exit: ")) controlEnded = true;
      if (StartsWith(line, "error: ")) report_.fatal.push_back("the control run: " + Utf8Escaped(line.substr(7)));
    }
    if (!controlEnded && report_.fatal.empty()) report_.fatal.push_back("the control run did not end");
    if (report_.timedOut) report_.silentSwitch = SilentSwitch(facts_.installer.kind);
    if (!facts_.scriptCap.empty()) {
      std::istringstream cap(facts_.scriptCap);
      cap >> report_.cap >> report_.capCount >> report_.capLimit;
    }
  }

 private:
  const CaptureFacts& facts_;
  CaptureReport& report_;
};

}  // namespace

void ReadCaptureAccounts(const CaptureFacts& facts, CaptureReport* report) {
  AccountReader(facts, *report).ReadAccounts();
}

}  // namespace uninstdat
