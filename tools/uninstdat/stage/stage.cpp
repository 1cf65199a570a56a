// A stage as data; see stage.h.
#include "tools/uninstdat/stage/stage.h"

#include <filesystem>
#include <map>
#include <system_error>

#include "tools/uninstdat/codepage.h"
#include "tools/uninstdat/names.h"

namespace uninstdat {
namespace fs = std::filesystem;
namespace {

// The component after `marker` in `upper` (both upper case), or empty.
std::string ComponentAfter(const std::string& upper, const std::string& marker) {
  size_t at = upper.find(marker);
  if (at == std::string::npos) return "";
  size_t from = at + marker.size();
  return upper.substr(from, upper.find('\\', from) - from);
}

// Why values under this key may not come from a stage, or null.
const char* RefusedKey(const std::string& key, const std::string& value, bool defaultValue) {
  std::string upper = UpperAscii(key);
  std::string run = ComponentAfter(upper, "\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\");
  if (run == "RUNONCE" || run == "RUNONCEEX" || run == "RUNSERVICES" || run == "RUNSERVICESONCE")
    return "Wine's start-up runs these commands whenever a prefix starts";
  if (StartsWith(upper, "HKEY_LOCAL_MACHINE\\SYSTEM\\")) {
    std::string set = ComponentAfter(upper, "HKEY_LOCAL_MACHINE\\SYSTEM\\");
    bool controlSet = set == "CURRENTCONTROLSET" || (set.size() == 13 && set.compare(0, 10, "CONTROLSET") == 0);
    if (controlSet && !ComponentAfter(upper, "\\" + set + "\\SERVICES\\").empty())
      return "Wine's start-up starts the services listed there whenever a prefix starts";
    if (controlSet && EndsWith(upper, "\\CONTROL\\SESSION MANAGER") && !defaultValue &&
        StartsWith(UpperAscii(value), "PENDINGFILERENAMEOPERATIONS"))
      return "Wine's start-up renames and deletes what it lists whenever a prefix starts";
  }
  if (upper.find("\\SOFTWARE\\WINE\\") != std::string::npos || EndsWith(upper, "\\SOFTWARE\\WINE") ||
      upper.find("\\SOFTWARE\\WOW6432NODE\\WINE") != std::string::npos)
    return "it is Wine's own configuration (drives, DLL overrides, the Windows version), no part of a "
           "Windows installation";
  if (EndsWith(upper, "\\WINDOWS NT\\CURRENTVERSION\\AEDEBUG"))
    return "its debugger is started whenever a program fails";
  return nullptr;
}

const char* const kDeviceNames[] = {"CON", "PRN", "AUX", "NUL"};

bool IsDeviceName(const std::string& name) {
  std::string base = UpperAscii(name.substr(0, name.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (const char* device : kDeviceNames)
    if (base == device) return true;
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

std::string Quoted(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

}  // namespace

const char* BadWindowsName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return "is no name";
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F) return "holds a control character";
    switch (c) {
      case '|': return "holds \"|\", which ends an entry in the data file";
      case ';': return "holds \";\", which separates alternates and names in the data file";
      case '*': case '?': return "holds \"*\" or \"?\", which make a path a pattern";
      case '<': case '>': case ':': case '"': case '\\': case '/':
        return "holds one of < > : \" \\ /, which Windows refuses in a name";
      default: break;
    }
  }
  if (!IsValidUtf8(name)) return "is not UTF-8, so Windows cannot name it";
  if (name.back() == ' ' || name.back() == '.') return "ends in a blank or a dot, which Windows drops";
  if (IsDeviceName(name)) return "is a device name on Windows (CON, PRN, AUX, NUL, COM1-9, LPT1-9)";
  return nullptr;
}

bool CheckStage(const std::string& stage, std::string* error) {
  std::error_code ec;
  if (!fs::is_directory(stage, ec)) {
    *error = "the stage " + stage + (fs::exists(stage, ec) ? " is no folder" : " does not exist");
    return false;
  }
  // Depth first, one folder at a time; `relative` names a folder for errors.
  std::vector<std::pair<fs::path, std::string>> folders = {{fs::path(stage), ""}};
  while (!folders.empty()) {
    auto [folder, relative] = folders.back();
    folders.pop_back();
    std::map<std::string, std::string> seen;  // upper-case name to name
    fs::directory_iterator it(folder, ec), end;
    if (ec) return *error = "cannot read the stage's folder " + relative + ": " + ec.message(), false;
    for (; it != end; it.increment(ec)) {
      std::string name = it->path().filename().string();
      std::string path = relative.empty() ? name : relative + "/" + name;
      if (const char* why = BadWindowsName(name)) {
        *error = "the stage's " + Utf8Escaped(path) + ": the name " + why + "; rename it";
        return false;
      }
      auto [other, fresh] = seen.emplace(UpperAscii(name), name);
      if (!fresh) {
        *error = "the stage's " + path + " and " + (relative.empty() ? "" : relative + "/") + other->second +
                 " are one name on Windows, which ignores the case of letters; keep one";
        return false;
      }
      fs::file_status status = it->symlink_status(ec);
      if (ec) return *error = "cannot read the stage's " + path + ": " + ec.message(), false;
      if (fs::is_directory(status)) {
        folders.push_back({it->path(), path});
      } else if (!fs::is_regular_file(status)) {
        const char* kind = fs::is_symlink(status) ? "a symbolic link" : fs::is_fifo(status) ? "a FIFO"
                         : fs::is_socket(status) ? "a socket" : "a device or other special file";
        *error = "the stage's " + path + " is " + kind +
                 "; a stage holds only files and folders, so copy what it stands for (cp -rL) or leave it out";
        return false;
      }
    }
    if (ec) return *error = "cannot read the stage's folder " + relative + ": " + ec.message(), false;
  }
  return true;
}

bool CheckRegistryExport(const std::vector<RegistryItem>& items,
                         const std::vector<RegistryItem>& deletions, std::string* error) {
  for (const RegistryItem& item : items) {
    if (item.value.empty() && !item.defaultValue) continue;  // a key alone runs nothing
    if (const char* why = RefusedKey(item.key, item.value, item.defaultValue)) {
      *error = "registry.reg sets " + (item.defaultValue ? std::string("the default value") : Quoted(item.value)) +
               " under " + item.key + ": " + why + "; a stage is data, so leave it out of the export";
      return false;
    }
  }
  if (!deletions.empty()) {
    const RegistryItem& d = deletions[0];
    *error = "registry.reg deletes " + (d.value.empty() && !d.defaultValue ? "the key " + d.key
                                        : "the value " + (d.defaultValue ? "@" : Quoted(d.value)) + " of " + d.key) +
             ": a stage only adds what the installer puts on the machine; leave the deletion out";
    return false;
  }
  return true;
}

bool IsRunKey(const std::string& key) {
  std::string upper = UpperAscii(key);
  return EndsWith(upper, "\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN") ||
         EndsWith(upper, "\\POLICIES\\EXPLORER\\RUN");
}

std::string RegistryImportText(const std::string& exportText, const std::vector<RegistryItem>& items,
                               const std::string& extra) {
  std::string text = exportText.empty() ? "Windows Registry Editor Version 5.00\r\n" : exportText;
  if (text.back() != '\n') text += "\r\n";
  text += "\r\n";
  for (const RegistryItem& item : items)
    if ((!item.value.empty() || item.defaultValue) && IsRunKey(item.key))
      text += "[" + item.key + "]\r\n" + (item.defaultValue ? "@" : Quoted(item.value)) + "=hex(0):\r\n\r\n";
  text += extra;
  return "\xFF\xFE" + Utf8ToUtf16Le(text);
}

}  // namespace uninstdat
