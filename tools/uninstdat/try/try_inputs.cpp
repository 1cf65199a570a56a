// What try decides from its options alone, before any Wine work (declared in
// try_session.h): whether a folder can be the install folder, which
// uninstaller runs, and the language under which Wine takes a code page.
// Pure: no file, no process.
#include <algorithm>
#include <map>
#include <string>

#include "tools/uninstdat/stage/stage.h"
#include "tools/uninstdat/try/try_session.h"

namespace uninstdat {

std::string InstallFolderProblem(const std::string& folder) {
  if (folder.size() < 4 || (folder[0] != 'C' && folder[0] != 'c') || folder[1] != ':' || folder[2] != '\\')
    return "the install folder must be an absolute folder on C:, such as C:\\Program Files\\Widget";
  std::string rest = folder.substr(3);
  if (!rest.empty() && rest.back() == '\\') rest.pop_back();
  for (size_t from = 0; from <= rest.size();) {
    size_t slash = std::min(rest.find('\\', from), rest.size());
    std::string name = rest.substr(from, slash - from);
    if (name.empty() || name == "." || name == "..")
      return "the install folder " + folder + " has an empty, \".\" or \"..\" component; name the folder itself";
    if (std::string why = WindowsNameProblem(name); !why.empty())
      return "the install folder's component \"" + name + "\" " + why;
    from = slash + 1;
  }
  return "";
}

UninstallerChoice ChooseUninstaller(const std::string& given, const std::string& beside,
                                    const std::map<std::string, std::string>& host) {
  if (!given.empty()) return {given, ""};
  auto found = host.find("uninstaller");
  std::string wineSide = found == host.end() ? "" : found->second;
  auto bits = host.find("bits");
  if (!beside.empty() && bits != host.end() && bits->second == "64")
    return {wineSide, "try: only 64-bit Wine runs here, where the 32-bit " + beside +
                          " cannot start; running the 64-bit test build " + wineSide + " (never ship it)"};
  return {beside.empty() ? wineSide : beside, ""};
}

std::string LocaleForCodePage(int codePage) {
  static const std::map<int, const char*> kLocales = {
      {874, "th_TH"},  {932, "ja_JP"},  {936, "zh_CN"},  {949, "ko_KR"},  {950, "zh_TW"},
      {1250, "pl_PL"}, {1251, "ru_RU"}, {1252, "en_US"}, {1253, "el_GR"}, {1254, "tr_TR"},
      {1255, "he_IL"}, {1256, "ar_EG"}, {1257, "lt_LT"}, {1258, "vi_VN"}};
  auto it = kLocales.find(codePage);
  return it == kLocales.end() ? "" : std::string(it->second) + ".UTF-8";
}

}  // namespace uninstdat
