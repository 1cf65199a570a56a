// A stage is data, never instructions: what scan and try accept of a staged
// installation, and its registry export made fit to import into a throwaway
// prefix without anything of it ever running there.
#pragma once

#include <string>
#include <vector>

#include "tools/uninstdat/result.h"
#include "tools/uninstdat/stage/registry_export.h"

namespace uninstdat {

// Why `name` (one component, UTF-8) cannot be a file name on Windows, or
// empty: a control character, one of | ; * ? < > : " \ /, bytes that are no
// UTF-8, a reserved device name (CON, NUL, COM1, ...), a name that ends in a
// blank or a dot, "." or "..". The reason reads after "the name".
std::string WindowsNameProblem(const std::string& name);

// Checks the stage's folder without following any link inside it. Fails
// with kBadInput, naming the path (relative to the stage), when it holds a
// symbolic link, a device, a FIFO or a socket (data that is no file or
// folder), a name WindowsNameProblem refuses, or two names in one folder
// that Windows takes for the same (ASCII letters compared without case).
// Fails too when the stage is missing or no folder. Reads each folder once:
// linear in the stage's size.
Result<void> CheckStage(const std::string& stage);

// What an export may not do in a stage, checked on everything it says:
// values under RunOnce, RunOnceEx, RunServices or RunServicesOnce, or under
// a service's key, or PendingFileRenameOperations (Wine's start-up carries
// them out whenever a prefix starts), values under Wine's own keys
// (Software\Wine: drives, DLL overrides, the Windows version), the
// AeDebug debugger (run when a program fails), and deletions (a stage only
// adds). Fails with kBadInput and a message naming the key.
Result<void> CheckRegistryExport(const std::vector<RegistryItem>& items, const std::vector<RegistryItem>& deletions);

// Whether values under this key (ROOT\subkey, any case) are ones Wine's
// start-up runs after a restart: the Run keys.
bool IsRunKey(const std::string& key);

// The text to import into a prefix, as UTF-16LE with its byte-order mark:
// the export (any of the encodings DecodeRegistryExport reads, or nothing),
// then every value under a Run key set again as an empty REG_NONE, so that a
// restart finds nothing to start, then `extra` lines (UTF-8, such as the
// Windows version of the uninstaller). The uninstaller deletes values by
// name, so their data does not matter to the proof.
std::string RegistryImportText(const std::string& exportText, const std::vector<RegistryItem>& items,
                               const std::string& extra);

}  // namespace uninstdat
