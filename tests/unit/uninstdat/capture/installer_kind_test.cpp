// Installers recognized from their bytes: the bits decide whether a host
// can run them at all, the kind names the silent switch an author is told,
// and an MSI package must run through msiexec. Hostile bytes end every read.
#include "tools/uninstdat/capture/installer_kind.h"

#include <gtest/gtest.h>

#include <cstring>

namespace uninstdat {
namespace {

void Put16(std::string* bytes, size_t at, uint32_t value) {
  (*bytes)[at] = static_cast<char>(value & 0xFF);
  (*bytes)[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}
void Put32(std::string* bytes, size_t at, uint32_t value) {
  Put16(bytes, at, value & 0xFFFF);
  Put16(bytes, at + 2, value >> 16);
}

// A PE file's headers: MZ, the PE signature at 0x80, the machine and the
// characteristics, then `tail`.
std::string Program(uint32_t machine, uint32_t characteristics = 0x0102, const std::string& tail = "") {
  std::string bytes(0x200, '\0');
  bytes[0] = 'M';
  bytes[1] = 'Z';
  Put32(&bytes, 0x3C, 0x80);
  memcpy(&bytes[0x80], "PE\0\0", 4);
  Put16(&bytes, 0x84, machine);
  Put16(&bytes, 0x96, characteristics);
  return bytes + tail;
}

// A compound file of 512-byte sectors with one stream, "\5SummaryInformation",
// in the mini stream, holding the Template `platform` ("" for no stream).
// `loop` makes the named chain point at itself.
std::string CompoundFile(const std::string& rootClass, const std::string& platform, const char* loop = "") {
  const uint32_t kEnd = 0xFFFFFFFE, kFree = 0xFFFFFFFF, kFat = 0xFFFFFFFD;
  // The property set: header, one section, the Template property (7).
  std::string summary(48, '\0');
  Put16(&summary, 0, 0xFFFE);
  Put32(&summary, 24, 1);
  const unsigned char fmtid[16] = {0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10, 0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9};
  memcpy(&summary[28], fmtid, 16);
  Put32(&summary, 44, 48);
  std::string section(24, '\0');
  std::string text = platform + ";1033";
  text += '\0';
  Put32(&section, 4, 1);
  Put32(&section, 8, 7);
  Put32(&section, 12, 16);
  Put32(&section, 16, 30);
  Put32(&section, 20, static_cast<uint32_t>(text.size()));
  section += text;
  while (section.size() % 4) section += '\0';
  Put32(&section, 0, static_cast<uint32_t>(section.size()));
  summary += section;
  uint32_t miniSectors = static_cast<uint32_t>((summary.size() + 63) / 64);
  std::string miniStream = summary + std::string(miniSectors * 64 - summary.size(), '\0');
  uint32_t streamSectors = static_cast<uint32_t>((miniStream.size() + 511) / 512);

  std::string header(512, '\0');
  memcpy(&header[0], "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  Put16(&header, 0x18, 0x3E);
  Put16(&header, 0x1A, 3);
  Put16(&header, 0x1C, 0xFFFE);
  Put16(&header, 0x1E, 9);
  Put16(&header, 0x20, 6);
  Put32(&header, 0x2C, 1);    // FAT sectors
  Put32(&header, 0x30, 1);    // first directory sector
  Put32(&header, 0x38, 4096);
  Put32(&header, 0x3C, 2);    // first mini FAT sector
  Put32(&header, 0x40, 1);
  Put32(&header, 0x44, kEnd);
  Put32(&header, 0x4C, 0);    // the FAT is sector 0
  for (int i = 1; i < 109; ++i) Put32(&header, 0x4C + 4 * i, kFree);

  std::string fat(512, '\0');
  for (int i = 0; i < 128; ++i) Put32(&fat, 4 * i, kFree);
  Put32(&fat, 0, kFat);
  Put32(&fat, 4, strcmp(loop, "directory") == 0 ? 1 : kEnd);
  Put32(&fat, 8, kEnd);
  for (uint32_t i = 0; i < streamSectors; ++i) Put32(&fat, 4 * (3 + i), i + 1 < streamSectors ? 4 + i : kEnd);

  std::string directory(512, '\0');
  auto entry = [&](int index, const std::u16string& name, int type, uint32_t start, uint32_t size) {
    size_t at = 128 * index;
    for (size_t i = 0; i < name.size(); ++i) Put16(&directory, at + 2 * i, name[i]);
    Put16(&directory, at + 0x40, static_cast<uint32_t>(2 * (name.size() + 1)));
    directory[at + 0x42] = static_cast<char>(type);
    Put32(&directory, at + 0x44, kFree);
    Put32(&directory, at + 0x48, kFree);
    Put32(&directory, at + 0x4C, kFree);
    Put32(&directory, at + 0x74, start);
    Put32(&directory, at + 0x78, size);
  };
  entry(0, u"Root Entry", 5, 3, static_cast<uint32_t>(miniStream.size()));
  memcpy(&directory[0x50], rootClass.data(), 16);
  if (!platform.empty()) entry(1, u"\x0005SummaryInformation", 2, 0, static_cast<uint32_t>(summary.size()));

  std::string miniFat(512, '\0');
  for (int i = 0; i < 128; ++i) Put32(&miniFat, 4 * i, kFree);
  for (uint32_t i = 0; i < miniSectors; ++i)
    Put32(&miniFat, 4 * i, strcmp(loop, "mini") == 0 ? 0 : i + 1 < miniSectors ? i + 1 : kEnd);

  std::string stream = miniStream + std::string(streamSectors * 512 - miniStream.size(), '\0');
  return header + fat + directory + miniFat + stream;
}

const std::string kMsiClass("\x84\x10\x0C\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16);

TEST(InstallerKindTest, KindAndBitsFromTheBytes) {
  const std::string nsis = "\xEF\xBE\xAD\xDENullsoftInst";
  const struct {
    const char* name;
    std::string bytes;
    InstallerKind kind;
    int bits;
  } rows[] = {
      {"a 32-bit program", Program(0x14C), InstallerKind::kProgram, 32},
      {"a 64-bit program", Program(0x8664), InstallerKind::kProgram, 64},
      {"NSIS", Program(0x14C, 0x0102, std::string(5000, 'x') + nsis), InstallerKind::kNsis, 32},
      {"64-bit NSIS", Program(0x8664, 0x0022, nsis), InstallerKind::kNsis, 64},
      // The signature across the boundary of two reads of a MiB.
      {"NSIS across a read", Program(0x14C, 0x0102, std::string((1 << 20) - 0x200 - 5, 'x') + nsis), InstallerKind::kNsis, 32},
      {"Inno Setup", Program(0x14C, 0x0102, "....Inno Setup Setup Data (6.2.2)"), InstallerKind::kInno, 32},
      {"Inno Setup's loader table", Program(0x14C, 0x0102, "rDlPtS\xCD\xE6\xD7\x7B\x0B\x2A"), InstallerKind::kInno, 32},
      {"an MSI package for Intel", CompoundFile(kMsiClass, "Intel"), InstallerKind::kMsi, 32},
      {"an MSI package for x64", CompoundFile(kMsiClass, "x64"), InstallerKind::kMsi, 64},
      {"an MSI package for AMD64", CompoundFile(kMsiClass, "AMD64"), InstallerKind::kMsi, 64},
      {"an MSI package without a summary", CompoundFile(kMsiClass, ""), InstallerKind::kMsi, 32},
      // A loop in the mini stream's chain ends the read; the package stays one.
      {"a mini chain that loops", CompoundFile(kMsiClass, "x64", "mini"), InstallerKind::kMsi, 32},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Result<InstallerInfo> info = RecognizeInstaller(StringSource(row.bytes));
    ASSERT_TRUE(info) << info.failure().message;
    EXPECT_EQ(info->kind, row.kind);
    EXPECT_EQ(info->bits, row.bits);
  }
}

TEST(InstallerKindTest, RefusesWhatIsNoInstallerSaysWhy) {
  std::string document = CompoundFile(std::string(16, '\x01'), "Intel");
  const struct {
    const char* name;
    std::string bytes;
    const char* said;
  } rows[] = {
      {"empty", "", "neither a Windows program nor an MSI package"},
      {"an ELF program", "\x7F" "ELF" + std::string(100, '\0'), "neither a Windows program nor an MSI package"},
      {"MS-DOS", "MZ" + std::string(100, '\0'), "an MS-DOS program"},
      {"a PE header beyond the file", [] { std::string b = Program(0x14C); Put32(&b, 0x3C, 0x7FFFFFF0); return b; }(), "an MS-DOS program"},
      {"an ARM program", Program(0xAA64), "another processor (PE machine 0xAA64)"},
      {"a DLL", Program(0x14C, 0x2102), "a DLL"},
      {"a document", document, "no MSI package"},
      {"an MSI package for Arm64", CompoundFile(kMsiClass, "Arm64"), "for Arm64 processors"},
      {"a compound file cut short", CompoundFile(kMsiClass, "x64").substr(0, 300), "shorter than a compound file's header"},
      {"a directory chain that loops", CompoundFile(kMsiClass, "x64", "directory"), "directory cannot be read"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Result<InstallerInfo> info = RecognizeInstaller(StringSource(row.bytes));
    ASSERT_FALSE(info);
    EXPECT_EQ(info.failure().code, Exit::kBadInput);
    EXPECT_NE(info.failure().message.find(row.said), std::string::npos) << info.failure().message;
  }
}

TEST(InstallerKindTest, CommandLinesAndSilentSwitches) {
  EXPECT_EQ(InstallerCommandLine(InstallerKind::kMsi, "Z:\\in\\a b.msi", ""), "msiexec /i \"Z:\\in\\a b.msi\" /qn /norestart");
  EXPECT_EQ(InstallerCommandLine(InstallerKind::kMsi, "Z:\\a.msi", "ADDLOCAL=ALL"),
            "msiexec /i \"Z:\\a.msi\" /qn /norestart ADDLOCAL=ALL");
  EXPECT_EQ(InstallerCommandLine(InstallerKind::kNsis, "Z:\\in\\setup.exe", "/S"), "\"Z:\\in\\setup.exe\" /S");
  EXPECT_EQ(InstallerCommandLine(InstallerKind::kProgram, "Z:\\setup.exe", ""), "\"Z:\\setup.exe\"");
  EXPECT_STREQ(SilentSwitch(InstallerKind::kNsis), "/S");
  EXPECT_STREQ(SilentSwitch(InstallerKind::kInno), "/VERYSILENT /SUPPRESSMSGBOXES /NORESTART");
  EXPECT_STREQ(SilentSwitch(InstallerKind::kMsi), "/qn");
  EXPECT_EQ(SilentSwitch(InstallerKind::kProgram), nullptr);
  EXPECT_STREQ(InstallerKindName(InstallerKind::kMsi), "an MSI package");
}

}  // namespace
}  // namespace uninstdat
