// Builds data files byte by byte for the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace uninst {

// The word, the removal entries and the twelve fields, each text ended by NUL.
// Missing fields are empty.
inline std::string MakeDataFile(uint32_t allUsers, const std::string& entries,
                                std::vector<std::string> fields = {}) {
  fields.resize(12);
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

// Field indexes in file order, for readable tests.
enum Field {
  kRegistryList, kProgramGroup, kDesktop, kSendTo, kStartMenu, kStartup,
  kCaption, kConfirm, kRunning, kClosing, kReserved, kRestart
};

}  // namespace uninst
