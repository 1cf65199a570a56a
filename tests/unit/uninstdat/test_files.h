// What uninstdat's unit tests share: data files from manifests and from
// texts, and the repository's examples.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "tools/uninstdat/manifest.h"
#include "tools/uninstdat/model.h"

namespace uninstdat {

// The bytes build writes for `manifest`; the test fails when build refuses it.
inline std::string Bytes(const Json& manifest, int codePage = 1252) {
  TargetCodePage target(codePage);
  Result<DataFileModel> model = ModelFromManifest(manifest, target);
  EXPECT_TRUE(model) << model.failure().message;
  return model ? Encode(*model) : "";
}

// A data file of the word and the thirteen texts in file order (missing
// ones empty), each ended by its NUL.
inline std::string File(const std::string& word, std::vector<std::string> texts) {
  texts.resize(uninst::kDataTextCount);
  std::string bytes = word;
  for (const std::string& t : texts) bytes += t + '\0';
  return bytes;
}

// A manifest of the repository's examples.
inline Json Example(const std::string& name = "worked-example.json") {
  std::ifstream in(std::string(UNINST_SOURCE_DIR) + "/examples/" + name);
  return Json::parse(in);
}

}  // namespace uninstdat
