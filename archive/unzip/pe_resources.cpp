//===-- unzip/pe_resources.cpp - String resources of a PE executable ------===//
//
// Path through the image (all integers little-endian):
//
//   DOS header        "MZ", offset of the PE header at 0x3C
//   PE header         "PE\0\0", COFF header (section count at +6, optional
//                     header size at +20), optional header at +24
//   optional header   magic 0x10B (PE32) or 0x20B (PE32+); the data
//                     directories follow the fixed part; entry 2 is the
//                     resource directory (RVA, size)
//   section table     40-byte rows after the optional header; they map an
//                     RVA to a file offset
//   resource tree     three levels (type, name, language) of 16-byte
//                     directories followed by 8-byte rows (id, offset;
//                     bit 31 of the offset marks a sub-directory); offsets
//                     are relative to the start of the resource directory
//   data entry        RVA and size of the resource bytes
//   string block      block n holds ids 16(n-1) .. 16(n-1)+15 as 16 strings,
//                     each a 16-bit length followed by that many UTF-16 units
//
//===----------------------------------------------------------------------===//
#include "unzip/pe_resources.h"

#include <algorithm>
#include <array>
#include <vector>

#include "support/byte_reader.h"

namespace arc {
namespace {

constexpr uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe64 = 0x20B;
constexpr int64_t kResourceDirectoryIndex = 2;
constexpr uint32_t kStringTableType = 6;
constexpr uint32_t kSubdirectoryBit = 0x80000000u;
constexpr int64_t kSectionRowLen = 40;
constexpr size_t kDirectoryLen = 16;  // + rows of 8 bytes
constexpr size_t kDirRowLen = 8;
// A string block holds 16 strings of at most 65535 units each; anything
// larger is damage, and reading it whole would be a needless allocation.
constexpr uint32_t kMaxStringBlock = 16u * (2u + 2u * 65535u);
// Far more sections or rows than any real image has; a bound on the loops.
constexpr uint16_t kMaxSections = 96;
constexpr uint32_t kMaxRows = 4096;

std::optional<uint32_t> U16At(ByteSource& f, int64_t pos) {
  std::array<uint8_t, 2> b{};
  if (!f.ReadExact(pos, b)) return std::nullopt;
  return ByteReader(b).u16();
}

std::optional<uint32_t> U32At(ByteSource& f, int64_t pos) {
  std::array<uint8_t, 4> b{};
  if (!f.ReadExact(pos, b)) return std::nullopt;
  return ByteReader(b).u32();
}

struct Section {
  uint32_t virtualAddress;
  uint32_t span;  // larger of virtual size and raw size
  uint32_t rawSize;
  uint32_t rawOffset;
};

class PeImage {
 public:
  explicit PeImage(ByteSource& f) : f_(f) {}

  bool Load();
  /// File offset of `length` bytes at `rva`, when all of them lie in the raw
  /// data of one section.
  std::optional<int64_t> FileOffset(uint32_t rva, uint32_t length) const;
  /// Offset of the resource data entry for (type, name), first language.
  std::optional<int64_t> FindDataEntry(uint32_t type, uint32_t name);

 private:
  /// Offset (relative to the resource root) that the row with `id` points
  /// to, in the directory at relative offset `dir`.
  std::optional<uint32_t> FindRow(uint32_t dir, std::optional<uint32_t> id);

  ByteSource& f_;
  std::vector<Section> sections_;
  int64_t resourceRoot_ = 0;  // file offset of the root directory
  uint32_t resourceSize_ = 0;
};

bool PeImage::Load() {
  const auto mz = U16At(f_, 0);
  if (!mz || *mz != 0x5A4D) return false;
  const auto peOffset = U32At(f_, 0x3C);
  if (!peOffset) return false;
  const int64_t pe = *peOffset;
  const auto sig = U32At(f_, pe);
  if (!sig || *sig != kPeSignature) return false;
  const auto sectionCount = U16At(f_, pe + 6);
  const auto optionalSize = U16At(f_, pe + 20);
  if (!sectionCount || !optionalSize || *sectionCount > kMaxSections) return false;

  const int64_t opt = pe + 24;
  const auto magic = U16At(f_, opt);
  if (!magic) return false;
  int64_t countField = 0;
  if (*magic == kMagicPe32) {
    countField = 92;
  } else if (*magic == kMagicPe64) {
    countField = 108;
  } else {
    return false;
  }
  const auto dirCount = U32At(f_, opt + countField);
  if (!dirCount || *dirCount <= kResourceDirectoryIndex) return false;
  const int64_t resourceDir = opt + countField + 4 + 8 * kResourceDirectoryIndex;
  // The directory entry must lie inside the optional header it belongs to.
  if (resourceDir + 8 > opt + *optionalSize) return false;
  const auto resourceRva = U32At(f_, resourceDir);
  const auto resourceSize = U32At(f_, resourceDir + 4);
  if (!resourceRva || !resourceSize || *resourceRva == 0 || *resourceSize == 0) return false;

  const int64_t table = opt + *optionalSize;
  for (uint16_t i = 0; i < *sectionCount; ++i) {
    const int64_t row = table + static_cast<int64_t>(i) * kSectionRowLen;
    const auto virtualSize = U32At(f_, row + 8);
    const auto virtualAddress = U32At(f_, row + 12);
    const auto rawSize = U32At(f_, row + 16);
    const auto rawOffset = U32At(f_, row + 20);
    if (!virtualSize || !virtualAddress || !rawSize || !rawOffset) return false;
    sections_.push_back({*virtualAddress, std::max(*virtualSize, *rawSize), *rawSize, *rawOffset});
  }
  const auto root = FileOffset(*resourceRva, kDirectoryLen);
  if (!root) return false;
  resourceRoot_ = *root;
  resourceSize_ = *resourceSize;
  return true;
}

std::optional<int64_t> PeImage::FileOffset(uint32_t rva, uint32_t length) const {
  for (const Section& s : sections_) {
    const uint64_t start = s.virtualAddress;
    if (rva < start || rva - start >= s.span) continue;
    const uint64_t within = rva - start;
    // The bytes must exist in the file, not only in the loaded image.
    if (within + length > s.rawSize) return std::nullopt;
    const uint64_t offset = static_cast<uint64_t>(s.rawOffset) + within;
    if (offset + length > static_cast<uint64_t>(f_.Size())) return std::nullopt;
    return static_cast<int64_t>(offset);
  }
  return std::nullopt;
}

std::optional<uint32_t> PeImage::FindRow(uint32_t dir, std::optional<uint32_t> id) {
  if (static_cast<uint64_t>(dir) + kDirectoryLen > resourceSize_) return std::nullopt;
  const int64_t at = resourceRoot_ + dir;
  const auto named = U16At(f_, at + 12);
  const auto numbered = U16At(f_, at + 14);
  if (!named || !numbered) return std::nullopt;
  const uint32_t rows = *named + *numbered;
  if (rows > kMaxRows) return std::nullopt;
  for (uint32_t i = 0; i < rows; ++i) {
    const uint64_t rel = static_cast<uint64_t>(dir) + kDirectoryLen + uint64_t{i} * kDirRowLen;
    if (rel + kDirRowLen > resourceSize_) return std::nullopt;
    const auto rowId = U32At(f_, resourceRoot_ + static_cast<int64_t>(rel));
    const auto target = U32At(f_, resourceRoot_ + static_cast<int64_t>(rel) + 4);
    if (!rowId || !target) return std::nullopt;
    // Rows with names (bit 31 of the id) never match a numeric id.
    if (id && (*rowId & kSubdirectoryBit)) continue;
    if (id && *rowId != *id) continue;
    return *target;
  }
  return std::nullopt;
}

std::optional<int64_t> PeImage::FindDataEntry(uint32_t type, uint32_t name) {
  // Type and name levels lead to sub-directories; the language level to a
  // data entry. A fixed depth of three means no cycle can trap us.
  const auto typeDir = FindRow(0, type);
  if (!typeDir || !(*typeDir & kSubdirectoryBit)) return std::nullopt;
  const auto nameDir = FindRow(*typeDir & ~kSubdirectoryBit, name);
  if (!nameDir || !(*nameDir & kSubdirectoryBit)) return std::nullopt;
  const auto entry = FindRow(*nameDir & ~kSubdirectoryBit, std::nullopt);
  if (!entry || (*entry & kSubdirectoryBit)) return std::nullopt;
  if (static_cast<uint64_t>(*entry) + 16 > resourceSize_) return std::nullopt;
  return resourceRoot_ + *entry;
}

}  // namespace

std::optional<std::string> ReadPeString(ByteSource& file, uint16_t id, size_t maxChars) {
  PeImage image(file);
  if (!image.Load()) return std::nullopt;
  const uint32_t block = (uint32_t{id} >> 4) + 1;
  const auto entry = image.FindDataEntry(kStringTableType, block);
  if (!entry) return std::nullopt;
  const auto dataRva = U32At(file, *entry);
  const auto dataSize = U32At(file, *entry + 4);
  if (!dataRva || !dataSize || *dataSize > kMaxStringBlock) return std::nullopt;
  const auto data = image.FileOffset(*dataRva, *dataSize);
  if (!data) return std::nullopt;

  // Walk the strings before ours; each is a length and that many units.
  int64_t pos = *data;
  const int64_t end = *data + *dataSize;
  for (uint32_t i = 0; i < (id & 15u); ++i) {
    const auto len = U16At(file, pos);
    if (!len || pos + 2 > end) return std::nullopt;
    pos += 2 + 2 * static_cast<int64_t>(*len);
  }
  const auto len = U16At(file, pos);
  if (!len || pos + 2 > end || *len == 0) return std::nullopt;
  pos += 2;
  if (pos + 2 * static_cast<int64_t>(*len) > end) return std::nullopt;
  std::string out;
  const size_t take = std::min<size_t>(*len, maxChars);
  for (size_t i = 0; i < take; ++i) {
    const auto unit = U16At(file, pos + 2 * static_cast<int64_t>(i));
    if (!unit) return std::nullopt;
    out.push_back(*unit < 0x80 ? static_cast<char>(*unit) : '?');
  }
  return out;
}

}  // namespace arc
