//===-- unzip/end_record.cpp - Finding the end record and central directory ===//
//
// Search order:
//
//   1. the last 64 KiB + 22 bytes (or the whole file but its first byte) is
//      scanned backwards for an end record; the one nearest the end of the
//      file whose comment ends where the file does wins, else the nearest;
//   2. a Zip64 locator 20 bytes before it, and a Zip64 end record 76 bytes
//      before it, are noted;
//   3. the central directory is looked for where the records say it ends
//      (locator offset - directory size, or end record - directory size);
//   4. the offset adjustment is whatever makes the first entry's local
//      header appear where the directory says it is;
//   5. without a directory, the first local header in the first 128 KiB.
//
// Every number comes from the file and is checked before it is used: a
// position outside the file simply reads nothing.
//
//===----------------------------------------------------------------------===//
#include "unzip/end_record.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <vector>

#include "support/byte_reader.h"
#include <arc/unzip/zip_records.h>

namespace arc {
namespace {

constexpr int kLocalScanBlocks = 4;
constexpr int64_t kLocatorBack = kZip64LocatorLen;                         // 20
constexpr int64_t kZip64RecordBack = kZip64LocatorLen + kZip64EndRecordLen;  // 76

uint32_t SignatureAt(std::span<const uint8_t> bytes, size_t at) {
  ByteReader r(bytes.subspan(std::min(at, bytes.size())));
  return r.u32();
}

std::optional<uint32_t> ReadSignature(ByteSource& file, int64_t at) {
  std::array<uint8_t, 4> b{};
  if (at < 0 || !file.ReadExact(at, b)) return std::nullopt;
  return SignatureAt(b, 0);
}

/// `a - b` for untrusted 64-bit values; empty when it leaves the signed range.
std::optional<int64_t> Difference(uint64_t a, uint64_t b) {
  constexpr auto kMax = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  if (a > kMax || b > kMax) return std::nullopt;
  return static_cast<int64_t>(a) - static_cast<int64_t>(b);
}

/// True when 46 bytes at `at` could be read; `isCentral` tells whether they
/// start a central entry.
bool ProbeCentral(ByteSource& file, std::optional<int64_t> at, bool& isCentral) {
  isCentral = false;
  std::array<uint8_t, kCentralHeaderLen> b{};
  if (!at || *at < 0 || !file.ReadExact(*at, b)) return false;
  isCentral = ClassifySignature(SignatureAt(b, 0), RecordKind::Central).kind == RecordKind::Central;
  return true;
}

bool LocalHeaderAt(ByteSource& file, int64_t at) {
  std::array<uint8_t, kLocalHeaderLen> b{};
  if (at < 0 || !file.ReadExact(at, b)) return false;
  return ClassifySignature(SignatureAt(b, 0), RecordKind::Local).kind == RecordKind::Local;
}

/// The local-header offset of the central entry at `at`, its extra field
/// applied (a Zip64 block may hold it).
std::optional<uint64_t> FirstLocalOffset(ByteSource& file, int64_t at) {
  std::array<uint8_t, kCentralHeaderLen> fixed{};
  if (!file.ReadExact(at, fixed)) return std::nullopt;
  std::vector<uint8_t> work(fixed.begin(), fixed.end());
  HeaderCipher cipher;
  const SignatureMatch m = ClassifySignature(SignatureAt(work, 0), RecordKind::Central);
  if (m.enciphered) cipher.DecipherRecord(work);
  const auto header = ParseCentralHeader(work);
  if (!header) return std::nullopt;
  // Only the extra field is needed; its position follows the full name.
  const int64_t extraAt = at + static_cast<int64_t>(kCentralHeaderLen) + header->nameLength;
  const std::vector<uint8_t> extra = file.ReadVector(extraAt, header->extraLength);
  return WalkCentralExtraField(*header, extra).localHeaderOffset;
}

/// Scans the first blocks of the file for a local header.
int64_t ScanForLocalHeader(ByteSource& file, TArcOpenState& st) {
  for (int block = 0; block < kLocalScanBlocks; ++block) {
    const int64_t base = int64_t{block} * kLocalScanBlock;
    // Three bytes more, so that a signature across the block boundary counts.
    const auto buf = file.ReadVector(base, kLocalScanBlock + 3);
    if (buf.empty()) return block == 0 ? 0 : -1;
    const size_t positions = std::min<size_t>(buf.size(), kLocalScanBlock);
    for (size_t i = 0; i < positions && i + 4 <= buf.size(); ++i) {
      if (buf[i] != 'P') continue;
      if (ClassifySignature(SignatureAt(buf, i), RecordKind::Local).kind != RecordKind::Local) {
        continue;
      }
      st.HeaderState = htLocal;
      return base + static_cast<int64_t>(i);
    }
  }
  return -1;
}

/// False for a Zip64 end record whose values no archive can have: a record
/// shorter than its fixed part, more entries than its directory has room
/// for, or (for an archive in one file) a directory or record that would lie
/// beyond the end of the file.
bool PlausibleZip64(const Zip64EndRecord& z, const std::optional<Zip64Locator>& locator,
                    int64_t fileSize) {
  const auto size = static_cast<uint64_t>(fileSize);
  if (z.recordSize < kZip64EndRecordLen - 12) return false;
  if (z.totalEntries > z.centralDirSize / kCentralHeaderLen) return false;
  if (z.entriesOnDisk > z.totalEntries) return false;
  const bool oneFile = z.thisDisk == 0 && z.centralDirDisk == 0;
  if (oneFile && (z.centralDirSize > size || z.centralDirOffset > size)) return false;
  if (oneFile && locator && locator->zip64EndOffset > size) return false;
  return true;
}

}  // namespace

uint16_t EndRecordThisVolume(const TArcOpenState& open) {
  return static_cast<uint16_t>(open.EndRecord[end_field::kThisDisk] |
                               open.EndRecord[end_field::kThisDisk + 1] << 8);
}

int64_t SearchEndRecord(ByteSource& file, TArcOpenState& st) {
  st.HeaderState = 0;
  st.Damage = 0;
  st.CommentPos = 0;
  st.OffsetAdjustment = 0;
  const int64_t size = file.Size();
  if (size <= 0) return 0;

  // The window leaves out the first byte of a short file, and its own first
  // position is never tested: an end record at the very start of the file
  // (an archive of nothing but an end record) is not taken.
  const int64_t windowStart = size > kEndSearchWindow ? size - kEndSearchWindow : 1;
  const std::vector<uint8_t> window =
      file.ReadVector(windowStart, static_cast<int32_t>(size - windowStart));
  // A comment may itself hold an end-record signature: the record whose
  // comment ends exactly where the file does is the real one. Without such
  // a record the nearest one is taken, as bytes may follow an archive.
  int64_t endAt = -1;
  SignatureMatch match;
  for (int64_t i = static_cast<int64_t>(window.size()) - 4; i >= 1; --i) {
    const SignatureMatch m =
        ClassifySignature(SignatureAt(window, static_cast<size_t>(i)), RecordKind::End);
    if (m.kind != RecordKind::End) continue;
    const size_t fixed = m.wide ? kEndRecord64Len : kEndRecordLen;
    // A record cut off by the end of the file is taken for comment bytes.
    if (static_cast<size_t>(i) + fixed > window.size()) continue;
    if (endAt < 0) {
      endAt = i;
      match = m;
    }
    std::vector<uint8_t> candidate(window.begin() + i,
                                   window.begin() + i + static_cast<int64_t>(fixed));
    HeaderCipher c;
    if (m.enciphered) c.DecipherRecord(candidate);
    const auto e = ParseEndRecord(candidate);
    if (e && windowStart + i + static_cast<int64_t>(fixed) + e->commentLength == size) {
      endAt = i;
      match = m;
      break;
    }
  }
  if (endAt < 0) return 0;

  st.HeaderState = htEnding;
  const size_t fixed = match.wide ? kEndRecord64Len : kEndRecordLen;
  std::vector<uint8_t> record(window.begin() + endAt, window.begin() + endAt + static_cast<int64_t>(fixed));
  HeaderCipher cipher;
  if (match.enciphered) cipher.DecipherRecord(record);
  const auto end = ParseEndRecord(record);
  if (!end) return 0;
  std::copy_n(record.begin(), st.EndRecord.size(), st.EndRecord.begin());
  const int64_t endPos = windowStart + endAt;
  if (endPos + static_cast<int64_t>(fixed) + end->commentLength > size) {
    st.Damage |= kDamageComment;
  }

  if (ReadSignature(file, endPos - kLocatorBack) == kZip64LocatorSig) {
    st.HeaderState |= htZip64Locator;
    if (ReadSignature(file, endPos - kZip64RecordBack) == kZip64EndRecordSig) {
      st.HeaderState |= htZip64Ending;
    }
  }

  // Where the central directory should stand (P), where it ends right before
  // the end record (Q), and what the archive itself says its offset is.
  std::optional<int64_t> p;
  const std::optional<int64_t> q = Difference(static_cast<uint64_t>(endPos), end->centralDirSize);
  std::optional<int64_t> r;  // just before a Zip64 end record that stands where we found it
  uint64_t storedOffset = end->centralDirOffset;
  if (end->IsWide()) {
    st.CommentPos = endPos + static_cast<int64_t>(kEndRecord64Len);
    p = Difference(end->centralDirOffset, 0);
  } else {
    st.CommentPos = endPos + static_cast<int64_t>(kEndRecordLen);
    if (HasHeader(st.HeaderState, htZip64Locator)) {
      file.ReadExact(endPos - kLocatorBack, st.Zip64Locator);
    }
    std::optional<Zip64Locator> locator = ParseZip64Locator(st.Zip64Locator);
    std::optional<Zip64EndRecord> z64;
    if (HasHeader(st.HeaderState, htZip64Ending)) {
      file.ReadExact(endPos - kZip64RecordBack, st.Zip64EndRecord);
      z64 = ParseZip64EndRecord(st.Zip64EndRecord);
    }
    if (z64 && !PlausibleZip64(*z64, locator, size)) st.Damage |= kDamageZip64;
    if (locator && z64) {
      p = Difference(locator->zip64EndOffset, z64->centralDirSize);
      r = Difference(static_cast<uint64_t>(endPos - kZip64RecordBack), z64->centralDirSize);
      storedOffset = z64->centralDirOffset;
    } else {
      p = q;
    }
  }

  // Candidates in order; the adjustment each implies when the first local
  // header is where its stored offset says.
  std::optional<int64_t> found;
  int64_t adjustment = 0;
  bool central = false;
  if (ProbeCentral(file, p, central) && central) {
    found = p;
  } else if (ProbeCentral(file, q, central) && central) {
    found = q;
    adjustment = *q - static_cast<int64_t>(end->centralDirOffset & 0xFFFFFFFFu);
  } else if (ProbeCentral(file, r, central) && central) {
    // A Zip64 archive behind a prefix: its locator still counts from the
    // start of the archive proper, so P missed the directory.
    found = r;
  }
  if (!found) {
    // No usable directory (also when P and Q point outside the file): the
    // archive can still be read by walking its local headers.
    return ScanForLocalHeader(file, st);
  }

  st.HeaderState |= htCentral;
  const std::optional<uint64_t> first = FirstLocalOffset(file, *found);
  // An archive with a prefix whose offsets were not adjusted: its directory
  // and local headers all stand `shift` bytes after their stored offsets. Used
  // only when the first local header is not where the plain rule looks.
  const std::optional<int64_t> shift = Difference(static_cast<uint64_t>(*found), storedOffset);
  auto fitsAdjustment = [](int64_t v) {
    return v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max();
  };
  if (first && *first < (uint64_t{1} << 62)) {
    const auto localAt = static_cast<int64_t>(*first);
    if (fitsAdjustment(adjustment) && LocalHeaderAt(file, localAt + adjustment)) {
      st.HeaderState |= htLocal;
    } else if (shift && *shift != adjustment && fitsAdjustment(*shift) &&
               LocalHeaderAt(file, localAt + *shift)) {
      adjustment = *shift;
      st.HeaderState |= htLocal;
    }
  }
  st.OffsetAdjustment = fitsAdjustment(adjustment) ? static_cast<int32_t>(adjustment) : 0;
  return *found;
}

}  // namespace arc
