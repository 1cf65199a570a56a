// The data file's layout, declared once: a 32-bit word, then thirteen
// NUL-ended texts in this order. The parser reads the texts by it, and the
// host tool names, splits, writes and checks them by it. The uninstaller uses
// only the enumeration and the count; the names and terminators are
// constants that nothing of it reads, so no byte of them reaches uninst.exe.
#pragma once

namespace uninst {

enum class DataText : int {
  kRemovalEntries,
  kRegistryList,
  kProgramGroup,
  kDesktopShortcuts,
  kSendToShortcuts,
  kStartMenuShortcuts,
  kStartupShortcuts,
  kMessageCaption,
  kConfirmPrompt,
  kRunningPrompt,
  kClosingMessage,
  kReservedText,
  kRestartPrompt,
};

constexpr int kDataTextCount = 13;

// The text's place in the file: 0 for the first text after the word.
constexpr int TextIndex(DataText text) { return static_cast<int>(text); }

struct DataTextLayout {
  DataText text;
  const char* name;  // as a manifest and every message name it
  char terminator;   // ends each item of a list: "|" entries, ";" names; NUL: one text, no list
};

constexpr DataTextLayout kDataTexts[kDataTextCount] = {
    {DataText::kRemovalEntries, "removalEntries", '|'},
    {DataText::kRegistryList, "registryList", '|'},
    {DataText::kProgramGroup, "programGroup", '\0'},
    {DataText::kDesktopShortcuts, "desktopShortcuts", ';'},
    {DataText::kSendToShortcuts, "sendToShortcuts", ';'},
    {DataText::kStartMenuShortcuts, "startMenuShortcuts", ';'},
    {DataText::kStartupShortcuts, "startupShortcuts", ';'},
    {DataText::kMessageCaption, "messageCaption", '\0'},
    {DataText::kConfirmPrompt, "confirmPrompt", '\0'},
    {DataText::kRunningPrompt, "runningPrompt", '\0'},
    {DataText::kClosingMessage, "closingMessage", '\0'},
    {DataText::kReservedText, "reservedText", '\0'},
    {DataText::kRestartPrompt, "restartPrompt", '\0'},
};

constexpr const DataTextLayout& Layout(DataText text) { return kDataTexts[TextIndex(text)]; }

// The shortcut lists and the box texts each lie side by side in the file.
constexpr DataText kFirstShortcutList = DataText::kDesktopShortcuts;
constexpr DataText kLastShortcutList = DataText::kStartupShortcuts;
constexpr DataText kFirstBoxText = DataText::kMessageCaption;
constexpr DataText kLastBoxText = DataText::kRestartPrompt;

constexpr bool InFileOrder() {
  for (int i = 0; i < kDataTextCount; ++i)
    if (TextIndex(kDataTexts[i].text) != i) return false;
  return true;
}
static_assert(InFileOrder(), "kDataTexts lists the texts in file order");
static_assert(TextIndex(DataText::kRestartPrompt) + 1 == kDataTextCount, "thirteen texts");

}  // namespace uninst
