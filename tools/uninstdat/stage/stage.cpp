// A stage as data; see stage.h.
#include "tools/uninstdat/stage/stage.h"

#include <map>

#include "tools/uninstdat/codepage.h"
#include "tools/uninstdat/names.h"
#include "tools/uninstdat/system/files.h"

namespace uninstdat {
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

std::string WindowsNameProblem(const std::string& name) {
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
  return "";
}

Result<void> CheckStage(const std::string& stage) {
  auto refuse = [](const std::string& why) { return Failure{Exit::kBadInput, why}; };
  FileKind kind = KindAt(stage);
  if (kind != FileKind::kFolder)
    return refuse("the stage " + stage + (kind != FileKind::kNone ? " is no folder" : " does not exist"));
  // Depth first, one folder at a time; `relative` names a folder for errors.
  std::vector<std::pair<std::string, std::string>> folders = {{stage, ""}};
  while (!folders.empty()) {
    auto [folder, relative] = folders.back();
    folders.pop_back();
    std::map<std::string, std::string> seen;  // upper-case name to name
    auto entries = ListFolder(folder);
    if (!entries) return refuse("cannot read the stage's folder " + relative + ": " + entries.failure().message);
    for (const FolderEntry& entry : *entries) {
      const std::string& name = entry.name;
      std::string path = relative.empty() ? name : relative + "/" + name;
      if (std::string why = WindowsNameProblem(name); !why.empty())
        return refuse("the stage's " + Utf8Escaped(path) + ": the name " + why + "; rename it");
      auto [other, fresh] = seen.emplace(UpperAscii(name), name);
      if (!fresh) {
        return refuse("the stage's " + path + " and " + (relative.empty() ? "" : relative + "/") + other->second +
                      " are one name on Windows, which ignores the case of letters; keep one");
      }
      if (entry.kind == FileKind::kFolder) {
        folders.push_back({folder + "/" + name, path});
      } else if (entry.kind != FileKind::kFile) {
        const char* what = entry.kind == FileKind::kLink ? "a symbolic link" : entry.kind == FileKind::kFifo ? "a FIFO"
                         : entry.kind == FileKind::kSocket ? "a socket" : "a device or other special file";
        return refuse("the stage's " + path + " is " + what +
                      "; a stage holds only files and folders, so copy what it stands for (cp -rL) or leave it out");
      }
    }
  }
  return {};
}

Result<void> CheckRegistryExport(const std::vector<RegistryItem>& items, const std::vector<RegistryItem>& deletions) {
  for (const RegistryItem& item : items) {
    if (item.value.empty() && !item.defaultValue) continue;  // a key alone runs nothing
    if (const char* why = RefusedKey(item.key, item.value, item.defaultValue))
      return Failure{Exit::kBadInput, "registry.reg sets " +
                                          (item.defaultValue ? std::string("the default value") : Quoted(item.value)) +
                                          " under " + item.key + ": " + why +
                                          "; a stage is data, so leave it out of the export"};
  }
  if (!deletions.empty()) {
    const RegistryItem& d = deletions[0];
    return Failure{Exit::kBadInput,
                   "registry.reg deletes " +
                       (d.value.empty() && !d.defaultValue
                            ? "the key " + d.key
                            : "the value " + (d.defaultValue ? "@" : Quoted(d.value)) + " of " + d.key) +
                       ": a stage only adds what the installer puts on the machine; leave the deletion out"};
  }
  return {};
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
