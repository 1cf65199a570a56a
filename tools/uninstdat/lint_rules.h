// Every lint code, declared once: the code, the texts its findings are
// about, whether it is only a note, the mend, and what the uninstaller
// would do. Every finding is built
// from its code's row (findings.h); the README's table of codes and the
// tests follow this table. The table is part of the core, below lint: the
// manifest's "lintAllow" names codes too, and the manifest reader checks
// them without depending on lint.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/uninstdat/model.h"

namespace uninstdat {

// In the order of the README's table.
enum class LintCode {
  kFileTruncated,
  kEntryUnterminated,
  kNtAlternateUnclosed,
  kAlternatesIncomplete,
  kEntryNamesOwnFolder,
  kMacroWithoutBackslash,
  kUnknownMacro,
  kPathDoesNotFit,
  kFolderUnavailable,
  kWildcardInPath,
  kPathOutsideMachine,
  kFolderBeforeContents,
  kListedTwice,
  kInstallFolderListed,
  kMachineFolderListed,
  kSharedSystemFile,
  kRegistryNoSemicolon,
  kRegistryNoSubkey,
  kRegistryUnknownRoot,
  kRegistryEmptySubkey,
  kRegistrySharedTree,
  kRegistryVendorKey,
  kRegistryUnterminated,
  kShortcutEmptyName,
  kShortcutHasExtension,
  kShortcutUnterminated,
  kProgramGroupRefused,
  kProgramGroupShared,
  kProgramGroupNested,
  kNoCaption,
  kNoRestartPrompt,
  kPlaceholderText,
};

// The texts a code's findings are about: the file as a whole, or the texts
// from `first` to `last` in file order (one text when they are the same).
struct LintFields {
  bool file;
  DataText first, last;
  bool Has(DataText text) const;
};

struct LintRule {
  LintCode code;
  const char* name;  // stable, as findings, --allow and "lintAllow" spell it
  LintFields fields;
  bool note;         // something worth knowing that is no fault: --strict passes
  const char* mend;
  // The mend of a second cause of the same finding, or null: a whole key
  // that a fresh machine already has is mended otherwise than one of no
  // owned shape.
  const char* otherMend;
  // What the uninstaller would do, as the README's table of codes says it:
  // Markdown, names in backticks (SARIF's rule descriptions carry it).
  const char* summary;
};

// Every rule, in the order of LintCode.
const std::vector<LintRule>& LintRules();
const LintRule& RuleOf(LintCode code);
// The rule of a code's name, or null.
const LintRule* RuleNamed(std::string_view name);
std::vector<std::string> LintCodeNames();
// A rule's summary as plain text: without the backticks.
std::string PlainSummary(const LintRule& rule);

}  // namespace uninstdat
