// Installers recognized from their bytes; see installer_kind.h.
#include "tools/uninstdat/capture/installer_kind.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace uninstdat {
namespace {

uint32_t U16(const std::string& bytes, size_t at) {
  return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
}
uint32_t U32(const std::string& bytes, size_t at) {
  return U16(bytes, at) | U16(bytes, at + 2) << 16;
}

// Whether `pattern` occurs in the first `limit` bytes of the source, read a
// MiB at a time.
bool Contains(const ByteSource& source, const std::string& pattern, uint64_t limit) {
  const size_t chunk = 1 << 20;
  std::string tail, part;
  for (uint64_t at = 0; at < std::min(source.size, limit); at += chunk) {
    if (!source.read(at, chunk, &part)) return false;
    std::string window = tail + part;
    if (window.find(pattern) != std::string::npos) return true;
    tail = window.substr(window.size() - std::min(window.size(), pattern.size() - 1));
  }
  return false;
}

const uint32_t kEndOfChain = 0xFFFFFFFE;

// A compound file (the container of an MSI package), read only as far as
// finding a top-level stream needs. Every chain stops at the number of
// sectors the file can hold, so a loop in a hostile file ends.
class CompoundFile {
 public:
  explicit CompoundFile(const ByteSource& source) : source_(source) {}

  bool Open(std::string* why) {
    std::string header;
    if (!source_.read(0, 512, &header) || header.size() < 512) return Bad(why, "it is shorter than a compound file's header");
    sectorShift_ = U16(header, 0x1E);
    miniShift_ = U16(header, 0x20);
    if ((sectorShift_ != 9 && sectorShift_ != 12) || miniShift_ != 6) return Bad(why, "its compound file header is damaged");
    sectors_ = static_cast<uint32_t>(std::min<uint64_t>(source_.size >> sectorShift_, 1u << 26));
    miniCutoff_ = U32(header, 0x38);
    uint32_t fatSectors = U32(header, 0x2C);
    firstDirectory_ = U32(header, 0x30);
    firstMiniFat_ = U32(header, 0x3C);
    if (fatSectors > sectors_) return Bad(why, "its compound file header is damaged");
    // The FAT's own sectors: 109 in the header, the rest in a chain of
    // DIFAT sectors, each ending with the next one's number.
    std::vector<uint32_t> fatSectorList;
    for (int i = 0; i < 109 && fatSectorList.size() < fatSectors; ++i) fatSectorList.push_back(U32(header, 0x4C + 4 * i));
    uint32_t difat = U32(header, 0x44);
    const uint32_t perSector = (1u << sectorShift_) / 4;
    for (uint32_t steps = 0; fatSectorList.size() < fatSectors && difat < sectors_ && steps < sectors_; ++steps) {
      std::string sector;
      if (!ReadSector(difat, &sector)) return Bad(why, "its compound file cannot be read");
      for (uint32_t i = 0; i + 1 < perSector && fatSectorList.size() < fatSectors; ++i) fatSectorList.push_back(U32(sector, 4 * i));
      difat = U32(sector, 4 * (perSector - 1));
    }
    for (uint32_t number : fatSectorList) {
      std::string sector;
      if (!ReadSector(number, &sector)) return Bad(why, "its compound file's allocation table cannot be read");
      for (uint32_t i = 0; i < perSector; ++i) fat_.push_back(U32(sector, 4 * i));
    }
    std::string directory;
    if (!ReadChain(firstDirectory_, fat_, &directory, UINT64_MAX))
      return Bad(why, "its compound file's directory cannot be read");
    for (size_t at = 0; at + 128 <= directory.size(); at += 128) entries_.push_back(directory.substr(at, 128));
    if (entries_.empty() || entries_[0][0x42] != 5) return Bad(why, "its compound file has no root");
    return true;
  }

  // The root entry's class: 16 bytes.
  std::string RootClass() const { return entries_[0].substr(0x50, 16); }

  // The stream named `name` (UTF-16 units), at most `limit` bytes of it.
  bool Stream(const std::u16string& name, uint64_t limit, std::string* data) {
    for (const std::string& entry : entries_) {
      uint32_t length = U16(entry, 0x40);
      if (entry[0x42] != 2 || length != 2 * (name.size() + 1)) continue;
      bool same = true;
      for (size_t i = 0; i < name.size(); ++i) same = same && U16(entry, 2 * i) == name[i];
      if (!same) continue;
      uint64_t size = U32(entry, 0x78);
      if (size > limit) return false;
      uint32_t start = U32(entry, 0x74);
      if (size >= miniCutoff_) return ReadChain(start, fat_, data, size);
      // A small stream lies in the mini stream (the root's chain), in
      // 64-byte sectors chained by the mini FAT.
      std::string miniFat, miniStream;
      if (!ReadChain(firstMiniFat_, fat_, &miniFat, UINT64_MAX) ||
          !ReadChain(U32(entries_[0], 0x74), fat_, &miniStream, UINT64_MAX))
        return false;
      std::vector<uint32_t> miniTable;
      for (size_t at = 0; at + 4 <= miniFat.size(); at += 4) miniTable.push_back(U32(miniFat, at));
      data->clear();
      for (uint32_t sector = start, steps = 0; sector != kEndOfChain && data->size() < size; ++steps) {
        uint64_t at = static_cast<uint64_t>(sector) << miniShift_;
        if (steps > miniTable.size() || sector >= miniTable.size() || at + (1u << miniShift_) > miniStream.size()) return false;
        data->append(miniStream, at, 1u << miniShift_);
        sector = miniTable[sector];
      }
      if (data->size() < size) return false;
      data->resize(size);
      return true;
    }
    return false;
  }

 private:
  bool Bad(std::string* why, const char* what) {
    *why = what;
    return false;
  }
  bool ReadSector(uint32_t number, std::string* out) {
    if (number >= sectors_) return false;
    size_t size = size_t{1} << sectorShift_;
    return source_.read((static_cast<uint64_t>(number) + 1) << sectorShift_, size, out) && out->size() == size;
  }
  bool ReadChain(uint32_t start, const std::vector<uint32_t>& table, std::string* out, uint64_t limit) {
    out->clear();
    std::string sector;
    for (uint32_t number = start, steps = 0; number != kEndOfChain && out->size() < limit; ++steps) {
      if (steps > sectors_ || number >= table.size() || !ReadSector(number, &sector)) return false;
      *out += sector;
      number = table[number];
    }
    if (limit != UINT64_MAX) {
      if (out->size() < limit) return false;
      out->resize(limit);
    }
    return true;
  }

  const ByteSource& source_;
  uint32_t sectorShift_ = 9, miniShift_ = 6, sectors_ = 0, miniCutoff_ = 4096, firstDirectory_ = 0, firstMiniFat_ = 0;
  std::vector<uint32_t> fat_;
  std::vector<std::string> entries_;
};

// The Template property (7) of a summary information stream: "Intel;1033".
std::string TemplateOf(const std::string& stream) {
  if (stream.size() < 48 || U16(stream, 0) != 0xFFFE) return "";
  uint32_t section = U32(stream, 44);
  if (section + 8 > stream.size()) return "";
  uint32_t count = U32(stream, section + 4);
  for (uint32_t i = 0; i < count && section + 8 + 8 * (i + 1) <= stream.size(); ++i) {
    uint32_t id = U32(stream, section + 8 + 8 * i), offset = U32(stream, section + 12 + 8 * i);
    uint64_t at = static_cast<uint64_t>(section) + offset;
    if (id != 7 || at + 8 > stream.size() || U32(stream, at) != 30) continue;  // VT_LPSTR
    uint32_t length = U32(stream, at + 4);
    if (at + 8 + length > stream.size()) return "";
    std::string text = stream.substr(at + 8, length);
    return text.substr(0, text.find('\0'));
  }
  return "";
}

bool RecognizeMsi(const ByteSource& source, InstallerInfo* info, std::string* why) {
  CompoundFile file(source);
  if (!file.Open(why)) return false;
  // An installer database's class: {000C1084-0000-0000-C000-000000000046}.
  static const char kMsiClass[] = "\x84\x10\x0C\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46";
  if (file.RootClass() != std::string(kMsiClass, 16)) {
    *why = "it is a compound file but no MSI package (a document, a patch or a transform)";
    return false;
  }
  info->kind = InstallerKind::kMsi;
  info->bits = 32;
  std::string summary;
  if (!file.Stream(u"\x0005SummaryInformation", 1 << 20, &summary)) return true;
  std::string platform = TemplateOf(summary);
  platform = platform.substr(0, platform.find_first_of(";,"));
  if (platform == "x64" || platform == "AMD64" || platform == "Intel64") info->bits = 64;
  if (platform == "Arm" || platform == "Arm64") {
    *why = "it is an MSI package for " + platform + " processors, which Wine here does not run";
    return false;
  }
  return true;
}

}  // namespace

ByteSource StringSource(const std::string& bytes) {
  ByteSource source;
  source.size = bytes.size();
  source.read = [&bytes](uint64_t offset, size_t size, std::string* out) {
    if (offset > bytes.size()) return false;
    *out = bytes.substr(static_cast<size_t>(offset), size);
    return true;
  };
  return source;
}

namespace {

// RecognizeInstaller's work: false with `why`.
bool Recognize(const ByteSource& source, InstallerInfo* info, std::string* why) {
  std::string head;
  if (!source.read(0, 64, &head)) {
    *why = "it cannot be read";
    return false;
  }
  if (head.compare(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") == 0) return RecognizeMsi(source, info, why);
  if (head.size() < 64 || head.compare(0, 2, "MZ") != 0) {
    *why = "it is neither a Windows program nor an MSI package";
    return false;
  }
  uint32_t pe = U32(head, 0x3C);
  std::string header;
  if (pe > (1u << 24) || !source.read(pe, 24, &header) || header.size() < 24 || header.compare(0, 4, std::string("PE\0\0", 4)) != 0) {
    *why = "it is an MS-DOS program, not a Windows one";
    return false;
  }
  uint32_t machine = U16(header, 4), characteristics = U16(header, 22);
  if (machine == 0x14C) {
    info->bits = 32;
  } else if (machine == 0x8664) {
    info->bits = 64;
  } else {
    char hex[8];
    snprintf(hex, sizeof hex, "%04X", machine);
    *why = std::string("it is a program for another processor (PE machine 0x") + hex + "), which Wine here does not run";
    return false;
  }
  if (characteristics & 0x2000) {
    *why = "it is a DLL, not a program";
    return false;
  }
  const uint64_t kSearched = 64u << 20;
  info->kind = Contains(source, "\xEF\xBE\xAD\xDENullsoftInst", kSearched) ? InstallerKind::kNsis
               : Contains(source, "Inno Setup Setup Data", kSearched) || Contains(source, "rDlPtS\xCD\xE6\xD7\x7B", kSearched)
                   ? InstallerKind::kInno
                   : InstallerKind::kProgram;
  return true;
}

}  // namespace

Result<InstallerInfo> RecognizeInstaller(const ByteSource& source) {
  InstallerInfo info;
  std::string why;
  if (!Recognize(source, &info, &why)) return Failure{Exit::kBadInput, why};
  return info;
}

const char* InstallerKindName(InstallerKind kind) {
  switch (kind) {
    case InstallerKind::kNsis: return "NSIS";
    case InstallerKind::kInno: return "Inno Setup";
    case InstallerKind::kMsi: return "an MSI package";
    case InstallerKind::kProgram: break;
  }
  return "a Windows program";
}

const char* SilentSwitch(InstallerKind kind) {
  switch (kind) {
    case InstallerKind::kNsis: return "/S";
    case InstallerKind::kInno: return "/VERYSILENT /SUPPRESSMSGBOXES /NORESTART";
    case InstallerKind::kMsi: return "/qn";
    case InstallerKind::kProgram: break;
  }
  return nullptr;
}

std::string InstallerCommandLine(InstallerKind kind, const std::string& path, const std::string& args) {
  std::string line = kind == InstallerKind::kMsi ? "msiexec /i \"" + path + "\" /qn /norestart" : "\"" + path + "\"";
  return args.empty() ? line : line + " " + args;
}

}  // namespace uninstdat
