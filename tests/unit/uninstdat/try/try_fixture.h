// A small prefix for the tests of try's report: the install folder C:\\App
// with the uninstaller, a staged file and folder, a machine file, HOME's
// Desktop through its link, and a registry key with a value that the export
// made inside a vendor's key it made too; the run after it clean.
#pragma once

#include "tools/uninstdat/try/try_report.h"

namespace uninstdat {

struct RunFixture {
  TryRun run;
  TargetCodePage page{1252};
  RunFixture() {
    run.family = uninst::kOsNt;
    run.page = &page;
    run.installFolder = {"C:\\App", {"C", "App"}, true, false};
    run.uninstaller = {"C:\\App\\uninst.exe", {"C", "App/uninst.exe"}, false, false};
    run.dataFile = {"C:\\App\\uninst.dat", {"C", "App/uninst.dat"}, false, false};
    run.staged = {{"C:\\App\\a.txt", {"C", "App/a.txt"}, false, false},
                  {"C:\\App\\data", {"C", "App/data"}, true, false},
                  {"C:\\users\\u\\Desktop\\x.lnk", {"HOME", "Desktop/x.lnk"}, false, false},
                  {"C:\\windows", {"C", "windows"}, true, true}};
    for (Snapshot* s : {&run.before, &run.control}) {
      s->files = {{{"C", "App"}, {'d', ""}},           {{"C", "App/uninst.exe"}, {'f', ""}},
                  {{"C", "App/uninst.dat"}, {'f', ""}}, {{"C", "App/a.txt"}, {'f', ""}},
                  {{"C", "App/data"}, {'d', ""}},       {{"C", "windows"}, {'d', ""}},
                  {{"C", "windows/win.ini"}, {'f', ""}}, {{"C", "users/u/Desktop"}, {'l', "/sandbox/home/Desktop"}},
                  {{"HOME", "Desktop"}, {'d', ""}},     {{"HOME", "Desktop/x.lnk"}, {'f', ""}},
                  {{"HOME", "Desktop/mine.lnk"}, {'f', ""}}};
      s->registry = {{"HKEY_CURRENT_USER\\Software", "", false},
                     {"HKEY_CURRENT_USER\\Software\\Co", "", false},
                     {"HKEY_CURRENT_USER\\Software\\Co\\W", "", false},
                     {"HKEY_CURRENT_USER\\Software\\Co\\W", "v", true},
                     {"HKEY_CURRENT_USER\\Software\\Wine", "", false},
                     {"HKEY_CURRENT_USER\\Software\\Wine", "x", true}};
    }
    run.pristine = {{"HKEY_CURRENT_USER\\Software", "", false},
                    {"HKEY_CURRENT_USER\\Software\\Wine", "", false},
                    {"HKEY_CURRENT_USER\\Software\\Wine", "x", true}};
    run.exported = {{"HKEY_CURRENT_USER\\Software\\Co", "", false},
                    {"HKEY_CURRENT_USER\\Software\\Co\\W", "", false},
                    {"HKEY_CURRENT_USER\\Software\\Co\\W", "v", false}};
    // A clean run: everything staged and the uninstaller gone.
    run.after = run.before;
    for (const char* path : {"App", "App/uninst.exe", "App/uninst.dat", "App/a.txt", "App/data"})
      run.after.files.erase({"C", path});
    run.after.files.erase({"HOME", "Desktop/x.lnk"});
    run.after.registry.erase({"HKEY_CURRENT_USER\\Software\\Co\\W", "", false});
    run.after.registry.erase({"HKEY_CURRENT_USER\\Software\\Co\\W", "v", true});
    run.after.registry.erase({"HKEY_CURRENT_USER\\Software\\Co", "", false});
    run.runOutput = "acp: 1252\r\nbox: W | Remove? | OK\r\nexit: 0\r\n";
  }
};

}  // namespace uninstdat
