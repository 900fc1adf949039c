//===-- unzip/end_record.cpp - Finding the end record and central directory ===//
//
// Search order:
//
//   1. the last 64 KiB + 22 bytes (or the whole file but its first byte) is
//      scanned backwards for an end record; the one nearest the end of the
//      file whose comment ends where the file does wins, else the nearest
//      (when the winner leads to no directory, a few records further back
//      whose comments also end there are tried: a comment may end in the
//      bytes of an end record);
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
#include "unzip/zip_records.h"

namespace arc {
namespace {

constexpr int kLocalScanBlocks = 4;
/// End records besides the first choice tried for a directory.
constexpr int kEndRecordTries = 8;
constexpr int64_t kLocatorBack = kZip64LocatorLen;                           // 20
constexpr int64_t kZip64RecordBack = kZip64LocatorLen + kZip64EndRecordLen;  // 76

/// `a - b` for untrusted 64-bit values; empty when it leaves the signed range.
std::optional<int64_t> Difference(uint64_t a, uint64_t b) {
  constexpr auto kMax = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  if (a > kMax || b > kMax) return std::nullopt;
  return static_cast<int64_t>(a) - static_cast<int64_t>(b);
}

/// True when a central entry starts at `at`.
bool CentralAt(ByteSource& file, std::optional<int64_t> at) {
  return at && RecordStartsAt(file, *at, RecordKind::Central);
}

/// An end record of a single-volume archive without entries, whose empty
/// directory begins exactly where the record itself stands.
bool IsEmptyAt(const EndRecord& end, int64_t endPos) {
  return end.totalEntries == 0 && end.entriesOnDisk == 0 && end.centralDirSize == 0 &&
         end.thisDisk == 0 && end.centralDirDisk == 0 && !end.IsWide() &&
         end.centralDirOffset == static_cast<uint64_t>(endPos);
}

/// The local-header offset of the central entry at `at`, its extra field
/// applied (a Zip64 block may hold it).
std::optional<uint64_t> FirstLocalOffset(ByteSource& file, int64_t at) {
  const RecordRead<CentralRecord> first = ReadCentralRecord(file, at);
  if (!first) return std::nullopt;
  return first->extent.localHeaderOffset;
}

/// Scans the first blocks of the file for a local header.
int64_t ScanForLocalHeader(ByteSource& file, ArcOpenState& st) {
  for (int block = 0; block < kLocalScanBlocks; ++block) {
    const int64_t base = int64_t{block} * kLocalScanBlock;
    // Three bytes more, so that a signature across the block boundary counts.
    const auto buf = file.ReadVector(base, kLocalScanBlock + 3);
    if (buf.empty()) return block == 0 ? 0 : -1;
    const size_t positions = std::min<size_t>(buf.size(), kLocalScanBlock);
    for (size_t i = 0; i < positions && i + 4 <= buf.size(); ++i) {
      if (buf[i] != 'P') continue;
      if (ClassifySignature(U32At(buf, i), RecordKind::Local).kind != RecordKind::Local) {
        continue;
      }
      st.headerState = htLocal;
      return base + static_cast<int64_t>(i);
    }
  }
  return -1;
}

/// False for a Zip64 end record whose values no archive can have: a record
/// shorter than its fixed part, more entries than its directory has room
/// for, or (for an archive in one file) a directory or record that would lie
/// beyond the end of the file.
bool PlausibleZip64(const Zip64EndRecord& z, const Zip64Locator* locator, int64_t fileSize) {
  const auto size = static_cast<uint64_t>(fileSize);
  if (z.recordSize < kZip64EndRecordLen - 12) return false;
  if (z.totalEntries > z.centralDirSize / kCentralHeaderLen) return false;
  if (z.entriesOnDisk > z.totalEntries) return false;
  const bool oneFile = z.thisDisk == 0 && z.centralDirDisk == 0;
  if (oneFile && (z.centralDirSize > size || z.centralDirOffset > size)) return false;
  if (oneFile && locator && locator->zip64EndOffset > size) return false;
  return true;
}

/// Fills `st` from the end record `end` at `endPos` and returns where its
/// central directory stands; nothing when the record leads to none.
std::optional<int64_t> DirectoryOf(ByteSource& file, const EndRecord& end, int64_t endPos,
                                   ArcOpenState& st) {
  st.headerState = htEnding;
  st.endVolume = end.thisDisk;
  st.directoryVolume = end.centralDirDisk;
  st.declaredEntries = end.totalEntries;
  st.commentLength = end.commentLength;
  const auto fixed = static_cast<int64_t>(end.FixedLength());
  st.commentPos = endPos + fixed;
  if (endPos + fixed + end.commentLength > file.Size()) st.damage |= kDamageComment;
  if (IsEmptyAt(end, endPos)) {
    // An archive without entries: its directory is empty and starts where
    // the end record stands. Nothing to walk, and nothing lost by not
    // walking; and no Zip64 record belongs to it, whatever the bytes of a
    // program in front of it look like.
    st.headerState |= htCentral;
    return endPos;
  }

  const RecordRead<Zip64Locator> locator = ReadZip64Locator(file, endPos - kLocatorBack);
  RecordRead<Zip64EndRecord> z64;
  if (locator) {
    st.headerState |= htZip64Locator;
    z64 = ReadZip64EndRecord(file, endPos - kZip64RecordBack);
    if (z64) st.headerState |= htZip64Ending;
  }

  // Where the central directory should stand (P), where it ends right before
  // the end record (Q), and what the archive itself says its offset is.
  std::optional<int64_t> p;
  const std::optional<int64_t> q = Difference(static_cast<uint64_t>(endPos), end.centralDirSize);
  std::optional<int64_t> r;  // just before a Zip64 end record that stands where we found it
  uint64_t storedOffset = end.centralDirOffset;
  if (end.IsWide()) {
    p = Difference(end.centralDirOffset, 0);
    // The 16-bit count says nothing of this form's Zip64 records.
    if (st.declaredEntries == kZip64Marker16) st.declaredEntries = 0;
  } else {
    if (z64 && !PlausibleZip64(*z64, locator ? &*locator : nullptr, file.Size())) {
      st.damage |= kDamageZip64;
    }
    // A count at its marker stands in the Zip64 end record, when that is sound.
    if (st.declaredEntries == kZip64Marker16) {
      st.declaredEntries = z64 && (st.damage & kDamageZip64) == 0 ? z64->totalEntries : 0;
    }
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
  if (CentralAt(file, p)) {
    found = p;
  } else if (CentralAt(file, q)) {
    found = q;
    adjustment = *q - static_cast<int64_t>(end.centralDirOffset & 0xFFFFFFFFu);
  } else if (CentralAt(file, r)) {
    // A Zip64 archive behind a prefix: its locator still counts from the
    // start of the archive proper, so P missed the directory.
    found = r;
  }
  if (!found) return std::nullopt;

  st.headerState |= htCentral;
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
    if (fitsAdjustment(adjustment) &&
        RecordStartsAt(file, localAt + adjustment, RecordKind::Local)) {
      st.headerState |= htLocal;
    } else if (shift && *shift != adjustment && fitsAdjustment(*shift) &&
               RecordStartsAt(file, localAt + *shift, RecordKind::Local)) {
      adjustment = *shift;
      st.headerState |= htLocal;
    }
  }
  st.offsetAdjustment = fitsAdjustment(adjustment) ? static_cast<int32_t>(adjustment) : 0;
  return *found;
}

}  // namespace

int64_t SearchEndRecord(ByteSource& file, ArcOpenState& st) {
  st.headerState = 0;
  st.damage = 0;
  st.commentPos = 0;
  st.offsetAdjustment = 0;
  st.endVolume = 0;
  st.directoryVolume = 0;
  st.declaredEntries = 0;
  st.commentLength = 0;
  const int64_t size = file.Size();
  if (size <= 0) return 0;

  // The window leaves out the first byte of a short file, and its own first
  // position is never tested: an end record at the very start of the file
  // (an archive of nothing but an end record) is not taken.
  const int64_t windowStart = size > kEndSearchWindow ? size - kEndSearchWindow : 1;
  const std::vector<uint8_t> window =
      file.ReadVector(windowStart, static_cast<int32_t>(size - windowStart));
  // The next end record at or before window position `i`, going backwards.
  auto previous = [&](int64_t& i) -> std::optional<EndRecord> {
    for (; i >= 1; --i) {
      if (ClassifySignature(U32At(window, static_cast<size_t>(i)), RecordKind::End).kind !=
          RecordKind::End) {
        continue;
      }
      if (const RecordRead<EndRecord> candidate = ReadEndRecord(file, windowStart + i)) {
        return *candidate;
      }
    }
    return std::nullopt;
  };
  auto reachesEnd = [&](const EndRecord& e, int64_t i) {
    return windowStart + i + static_cast<int64_t>(e.FixedLength()) + e.commentLength == size;
  };
  // A comment may itself hold an end-record signature: the record whose
  // comment ends exactly where the file does is the real one. Without such
  // a record the nearest one is taken, as bytes may follow an archive. A
  // record cut off by the end of the file is taken for comment bytes.
  std::optional<EndRecord> end;
  int64_t endPos = -1;
  int64_t i = static_cast<int64_t>(window.size()) - 4;
  for (std::optional<EndRecord> e; (e = previous(i)); --i) {
    const bool reaches = reachesEnd(*e, i);
    if (!end || reaches) {
      end = e;
      endPos = windowStart + i;
    }
    if (reaches) break;
  }
  if (!end) return 0;

  const ArcOpenState clean = st;
  if (const std::optional<int64_t> found = DirectoryOf(file, *end, endPos, st)) return *found;
  if (reachesEnd(*end, endPos - windowStart)) {
    // A comment that ends in the bytes of an end record makes two records
    // whose comments end where the file does; the one that leads to a
    // directory is the real one. A few are tried, not every signature a
    // hostile comment may hold.
    int tries = 0;
    for (--i; tries < kEndRecordTries; --i) {
      const std::optional<EndRecord> e = previous(i);
      if (!e) break;
      if (!reachesEnd(*e, i)) continue;
      ++tries;
      ArcOpenState trial = clean;
      if (const std::optional<int64_t> found = DirectoryOf(file, *e, windowStart + i, trial)) {
        st = trial;
        return *found;
      }
    }
  }
  // No usable directory (also when P and Q point outside the file): the
  // archive can still be read by walking its local headers.
  return ScanForLocalHeader(file, st);
}

}  // namespace arc
