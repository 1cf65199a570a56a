// The options the commands share, declared once (the code page, the
// machine options, the families, counts, --allow), and the checks of their
// values, each failing with the exit code and message that every command
// gives for it. Loading what they name is input.h's.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "tools/uninstdat/commands/command.h"
#include "tools/uninstdat/families.h"

namespace CLI {
class Option;
}

namespace uninstdat {

struct Input;  // input.h

// --codepage N: a Windows ANSI code page, 0 when not given.
void AddCodePage(CLI::App* command, int* codePage, const std::string& description);
// A kUsage Failure for a code page that is no Windows ANSI one (0, not
// given, passes).
Result<void> CheckCodePage(int codePage);

// --family F[,F...]: values separated by commas, never taken from the next
// words, so that the option never swallows the file.
void AddFamilies(CLI::App* command, std::vector<std::string>* families, const std::string& description);
// The families named, each once, in the order given, or a kUsage Failure
// that names the first one that is none of `allowed`. `defaults` when none
// is named.
Result<std::vector<uninst::OsFamilyValue>> ParseFamilies(const std::vector<std::string>& names,
                                                         const std::vector<uninst::OsFamilyValue>& allowed,
                                                         const std::vector<uninst::OsFamilyValue>& defaults);

// --machine M.json (and, unless `exeFolder` is null, --exe-folder).
void AddMachine(CLI::App* command, std::string* machinePath, const std::string& description,
                std::string* exeFolder = nullptr);

// --family, --machine and --exe-folder of lint and plan.
struct MachineOptions {
  std::vector<std::string> families;
  std::string machinePath;
  std::string exeFolder;
  void Add(CLI::App* command, const char* defaultFamilies);
};

// The FILE, --codepage and machine options of the commands that judge a
// data file on described machines (lint, plan).
struct AnalysisOptions {
  std::string path;
  int codePage = 0;
  MachineOptions machine;
  // FILE: a data file or a manifest.
  void AddFile(CLI::App* command);
  // --codepage and the machine options, after the command's own.
  void AddMachine(CLI::App* command, const char* defaultFamilies);
  // Loads the file (with a manifest's positions when `positions`), in the
  // code page that RunParsed checked; defined with the loading, in
  // input.cpp.
  Result<Input> Load(bool positions = false) const;
};

// --json: one JSON record per line.
void AddJson(CLI::App* command, bool* json, const std::string& description);

// A count option: 0 or a larger whole number (CLI11 would take "-1" as the
// largest size_t).
CLI::Option* AddCount(CLI::App* command, const std::string& name, size_t* count, const std::string& description);

// --allow CODE[=TEXT], repeatable.
void AddAllow(CLI::App* command, std::vector<std::string>* allow, const std::string& description);

}  // namespace uninstdat
