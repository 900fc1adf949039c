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
/// The longest data descriptor: signature, CRC and two 64-bit sizes.
constexpr size_t kLongestDescriptor = 24;

uint32_t U32At(std::span<const uint8_t> b, size_t at) {
  ByteReader r(b.subspan(std::min(at, b.size())));
  return r.u32();  // 0 when fewer than 4 bytes remain
}

uint64_t U64At(std::span<const uint8_t> b, size_t at) {
  ByteReader r(b.subspan(std::min(at, b.size())));
  return r.u64();
}

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
  std::array<uint8_t, 4> sig{};
  return at >= 0 && file.ReadExact(at, sig) && IsRecordSignature(U32At(sig, 0));
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
  const auto d32 = static_cast<uint32_t>(distance);
  const bool narrowFits = distance <= 0xFFFFFFFFu;
  const bool signature = U32At(b, 0) == kDataDescriptorSig;
  // Cheap test first: every form holds the distance's low half somewhere.
  if (U32At(b, 4) != d32 && !(signature && U32At(b, 8) == d32)) return std::nullopt;

  std::array<DataDescriptor, 4> forms{};
  size_t count = 0;
  if (signature && narrowFits && b.size() >= 16 && U32At(b, 8) == d32)
    forms[count++] = {U32At(b, 4), distance, U32At(b, 12), 16};
  if (signature && b.size() >= 24 && U64At(b, 8) == distance)
    forms[count++] = {U32At(b, 4), distance, U64At(b, 16), 24};
  if (narrowFits && b.size() >= 12 && U32At(b, 4) == d32)
    forms[count++] = {U32At(b, 0), distance, U32At(b, 8), 12};
  if (b.size() >= 20 && U64At(b, 4) == distance)
    forms[count++] = {U32At(b, 0), distance, U64At(b, 12), 20};
  for (size_t i = 0; i < count; ++i) {
    const DataDescriptor& d = forms[i];
    if (d.uncompressedSize > k48Bits) continue;  // no size, but bytes that look alike
    if (!RecordOrEndAt(file, at + static_cast<int64_t>(d.length))) continue;
    if (crc != nullptr && (d.uncompressedSize != distance || crc->UpTo(at) != d.crc32)) continue;
    return d;
  }
  return std::nullopt;
}

}  // namespace

uint64_t DeclaredEntries(const TArcOpenState& open) {
  if (!HasHeader(open.HeaderState, htEnding)) return 0;
  const uint16_t total = static_cast<uint16_t>(open.EndRecord[end_field::kTotalEntries] |
                                               open.EndRecord[end_field::kTotalEntries + 1] << 8);
  if (total != kZip64Marker16) return total;
  if (!HasHeader(open.HeaderState, htZip64Ending) || (open.Damage & kDamageZip64) != 0) return 0;
  const auto z64 = ParseZip64EndRecord(open.Zip64EndRecord);
  return z64 ? z64->totalEntries : 0;
}

DirectoryWalk WalkCentralDirectory(ByteSource& file, const TArcOpenState& open,
                                   const std::function<bool()>& cancelled,
                                   const std::function<void(const CentralRecord&, int64_t)>& take) {
  DirectoryWalk walk;
  walk.declared = DeclaredEntries(open);
  int64_t pos = open.DataOffset;
  std::vector<uint8_t> bytes;
  while (pos >= 0) {
    std::array<uint8_t, kCentralHeaderLen> fixed{};
    const bool whole = file.ReadExact(pos, fixed);
    if (!whole) file.ReadExact(pos, std::span(fixed).first(4));
    const SignatureMatch match = ClassifySignature(U32At(fixed, 0), RecordKind::Central);
    if (match.kind != RecordKind::Central) break;
    if (!whole) {
      walk.truncated = true;  // a record begins, but the file ends inside it
      break;
    }
    if (cancelled && cancelled()) {
      walk.cancelled = true;
      break;
    }
    // The lengths of an enciphered record are readable only once deciphered.
    std::array<uint8_t, kCentralHeaderLen> plain = fixed;
    HeaderCipher cipher;
    if (match.enciphered) cipher.DecipherRecord(plain);
    const std::optional<CentralHeader> header = ParseCentralHeader(plain);
    if (!header) break;
    const size_t length = kCentralHeaderLen + size_t{header->nameLength} +
                          size_t{header->extraLength} + size_t{header->commentLength};
    bytes = file.ReadVector(pos, static_cast<int32_t>(length));
    const std::optional<CentralRecord> record =
        bytes.size() == length ? ReadCentralRecord(bytes) : std::nullopt;
    if (!record) {
      walk.truncated = true;
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
    const std::vector<uint8_t> b = file.ReadVector(at, static_cast<int32_t>(kLongestDescriptor));
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
        file.ReadVector(base, kScanBlock + static_cast<int32_t>(kLongestDescriptor));
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
  std::array<uint8_t, kSpanMarkerLen> marker{};
  if (pos >= 0 && file.ReadExact(pos, marker) && U32At(marker, 0) == kSpanMarkerSig) {
    pos += static_cast<int64_t>(kSpanMarkerLen);
  }
  auto broken = [&walk](int64_t at) {
    walk.broken = true;
    walk.brokenAt = at;
    return walk;
  };
  std::vector<uint8_t> bytes;
  for (;;) {
    std::array<uint8_t, kLocalHeaderLen> fixed{};
    const bool whole = pos >= 0 && file.ReadExact(pos, fixed);
    const SignatureMatch match =
        whole ? ClassifySignature(U32At(fixed, 0), RecordKind::Local) : SignatureMatch{};
    if (match.kind != RecordKind::Local) {
      // After the last entry stands the directory, an end record, or nothing.
      return RecordOrEndAt(file, pos) ? walk : broken(pos);
    }
    if (cancelled && cancelled()) {
      walk.cancelled = true;
      return walk;
    }
    std::array<uint8_t, kLocalHeaderLen> plain = fixed;
    HeaderCipher cipher;
    if (match.enciphered) cipher.DecipherRecord(plain);
    const std::optional<LocalHeader> header = ParseLocalHeader(plain);
    if (!header) return broken(pos);
    const size_t length = kLocalHeaderLen + size_t{header->nameLength} + header->extraLength;
    bytes = file.ReadVector(pos, static_cast<int32_t>(length));
    const std::optional<LocalRecord> record =
        bytes.size() == length ? ReadLocalRecord(bytes) : std::nullopt;
    if (!record) return broken(pos);

    LocalEntry entry;
    entry.record = *record;
    entry.at = pos;
    entry.crc32 = record->header.crc32;
    entry.compressedSize = record->extent.compressedSize;
    entry.uncompressedSize = record->extent.uncompressedSize;
    // No size at all: the next header cannot be found from it.
    if (entry.compressedSize > k48Bits || entry.uncompressedSize > k48Bits) return broken(pos);
    const int64_t dataStart = pos + static_cast<int64_t>(record->headerLength);
    if ((record->header.flags & kFlagDataDescriptor) != 0) {
      const std::optional<DataDescriptor> d = FindDataDescriptor(file, dataStart, *record);
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
