// Fuzz target: the data file parser with the per-family alternates and the
// macro resolver. The first byte picks the family and a double-byte code
// page; the rest is the file. The parser must never read outside the file
// and every path it yields must fit what its kind allows.
#include <cstring>

#include "engine/data_file.h"
#include "tests/unit/fake_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  uninst::FakePlatform platform;
  if (data[0] & 4)
    for (int b = 0x81; b <= 0x9F; ++b) platform.leadBytes.insert(static_cast<uint8_t>(b));
  platform.shellFolders[uninst::kCsidlFonts] = "C:\\WINDOWS\\Fonts";
  platform.SetValue("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                    "C:\\Program Files");
  uninst::RunState state(platform);
  state.osFamily = data[0] & 3;
  state.codePage = uninst::CodePage(platform);
  strcpy(state.exeFolder, "C:\\Program Files\\Widget");
  uninst::RemovalList list;
  list.Attach(&platform);
  // An exactly sized heap copy, so that AddressSanitizer catches a read of
  // even one byte past its end (libFuzzer's own buffer may have more behind).
  const size_t length = size - 1;
  char* bytes = new char[length];
  memcpy(bytes, data + 1, length);
  uninst::ParseDataFile(state, bytes, static_cast<uint32_t>(length), list);
  for (const char* path = list.First(); path; path = list.Next(path)) {
    size_t length = strlen(path);
    bool absolute = length >= 2 && (path[1] == ':' || (path[0] == '\\' && path[1] == '\\'));
    if (!absolute && length > uninst::kMaxPath - 2) __builtin_trap();  // a cut or overlong path
  }
  delete[] bytes;
  return 0;
}
