// The lint codes; see lint_rules.h.
#include "tools/uninstdat/lint_rules.h"

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
    {LintCode::kFileTruncated, "file-truncated", kFile, false, "write the file again with uninstdat build", nullptr,
     "the file ends inside a text: that text and all after it count as empty"},
    {LintCode::kEntryUnterminated, "entry-unterminated", kEntries, false, kEndEntries, nullptr,
     "text after the last `|` of `removalEntries` is ignored"},
    {LintCode::kNtAlternateUnclosed, "nt-alternate-unclosed", kEntries, false,
     "end the NT alternate with \";\" (default;nt;)", nullptr,
     "`a;b` has no `;` after the NT alternate: every family takes `a`"},
    {LintCode::kAlternatesIncomplete, "alternates-incomplete", kEntries, false, "write default;nt;win98;win95", nullptr,
     "`a;b;c`: without a third `;` Windows 98/Me and 95 have no alternate"},
    {LintCode::kEntryNamesOwnFolder, "entry-names-own-folder", kEntries, false,
     "give every family that uses the entry a path, or drop the entry", nullptr,
     "an empty alternate is chosen: the path ends in a backslash and matches nothing"},
    {LintCode::kMacroWithoutBackslash, "macro-without-backslash", kEntries, false,
     "write the macro, a backslash and a name, e.g. <Win>\\widget.ini", nullptr,
     "`<Win>` alone is dropped"},
    {LintCode::kUnknownMacro, "unknown-macro", kEntries, false,
     "use one of <Exe> <Win> <Sys> <Sys32> <Autosys> <Fonts> <WinTemp> <InstallFolder> <ProgramFiles> <CommonFiles>",
     nullptr,
     "an unknown first component such as `<Windows>` becomes the uninstaller's folder"},
    {LintCode::kPathDoesNotFit, "path-does-not-fit", kEntries, false, "shorten the path", nullptr,
     "a path over 258 characters is skipped"},
    {LintCode::kFolderUnavailable, "folder-unavailable", kEntries, false,
     "use a macro whose folder every machine has, or an absolute path", nullptr,
     "the macro's folder (say, an unreadable ProgramFilesDir) cannot be had: the entry is skipped"},
    {LintCode::kWildcardInPath, "wildcard-in-path", kEntries, false, "list each file by its name", nullptr,
     "`*` or `?`: the path is a pattern, at most its first match goes and a restart is offered"},
    {LintCode::kPathOutsideMachine, "path-outside-machine", kEntries, false,
     "write a path of the machine: a location macro, X:\\... or \\\\server\\share\\...", nullptr,
     "a `\\\\?\\` or `\\\\.\\` path goes past Windows' path rules to whatever it names: a device, a volume, under Wine the host's files"},
    {LintCode::kFolderBeforeContents, "folder-before-contents", kEntries, false, "list a folder after everything in it",
     nullptr,
     "the folder is not empty at its turn: it stays and the run ends with the restart question"},
    {LintCode::kListedTwice, "listed-twice", kEntries, false, "list each path once", nullptr,
     "the same path more than once"},
    {LintCode::kInstallFolderListed, "install-folder-listed", kEntries, false,
     "drop the entry: the uninstaller's self-removal takes its folder away once it is empty", nullptr,
     "the uninstaller's own folder still holds uninst.exe at its turn: every uninstall ends with the restart question"},
    {LintCode::kMachineFolderListed, "machine-folder-listed", kEntries, false,
     "drop the entry: list only the folders your installer made", nullptr,
     "a folder of Windows itself (`C:\\ProgramData`, `<Win>\\inf`, `Common Files`, `C:\\Users\\Public\\...`, a shell folder, one that holds them): its removal fails on a real machine, and every uninstall ends with the restart question"},
    {LintCode::kSharedSystemFile, "shared-system-file", kEntries, false,
     "list it only if no other program can use it (a name of your own), and then allow the finding (--allow "
     "shared-system-file=TEXT, or \"lintAllow\"); else leave it installed",
     nullptr,
     "a library in the system folder, or a font: other programs may use it"},
    {LintCode::kRegistryNoSemicolon, "registry-no-semicolon", kRegistry, false,
     "end a key with \";\" (whole key) or \";name\" (one value)", nullptr,
     "an entry without `;` is ignored, even when it names a key"},
    {LintCode::kRegistryNoSubkey, "registry-no-subkey", kRegistry, false, "write ROOT\\subkey;value", nullptr,
     "a root name without `\\` is ignored"},
    {LintCode::kRegistryUnknownRoot, "registry-unknown-root", kRegistry, false,
     "use HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS, HKEY_CURRENT_CONFIG or "
     "HKEY_DYN_DATA, without blanks or short forms",
     nullptr,
     "a short, misspelt or blank-padded root name is ignored"},
    {LintCode::kRegistryEmptySubkey, "registry-empty-subkey", kRegistry, false, "name the key under the root", nullptr,
     "nothing under a root itself is deleted"},
    {LintCode::kRegistrySharedTree, "registry-shared-tree", kRegistry, false,
     "list your values under it one by one with \";name\", or, if the key is your program's alone, allow the "
     "finding (--allow registry-shared-tree=TEXT)",
     "name your program's own key (such as Software\\Vendor\\Product), or list its values one by one with "
     "\";name\"",
     "a whole key that no single product owns, or that a fresh machine already has: it goes with every key and value below it (see below)"},
    {LintCode::kRegistryVendorKey, "registry-vendor-key", kRegistry, false,
     "list `Software\\<Vendor>\\<Product>`, your product's own key below the vendor's, or, if no other product "
     "of that vendor can ever be installed, allow the finding (--allow registry-vendor-key=TEXT)",
     nullptr,
     "a whole `Software\\<Vendor>` key: it goes with every product of that vendor, their settings included"},
    {LintCode::kRegistryUnterminated, "registry-unterminated", kRegistry, false, kEndEntries, nullptr,
     "text after the last `|` of `registryList` is ignored"},
    {LintCode::kShortcutEmptyName, "shortcut-empty-name", kShortcuts, false, "remove the empty name", nullptr,
     "an empty name deletes nothing"},
    {LintCode::kShortcutHasExtension, "shortcut-has-extension", kShortcuts, false, "write the name without .lnk",
     nullptr,
     "`.lnk` is added again, so nothing is found"},
    {LintCode::kShortcutUnterminated, "shortcut-unterminated", kShortcuts, false, "end every name with \";\"", nullptr,
     "a name without its `;` is ignored"},
    {LintCode::kProgramGroupRefused, "program-group-refused", kGroup, false,
     "name the group's own folder, such as Vendor\\Product", nullptr,
     "a group that names the Programs folder or leaves it is not deleted"},
    {LintCode::kProgramGroupShared, "program-group-shared", kGroup, false,
     "give your program a group of its own, such as Vendor\\Product, or list its shortcuts by name", nullptr,
     "a group named like a folder that Windows or every product shares (`Accessories`, `StartUp`, `Administrative Tools`, `System Tools`, `Maintenance`, `Games`, `Windows Accessories`, ..., in any letter case): it is deleted with everything in it"},
    {LintCode::kProgramGroupNested, "program-group-nested", kGroup, true,
     "nothing, when other products of yours share that folder; else name it as the group", nullptr,
     "a note: of `Acme\\Acme Notes 3.2` only the inner folder goes, and `Acme` stays"},
    {LintCode::kNoCaption, "no-caption", Text(T::kMessageCaption), false, "give a caption", nullptr,
     "without a caption no box at all is shown, not even the confirmation"},
    {LintCode::kNoRestartPrompt, "no-restart-prompt", Text(T::kRestartPrompt), false,
     "write a Yes/No restart question", nullptr,
     "leftovers are never offered a restart"},
    {LintCode::kPlaceholderText, "placeholder-text", kBoxTexts, false, "write the text the user is to read", nullptr,
     "a box text still begins with `TODO`, as scan writes it"},
};

constexpr bool InCodeOrder() {
  for (size_t i = 0; i < std::size(kRules); ++i)
    if (static_cast<size_t>(kRules[i].code) != i) return false;
  return true;
}
static_assert(InCodeOrder(), "kRules lists the codes in the order of LintCode");
static_assert(std::size(kRules) == static_cast<size_t>(LintCode::kPlaceholderText) + 1, "a row per code");

constexpr bool EveryRowSummarized() {
  for (const LintRule& rule : kRules)
    if (!rule.summary || !*rule.summary) return false;
  return true;
}
static_assert(EveryRowSummarized(), "every row says what the uninstaller would do");

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

std::string PlainSummary(const LintRule& rule) {
  std::string text;
  for (const char* c = rule.summary; *c; ++c)
    if (*c != '`') text += *c;
  return text;
}

std::vector<std::string> LintCodeNames() {
  std::vector<std::string> names;
  for (const LintRule& rule : kRules) names.push_back(rule.name);
  return names;
}

}  // namespace uninstdat
