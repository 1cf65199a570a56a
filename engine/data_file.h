// The uninstall data file: its layout, the per-family alternates of removal
// entries, and the load into one block.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "engine/removal_list.h"
#include "engine/run_state.h"

namespace uninst {

// The data file held in memory: the global block and its locked bytes.
struct DataBlock {
  MemBlock handle = nullptr;
  const char* bytes = nullptr;
  uint32_t size = 0;
};

// An alternate chosen from a removal entry: a range of the entry's text.
struct TextRange {
  const char* begin;
  size_t length;
};

// Chooses the alternate of the entry [entry, end) for `osFamily`: the NT
// alternate after the first ";" when a second ";" closes it, the 98/Me one
// between the second and third ";", the 95 one after the third ";" (further
// ";" included); each only when it is not empty, else the default before the
// first ";". The ";" search honours double-byte characters.
TextRange ChooseAlternate(const CodePage& codePage, const char* entry, const char* end,
                          int32_t osFamily);

// Turns an alternate into the absolute path appended to the list: a macro
// entry (it holds "<") gets its first component's folder, a drive or UNC path
// stays as it is, anything else is joined to ExeFolder. Returns false when
// the entry yields no path: a macro entry without a backslash, a macro whose
// folder cannot be had, or a joined path that does not fit kMaxPath.
// On true, `path` is either the alternate itself (absolute entries, which
// carry no length limit) or the NUL-ended text in `work` (kMaxPath bytes).
bool BuildRemovalPath(RunState& state, TextRange alternate, char* work, TextRange* path);

// Fills state.data from the block and appends one path per removal entry to
// `list`. Never reads outside [bytes, bytes + size): a text without its NUL
// inside the block, and every text after it, counts as empty; a block shorter
// than 4 bytes has allUsers 0.
void ParseDataFile(RunState& state, const char* bytes, uint32_t size, RemovalList& list);

// Reads the whole file at `path` into a new block and parses it. Returns false
// (with nothing allocated) when the file cannot be opened for reading and
// writing, is empty, or cannot be read whole.
bool LoadDataFile(RunState& state, const char* path, RemovalList& list, DataBlock* block);

// Releases the block of a successful load (unlock, then free).
void ReleaseDataBlock(EnginePlatform& platform, DataBlock* block);

}  // namespace uninst
