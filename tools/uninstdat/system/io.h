// Reading inputs and writing outputs so that an author's files are never
// damaged: an output is written whole to a temporary file beside it and only
// then put in its place, and every error carries the system's reason.
#pragma once

#include <cstddef>
#include <string>

#include "tools/uninstdat/input_limit.h"
#include "tools/uninstdat/result.h"

namespace uninstdat {

// The whole file at `path` ("-": standard input), at most kMaxInputBytes.
// Fails with kBadInput and the reason, naming the path.
Result<std::string> ReadInput(const std::string& path);

// Whether the two paths name the same existing file, however they are
// written (links, "./", another case of the same name on the file system).
bool SameFile(const std::string& a, const std::string& b);

// Writes `bytes` to `path` ("-": standard output). A regular file (or one
// that does not exist yet) is written to a temporary file in the same folder,
// checked write by write, flushed to the disk and closed, and then renamed
// over the target, which keeps its permissions; on any failure the temporary
// file is removed and the target stays byte for byte as it was. Anything
// else (a device such as /dev/null) is written in place, each write checked.
// Fails with kCannotWrite and the system's reason.
Result<void> WriteOutput(const std::string& path, const std::string& bytes);

// The system's reason for the last failed call of the C library (errno),
// such as that of a write to standard output.
std::string LastSystemError();

}  // namespace uninstdat
