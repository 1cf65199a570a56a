// What an installer is, from its bytes alone: a Windows program (32-bit or
// 64-bit, and whether NSIS or Inno Setup made it) or an MSI package (and
// the platform it is for), the command line that runs it, and the switch
// that makes it silent. Nothing of it runs to tell.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "tools/uninstdat/result.h"

namespace uninstdat {

enum class InstallerKind {
  kProgram,  // a Windows program of another make
  kNsis,
  kInno,
  kMsi,
};

struct InstallerInfo {
  InstallerKind kind = InstallerKind::kProgram;
  int bits = 32;  // a program's (its PE machine) or an MSI package's (its Template platform)
};

// The installer's bytes: `read` fills `out` with up to `size` bytes from
// `offset` (fewer at the end) and says whether it could read.
struct ByteSource {
  uint64_t size = 0;
  std::function<bool(uint64_t offset, size_t size, std::string* out)> read;
};
ByteSource StringSource(const std::string& bytes);

// Recognizes the installer. Fails (kBadInput, saying why) when it is
// neither a Windows program (a PE executable for x86 or x64, not a DLL) nor
// an MSI package (a compound file whose root is an installer database).
// Every read is bounded: chains of a compound file end at its size, however
// they loop.
Result<InstallerInfo> RecognizeInstaller(const ByteSource& source);

// "NSIS", "Inno Setup", "an MSI package", "a Windows program".
const char* InstallerKindName(InstallerKind kind);
// The switch that runs an installer of this kind without questions, or
// null when none is known: /S, /VERYSILENT /SUPPRESSMSGBOXES /NORESTART,
// /qn (msiexec takes it always).
const char* SilentSwitch(InstallerKind kind);

// The command line that starts the installer at the Windows path `path`:
// an MSI package through msiexec /i PATH /qn /norestart, anything else as
// a program; `args` appended, as the author wrote them.
std::string InstallerCommandLine(InstallerKind kind, const std::string& path, const std::string& args);

}  // namespace uninstdat
