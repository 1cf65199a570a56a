// The uninstall data file; see data_file.h.
#include "engine/data_file.h"

#include "engine/data_file_layout.h"
#include "engine/locations.h"

namespace uninst {
namespace {

// A macro alternate longer than this cannot yield a path: its first component
// must fit a buffer, and so must what follows it once joined to the folder.
constexpr size_t kMaxMacroEntry = 2 * kMaxPath;

const char kEmpty[] = "";

}  // namespace

TextRange ChooseAlternate(const CodePage& codePage, const char* entry, const char* end,
                          int32_t osFamily) {
  const char* semi[3] = {nullptr, nullptr, nullptr};
  const char* from = entry;
  for (int i = 0; i < 3; ++i) {
    semi[i] = codePage.Find(from, end, ';');
    if (!semi[i]) break;
    from = semi[i] + 1;
  }
  TextRange chosen = {entry, static_cast<size_t>((semi[0] ? semi[0] : end) - entry)};
  auto between = [](const char* a, const char* b) {
    return TextRange{a + 1, static_cast<size_t>(b - a - 1)};
  };
  TextRange alternate = {nullptr, 0};
  if (osFamily == kOsNt && semi[1]) alternate = between(semi[0], semi[1]);
  if (osFamily == kOsWin98 && semi[2]) alternate = between(semi[1], semi[2]);
  if (osFamily == kOsWin95 && semi[2]) alternate = between(semi[2], end);
  if (alternate.begin && alternate.length) chosen = alternate;
  return chosen;
}

bool BuildRemovalPath(RunState& state, TextRange alternate, char* work, TextRange* path) {
  const char* text = alternate.begin;
  size_t length = alternate.length;
  if (state.codePage.Find(text, text + length, '<')) {
    char entry[kMaxMacroEntry + 1];
    if (!FindByte(text, length, '\\')) return false;  // no folder to put anything in
    if (!CopyBounded(entry, sizeof entry, text, length)) return false;
    const char* folder = ResolveLocationMacro(state, entry);
    if (!folder || !CopyBounded(work, kMaxPath, folder)) return false;
    if (!AppendPathComponent(state.codePage, work, FindFirstByte(entry, '\\') + 1)) return false;
  } else if ((length >= 2 && text[1] == ':') ||
             (length >= 2 && text[0] == '\\' && text[1] == '\\')) {
    *path = alternate;
    return true;
  } else {
    char entry[kMaxPath];
    if (!CopyBounded(entry, sizeof entry, text, length)) return false;
    if (!CopyBounded(work, kMaxPath, state.exeFolder)) return false;
    if (!AppendPathComponent(state.codePage, work, entry)) return false;
  }
  *path = TextRange{work, TextLength(work)};
  return true;
}

void ParseDataFile(RunState& state, const char* bytes, uint32_t size, RemovalList& list) {
  const char* end = bytes + size;
  // Every member of the data is set here, the word now and every text once
  // the removal entries are read (which read none of them): no member needs
  // clearing first.
  UninstallData& data = state.data;
  data.allUsers = 0;
  if (size >= 4) {
    const uint8_t* word = reinterpret_cast<const uint8_t*>(bytes);
    data.allUsers = word[0] | (word[1] << 8) | (word[2] << 16) | (static_cast<uint32_t>(word[3]) << 24);
  }

  // The texts, each ended by a NUL inside the block; from the first one that
  // is not, every text counts as empty.
  const char* texts[kDataTextCount];
  const char* at = size >= 4 ? bytes + 4 : end;
  for (const char*& text : texts) {
    const char* nul = at < end ? FindByte(at, static_cast<size_t>(end - at), '\0') : nullptr;
    if (!nul) {
      text = kEmpty;
      at = end;
      continue;
    }
    text = at;
    at = nul + 1;
  }

  const char* entries = texts[TextIndex(DataText::kRemovalEntries)];
  const char* entriesEnd = entries + TextLength(entries);
  char work[kMaxPath];
  while (const char* bar = state.codePage.Find(entries, entriesEnd, '|')) {
    TextRange alternate = ChooseAlternate(state.codePage, entries, bar, state.osFamily);
    TextRange path;
    if (BuildRemovalPath(state, alternate, work, &path)) list.Append(path.begin, path.length);
    entries = bar + 1;
  }

  // Every text after the removal entries, in file order.
  const char** fields[kDataTextCount - 1] = {
      &data.registryList,  &data.programGroup,   &data.desktopShortcuts,
      &data.sendToShortcuts, &data.startMenuShortcuts, &data.startupShortcuts,
      &data.messageCaption, &data.confirmPrompt,  &data.runningPrompt,
      &data.closingMessage, &data.reservedText,   &data.restartPrompt};
  for (int i = TextIndex(DataText::kRegistryList); i < kDataTextCount; ++i) *fields[i - 1] = texts[i];
}

bool LoadDataFile(RunState& state, const char* path, RemovalList& list, DataBlock* block) {
  EnginePlatform& platform = state.platform;
  Handle file = platform.OpenFileReadWrite(path);
  if (file == kInvalidHandle) return false;
  int32_t size = platform.SeekFile(file, 0, kSeekEnd);
  platform.SeekFile(file, 0, kSeekBegin);
  if (size <= 0) {
    platform.CloseFile(file);
    return false;
  }
  MemBlock handle = platform.GlobalAlloc(static_cast<uint32_t>(size));
  void* bytes = handle ? platform.GlobalLock(handle) : nullptr;
  if (!bytes) {
    if (handle) platform.GlobalFree(handle);
    platform.CloseFile(file);
    return false;
  }
  if (platform.ReadFile(file, bytes, static_cast<uint32_t>(size)) != size) {
    platform.GlobalUnlock(handle);
    platform.GlobalFree(handle);
    platform.CloseFile(file);
    return false;
  }
  block->handle = handle;
  block->bytes = static_cast<const char*>(bytes);
  block->size = static_cast<uint32_t>(size);
  ParseDataFile(state, block->bytes, block->size, list);
  platform.CloseFile(file);
  return true;
}

void ReleaseDataBlock(EnginePlatform& platform, DataBlock* block) {
  if (!block->handle) return;
  platform.GlobalUnlock(block->handle);
  platform.GlobalFree(block->handle);
  *block = DataBlock();
}

}  // namespace uninst
