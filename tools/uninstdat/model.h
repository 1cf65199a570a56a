// The data file as its parts: the word, the entries of each list with what
// follows their last terminator, the texts, and any bytes after the last
// text. Encoding the parts gives the file's bytes back exactly.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/text.h"

namespace uninstdat {

// A list of terminated items ("a|b|" or "a;b;") and the text after the last
// terminator, which the uninstaller ignores.
struct ItemList {
  std::vector<std::string> items;
  std::string trailing;
};

constexpr int kShortcutLists = 4;
constexpr int kMessages = 6;
extern const char* const kShortcutFieldNames[kShortcutLists];
extern const char* const kMessageFieldNames[kMessages];

struct DataFileModel {
  uint32_t allUsers = 0;
  ItemList removalEntries;
  ItemList registryList;
  std::string programGroup;
  std::array<ItemList, kShortcutLists> shortcuts;  // desktop, Send To, Start menu, Startup
  std::array<std::string, kMessages> messages;     // caption, confirm, running, closing, reserved, restart
  std::string endOfFile;                           // bytes after the twelfth text
};

// The file's bytes.
std::string Encode(const DataFileModel& model);

// Calls visit(item, index) for each item of a terminated list and returns
// the text after the last terminator.
template <typename Visit>
std::string_view ForEachItem(const uninst::CodePage& codePage, std::string_view list, char terminator,
                             Visit visit) {
  const char* at = list.data();
  const char* end = at + list.size();
  size_t index = 0;
  while (const char* found = codePage.Find(at, end, terminator)) {
    visit(std::string_view(at, static_cast<size_t>(found - at)), index++);
    at = found + 1;
  }
  return std::string_view(at, static_cast<size_t>(end - at));
}

// Splits a text into terminated items, honouring double-byte characters.
ItemList SplitList(const uninst::CodePage& codePage, const std::string& text, char terminator);

// The ASCII letters a-z upper-cased, as Windows compares names here, but
// never the second byte of a double-byte character of `codePage`: in code
// page 932 ナ (83 69) and オ (83 49) differ only in a trail byte that looks
// like i and I.
void UpperAsciiInPlace(const uninst::CodePage& codePage, std::string* text);
std::string UpperAscii(std::string_view text, const uninst::CodePage& codePage = uninst::CodePage());

// The path with "." and ".." components resolved and empty ones dropped, as
// Windows resolves them before it removes a folder: "C:\App\." and
// "C:\App\" name C:\App. Backslashes are found as characters of `codePage`.
std::string NormalizePath(const uninst::CodePage& codePage, const std::string& path);

// The names of the thirteen texts, in file order.
extern const char* const kTextNames[13];

// A data file's word and thirteen texts in place, as the uninstaller finds
// them: each text up to its NUL. `found` texts have their NUL; the others are
// empty, and `rest` holds what follows the last NUL found: the bytes after
// the last text, or the start of the first text that has no NUL. The views
// point into the bytes split.
struct DataFileTexts {
  uint32_t allUsers = 0;  // 0 for a file shorter than the word
  std::string_view text[13];
  int found = 0;
  std::string_view rest;
};
DataFileTexts SplitTexts(const std::string& bytes);

// What is wrong with a file's layout (a file shorter than its word, a text
// without its NUL), without taking it apart.
std::vector<std::string> LayoutProblems(const std::string& bytes);

// Why `bytes` does not look like a data file, or empty when it does: each
// text must be found whole and hold no control character but tab and line
// ends, and what follows the last text must be NULs or a few bytes.
std::string WhyNotADataFile(const std::string& bytes);

// The parts of a file, as far as it is well formed; `problems` receives what
// LayoutProblems finds.
DataFileModel Decode(const uninst::CodePage& codePage, const std::string& bytes,
                     std::vector<std::string>* problems);

}  // namespace uninstdat
