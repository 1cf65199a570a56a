// The data file's parts; see model.h.
#include "tools/uninstdat/model.h"

#include <cstdio>

namespace uninstdat {

using uninst::kDataTexts;
using uninst::TextIndex;

bool IsShortcutList(DataText text) {
  return TextIndex(text) >= TextIndex(uninst::kFirstShortcutList) &&
         TextIndex(text) <= TextIndex(uninst::kLastShortcutList);
}

bool IsBoxText(DataText text) {
  return TextIndex(text) >= TextIndex(uninst::kFirstBoxText) && TextIndex(text) <= TextIndex(uninst::kLastBoxText);
}

std::string Encode(const DataFileModel& model) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>((model.allUsers >> (8 * i)) & 0xFF);
  for (const std::string& text : model.texts) {
    bytes += text;
    bytes += '\0';
  }
  return bytes + model.endOfFile;
}

DataFileTexts SplitTexts(const std::string& bytes) {
  DataFileTexts texts;
  if (bytes.size() < 4) return texts;
  for (int i = 0; i < 4; ++i)
    texts.allUsers |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
  std::string_view all(bytes);
  size_t at = 4;
  for (; texts.found < uninst::kDataTextCount; ++texts.found) {
    size_t nul = bytes.find('\0', at);
    if (nul == std::string::npos) break;
    texts.texts[texts.found] = all.substr(at, nul - at);
    at = nul + 1;
  }
  texts.rest = all.substr(at);
  return texts;
}

std::vector<std::string> LayoutProblems(const std::string& bytes) {
  if (bytes.size() < 4)
    return {"the file has " + std::to_string(bytes.size()) +
            " bytes, fewer than the 4 of allUsers: every field counts as empty"};
  DataFileTexts texts = SplitTexts(bytes);
  if (texts.found < uninst::kDataTextCount)
    return {std::string("the file ends inside ") + kDataTexts[texts.found].name +
            " (no NUL after it): it and every field after it count as empty"};
  return {};
}

std::string WhyNotADataFile(const std::string& bytes) {
  std::vector<std::string> problems = LayoutProblems(bytes);
  if (!problems.empty()) return problems[0];
  DataFileTexts texts = SplitTexts(bytes);
  for (const uninst::DataTextLayout& layout : kDataTexts)
    for (unsigned char c : texts[layout.text])
      if (c < 0x20 && c != '\t' && c != '\r' && c != '\n') {
        char hex[8];
        snprintf(hex, sizeof hex, "0x%02X", c);
        return std::string(layout.name) + " holds the control byte " + hex;
      }
  if (texts.rest.size() > 64 && texts.rest.find_first_not_of('\0') != std::string_view::npos)
    return std::to_string(texts.rest.size()) + " bytes follow the last text";
  return "";
}

}  // namespace uninstdat
