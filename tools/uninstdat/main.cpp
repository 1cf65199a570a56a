// uninstdat: writes, reads, checks and explains the uninstaller's data files.
// Exit codes: 0 done; 1 findings under --strict; 2 usage; 3 an input that
// cannot be read or is not well formed; 4 an output that cannot be written
// (the old file is then unchanged).
#include <CLI/CLI.hpp>


#include <errno.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>

#include "tools/uninstdat/analysis.h"
#include "tools/uninstdat/io.h"
#include "tools/uninstdat/machine.h"
#include "tools/uninstdat/manifest.h"
#include "tools/uninstdat/model.h"
#include "tools/uninstdat/scan.h"
#include "tools/uninstdat/try.h"

#ifndef UNINSTDAT_VERSION
#define UNINSTDAT_VERSION "unknown"
#endif

using namespace uninstdat;

namespace {

enum Exit { kDone = 0, kFindings = 1, kUsage = 2, kBadInput = 3, kCannotWrite = 4 };

int Fail(int code, const std::string& message) {
  std::cerr << "uninstdat: " << message << "\n";
  return code;
}

// What a data file or a manifest became: the file's bytes and its parts.
struct Input {
  std::string bytes;
  std::vector<std::string> problems;
  bool manifest = false;
  std::vector<std::string> lintAllow;  // a manifest's "lintAllow"
  std::unique_ptr<TargetCodePage> page;
};

// Reads `path` as a manifest (text that starts like JSON) or as a data file
// (anything else). The code page: the option, else the manifest's, else 1252.
int Load(const std::string& path, int codePageOption, Input* input) {
  std::string raw, error;
  if (!ReadInput(path, &raw, &error)) return Fail(kBadInput, error);
  if (LooksLikeManifest(raw)) {
    input->manifest = true;
    Json manifest;
    if (!ParseManifestText(raw, &manifest, &error)) return Fail(kBadInput, path + ": " + error);
    int number = codePageOption ? codePageOption : ManifestCodePage(manifest);
    input->page.reset(new TargetCodePage(number ? number : 1252));
    std::vector<std::string> errors;
    auto model = ModelFromManifest(manifest, *input->page, &errors);
    if (!model) {
      for (const std::string& e : errors) Fail(kBadInput, path + ": " + e);
      return kBadInput;
    }
    input->lintAllow = LintAllowOf(manifest);
    input->bytes = Encode(*model);
    return kDone;
  }
  input->page.reset(new TargetCodePage(codePageOption ? codePageOption : 1252));
  input->bytes = std::move(raw);
  const std::string& bytes = input->bytes;
  input->problems = LayoutProblems(bytes);
  // A data file does not say its code page: when the assumed one reads it
  // badly and a double-byte one well, say so, but change nothing.
  if (!codePageOption)
    if (int likely = LikelierDoubleByteCodePage(bytes, 1252))
      Fail(kDone, "note: " + path + " reads badly in code page 1252, which is assumed without --codepage, " +
                      "and well in code page " + std::to_string(likely) + "; if it was written for " +
                      std::to_string(likely) + ", run again with --codepage " + std::to_string(likely));
  return kDone;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// A machine description: the JSON object of a --machine file.
int LoadMachine(const std::string& path, Json* machine) {
  std::string raw, error;
  if (!ReadInput(path, &raw, &error)) return Fail(kBadInput, error);
  if (!ParseManifestText(raw, machine, &error)) return Fail(kBadInput, path + ": " + error);
  return kDone;
}

// --family values: 95, 98, nt or unknown, in any case, each at most once.
bool Families(const std::vector<std::string>& names, std::vector<int>* families, std::string* error) {
  for (const std::string& given : names) {
    std::string name = Lower(given);
    int family = name == "95" ? 1 : name == "98" ? 2 : name == "nt" ? 3 : name == "unknown" ? 0 : -1;
    if (family < 0) return *error = "--family " + name + ": use 95, 98, nt or unknown", false;
    if (std::find(families->begin(), families->end(), family) == families->end()) families->push_back(family);
  }
  return true;
}

struct MachineOptions {
  std::vector<std::string> families;
  std::string machinePath;
  std::string exeFolder;
};

int MakeTargetsFrom(const MachineOptions& options, std::vector<int> defaults, const TargetCodePage& page,
                    std::vector<Target>* targets) {
  std::vector<int> families;
  std::string error;
  if (!Families(options.families, &families, &error)) return Fail(kUsage, error);
  if (families.empty()) families = defaults;
  Json machine;
  if (!options.machinePath.empty())
    if (int code = LoadMachine(options.machinePath, &machine)) return code;
  if (!MakeTargets(families, options.machinePath.empty() ? nullptr : &machine, options.exeFolder, page,
                   targets, &error))
    return Fail(kBadInput, error);
  return kDone;
}

void AddMachineOptions(CLI::App* command, MachineOptions* options, const char* defaults) {
  command->add_option("--family", options->families,
                      std::string("Windows family: 95, 98, nt or unknown; several separated by commas (default: ") +
                          defaults + ")")
      ->delimiter(',')
      ->allow_extra_args(false)
      ->type_name("F[,F...]");
  command->add_option("--machine", options->machinePath,
                      "JSON file of the machine's folders (windowsDir, systemDir, tempDir, programFilesDir, "
                      "commonFilesDir, profileDir, shellFolders)");
  command->add_option("--exe-folder", options->exeFolder,
                      "the uninstaller's folder (default: the machine's ProgramFilesDir\\Application)");
}

void PrintFindings(const Findings& findings, bool json) {
  for (const Finding& f : findings.kept()) {
    if (json) {
      Json record = {{"code", f.code}, {"where", f.where}};
      if (f.hasText) record["text"] = f.text;
      record["what"] = f.what;
      record["mend"] = f.mend;
      record["severity"] = f.note ? "note" : "warning";
      record["allowed"] = f.allowed;
      std::cout << record.dump() << "\n";
    } else {
      std::cout << (f.allowed ? "allowed  " : f.note ? "note  " : "") << f.code << "  " << f.where;
      if (f.hasText) std::cout << " \"" << f.text << "\"";
      std::cout << ": " << f.what << ". Mend: " << f.mend << ".\n";
    }
  }
  for (const Findings::Omitted& o : findings.omitted()) {
    if (json) std::cout << Json{{"code", o.code}, {"omitted", o.count}, {"allowed", o.allowed}}.dump() << "\n";
    else std::cout << (o.allowed ? "allowed  " : "") << o.code << "  and " << o.count << " more (--max-per-code 0 lists all)\n";
  }
  if (json) return;
  if (findings.total() == 0) {
    std::cout << "no findings\n";
    return;
  }
  std::cout << findings.toMend() << (findings.toMend() == 1 ? " finding" : " findings") << " to mend";
  if (findings.notes()) std::cout << ", " << findings.notes() << (findings.notes() == 1 ? " note" : " notes");
  if (findings.allowed()) std::cout << ", " << findings.allowed() << " allowed";
  std::cout << "\n";
}

// The allow rules of --allow and of a manifest's "lintAllow", in the code
// page; else the exit code, after saying what is wrong.
int AllowRules(const std::vector<std::string>& options, const Input& input, std::vector<AllowRule>* rules) {
  for (const std::string& spec : options) {
    AllowRule rule;
    std::string error;
    if (!ParseAllowRule(spec, *input.page, &rule, &error)) return Fail(kUsage, "--allow " + spec + ": " + error);
    rules->push_back(rule);
  }
  for (size_t i = 0; i < input.lintAllow.size(); ++i) {
    AllowRule rule;
    std::string error;
    if (!ParseAllowRule(input.lintAllow[i], *input.page, &rule, &error))
      return Fail(kBadInput, "lintAllow[" + std::to_string(i) + "]: " + error);
    rules->push_back(rule);
  }
  return kDone;
}

int CheckCodePage(int number) {
  if (number && !IsWindowsAnsiCodePage(number))
    return Fail(kUsage, "--codepage " + std::to_string(number) + " is no Windows ANSI code page; use one of " +
                            kWindowsAnsiCodePages);
  return kDone;
}

// A count: CLI11 would take "-1" as the largest size_t.
const CLI::Validator kCount(
    [](std::string& text) {
      return text.find_first_not_of("0123456789") == std::string::npos && !text.empty()
                 ? std::string()
                 : "must be 0 or a larger whole number, not " + text;
    },
    "N");

int Run(int argc, char** argv) {
  CLI::App app{"Writes, reads, checks and explains the uninstaller's data files.\n"
               "Exit codes: 0 done, 1 findings under --strict, 2 usage, 3 an input that cannot be read or is "
               "not well formed, 4 an output that cannot be written."};
  app.name("uninstdat");
  app.set_version_flag("--version", std::string("uninstdat ") + UNINSTDAT_VERSION);
  app.require_subcommand(1);
  int codePage = 0;

  std::string manifestPath, output;
  bool buildStrict = false;
  CLI::App* build = app.add_subcommand("build", "Write a data file from a JSON manifest.");
  build->add_option("MANIFEST", manifestPath, "the manifest (- for standard input)")->required();
  build->add_option("-o,--output", output, "the data file to write (- for standard output)")->required();
  build->add_option("--codepage", codePage, "target ANSI code page (default: the manifest's, else 1252)");
  build->add_flag("--strict", buildStrict, "lint first, and write nothing when there is a finding to mend");
  std::vector<std::string> buildAllow;
  build->add_option("--allow", buildAllow, "with --strict: acknowledge a finding, CODE or CODE=TEXT (the entry's text); repeatable")
      ->allow_extra_args(false)
      ->type_name("CODE[=TEXT]");

  std::string showPath;
  bool force = false;
  CLI::App* show = app.add_subcommand("show", "Print a data file as a manifest that build turns into the same bytes.");
  show->add_option("FILE", showPath, "the data file (- for standard input)")->required();
  show->add_option("--codepage", codePage, "the file's ANSI code page (default 1252)");
  show->add_flag("--force", force, "show a file that does not look like a data file");

  std::string lintPath;
  bool strict = false, lintJson = false;
  size_t maxPerCode = 20;
  MachineOptions lintMachine;
  CLI::App* lint = app.add_subcommand("lint", "List every quiet fault of a data file or manifest.");
  lint->add_option("FILE", lintPath, "a data file or a manifest (- for standard input)")->required();
  lint->add_flag("--strict", strict, "exit 1 when there is a finding to mend (not a note, not allowed)");
  lint->add_flag("--json", lintJson, "one JSON record per line for each finding");
  lint->add_option("--max-per-code", maxPerCode, "findings listed per code, the rest counted (0: all; default 20)")
      ->check(kCount);
  std::vector<std::string> lintAllow;
  lint->add_option("--allow", lintAllow, "acknowledge a finding: CODE, or CODE=TEXT for the entry whose text is TEXT; repeatable")
      ->allow_extra_args(false)
      ->type_name("CODE[=TEXT]");
  lint->add_option("--codepage", codePage, "the ANSI code page");
  AddMachineOptions(lint, &lintMachine, "95, 98 and nt");

  std::string planPath;
  bool planJson = false;
  MachineOptions planMachine;
  CLI::App* plan = app.add_subcommand("plan", "Tell what the uninstaller would do, in its order.");
  plan->add_option("FILE", planPath, "a data file or a manifest (- for standard input)")->required();
  plan->add_flag("--json", planJson, "one JSON record per line: boxes, programs, shortcuts, registry, each entry's outcome");
  size_t maxPerReason = 20;
  plan->add_option("--max-per-reason", maxPerReason, "records listed per kind and reason, the rest counted (0: all; default 20)")
      ->check(kCount);
  plan->add_option("--codepage", codePage, "the ANSI code page");
  AddMachineOptions(plan, &planMachine, "nt");

  std::string stage, installFolder, scanOutput = "-";
  bool allUsers = false;
  MachineOptions scanMachine;
  CLI::App* scan = app.add_subcommand("scan", "Write a manifest that lists everything a staged installation holds.");
  scan->add_option("STAGE", stage, "the stage: files/<drive>/..., shell/<folder>/..., registry.reg")->required();
  scan->add_option("--install-folder", installFolder, "the product's folder, such as C:\\Program Files\\Widget")->required();
  scan->add_option("-o,--output", scanOutput, "the manifest to write (default: standard output)");
  scan->add_option("--codepage", codePage, "the manifest's code page (default 1252)");
  scan->add_flag("--all-users", allUsers, "the shortcuts are the all-users ones on the NT family");
  scan->add_option("--family", scanMachine.families, "whose default folders become location macros: 95, 98, nt or unknown (default nt)")
      ->delimiter(',')
      ->allow_extra_args(false);
  scan->add_option("--machine", scanMachine.machinePath, "JSON file of the machine's folders");

  std::string tryInput, restart = "no";
  std::vector<std::string> tryFamilies;
  TryOptions tryOptions;
  CLI::App* tryCommand = app.add_subcommand("try", "Run the real uninst.exe on a staged installation in a sealed Wine sandbox and prove it clean.");
  tryCommand->add_option("FILE", tryInput, "a manifest or a data file")->required();
  tryCommand->add_option("--stage", stage, "the staged installation (as for scan)")->required();
  tryCommand->add_option("--install-folder", installFolder, "where uninst.exe and the data file go, as the stage sees it (C:\\...)")->required();
  tryCommand->add_option("--family", tryFamilies, "nt, 98 or 95; several separated by commas, each run and reported (default nt)")
      ->delimiter(',');
  tryCommand->add_option("--restart", restart, "the answer to the restart question: yes or no (default no)");
  tryCommand->add_option("--also", tryOptions.also, "a tree laid out like the stage that holds the machine's own files, which must stay");
  tryCommand->add_option("--uninstaller", tryOptions.uninstaller, "the uninst.exe to run (default: the one beside uninstdat, else the build's)");
  tryCommand->add_option("--hold", tryOptions.hold, "a staged file (C:\\...) held open until the restart question is answered");
  tryCommand->add_option("--junit", tryOptions.junit, "also write the report as JUnit XML to this file");
  tryCommand->add_option("--timeout", tryOptions.timeout, "seconds each wait may take (default 120)")->check(CLI::Range(5, 3600));
  tryCommand->add_option("--codepage", codePage, "the ANSI code page");
  tryCommand->add_flag("--json", tryOptions.json, "one JSON record per line");
  tryCommand->add_flag("--keep", tryOptions.keep, "keep the work folder: the layers of the prefix and the snapshots");

  std::string helpTopic;
  CLI::App* help = app.add_subcommand("help", "Describe uninstdat or one of its commands.");
  std::string commands;
  for (const CLI::App* command : app.get_subcommands({}))
    commands += (commands.empty() ? "" : ", ") + command->get_name();
  help->add_option("COMMAND", helpTopic, "one of " + commands);

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e) == 0 ? kDone : kUsage;  // --help, --version
  } catch (const CLI::ParseError& e) {
    std::string command = app.get_subcommands().empty() ? "" : app.get_subcommands()[0]->get_name();
    if (command.empty() && argc > 1 && argv[1][0] != '-')
      return Fail(kUsage, std::string("no command ") + argv[1] + " (" + commands + ")");
    return Fail(kUsage, command.empty() ? std::string(e.what()) + "; uninstdat help names the commands"
                                        : command + ": " + e.what() + "; uninstdat help " + command + " names the options");
  }
  if (*help) {
    const CLI::App* topic = helpTopic.empty() ? &app : nullptr;
    for (const CLI::App* command : app.get_subcommands({}))
      if (command->get_name() == helpTopic) topic = command;
    if (!topic) return Fail(kUsage, "no command " + helpTopic + " (" + commands + ")");
    // The formatter, not App::help, which would describe the help command
    // itself once it has been parsed.
    std::cout << app.get_formatter()->make_help(topic, topic->get_name(), CLI::AppFormatMode::Normal);
    return kDone;
  }
  if (int code = CheckCodePage(codePage)) return code;

  if (*build) {
    if (SameFile(manifestPath, output))
      return Fail(kUsage, "refusing to write the data file over its own manifest " + manifestPath);
    Input input;
    std::string error;
    if (int code = Load(manifestPath, codePage, &input)) return code;
    if (!input.manifest) return Fail(kBadInput, manifestPath + " is no manifest (JSON text that begins with {)");
    std::vector<AllowRule> rules;
    if (int code = AllowRules(buildAllow, input, &rules)) return code;
    if (buildStrict) {
      std::vector<Target> targets;
      if (!MakeTargets({1, 2, 3}, nullptr, "", *input.page, &targets, &error)) return Fail(kBadInput, error);
      Findings findings(20, rules);
      Lint(input.bytes, {}, *input.page, targets, &findings);
      if (findings.toMend()) {
        PrintFindings(findings, false);
        return Fail(kFindings, "--strict: " + std::to_string(findings.toMend()) + " findings to mend; no file written");
      }
    }
    if (!WriteOutput(output, input.bytes, &error)) return Fail(kCannotWrite, error);
    return kDone;
  }

  if (*scan) {
    std::vector<int> families;
    std::string error;
    if (!Families(scanMachine.families, &families, &error)) return Fail(kUsage, error);
    if (families.size() > 1) return Fail(kUsage, "--family: scan takes one family");
    ScanOptions options;
    options.stage = stage;
    options.installFolder = installFolder;
    options.codePage = codePage ? codePage : 1252;
    options.allUsers = allUsers;
    options.machine = DefaultMachine(families.empty() ? 3 : families[0]);
    if (!scanMachine.machinePath.empty()) {
      Json machine;
      if (int code = LoadMachine(scanMachine.machinePath, &machine)) return code;
      if (!ApplyMachineJson(machine, &options.machine, &error))
        return Fail(kBadInput, scanMachine.machinePath + ": " + error);
    }
    Json manifest;
    std::vector<std::string> notes;
    if (!Scan(options, &manifest, &notes, &error)) return Fail(kBadInput, error);
    for (const std::string& note : notes) Fail(kDone, "note: " + note);
    // The names must be texts of the code page, or build would refuse them.
    TargetCodePage page(options.codePage);
    std::vector<std::string> errors;
    if (!ModelFromManifest(manifest, page, &errors)) {
      for (const std::string& e : errors) Fail(kBadInput, e);
      return Fail(kBadInput, "the stage holds names that code page " + std::to_string(options.codePage) +
                                 " cannot carry; give --codepage");
    }
    if (!WriteOutput(scanOutput, manifest.dump(2) + "\n", &error)) return Fail(kCannotWrite, error);
    return kDone;
  }

  if (*tryCommand) {
#ifdef _WIN32
    return Fail(kUsage, "try runs uninst.exe under Wine and is a Linux feature; run it on Linux");
#else
    std::string lower = Lower(restart);
    if (lower != "yes" && lower != "no") return Fail(kUsage, "--restart " + restart + ": use yes or no");
    for (const std::string& given : tryFamilies) {
      std::string family = Lower(given);
      if (family != "nt" && family != "98" && family != "95")
        return Fail(kUsage, "--family " + given + ": use nt, 98 or 95");
      if (std::find(tryOptions.families.begin(), tryOptions.families.end(), family) == tryOptions.families.end())
        tryOptions.families.push_back(family);
    }
    if (tryOptions.families.empty()) tryOptions.families = {"nt"};
    std::string why = InstallFolderProblem(installFolder);
    if (!why.empty()) return Fail(kUsage, why);
    tryOptions.stage = stage;
    tryOptions.installFolder = installFolder;
    tryOptions.restart = lower == "yes";
    Input input;
    if (int code = Load(tryInput, codePage, &input)) return code;
    return RunTry(tryOptions, input.bytes, *input.page);
#endif
  }

  if (*show) {
    Input input;
    if (int code = Load(showPath, codePage, &input)) return code;
    if (input.manifest) return Fail(kUsage, showPath + " is a manifest; show reads data files (build one first)");
    std::string why = WhyNotADataFile(input.bytes);
    // What show writes, build must read back: a manifest over the input
    // limit (millions of tiny entries) is counted first, never written.
    size_t size = 0;
    if (why.empty() && !WriteShownManifest(input.bytes, *input.page, [&](std::string_view part) {
          return (size += part.size()) <= kMaxInputBytes;
        }))
      why = "its manifest would have more than the " + std::to_string(kMaxInputBytes >> 20) +
            " MiB that build reads";
    if (!why.empty() && !force)
      return Fail(kBadInput, showPath + " does not look like a data file: " + why + "; --force shows it anyway");
    for (const std::string& p : input.problems) Fail(kDone, showPath + ": " + p);
    // Part by part: the output of a large file never lies in memory whole.
    WriteShownManifest(input.bytes, *input.page, [](std::string_view part) { return bool(std::cout << part); });
    std::cout.flush();
    return std::cout ? kDone : Fail(kCannotWrite, "standard output: " + std::string(strerror(errno)));
  }

  if (*lint) {
    Input input;
    if (int code = Load(lintPath, codePage, &input)) return code;
    std::vector<AllowRule> rules;
    if (int code = AllowRules(lintAllow, input, &rules)) return code;
    std::vector<Target> targets;
    if (int code = MakeTargetsFrom(lintMachine, {1, 2, 3}, *input.page, &targets)) return code;
    Findings findings(maxPerCode, rules);
    Lint(input.bytes, input.problems, *input.page, targets, &findings);
    PrintFindings(findings, lintJson);
    return strict && findings.toMend() ? kFindings : kDone;
  }

  Input input;
  if (int code = Load(planPath, codePage, &input)) return code;
  std::vector<Target> targets;
  if (int code = MakeTargetsFrom(planMachine, {3}, *input.page, &targets)) return code;
  for (size_t t = 0; t < targets.size(); ++t) {
    if (planJson) {
      PlanRecords(input.bytes, *input.page, targets[t], maxPerReason,
                  [](const Json& record) { std::cout << record.dump() << "\n"; });
    } else {
      if (t) std::cout << "\n";
      Plan(input.bytes, *input.page, targets[t], maxPerReason, std::cout);
    }
  }
  for (const std::string& p : input.problems) Fail(kDone, planPath + ": " + p);
  return kDone;
}

}  // namespace

int main(int argc, char** argv) {
  // A file-size limit must make a write fail, not end the process halfway.
#ifdef SIGXFSZ
  signal(SIGXFSZ, SIG_IGN);
#endif
  // Every error is a message and an exit code; nothing ends the process
  // with an uncaught exception.
  try {
    return Run(argc, argv);
  } catch (const std::bad_alloc&) {
    return Fail(kBadInput, "out of memory: the input is larger than this machine can take");
  } catch (const std::exception& e) {
    return Fail(kBadInput, std::string("cannot go on: ") + e.what());
  }
}
