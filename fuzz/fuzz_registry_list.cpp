// Fuzz target: the registry list walk and the cleanup over a small registry.
// Whatever the list holds, no key outside the entries' own subkeys may go,
// and a predefined root is never emptied.
#include <string>

#include "engine/registry.h"
#include "tests/unit/fake_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uninst::FakePlatform platform;
  platform.AddKey("HKCU\\Software\\Keep\\Child");
  platform.AddKey("HKCU\\Software\\W\\Sub");
  platform.SetValue("HKCU\\Software\\W", "a;b", "1");
  if (size && (data[0] & 1)) platform.leadBytes = {0x81, 0x95};
  uninst::RunState state(platform);
  state.codePage = uninst::CodePage(platform);
  std::string list(reinterpret_cast<const char*>(data), size);
  list = list.substr(0, list.find('\0'));
  state.data.registryList = list.c_str();
  uninst::CleanRegistry(state);
  // A key goes only when an entry names it or a key above it.
  std::string lower = list;
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  bool software = lower.find("software") != std::string::npos;
  if (!platform.KeyExists("HKCU\\Software") && !software) __builtin_trap();
  if (!platform.KeyExists("HKCU\\Software\\Keep\\Child") && !software) __builtin_trap();
  if (!platform.KeyExists("HKCU")) __builtin_trap();
  if (platform.heapBlocks != 0) __builtin_trap();
  return 0;
}
