// Fuzz target: show is exact. For every data file that show accepts without
// --force, build of what show writes gives the same bytes. The first byte
// picks the code page; the rest is the file.
#include <string>

#include "tools/uninstdat/system/io.h"
#include "tools/uninstdat/manifest.h"
#include "tools/uninstdat/manifest_reader.h"
#include "tools/uninstdat/model.h"
#include "tools/uninstdat/shown_manifest.h"

using namespace uninstdat;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const TargetCodePage kPages[] = {TargetCodePage(1252), TargetCodePage(932), TargetCodePage(1250),
                                          TargetCodePage(949)};
  if (size == 0) return 0;
  const TargetCodePage& page = kPages[data[0] % 4];
  std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  if (!WhyNotADataFile(bytes).empty()) return 0;  // show refuses it without --force
  std::string shown;
  if (!WriteShownManifest(bytes, page, [&](std::string_view part) {
        shown.append(part);
        return shown.size() <= kMaxInputBytes;
      }))
    return 0;  // refused too: build could not read it back
  Result<Json> manifest = ParseManifestText(shown);
  if (!manifest) __builtin_trap();
  Result<DataFileModel> model = ModelFromManifest(*manifest, page);
  if (!model || Encode(*model) != bytes) __builtin_trap();
  return 0;
}
