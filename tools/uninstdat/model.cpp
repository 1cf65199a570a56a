// The data file's parts; see model.h.
#include "tools/uninstdat/model.h"

#include <cstdio>
#include <cstring>

namespace uninstdat {

const char* const kShortcutFieldNames[kShortcutLists] = {
    "desktopShortcuts", "sendToShortcuts", "startMenuShortcuts", "startupShortcuts"};
const char* const kMessageFieldNames[kMessages] = {"messageCaption", "confirmPrompt",
                                                   "runningPrompt",  "closingMessage",
                                                   "reservedText",   "restartPrompt"};

namespace {

std::string Join(const ItemList& list, char terminator) {
  std::string text;
  for (const std::string& item : list.items) text += item + terminator;
  return text + list.trailing;
}

}  // namespace

std::string Encode(const DataFileModel& model) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>((model.allUsers >> (8 * i)) & 0xFF);
  auto text = [&](const std::string& t) { bytes += t; bytes += '\0'; };
  text(Join(model.removalEntries, '|'));
  text(Join(model.registryList, '|'));
  text(model.programGroup);
  for (const ItemList& list : model.shortcuts) text(Join(list, ';'));
  for (const std::string& message : model.messages) text(message);
  return bytes + model.endOfFile;
}

ItemList SplitList(const uninst::CodePage& codePage, const std::string& text, char terminator) {
  ItemList list;
  const char* at = text.c_str();
  const char* end = at + text.size();
  while (const char* found = codePage.Find(at, end, terminator)) {
    list.items.emplace_back(at, found);
    at = found + 1;
  }
  list.trailing.assign(at, end);
  return list;
}

void UpperAsciiInPlace(const uninst::CodePage& codePage, std::string* text) {
  for (size_t i = 0; i < text->size(); ++i) {
    char& c = (*text)[i];
    if (codePage.IsLead(static_cast<uint8_t>(c))) ++i;
    else if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
}

std::string UpperAscii(std::string_view text, const uninst::CodePage& codePage) {
  std::string upper(text);
  UpperAsciiInPlace(codePage, &upper);
  return upper;
}

std::string NormalizePath(const uninst::CodePage& codePage, const std::string& path) {
  std::vector<std::string> parts;
  const char* at = path.c_str();
  while (true) {
    const char* slash = codePage.Find(at, '\\');
    std::string part(at, slash ? slash : at + strlen(at));
    if (part == ".." && parts.size() > 1) parts.pop_back();
    else if (part != "." && !(part.empty() && !parts.empty())) parts.push_back(part);
    if (!slash) break;
    at = slash + 1;
  }
  std::string joined;
  for (const std::string& part : parts) joined += (joined.empty() ? "" : "\\") + part;
  return joined;
}

const char* const kTextNames[13] = {
    "removalEntries",  "registryList",       "programGroup",     "desktopShortcuts",
    "sendToShortcuts", "startMenuShortcuts", "startupShortcuts", "messageCaption",
    "confirmPrompt",   "runningPrompt",      "closingMessage",   "reservedText",
    "restartPrompt"};

DataFileTexts SplitTexts(const std::string& bytes) {
  DataFileTexts texts;
  if (bytes.size() < 4) return texts;
  for (int i = 0; i < 4; ++i)
    texts.allUsers |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
  std::string_view all(bytes);
  size_t at = 4;
  for (; texts.found < 13; ++texts.found) {
    size_t nul = bytes.find('\0', at);
    if (nul == std::string::npos) break;
    texts.text[texts.found] = all.substr(at, nul - at);
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
  if (texts.found < 13)
    return {std::string("the file ends inside ") + kTextNames[texts.found] +
            " (no NUL after it): it and every field after it count as empty"};
  return {};
}

std::string WhyNotADataFile(const std::string& bytes) {
  std::vector<std::string> problems = LayoutProblems(bytes);
  if (!problems.empty()) return problems[0];
  DataFileTexts texts = SplitTexts(bytes);
  for (int i = 0; i < 13; ++i)
    for (unsigned char c : texts.text[i])
      if (c < 0x20 && c != '\t' && c != '\r' && c != '\n') {
        char hex[8];
        snprintf(hex, sizeof hex, "0x%02X", c);
        return std::string(kTextNames[i]) + " holds the control byte " + hex;
      }
  if (texts.rest.size() > 64 && texts.rest.find_first_not_of('\0') != std::string_view::npos)
    return std::to_string(texts.rest.size()) + " bytes follow the last text";
  return "";
}

DataFileModel Decode(const uninst::CodePage& codePage, const std::string& bytes,
                     std::vector<std::string>* problems) {
  DataFileModel model;
  *problems = LayoutProblems(bytes);
  DataFileTexts split = SplitTexts(bytes);
  model.allUsers = split.allUsers;
  std::string texts[13];
  for (int i = 0; i < 13; ++i) texts[i] = std::string(split.text[i]);
  if (split.found == 13) model.endOfFile = std::string(split.rest);
  model.removalEntries = SplitList(codePage, texts[0], '|');
  model.registryList = SplitList(codePage, texts[1], '|');
  model.programGroup = texts[2];
  for (int i = 0; i < kShortcutLists; ++i) model.shortcuts[i] = SplitList(codePage, texts[3 + i], ';');
  for (int i = 0; i < kMessages; ++i) model.messages[i] = texts[7 + i];
  return model;
}

}  // namespace uninstdat
