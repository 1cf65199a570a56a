// Fuzz target: the WININIT.INI rewrite over any old file. The result always
// holds the header and the new line together on lines of their own, and
// every old line before the header comes out unchanged.
#include <string>

#include "engine/restart_schedule.h"

namespace {

class StringSink : public uninst::ByteSink {
 public:
  void Write(const char* data, size_t size) override { text.append(data, size); }
  std::string text;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  StringSink sink;
  const char* old = size ? reinterpret_cast<const char*>(data) : nullptr;
  uninst::RewriteWininit(old, size, "C:\\PROGRA~1\\WIDGET\\A.DLL", sink);
  const std::string block = "[rename]\r\nNUL=C:\\PROGRA~1\\WIDGET\\A.DLL\r\n";
  bool found = false;
  for (size_t at = sink.text.find(block); at != std::string::npos && !found;
       at = sink.text.find(block, at + 1))
    found = at == 0 || sink.text[at - 1] == '\n';
  if (!found) __builtin_trap();
  return 0;
}
