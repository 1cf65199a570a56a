// The prefix as the uninstaller sees it, and a stage laid out onto it; see
// wine_prefix.h.
#include "tools/uninstdat/try/wine_prefix.h"

#include <algorithm>

#include "engine/locations.h"
#include "tools/uninstdat/names.h"
#include "tools/uninstdat/shell_folders.h"
#include "tools/uninstdat/system/files.h"

namespace uninstdat {
namespace {

// `path` with its leading folder `from` (any ASCII case, whole components)
// replaced by `to`; false when it does not begin with that folder.
bool Rebase(const std::string& path, const std::string& from, const std::string& to, std::string* out) {
  std::string upper = UpperAscii(path), head = UpperAscii(from);
  if (upper.compare(0, head.size(), head) != 0) return false;
  if (upper.size() > head.size() && upper[head.size()] != '\\') return false;
  *out = to + path.substr(head.size());
  return true;
}

std::string Join(const std::string& folder, const std::string& name) {
  return folder.empty() ? name : folder + "/" + name;
}

std::string Parent(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash);
}

const char kSandboxPrefix[] = "/sandbox/prefix";
const char kSandboxHome[] = "/sandbox/home";

}  // namespace

std::string MapStagePath(const WineView& view, const std::string& path) {
  std::string out;
  std::string system = view.family != uninst::kOsNt ? "C:\\windows\\system"
                       : view.wow64     ? "C:\\windows\\syswow64"
                                        : "C:\\windows\\system32";
  if (Rebase(path, "C:\\Windows\\System32", system, &out)) return out;
  if (view.wow64 && Rebase(path, "C:\\Program Files", "C:\\Program Files (x86)", &out)) return out;
  return path;
}

std::string OnDiskPath(const WineView& view, const std::string& path) {
  std::string out;
  if (view.wow64 && Rebase(path, "C:\\windows\\system32", "C:\\windows\\syswow64", &out)) return out;
  return path;
}

Machine WineMachine(const WineView& view) {
  Machine m;
  m.family = view.family;
  std::string user = "C:\\users\\" + view.user;
  // Wine's GetSystemDirectory names System32 for every Windows version it
  // reports, also 95 and 98.
  m.windowsDir = "C:\\windows";
  m.systemDir = "C:\\windows\\system32";
  m.tempDir = user + "\\Temp\\";
  m.programFilesDir = view.wow64 ? "C:\\Program Files (x86)" : "C:\\Program Files";
  m.commonFilesDir = m.programFilesDir + "\\Common Files";
  m.shellFolders = ProfileShellFolders("C:\\users", view.user, "StartUp");
  m.shellFolders[uninst::kCsidlFonts] = "C:\\windows\\Fonts";
  return m;
}

std::string ShellFolder(const WineView& view, const std::string& name) {
  bool shared = view.family == uninst::kOsNt && view.allUsers;
  Machine m = WineMachine(view);
  const ShellFolderKind* kind = ShellFolderByStageName(name);
  if (!kind) return "";
  return m.shellFolders[shared && kind->commonFolder >= 0 ? kind->commonFolder : kind->ownFolder];
}

PrefixLayout::PrefixLayout(const std::string& lowerPrefix, const std::string& lowerHome,
                           const std::string& layerPrefix, const std::string& layerHome)
    : lower_{{"prefix", lowerPrefix}, {"home", lowerHome}}, layer_{{"prefix", layerPrefix}, {"home", layerHome}} {}

// The names in a folder of the pristine prefix and of the layer (the layer's
// over the pristine ones), by upper-case name. Read once, kept up to date as
// the layer grows.
const std::map<std::string, PrefixLayout::Entry>& PrefixLayout::Listing(const std::string& base,
                                                                        const std::string& path) {
  std::string key = base + "\n" + path;
  auto it = listings_.find(key);
  if (it != listings_.end()) return it->second;
  std::map<std::string, Entry>& listing = listings_[key];
  for (const std::string& root : {lower_[base], layer_[base]}) {
    std::string folder = root + "/" + path;
    auto found = ListFolder(folder);
    if (!found) continue;  // nothing there yet
    for (const FolderEntry& item : *found) {
      Entry entry;
      entry.name = item.name;
      entry.type = item.kind == FileKind::kLink ? 'l' : item.kind == FileKind::kFolder ? 'd' : 'f';
      if (entry.type == 'l')
        if (auto target = ReadLink(folder + "/" + item.name)) entry.target = *target;
      entry.inLower = root == lower_[base];
      listing[UpperAscii(entry.name)] = entry;
    }
  }
  return listing;
}

bool PrefixLayout::Find(const std::string& base, const std::string& path, const std::string& name,
                        Entry* entry) {
  const auto& listing = Listing(base, path);
  auto it = listing.find(UpperAscii(name));
  if (it == listing.end()) return false;
  *entry = it->second;
  return true;
}

// Where the link at `path` of `base` leads: into the prefix or HOME, by an
// absolute path of the sandbox or a relative one; anything else leaves them.
Result<void> PrefixLayout::FollowLink(std::string* base, std::string* path, const std::string& target) {
  std::string rest;
  if (target.compare(0, sizeof kSandboxPrefix - 1, kSandboxPrefix) == 0) {
    *base = "prefix";
    rest = target.substr(sizeof kSandboxPrefix - 1);
  } else if (target.compare(0, sizeof kSandboxHome - 1, kSandboxHome) == 0) {
    *base = "home";
    rest = target.substr(sizeof kSandboxHome - 1);
  } else if (!target.empty() && target[0] != '/') {
    rest = Parent(*path) + "/" + target;
  } else {
    return Failure{Exit::kBadInput, "leads outside the prefix and HOME (to " + target + ")"};
  }
  if (!rest.empty() && rest[0] != '/') return Failure{Exit::kBadInput, "leads outside the prefix and HOME (to " + target + ")"};
  std::vector<std::string> parts;
  for (size_t from = 0; from <= rest.size();) {
    size_t slash = std::min(rest.find('/', from), rest.size());
    std::string part = rest.substr(from, slash - from);
    from = slash + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (parts.empty()) return Failure{Exit::kBadInput, "leads above the prefix (to " + target + ")"};
      parts.pop_back();
    } else {
      parts.push_back(part);
    }
  }
  path->clear();
  for (const std::string& part : parts) *path = Join(*path, part);
  return {};
}

// The folder of drive `letter` in the prefix: drive_c for C:, the folder a
// dosdevices link leads to inside the prefix, else a new drive_<x> with its
// link (which covers a link to the host's / such as Z:).
std::string PrefixLayout::DriveRoot(char letter, std::string* base) {
  *base = "prefix";
  char lower = AsciiLower(letter);
  std::string drive = std::string("drive_") + lower;
  if (lower == 'c') return drive;
  Entry link;
  std::string name = std::string(1, lower) + ":";
  if (Find("prefix", "dosdevices", name, &link) && link.type == 'l' && link.target == "../" + drive) return drive;
  // Made as far as it goes: a drive that cannot be made fails where its
  // first item is placed, naming that item.
  static_cast<void>(MakeFolders(layer_["prefix"] + "/" + drive));
  static_cast<void>(MakeFolders(layer_["prefix"] + "/dosdevices"));
  static_cast<void>(Remove(layer_["prefix"] + "/dosdevices/" + name));
  static_cast<void>(MakeLink("../" + drive, layer_["prefix"] + "/dosdevices/" + name));
  listings_.erase("prefix\ndosdevices");
  listings_.erase("prefix\n");
  return drive;
}

Result<Placed> PrefixLayout::Place(const std::string& path, const std::string& source, bool replace) {
  auto fail = [&](const std::string& why) { return Failure{Exit::kBadInput, path + ": " + why}; };
  if (path.size() < 3 || !IsAsciiLetter(path[0]) || path[1] != ':' || path[2] != '\\')
    return fail("not an absolute Windows path");
  std::vector<std::string> names;
  for (size_t from = 3; from <= path.size();) {
    size_t slash = std::min(path.find('\\', from), path.size());
    names.push_back(path.substr(from, slash - from));
    if (names.back().empty() || names.back() == "." || names.back() == "..")
      return fail("an empty, \".\" or \"..\" component");
    from = slash + 1;
  }
  std::string base, folder = DriveRoot(path[0], &base);
  std::string windows(1, AsciiUpper(path[0]));
  windows += ":";
  const bool wantFolder = source.empty();
  bool existed = true;  // the drive's root
  for (size_t i = 0; i < names.size(); ++i) {
    const bool last = i + 1 == names.size();
    Entry entry;
    bool found = Find(base, folder, names[i], &entry);
    std::string at = Join(folder, found ? entry.name : names[i]);
    windows += "\\" + (found ? entry.name : names[i]);
    for (int hops = 0; found && entry.type == 'l'; ++hops) {
      if (hops == 16) return fail("the link " + windows + " leads through more than 16 links");
      if (Result<void> followed = FollowLink(&base, &at, entry.target); !followed)
        return fail("the link " + windows + " " + followed.failure().message);
      if (at.empty()) {  // the root of the prefix or of HOME
        entry = Entry{"", 'd', "", true};
        break;
      }
      if (!Find(base, Parent(at), at.substr(at.rfind('/') + 1), &entry))
        return fail("the link " + windows + " leads to nothing");
    }
    if (found && entry.type == 'd') {
      if (last && !wantFolder) return fail("a folder is there, and the stage has a file");
      folder = at;
      existed = entry.inLower;
      continue;
    }
    if (found && !last) return fail("a file lies where the stage has a folder");
    if (found && entry.inLower)
      return fail("would replace a file of the machine itself, and a stage only adds; leave it out of the stage");
    if (found && !replace) return fail("is laid out twice (by the stage and by --also)");
    // Something new in the layer: a folder on the way, or the last item.
    if (Result<void> made = MakeInLayer(base, at, windows, names[i], last && !wantFolder ? source : ""); !made)
      return fail(made.failure().message);
    folder = at;
    existed = false;
  }
  Placed placed;
  placed.windowsPath = windows;
  placed.folder = wantFolder;
  placed.existed = existed;
  if (base == "home") {
    placed.location = {"HOME", folder};
  } else if (folder.compare(0, 6, "drive_") == 0 && folder.size() >= 7 && (folder.size() == 7 || folder[7] == '/')) {
    placed.location = {std::string(1, AsciiUpper(folder[6])), folder.size() > 8 ? folder.substr(8) : ""};
  } else {
    return fail("lies outside every drive of the prefix");
  }
  return placed;
}

Result<void> PrefixLayout::MakeInLayer(const std::string& base, const std::string& at, const std::string& windows,
                                       const std::string& name, const std::string& source) {
  auto fail = [](const std::string& why) { return Failure{Exit::kBadInput, why}; };
  std::string target = layer_[base] + "/" + at;
  static_cast<void>(MakeFolders(ParentOf(target)));  // what fails is told below, naming the item
  bool file = !source.empty();
  if (file && UpperAscii(windows) == "C:\\WINDOWS\\WININIT.INI")
    return fail("Wine carries out WININIT.INI whenever the prefix starts, and a stage is data; leave it out");
  if (file && UpperAscii(windows).find("\\START MENU\\PROGRAMS\\STARTUP\\") != std::string::npos) {
    static_cast<void>(Remove(target));
    if (!WriteWholeFile(target, "")) return fail("cannot write " + target);
  } else if (file) {
    if (auto copied = CopyFile(source, target, true); !copied)
      return fail("cannot copy " + source + ": " + copied.failure().message);
  } else if (auto made = MakeFolders(target); !made) {
    return fail("cannot make " + target + ": " + made.failure().message);
  }
  Listing(base, Parent(at));
  listings_[base + "\n" + Parent(at)][UpperAscii(name)] = Entry{name, file ? 'f' : 'd', "", false};
  return {};
}

Result<std::vector<Placed>> PrefixLayout::LayOutTree(const std::string& tree, const WineView& view) {
  std::vector<Placed> placed;
  auto fail = [](const std::string& why) { return Failure{Exit::kBadInput, why}; };
  // Every entry below `folder`, parents first, names sorted so that the
  // layout is the same every time.
  auto walk = [&](const std::string& folder, const std::string& windows, auto&& self) -> Result<void> {
    auto entries = ListFolder(folder);
    if (!entries) return fail("cannot read " + folder + ": " + entries.failure().message);
    std::sort(entries->begin(), entries->end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    for (const FolderEntry& entry : *entries) {
      std::string path = MapStagePath(view, windows + "\\" + entry.name);
      bool isFolder = entry.kind == FileKind::kFolder;
      Result<Placed> item = Place(path, isFolder ? "" : folder + "/" + entry.name, false);
      if (!item) return item.failure();
      placed.push_back(*item);
      if (isFolder)
        if (Result<void> below = self(folder + "/" + entry.name, windows + "\\" + entry.name, self); !below) return below;
    }
    return {};
  };
  // The drives and the shell folders in the order the system lists them; a
  // folder that cannot be listed lays out nothing.
  auto listed = [](const std::string& folder) {
    auto entries = ListFolder(folder);
    return entries ? *entries : std::vector<FolderEntry>();
  };
  std::string files = tree + "/files";
  for (const FolderEntry& drive : listed(files)) {
    std::string letter = drive.name;
    if (letter.size() != 1 || !IsAsciiLetter(letter[0]) || drive.kind != FileKind::kFolder)
      return fail("files/" + letter + ": the files lie in one folder per drive letter (files/C/...)");
    letter[0] = AsciiUpper(letter[0]);
    if (Result<void> walked = walk(files + "/" + drive.name, letter + ":", walk); !walked) return walked.failure();
  }
  std::string shell = tree + "/shell";
  for (const FolderEntry& kind : listed(shell)) {
    std::string folder = ShellFolder(view, kind.name);
    if (folder.empty() || kind.kind != FileKind::kFolder)
      return fail("shell/" + kind.name + ": use Programs, Desktop, StartMenu, Startup or SendTo");
    if (Result<void> walked = walk(shell + "/" + kind.name, folder, walk); !walked) return walked.failure();
  }
  return placed;
}

}  // namespace uninstdat
