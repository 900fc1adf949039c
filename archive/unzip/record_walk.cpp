//===-- unzip/record_walk.cpp - Walking an archive's records --------------===//
#include "unzip/record_walk.h"

#include <algorithm>
#include <array>
#include <vector>

#include <arc/codec/crc.h>
#include "support/byte_reader.h"
#include "unzip/end_record.h"

namespace arc {
namespace {

/// Sizes and offsets are 48-bit quantities; more is damage.
constexpr uint64_t k48Bits = (uint64_t{1} << 48) - 1;
/// The descriptor search reads the data in blocks of this size.
constexpr int32_t kScanBlock = 65536;

/// Records that may follow an entry's data: the next entry, the directory,
/// an end record of either kind.
bool IsRecordSignature(uint32_t value) {
  const RecordKind kind = ClassifySignature(value, RecordKind::None).kind;
  return kind == RecordKind::Local || kind == RecordKind::Central || kind == RecordKind::End ||
         value == kZip64EndRecordSig || value == kZip64LocatorSig;
}

/// True when a record starts at `at`, or the file ends there.
bool RecordOrEndAt(ByteSource& file, int64_t at) {
  if (at == file.Size()) return true;
  const std::optional<uint32_t> signature = SignatureAt(file, at);
  return signature && IsRecordSignature(*signature);
}

/// The CRC-32 of the bytes from `start` up to a position, kept as the
/// position moves on, so that every byte is read for it once.
class RunningCrc {
 public:
  RunningCrc(ByteSource& file, int64_t start) : file_(file), pos_(start) {}
  /// The CRC of the bytes from the start up to `to` (never before the last
  /// position asked for); empty when they cannot be read.
  std::optional<uint32_t> UpTo(int64_t to) {
    while (ok_ && pos_ < to) {
      const auto want = static_cast<int32_t>(std::min<int64_t>(to - pos_, kScanBlock));
      buf_ = file_.ReadVector(pos_, want);
      ok_ = buf_.size() == static_cast<size_t>(want);
      if (ok_) Crc32Update(buf_.data(), want, value_);
      pos_ += want;
    }
    if (!ok_ || pos_ != to) return std::nullopt;
    return value_ ^ 0xFFFFFFFFu;
  }

 private:
  ByteSource& file_;
  int64_t pos_;
  uint32_t value_ = kCrc32Init;
  bool ok_ = true;
  std::vector<uint8_t> buf_;
};

/// The descriptor forms that `b` (the bytes at `at`) could start with, given
/// that the compressed size must be `distance`, checked against the file.
/// `crc` gives the CRC-32 of the entry's data for stored data (else null).
std::optional<DataDescriptor> DescriptorAt(ByteSource& file, int64_t at, uint64_t distance,
                                           std::span<const uint8_t> b, RunningCrc* crc) {
  // Cheap test first, as it runs at every byte of the data searched: every
  // form holds the distance's low half after the CRC, at 4 or (signed) at 8.
  ByteReader head(b);
  head.u32();
  const uint32_t at4 = head.u32();
  const uint32_t at8 = head.u32();
  const auto d32 = static_cast<uint32_t>(distance);
  if (at4 != d32 && at8 != d32) return std::nullopt;

  for (DescriptorForm form : kDescriptorForms) {
    const std::optional<DataDescriptor> d = ParseDataDescriptor(b, form);
    if (!d || d->compressedSize != distance) continue;
    if (d->uncompressedSize > k48Bits) continue;  // no size, but bytes that look alike
    if (!RecordOrEndAt(file, at + static_cast<int64_t>(d->length))) continue;
    if (crc != nullptr && (d->uncompressedSize != distance || crc->UpTo(at) != d->crc32)) continue;
    return d;
  }
  return std::nullopt;
}

}  // namespace

DirectoryWalk WalkCentralDirectory(ByteSource& file, const ArcOpenState& open,
                                   const std::function<bool()>& cancelled,
                                   const std::function<void(const CentralRecord&, int64_t)>& take) {
  DirectoryWalk walk;
  walk.declared = HasHeader(open.headerState, htEnding) ? open.declaredEntries : 0;
  int64_t pos = open.dataOffset;
  while (pos >= 0) {
    const RecordRead<CentralRecord> record = ReadCentralRecord(file, pos);
    if (record.status == RecordStatus::Absent) break;
    if (cancelled && cancelled()) {
      walk.cancelled = true;
      break;
    }
    if (record.status == RecordStatus::Cut) {
      walk.truncated = true;  // a record begins, but the file ends inside it
      break;
    }
    take(*record, pos);
    ++walk.records;
    pos += static_cast<int64_t>(record->recordLength);
  }
  return walk;
}

std::optional<DataDescriptor> FindDataDescriptor(ByteSource& file, int64_t dataStart,
                                                 const LocalRecord& entry) {
  // Stored data is its own check: its size and CRC are those of the bytes.
  const bool plainStored =
      entry.header.method == kMethodStored && (entry.header.flags & kFlagEncrypted) == 0;
  // A header that gives the size anyway names the one place to look first.
  const uint64_t known = entry.extent.compressedSize;
  if (known > 0 && known <= k48Bits) {
    const int64_t at = dataStart + static_cast<int64_t>(known);
    const std::vector<uint8_t> b = file.ReadVector(at, static_cast<int32_t>(kDataDescriptorMaxLen));
    RunningCrc crc(file, dataStart);
    if (auto d = DescriptorAt(file, at, known, b, plainStored ? &crc : nullptr)) return d;
    // Some writers set the flag, give the sizes and write no descriptor.
    // Taken before any search: searching the rest of the file for each such
    // entry would take time that grows with the square of the archive.
    if (RecordOrEndAt(file, at)) {
      return DataDescriptor{entry.header.crc32, known, entry.extent.uncompressedSize, 0};
    }
  }
  const int64_t size = file.Size();
  RunningCrc crc(file, dataStart);
  for (int64_t base = dataStart; base >= 0 && base < size; base += kScanBlock) {
    const std::vector<uint8_t> buf =
        file.ReadVector(base, kScanBlock + static_cast<int32_t>(kDataDescriptorMaxLen));
    if (buf.empty()) break;
    const size_t positions = std::min<size_t>(buf.size(), kScanBlock);
    const std::span<const uint8_t> all(buf);
    for (size_t i = 0; i < positions; ++i) {
      const int64_t at = base + static_cast<int64_t>(i);
      const auto distance = static_cast<uint64_t>(at - dataStart);
      if (auto d = DescriptorAt(file, at, distance, all.subspan(i), plainStored ? &crc : nullptr)) {
        return d;
      }
    }
  }
  return std::nullopt;
}

LocalWalk WalkLocalHeaders(ByteSource& file, int64_t start, const std::function<bool()>& cancelled,
                           const std::function<void(const LocalEntry&)>& take) {
  LocalWalk walk;
  int64_t pos = start;
  if (SignatureAt(file, pos) == kSpanMarkerSig) pos += static_cast<int64_t>(kSpanMarkerLen);
  auto broken = [&walk](int64_t at) {
    walk.broken = true;
    walk.brokenAt = at;
    return walk;
  };
  for (;;) {
    RecordRead<LocalRecord> record = ReadLocalRecord(file, pos);
    // A header cut off inside its fixed part is taken for the end of the
    // archive, as the bytes after the last entry are: only one whose name
    // or extra field the file cuts off breaks the walk.
    const bool fixedPartCut = record.status == RecordStatus::Cut &&
                              pos + static_cast<int64_t>(kLocalHeaderLen) > file.Size();
    if (record.status == RecordStatus::Absent || fixedPartCut) {
      // After the last entry stands the directory, an end record, or nothing.
      return RecordOrEndAt(file, pos) ? walk : broken(pos);
    }
    if (cancelled && cancelled()) {
      walk.cancelled = true;
      return walk;
    }
    if (!record) return broken(pos);

    LocalEntry entry;
    entry.record = std::move(record.record);
    entry.at = pos;
    entry.crc32 = entry.record.header.crc32;
    entry.compressedSize = entry.record.extent.compressedSize;
    entry.uncompressedSize = entry.record.extent.uncompressedSize;
    // No size at all: the next header cannot be found from it.
    if (entry.compressedSize > k48Bits || entry.uncompressedSize > k48Bits) return broken(pos);
    const int64_t dataStart = pos + static_cast<int64_t>(entry.record.headerLength);
    if ((entry.record.header.flags & kFlagDataDescriptor) != 0) {
      const std::optional<DataDescriptor> d = FindDataDescriptor(file, dataStart, entry.record);
      if (!d) return broken(pos);  // the entry's end cannot be found
      entry.crc32 = d->crc32;
      entry.compressedSize = d->compressedSize;
      entry.uncompressedSize = d->uncompressedSize;
      entry.descriptorLength = d->length;
    }
    entry.next = dataStart + static_cast<int64_t>(entry.compressedSize + entry.descriptorLength);
    take(entry);
    ++walk.records;
    if (entry.next > file.Size()) {
      walk.truncated = true;
      return walk;
    }
    pos = entry.next;
  }
}

}  // namespace arc
