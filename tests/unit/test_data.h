// Builds data files byte by byte for the tests, in the layout of
// engine/data_file_layout.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/data_file_layout.h"

namespace uninst {

// The word, the removal entries and the texts after them (`fields`, in file
// order; missing ones are empty), each text ended by NUL.
inline std::string MakeDataFile(uint32_t allUsers, const std::string& entries,
                                std::vector<std::string> fields = {}) {
  fields.resize(kDataTextCount - 1);
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>((allUsers >> (8 * i)) & 0xFF);
  bytes += entries;
  bytes += '\0';
  for (const std::string& field : fields) {
    bytes += field;
    bytes += '\0';
  }
  return bytes;
}

// Where a text after the removal entries stands among MakeDataFile's fields.
constexpr size_t FieldOf(DataText text) { return static_cast<size_t>(TextIndex(text) - 1); }

}  // namespace uninst
