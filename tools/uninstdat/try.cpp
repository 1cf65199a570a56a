// `uninstdat try`; see try.h.
#include "tools/uninstdat/try.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>

#include "tools/uninstdat/io.h"
#include "tools/uninstdat/model.h"
#include "tools/uninstdat/scan.h"

namespace uninstdat {
namespace {

bool Within(const std::string& upper, const std::string& folder) {
  return upper == folder || upper.compare(0, folder.size() + 1, folder + "\\") == 0;
}

void AppendUtf8(std::string* out, unsigned point) {
  if (point < 0x80) {
    *out += static_cast<char>(point);
  } else if (point < 0x800) {
    *out += static_cast<char>(0xC0 | (point >> 6));
    *out += static_cast<char>(0x80 | (point & 0x3F));
  } else {
    *out += static_cast<char>(0xE0 | (point >> 12));
    *out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (point & 0x3F));
  }
}

// A name as Wine writes it: "\\" for a backslash, "\"" for a quote, and
// "\x" with up to four hex digits for anything outside printable ASCII.
std::string Unescape(const std::string& text, size_t from, size_t to) {
  std::string out;
  for (size_t i = from; i < to; ++i) {
    if (text[i] != '\\' || i + 1 >= to) {
      out += text[i];
      continue;
    }
    char next = text[++i];
    if (next == 'x') {
      unsigned point = 0;
      int digits = 0;
      while (digits < 4 && i + 1 < to && std::isxdigit(static_cast<unsigned char>(text[i + 1]))) {
        char digit = static_cast<char>(std::tolower(static_cast<unsigned char>(text[++i])));
        point = point * 16 + static_cast<unsigned>(digit <= '9' ? digit - '0' : digit - 'a' + 10);
        ++digits;
      }
      AppendUtf8(&out, point);
    } else {
      out += next;
    }
  }
  return out;
}

// "t C:\path" lines of a snapshot: upper-case path to (type, path).
std::map<std::string, std::pair<char, std::string>> ReadFiles(const std::string& path) {
  std::map<std::string, std::pair<char, std::string>> files;
  std::string bytes, error;
  ReadInput(path, &bytes, &error);
  std::istringstream in(bytes);
  std::string line;
  while (std::getline(in, line))
    if (line.size() > 2) files[UpperAscii(line.substr(2))] = {line[0], line.substr(2)};
  return files;
}

std::set<std::string> ReadHives(const std::string& work, const std::string& name) {
  std::set<std::string> items;
  for (const auto& [file, root] : {std::pair<const char*, const char*>{"system", "HKLM"}, {"user", "HKCU"}}) {
    std::string bytes, error;
    ReadInput(work + "/" + name + "." + file + ".reg", &bytes, &error);
    for (std::string& item : ReadWineHive(bytes, root)) items.insert(std::move(item));
  }
  return items;
}

// The forms a key of a .reg export takes in Wine's files: HKLM\Software for a
// 64-bit program, its Wow6432Node for a 32-bit one, and where
// HKEY_CLASSES_ROOT really lies.
std::vector<std::string> HiveForms(const std::string& key) {
  std::string upper = UpperAscii(key);
  size_t backslash = upper.find('\\');
  std::string root = upper.substr(0, backslash);
  std::string rest = backslash == std::string::npos ? "" : upper.substr(backslash);
  if (root == "HKEY_CURRENT_USER") return {"HKCU" + rest};
  if (root == "HKEY_CLASSES_ROOT")
    return {"HKLM\\SOFTWARE\\CLASSES" + rest, "HKCU\\SOFTWARE\\CLASSES" + rest,
            "HKLM\\SOFTWARE\\CLASSES\\WOW6432NODE" + rest};
  if (root == "HKEY_LOCAL_MACHINE") {
    std::vector<std::string> forms = {"HKLM" + rest};
    if (rest.compare(0, 10, "\\SOFTWARE\\") == 0 && rest.compare(0, 18, "\\SOFTWARE\\CLASSES\\") != 0)
      forms.push_back("HKLM\\SOFTWARE\\WOW6432NODE" + rest.substr(9));
    return forms;
  }
  return {};
}

// Files that a run changes by design: the batch, WININIT.INI and the
// system's temporary files.
bool Incidental(const std::string& upper) {
  if (upper == "C:\\KAVOTEL.BAT" || upper == "C:\\WINDOWS\\WININIT.INI" || upper == "C:\\WINDOWS\\WININIT.BAK")
    return true;
  if (Within(upper, "C:\\WINDOWS\\TEMP")) return true;
  if (upper.compare(0, 9, "C:\\USERS\\") == 0) {
    size_t user = upper.find('\\', 9);
    if (user != std::string::npos) {
      std::string rest = upper.substr(user);
      if (rest.compare(0, 6, "\\TEMP\\") == 0 || rest.compare(0, 20, "\\APPDATA\\LOCAL\\TEMP\\") == 0) return true;
    }
  }
  return false;
}

// Registry items that Wine itself changes across a restart.
bool IncidentalKey(const std::string& upper) {
  return upper.find("PENDINGFILERENAMEOPERATIONS") != std::string::npos ||
         Within(upper.substr(0, upper.find(';')), "HKCU\\VOLATILE ENVIRONMENT") ||
         Within(upper.substr(0, upper.find(';')), "HKLM\\SYSTEM\\CURRENTCONTROLSET\\CONTROL\\SESSION MANAGER\\ENVIRONMENT");
}

std::string ShowKey(const std::string& item) {
  std::string key = item.substr(0, item.find(';'));
  if (key.compare(0, 4, "HKLM") == 0) key = "HKEY_LOCAL_MACHINE" + key.substr(4);
  else if (key.compare(0, 4, "HKCU") == 0) key = "HKEY_CURRENT_USER" + key.substr(4);
  return key;
}

Json KeyRecord(const char* record, const std::string& item) {
  size_t semi = item.find(';');
  if (semi == std::string::npos) return {{"record", record}, {"kind", "key"}, {"path", ShowKey(item)}};
  return {{"record", record}, {"kind", "value"}, {"path", ShowKey(item)}, {"value", item.substr(semi + 1)}};
}

}  // namespace

std::vector<std::string> ReadWineHive(const std::string& bytes, const std::string& root) {
  std::vector<std::string> items;
  std::istringstream in(bytes);
  std::string line, key;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (line[0] == '[') {
      size_t close = line.rfind(']');
      if (close == std::string::npos) continue;
      key = root + "\\" + Unescape(line, 1, close);
      items.push_back(key);
    } else if (!key.empty() && (line[0] == '"' || line[0] == '@')) {
      size_t end = 1;
      if (line[0] == '"') {
        while (end < line.size() && line[end] != '"') end += line[end] == '\\' ? 2 : 1;
        items.push_back(key + ";" + Unescape(line, 1, std::min(end, line.size())));
      } else {
        items.push_back(key + ";@");
      }
    }
  }
  return items;
}

int Try(const TryOptions& options, const std::string& dataFile, int codePage, TryReport* report,
        std::string* error) {
  std::vector<std::string> args = {"bash", options.script, options.work, options.stage,
                                   options.installFolder, options.family, options.restart ? "Yes" : "No",
                                   dataFile, options.allUsers ? "1" : "0"};
  if (!options.also.empty()) args.push_back(options.also);
  pid_t child = fork();
  if (child < 0) return *error = "cannot start bash", 3;
  if (child == 0) {
    if (!options.uninstaller.empty()) setenv("UNINST_EXE", options.uninstaller.c_str(), 1);
    dup2(STDERR_FILENO, STDOUT_FILENO);  // the script's account is progress
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    execvp("bash", argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  int code = WIFEXITED(status) ? WEXITSTATUS(status) : 3;
  if (code == 3) return *error = "Wine cannot run here (its reason is above)", 3;
  if (code != 0) return *error = "the Wine side of try failed with exit code " + std::to_string(code), 3;

  std::string run, ignored;
  ReadInput(options.work + "/run.out", &run, &ignored);
  std::istringstream lines(run);
  for (std::string line; std::getline(lines, line);) {
    if (line.compare(0, 5, "box: ") == 0) report->boxes.push_back(line.substr(5));
    if (line.compare(0, 7, "error: ") == 0) report->runError = line.substr(7);
  }

  // Files: what the stage put there, what remains of it, what went besides.
  auto files0 = ReadFiles(options.work + "/0.files");
  auto files1 = ReadFiles(options.work + "/1.files");
  auto files2 = ReadFiles(options.work + "/2.files");
  std::set<std::string> stagePaths;
  {
    std::string bytes;
    ReadInput(options.work + "/staged.txt", &bytes, &ignored);
    std::istringstream in(bytes);
    for (std::string line; std::getline(in, line);)
      if (!line.empty()) stagePaths.insert(UpperAscii(line));
  }
  std::string install = UpperAscii(options.installFolder);
  while (!install.empty() && install.back() == '\\') install.pop_back();
  std::set<std::string> expected = {install, install + "\\UNINST.EXE", install + "\\UNINST.DAT"};
  for (const auto& [upper, file] : files1) {
    bool staged = !files0.count(upper) && stagePaths.count(upper);
    bool gone = !files2.count(upper);
    const char* kind = file.first == 'd' ? "folder" : "file";
    if (staged && !gone) report->left.push_back({{"record", "left"}, {"kind", kind}, {"path", file.second}});
    if (!staged && gone && !expected.count(upper) && !Incidental(upper))
      report->removedUnstaged.push_back({{"record", "removed-unstaged"}, {"kind", kind}, {"path", file.second}});
  }

  // The registry: what the export added, what remains of it, what went besides.
  std::vector<std::string> forms, valueForms;
  std::string exported;
  if (ReadInput(options.stage + "/registry.reg", &exported, &ignored)) {
    std::vector<RegistryItem> items;
    if (!ParseRegistryExport(exported, codePage, &items, error)) return *error = "registry.reg: " + *error, 3;
    for (const RegistryItem& item : items)
      for (const std::string& form : HiveForms(item.key)) {
        if (item.value.empty() && !item.defaultValue) forms.push_back(form);
        else valueForms.push_back(form + ";" + (item.defaultValue ? "@" : UpperAscii(item.value)));
      }
  }
  std::set<std::string> hive0 = ReadHives(options.work, "0"), hive1 = ReadHives(options.work, "1"),
                        hive2 = ReadHives(options.work, "2");
  auto upperSet = [](const std::set<std::string>& items) {
    std::set<std::string> upper;
    for (const std::string& item : items) upper.insert(UpperAscii(item));
    return upper;
  };
  std::set<std::string> upper0 = upperSet(hive0), upper2 = upperSet(hive2);
  for (const std::string& item : hive1) {
    std::string upper = UpperAscii(item);
    std::string key = upper.substr(0, upper.find(';'));
    bool exportedItem = std::count(valueForms.begin(), valueForms.end(), upper) > 0;
    for (const std::string& form : forms) exportedItem = exportedItem || Within(key, form);
    bool staged = !upper0.count(upper) && exportedItem;
    bool gone = !upper2.count(upper);
    if (staged && !gone) report->left.push_back(KeyRecord("left", item));
    if (!staged && gone && !IncidentalKey(upper)) report->removedUnstaged.push_back(KeyRecord("removed-unstaged", item));
  }
  return report->left.empty() && report->removedUnstaged.empty() && report->runError.empty() ? 0 : 1;
}

}  // namespace uninstdat
