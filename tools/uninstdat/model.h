// The data file as its parts: the word, the thirteen texts of
// engine/data_file_layout.h and any bytes after the last text. Encoding the
// parts gives the file's bytes back exactly; splitting a file finds its
// texts in place, as the uninstaller finds them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/data_file_layout.h"
#include "engine/text.h"

namespace uninstdat {

using uninst::DataText;

// Whether the text is one of the four shortcut lists, or one of the six box
// texts.
bool IsShortcutList(DataText text);
bool IsBoxText(DataText text);

// A data file's word and texts, owned: what build writes.
struct DataFileModel {
  uint32_t allUsers = 0;
  std::array<std::string, uninst::kDataTextCount> texts;  // without their NULs
  std::string endOfFile;                                  // bytes after the last text
  std::string& operator[](DataText text) { return texts[uninst::TextIndex(text)]; }
  const std::string& operator[](DataText text) const { return texts[uninst::TextIndex(text)]; }
};

// The file's bytes.
std::string Encode(const DataFileModel& model);

// A data file's word and texts in place, as the uninstaller finds them: each
// text up to its NUL. `found` texts have their NUL; the others are empty,
// and `rest` holds what follows the last NUL found: the bytes after the last
// text, or the start of the first text that has no NUL. The views point into
// the bytes split.
struct DataFileTexts {
  uint32_t allUsers = 0;  // 0 for a file shorter than the word
  std::array<std::string_view, uninst::kDataTextCount> texts;
  int found = 0;
  std::string_view rest;
  std::string_view operator[](DataText text) const { return texts[uninst::TextIndex(text)]; }
};
DataFileTexts SplitTexts(const std::string& bytes);

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

// What is wrong with a file's layout (a file shorter than its word, a text
// without its NUL), without taking it apart.
std::vector<std::string> LayoutProblems(const std::string& bytes);

// Why `bytes` does not look like a data file, or empty when it does: each
// text must be found whole and hold no control character but tab and line
// ends, and what follows the last text must be NULs or a few bytes.
std::string WhyNotADataFile(const std::string& bytes);

}  // namespace uninstdat
