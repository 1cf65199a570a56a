// How a capture's records name an item and show what changed about it: a
// path at or below a folder in any ASCII case, a path's last name, the kind
// of an item, the lines a text file gained and lost, and a value's data in
// short. Pure.
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tools/uninstdat/capture/capture_report_parts.h"
#include "tools/uninstdat/capture/registry_file.h"
#include "tools/uninstdat/names.h"

namespace uninstdat {

// Whether `path` is `folder` or lies below it, separated by `separator`,
// in any ASCII case.
bool AtOrBelow(const std::string& path, const std::string& folder, char separator) {
  std::string upper = UpperAscii(path), head = UpperAscii(folder);
  return StartsWith(upper, head) && (upper.size() == head.size() || upper[head.size()] == separator);
}

std::string BaseName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

const char* ItemName(CaptureRecord::Item item) {
  switch (item) {
    case CaptureRecord::kFile: return "file";
    case CaptureRecord::kFolder: return "folder";
    case CaptureRecord::kLink: return "link";
    case CaptureRecord::kKey: return "key";
    case CaptureRecord::kValue: return "value";
  }
  return "";
}

CaptureRecord::Item ItemOf(char type) {
  return type == 'd' ? CaptureRecord::kFolder : type == 'f' ? CaptureRecord::kFile : CaptureRecord::kLink;
}

// The lines of `now` that `old` lacks and the other way round, each line
// matched once, in order; at most `limit` of each.
void LineDifference(const std::string& old, const std::string& now, std::vector<std::string>* added,
                    std::vector<std::string>* removed, size_t limit) {
  auto lines = [](const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      out.push_back(line);
    }
    return out;
  };
  std::vector<std::string> a = lines(old), b = lines(now);
  std::multiset<std::string> inOld(a.begin(), a.end()), inNew(b.begin(), b.end());
  for (const std::string& line : b) {
    auto found = inOld.find(line);
    if (found != inOld.end()) inOld.erase(found);
    else if (added->size() < limit) added->push_back(Utf8Escaped(line));
  }
  for (const std::string& line : a) {
    auto found = inNew.find(line);
    if (found != inNew.end()) inNew.erase(found);
    else if (removed->size() < limit) removed->push_back(Utf8Escaped(line));
  }
}

std::string ValueData(const RegistryValue& value) {
  std::string text = RegistryDataText(value);
  for (size_t at; (at = text.find("\\\r\n  ")) != std::string::npos;) text.erase(at, 5);
  if (text.size() > 200) text = text.substr(0, 200) + "...";
  return text;
}

}  // namespace uninstdat
