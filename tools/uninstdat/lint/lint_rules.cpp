// The lint codes; see lint_rules.h.
#include "tools/uninstdat/lint/lint_rules.h"

#include <iterator>

namespace uninstdat {
namespace {

using T = DataText;

constexpr LintFields kFile = {true, T::kRemovalEntries, T::kRemovalEntries};
constexpr LintFields Text(DataText text) { return {false, text, text}; }
constexpr LintFields kEntries = Text(T::kRemovalEntries);
constexpr LintFields kRegistry = Text(T::kRegistryList);
constexpr LintFields kGroup = Text(T::kProgramGroup);
constexpr LintFields kShortcuts = {false, uninst::kFirstShortcutList, uninst::kLastShortcutList};
constexpr LintFields kBoxTexts = {false, uninst::kFirstBoxText, uninst::kLastBoxText};

constexpr char kEndEntries[] = "end every entry with \"|\"";

constexpr LintRule kRules[] = {
    {LintCode::kFileTruncated, "file-truncated", kFile, false, "write the file again with uninstdat build", nullptr},
    {LintCode::kEntryUnterminated, "entry-unterminated", kEntries, false, kEndEntries, nullptr},
    {LintCode::kNtAlternateUnclosed, "nt-alternate-unclosed", kEntries, false,
     "end the NT alternate with \";\" (default;nt;)", nullptr},
    {LintCode::kAlternatesIncomplete, "alternates-incomplete", kEntries, false, "write default;nt;win98;win95", nullptr},
    {LintCode::kEntryNamesOwnFolder, "entry-names-own-folder", kEntries, false,
     "give every family that uses the entry a path, or drop the entry", nullptr},
    {LintCode::kMacroWithoutBackslash, "macro-without-backslash", kEntries, false,
     "write the macro, a backslash and a name, e.g. <Win>\\widget.ini", nullptr},
    {LintCode::kUnknownMacro, "unknown-macro", kEntries, false,
     "use one of <Exe> <Win> <Sys> <Sys32> <Autosys> <Fonts> <WinTemp> <InstallFolder> <ProgramFiles> <CommonFiles>",
     nullptr},
    {LintCode::kPathDoesNotFit, "path-does-not-fit", kEntries, false, "shorten the path", nullptr},
    {LintCode::kFolderUnavailable, "folder-unavailable", kEntries, false,
     "use a macro whose folder every machine has, or an absolute path", nullptr},
    {LintCode::kWildcardInPath, "wildcard-in-path", kEntries, false, "list each file by its name", nullptr},
    {LintCode::kPathOutsideMachine, "path-outside-machine", kEntries, false,
     "write a path of the machine: a location macro, X:\\... or \\\\server\\share\\...", nullptr},
    {LintCode::kFolderBeforeContents, "folder-before-contents", kEntries, false, "list a folder after everything in it",
     nullptr},
    {LintCode::kListedTwice, "listed-twice", kEntries, false, "list each path once", nullptr},
    {LintCode::kInstallFolderListed, "install-folder-listed", kEntries, false,
     "drop the entry: the uninstaller's self-removal takes its folder away once it is empty", nullptr},
    {LintCode::kMachineFolderListed, "machine-folder-listed", kEntries, false,
     "drop the entry: list only the folders your installer made", nullptr},
    {LintCode::kSharedSystemFile, "shared-system-file", kEntries, false,
     "list it only if no other program can use it (a name of your own), and then allow the finding (--allow "
     "shared-system-file=TEXT, or \"lintAllow\"); else leave it installed",
     nullptr},
    {LintCode::kRegistryNoSemicolon, "registry-no-semicolon", kRegistry, false,
     "end a key with \";\" (whole key) or \";name\" (one value)", nullptr},
    {LintCode::kRegistryNoSubkey, "registry-no-subkey", kRegistry, false, "write ROOT\\subkey;value", nullptr},
    {LintCode::kRegistryUnknownRoot, "registry-unknown-root", kRegistry, false,
     "use HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS, HKEY_CURRENT_CONFIG or "
     "HKEY_DYN_DATA, without blanks or short forms",
     nullptr},
    {LintCode::kRegistryEmptySubkey, "registry-empty-subkey", kRegistry, false, "name the key under the root", nullptr},
    {LintCode::kRegistrySharedTree, "registry-shared-tree", kRegistry, false,
     "list your values under it one by one with \";name\", or, if the key is your program's alone, allow the "
     "finding (--allow registry-shared-tree=TEXT)",
     "name your program's own key (such as Software\\Vendor\\Product), or list its values one by one with "
     "\";name\""},
    {LintCode::kRegistryUnterminated, "registry-unterminated", kRegistry, false, kEndEntries, nullptr},
    {LintCode::kShortcutEmptyName, "shortcut-empty-name", kShortcuts, false, "remove the empty name", nullptr},
    {LintCode::kShortcutHasExtension, "shortcut-has-extension", kShortcuts, false, "write the name without .lnk",
     nullptr},
    {LintCode::kShortcutUnterminated, "shortcut-unterminated", kShortcuts, false, "end every name with \";\"", nullptr},
    {LintCode::kProgramGroupRefused, "program-group-refused", kGroup, false,
     "name the group's own folder, such as Vendor\\Product", nullptr},
    {LintCode::kProgramGroupShared, "program-group-shared", kGroup, false,
     "give your program a group of its own, such as Vendor\\Product, or list its shortcuts by name", nullptr},
    {LintCode::kProgramGroupNested, "program-group-nested", kGroup, true,
     "nothing, when other products of yours share that folder; else name it as the group", nullptr},
    {LintCode::kNoCaption, "no-caption", Text(T::kMessageCaption), false, "give a caption", nullptr},
    {LintCode::kNoRestartPrompt, "no-restart-prompt", Text(T::kRestartPrompt), false,
     "write a Yes/No restart question", nullptr},
    {LintCode::kPlaceholderText, "placeholder-text", kBoxTexts, false, "write the text the user is to read", nullptr},
};

constexpr bool InCodeOrder() {
  for (size_t i = 0; i < std::size(kRules); ++i)
    if (static_cast<size_t>(kRules[i].code) != i) return false;
  return true;
}
static_assert(InCodeOrder(), "kRules lists the codes in the order of LintCode");
static_assert(std::size(kRules) == static_cast<size_t>(LintCode::kPlaceholderText) + 1, "a row per code");

}  // namespace

bool LintFields::Has(DataText text) const {
  return !file && uninst::TextIndex(text) >= uninst::TextIndex(first) &&
         uninst::TextIndex(text) <= uninst::TextIndex(last);
}

const std::vector<LintRule>& LintRules() {
  static const std::vector<LintRule> rules(std::begin(kRules), std::end(kRules));
  return rules;
}

const LintRule& RuleOf(LintCode code) { return kRules[static_cast<size_t>(code)]; }

const LintRule* RuleNamed(std::string_view name) {
  for (const LintRule& rule : kRules)
    if (name == rule.name) return &rule;
  return nullptr;
}

std::vector<std::string> LintCodeNames() {
  std::vector<std::string> names;
  for (const LintRule& rule : kRules) names.push_back(rule.name);
  return names;
}

}  // namespace uninstdat
