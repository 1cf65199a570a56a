// uninstdat: writes, reads, checks and explains the uninstaller's data files.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "tools/uninstdat/analysis.h"
#include "tools/uninstdat/machine.h"
#include "tools/uninstdat/manifest.h"
#include "tools/uninstdat/model.h"

using namespace uninstdat;

namespace {

constexpr int kUsage = 2;

bool ReadFile(const std::string& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream out;
  out << in.rdbuf();
  *bytes = out.str();
  return true;
}

bool LooksLikeJson(const std::string& bytes) {
  size_t first = bytes.find_first_not_of(" \t\r\n");
  return first != std::string::npos && bytes[first] == '{' && Json::accept(bytes);
}

// The code page: the option, else the manifest's, else 1252.
int ChooseCodePage(int option, const Json* manifest) {
  if (option) return option;
  if (manifest && manifest->contains("codePage") && (*manifest)["codePage"].is_number_integer())
    return (*manifest)["codePage"].get<int>();
  return 1252;
}

// A data file or a manifest, as the file's bytes and its parts.
struct Input {
  std::string bytes;
  DataFileModel model;
  std::vector<std::string> problems;
};

int Load(const std::string& path, int codePageOption, bool manifestAllowed, Input* input,
         std::unique_ptr<TargetCodePage>* target) {
  std::string raw;
  if (!ReadFile(path, &raw)) {
    std::cerr << "uninstdat: cannot read " << path << "\n";
    return kUsage;
  }
  if (manifestAllowed && LooksLikeJson(raw)) {
    Json manifest = Json::parse(raw);
    target->reset(new TargetCodePage(ChooseCodePage(codePageOption, &manifest)));
    if (!(*target)->converter.valid()) {
      std::cerr << "uninstdat: unknown code page " << ChooseCodePage(codePageOption, &manifest) << "\n";
      return kUsage;
    }
    std::vector<std::string> errors;
    auto model = ModelFromManifest(manifest, **target, &errors);
    if (!model) {
      for (const std::string& e : errors) std::cerr << path << ": " << e << "\n";
      return 1;
    }
    input->model = *model;
    input->bytes = Encode(*model);
    return 0;
  }
  target->reset(new TargetCodePage(ChooseCodePage(codePageOption, nullptr)));
  if (!(*target)->converter.valid()) {
    std::cerr << "uninstdat: unknown code page " << codePageOption << "\n";
    return kUsage;
  }
  input->bytes = raw;
  input->model = Decode((*target)->codePage, raw, &input->problems);
  return 0;
}

int Build(const std::string& manifestPath, const std::string& output, int codePageOption) {
  std::string raw;
  if (!ReadFile(manifestPath, &raw)) {
    std::cerr << "uninstdat: cannot read " << manifestPath << "\n";
    return kUsage;
  }
  Json manifest;
  try {
    manifest = Json::parse(raw);
  } catch (const Json::parse_error& e) {
    std::cerr << manifestPath << ": not JSON: " << e.what() << "\n";
    return 1;
  }
  TargetCodePage target(ChooseCodePage(codePageOption, &manifest));
  if (!target.converter.valid()) {
    std::cerr << "uninstdat: unknown code page " << target.converter.number() << "\n";
    return kUsage;
  }
  std::vector<std::string> errors;
  auto model = ModelFromManifest(manifest, target, &errors);
  if (!model) {
    for (const std::string& e : errors) std::cerr << manifestPath << ": " << e << "\n";
    std::cerr << "uninstdat: no file written\n";
    return 1;
  }
  std::string bytes = Encode(*model);
  std::ofstream out(output, std::ios::binary | std::ios::trunc);
  if (!out || !out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
    std::cerr << "uninstdat: cannot write " << output << "\n";
    return kUsage;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Writes, reads, checks and explains the uninstaller's data files."};
  app.require_subcommand(1);
  int codePage = 0;

  std::string manifestPath, output;
  CLI::App* build = app.add_subcommand("build", "Write a data file from a JSON manifest.");
  build->add_option("MANIFEST", manifestPath, "the manifest")->required();
  build->add_option("-o,--output", output, "the data file to write")->required();
  build->add_option("--codepage", codePage, "target ANSI code page (default: the manifest's, else 1252)");

  std::string filePath;
  CLI::App* show = app.add_subcommand("show", "Print a data file as a manifest.");
  show->add_option("FILE", filePath, "the data file")->required();
  show->add_option("--codepage", codePage, "the file's ANSI code page (default 1252)");

  std::string lintPath;
  bool strict = false;
  std::string lintExeFolder = "C:\\Program Files\\Application";
  CLI::App* lint = app.add_subcommand("lint", "List every quiet fault of a data file or manifest.");
  lint->add_option("FILE_OR_MANIFEST", lintPath, "a data file or a manifest")->required();
  lint->add_flag("--strict", strict, "exit 1 when there is any finding");
  lint->add_option("--codepage", codePage, "the ANSI code page");
  lint->add_option("--exe-folder", lintExeFolder, "the uninstaller's folder, for path lengths");

  std::string planPath, family = "nt", exeFolder, machinePath;
  CLI::App* plan = app.add_subcommand("plan", "Tell what the uninstaller would do, in its order.");
  plan->add_option("FILE", planPath, "a data file or a manifest")->required();
  plan->add_option("--family", family, "95, 98, nt or unknown")
      ->check(CLI::IsMember({"95", "98", "nt", "unknown"}));
  plan->add_option("--exe-folder", exeFolder, "the uninstaller's folder");
  plan->add_option("--machine", machinePath, "JSON description of the machine's folders");
  plan->add_option("--codepage", codePage, "the ANSI code page");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return code == 0 ? 0 : kUsage;
  }

  if (*build) return Build(manifestPath, output, codePage);

  Input input;
  std::unique_ptr<TargetCodePage> target;
  if (*show) {
    if (int code = Load(filePath, codePage, false, &input, &target)) return code;
    std::cout << ManifestFromModel(input.model, *target).dump(2) << "\n";
    for (const std::string& p : input.problems) std::cerr << filePath << ": " << p << "\n";
    return input.problems.empty() ? 0 : 1;
  }
  if (*lint) {
    if (int code = Load(lintPath, codePage, true, &input, &target)) return code;
    std::vector<Finding> findings = Lint(input.model, input.problems, *target, lintExeFolder);
    for (const Finding& f : findings)
      std::cout << f.code << "  " << f.where << ": " << f.what << ". Mend: " << f.mend << ".\n";
    if (findings.empty()) std::cout << "no findings\n";
    return strict && !findings.empty() ? 1 : 0;
  }
  if (int code = Load(planPath, codePage, true, &input, &target)) return code;
  int familyNumber = family == "95" ? 1 : family == "98" ? 2 : family == "nt" ? 3 : 0;
  Machine machine = DefaultMachine(familyNumber);
  if (!machinePath.empty()) {
    std::string raw, error;
    if (!ReadFile(machinePath, &raw) || !Json::accept(raw)) {
      std::cerr << "uninstdat: cannot read the machine description " << machinePath << "\n";
      return kUsage;
    }
    if (!ApplyMachineJson(Json::parse(raw), &machine, &error)) {
      std::cerr << machinePath << ": " << error << "\n";
      return kUsage;
    }
  }
  if (exeFolder.empty()) exeFolder = machine.programFilesDir + "\\Application";
  while (!exeFolder.empty() && exeFolder.back() == '\\') exeFolder.pop_back();
  auto folder = target->converter.ToAnsi(exeFolder);
  if (!folder || folder->size() >= uninst::kMaxPath) {
    std::cerr << "uninstdat: the uninstaller's folder does not fit a path\n";
    return kUsage;
  }
  std::cout << Plan(input.bytes, *target, machine, *folder);
  for (const std::string& p : input.problems) std::cerr << planPath << ": " << p << "\n";
  return 0;
}
