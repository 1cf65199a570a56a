// The options the commands share; see options.h.
#include "tools/uninstdat/commands/options.h"

#include <CLI/CLI.hpp>

#include <algorithm>

#include "tools/uninstdat/codepage.h"
#include "tools/uninstdat/names.h"

namespace uninstdat {

void AddCodePage(CLI::App* command, int* codePage, const std::string& description) {
  command->add_option("--codepage", *codePage, description);
}

Result<void> CheckCodePage(int codePage) {
  if (codePage && !IsWindowsAnsiCodePage(codePage))
    return Failure{Exit::kUsage, "--codepage " + std::to_string(codePage) + " is no Windows ANSI code page; use one of " +
                                     kWindowsAnsiCodePages};
  return {};
}

void AddFamilies(CLI::App* command, std::vector<std::string>* families, const std::string& description) {
  command->add_option("--family", *families, description)->delimiter(',')->allow_extra_args(false)->type_name("F[,F...]");
}

Result<std::vector<uninst::OsFamilyValue>> ParseFamilies(const std::vector<std::string>& names,
                                                         const std::vector<uninst::OsFamilyValue>& allowed,
                                                         const std::vector<uninst::OsFamilyValue>& defaults) {
  std::vector<uninst::OsFamilyValue> families;
  for (const std::string& given : names) {
    std::optional<OsFamilyValue> family = FamilyOfName(given);
    if (!family || std::find(allowed.begin(), allowed.end(), *family) == allowed.end()) {
      std::string use;
      for (size_t i = 0; i < allowed.size(); ++i)
        use += (i == 0 ? "" : i + 1 == allowed.size() ? " or " : ", ") + std::string(FamilyName(allowed[i]));
      return Failure{Exit::kUsage, "--family " + LowerAscii(given) + ": use " + use};
    }
    if (std::find(families.begin(), families.end(), *family) == families.end()) families.push_back(*family);
  }
  if (families.empty()) return defaults;
  return families;
}

void AddMachine(CLI::App* command, std::string* machinePath, const std::string& description, std::string* exeFolder) {
  command->add_option("--machine", *machinePath, description);
  if (exeFolder)
    command->add_option("--exe-folder", *exeFolder,
                        "the uninstaller's folder (default: the machine's ProgramFilesDir\\Application)");
}

void MachineOptions::Add(CLI::App* command, const char* defaultFamilies) {
  AddFamilies(command, &families,
              std::string("Windows family: 95, 98, nt or unknown; several separated by commas (default: ") +
                  defaultFamilies + ")");
  AddMachine(command, &machinePath,
             "JSON file of the machine's folders (windowsDir, systemDir, tempDir, programFilesDir, "
             "commonFilesDir, profileDir, shellFolders)",
             &exeFolder);
}

void AnalysisOptions::AddFile(CLI::App* command) {
  command->add_option("FILE", path, "a data file or a manifest (- for standard input)")->required();
}

void AnalysisOptions::AddMachine(CLI::App* command, const char* defaultFamilies) {
  AddCodePage(command, &codePage, "the ANSI code page");
  machine.Add(command, defaultFamilies);
}

void AddJson(CLI::App* command, bool* json, const std::string& description) {
  command->add_flag("--json", *json, description);
}

CLI::Option* AddCount(CLI::App* command, const std::string& name, size_t* count, const std::string& description) {
  static const CLI::Validator kCount(
      [](std::string& text) {
        return text.find_first_not_of("0123456789") == std::string::npos && !text.empty()
                   ? std::string()
                   : "must be 0 or a larger whole number, not " + text;
      },
      "N");
  return command->add_option(name, *count, description)->check(kCount);
}

void AddAllow(CLI::App* command, std::vector<std::string>* allow, const std::string& description) {
  command->add_option("--allow", *allow, description)->allow_extra_args(false)->type_name("CODE[=TEXT]");
}

}  // namespace uninstdat
