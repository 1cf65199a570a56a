// What the commands share: options declared once (the code page, the
// machine options, the families, counts, --allow) and the loading of their
// inputs, each failing with the exit code and message that every command
// gives for it.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/uninstdat/codepage.h"
#include "tools/uninstdat/commands/command.h"
#include "tools/uninstdat/lint/findings.h"
#include "tools/uninstdat/json.h"
#include "tools/uninstdat/machine.h"
#include "tools/uninstdat/manifest_positions.h"

namespace CLI {
class Option;
}

namespace uninstdat {

// --codepage N: a Windows ANSI code page, 0 when not given.
void AddCodePage(CLI::App* command, int* codePage, const std::string& description);
// kUsage, after saying so, for a code page that is no Windows ANSI one.
std::optional<Exit> CheckCodePage(int codePage);

// --family F[,F...]: values separated by commas, never taken from the next
// words, so that the option never swallows the file.
void AddFamilies(CLI::App* command, std::vector<std::string>* families, const std::string& description);
// The families named, each once, in the order given, or kUsage after
// saying which one is none of `allowed`. `defaults` when none is named.
std::optional<Exit> ParseFamilies(const std::vector<std::string>& names,
                                  const std::vector<uninst::OsFamilyValue>& allowed,
                                  const std::vector<uninst::OsFamilyValue>& defaults,
                                  std::vector<uninst::OsFamilyValue>* families);

// --machine M.json (and, unless `exeFolder` is null, --exe-folder).
void AddMachine(CLI::App* command, std::string* machinePath, const std::string& description,
                std::string* exeFolder = nullptr);

// What a data file or a manifest became: the data file's bytes and its parts.
struct Input {
  std::string bytes;                   // a manifest's as build writes them
  bool manifest = false;
  std::vector<std::string> problems;   // a data file's layout problems
  std::vector<std::string> lintAllow;  // a manifest's "lintAllow"
  std::unique_ptr<ManifestPositions> positions;  // a manifest's, when they were asked for
  std::unique_ptr<TargetCodePage> page;
};

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
  // Checks the code page, then loads the file (with a manifest's positions
  // when `positions`).
  std::optional<Exit> Load(Input* input, bool positions = false) const;
};

// --json: one JSON record per line.
void AddJson(CLI::App* command, bool* json, const std::string& description);

// A count option: 0 or a larger whole number (CLI11 would take "-1" as the
// largest size_t).
CLI::Option* AddCount(CLI::App* command, const std::string& name, size_t* count, const std::string& description);

// --allow CODE[=TEXT], repeatable.
void AddAllow(CLI::App* command, std::vector<std::string>* allow, const std::string& description);

// Reads `path` as a manifest (text that starts like JSON) or as a data file
// (anything else). The code page: the option, else the manifest's, else
// 1252. A data file that reads badly in 1252 and well in a double-byte page
// gets a note. With `positions`, a manifest's are recorded too.
std::optional<Exit> LoadInput(const std::string& path, int codePageOption, Input* input, bool positions = false);

// A machine description: the JSON object of a --machine file.
std::optional<Exit> LoadMachine(const std::string& path, Json* machine);

// The targets of the machine options for the families named, else
// `defaults`.
std::optional<Exit> MakeTargetsFrom(const MachineOptions& options, const std::vector<uninst::OsFamilyValue>& defaults,
                                    const TargetCodePage& page, std::vector<Target>* targets);

// The allow rules of --allow and of a manifest's "lintAllow", in the code page.
std::optional<Exit> AllowRules(const std::vector<std::string>& options, const Input& input,
                               std::vector<AllowRule>* rules);

}  // namespace uninstdat
