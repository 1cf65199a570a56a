// The same services on Windows; see process.h. Wine, and with it try, is a
// Linux matter: what only try needs does nothing here.
#include "tools/uninstdat/system/process.h"

#include <stdlib.h>

namespace uninstdat {
namespace {

const char kNoWine[] = "try and capture run Windows programs under Wine and are a Linux feature; run them on Linux";

}  // namespace

Result<void> WineUsableHere() { return Failure{Exit::kUsage, kNoWine}; }

void CatchInterrupts() {}

bool Interrupted() { return false; }

void IgnoreFileSizeLimitSignal() {}

ScriptResult RunScript(const std::vector<std::string>&, int, bool) { return ScriptResult(); }

std::string OwnFolder() { return ""; }

bool IsReadableFile(const std::string&) { return false; }

std::string Environment(const char* name) {
  const char* value = getenv(name);
  return value ? value : "";
}

Result<std::string> MakeTemporaryFolder(const std::string&, const std::string&) {
  return Failure{Exit::kCannotWrite, kNoWine};
}

bool HasLocale(const std::string&) { return false; }

}  // namespace uninstdat
