// The most uninstdat reads of one input, in the core so that what reads an
// input (system/io) and what writes one another command reads back (show's
// manifest, which build must take) agree on one number.
#pragma once

#include <cstddef>

namespace uninstdat {

// A data file is read whole into memory by the uninstaller, and real ones
// are a few kilobytes.
constexpr size_t kMaxInputBytes = 64u << 20;

}  // namespace uninstdat
