//===-- zip/zip_copy.cpp - Copying entries of the old archive -------------===//
//
// An entry kept from the old archive is copied byte for byte: local header,
// name, extra field, data and, when its flags say the sizes follow the data,
// the data descriptor. One copied under a new name gets a new local header
// in front of the same extra field and data. How much data there is comes
// from the central directory (its Zip64 or high-part values applied); the
// local header must be where the directory says, and everything must lie
// inside the old file, or the update stops before the archive is touched.
//
//===----------------------------------------------------------------------===//
#include <unistd.h>

#include <algorithm>
#include <array>
#include <span>

#include <arc/support/error_codes.h>
#include <arc/support/errors.h>
#include "support/byte_reader.h"
#include "zip/stored_name.h"
#include <arc/zip/zip.h>
#include "zip/zip_updater.h"
#include "zip/zip_layout.h"

namespace arc {
namespace {

/// The local header of the old archive at `offset`; empty when there is
/// none there, whole within the file.
std::optional<LocalRecord> ReadOldLocal(ByteSource& file, uint64_t offset) {
  if (offset > static_cast<uint64_t>(file.Size())) return std::nullopt;
  RecordRead<LocalRecord> local = ReadLocalRecord(file, static_cast<int64_t>(offset));
  if (!local) return std::nullopt;
  return std::move(local.record);
}

/// True when `size` bytes could be in `file` at all. A Zip64 size near 2^64
/// would otherwise wrap an offset + size sum into a small, plausible value.
bool FitsIn(const ByteSource& file, uint64_t size) {
  return size <= static_cast<uint64_t>(file.Size());
}

/// Length of the data descriptor at `at`, 0 when the entry has none. Its
/// signature is optional and its sizes are 4 or 8 bytes wide, so the values
/// found are compared with the directory's.
uint64_t DescriptorLength(ByteSource& file, const TCompHeader& e, const LocalRecord& local,
                          uint64_t at) {
  if ((local.header.flags & kFlagDataDescriptor) == 0) return 0;
  std::array<uint8_t, kDataDescriptorMaxLen> d{};
  const int32_t got =
      file.ReadAt(static_cast<int64_t>(at), d.data(), static_cast<int32_t>(d.size()));
  if (got < 12) return 0;
  const std::span<const uint8_t> bytes(d.data(), static_cast<size_t>(got));
  // A CRC-32 that happens to equal the signature is taken for the CRC.
  const uint32_t first = U32At(bytes, 0);
  const bool withSignature = first == kDataDescriptorSig && first != e.Central.crc32;
  const auto narrow = ParseDataDescriptor(
      bytes, withSignature ? DescriptorForm::Signed32 : DescriptorForm::Bare32);
  const auto wide = ParseDataDescriptor(
      bytes, withSignature ? DescriptorForm::Signed64 : DescriptorForm::Bare64);
  if (!narrow || narrow->crc32 != e.Central.crc32) return 0;
  if (narrow->compressedSize == static_cast<uint32_t>(e.CompressedSize) &&
      narrow->uncompressedSize == static_cast<uint32_t>(e.UncompressedSize))
    return narrow->length;
  if (wide && wide->compressedSize == e.CompressedSize &&
      wide->uncompressedSize == e.UncompressedSize)
    return wide->length;
  return narrow->length;
}

/// Copies up to `length` bytes at `from` in file `in` to `at` in file `out`
/// within the kernel, in steps between which `cancel` is looked at; returns
/// the bytes copied. Stops short where the files do not allow it (another
/// file system, an old kernel) or on any error: the caller copies the rest
/// through its streams, which say what went wrong.
int64_t CopyInKernel(int in, int64_t from, int out, int64_t at, int64_t length,
                     const bool* cancel) {
  constexpr int64_t kStep = int64_t{8} << 20;
  int64_t done = 0;
  while (done < length && (cancel == nullptr || !*cancel)) {
    loff_t in_at = from + done;
    loff_t out_at = at + done;
    const auto step = static_cast<size_t>(std::min(length - done, kStep));
    const ssize_t n = ::copy_file_range(in, &in_at, out, &out_at, step, 0);
    if (n <= 0) break;
    done += n;
  }
  return done;
}

}  // namespace

void ZipUpdater::CopyUnchanged(int32_t index) {
  TCompHeader& e = run_.Headers[index];
  ByteSource& file = *run_.OldSource;
  const std::optional<LocalRecord> local = ReadOldLocal(file, e.Offset);
  // Each term is bounded by the file size first, so that the sum cannot wrap.
  const bool fits = local && FitsIn(file, e.CompressedSize);
  const uint64_t data_end = fits ? e.Offset + local->headerLength + e.CompressedSize : 0;
  if (!fits || data_end > static_cast<uint64_t>(file.Size())) {
    z_.RaiseError(z_.ArchiveFile(), e.Name, "0", ec::BadFileHeader);
    throw E_RAISE(std::string(ErrorText(ec::BadFileHeader)));
  }
  const uint64_t total =
      local->headerLength + e.CompressedSize + DescriptorLength(file, e, *local, data_end);
  e.LocalZip64 = local->header.compressedSize == kZip64Marker32 ||
                 local->header.uncompressedSize == kZip64Marker32;

  TUpdateRun::TBlockCopy& block = run_.PendingCopy;
  if (block.Length == 0 || block.From + block.Length != e.Offset) {
    FlushCopy();
    block.From = e.Offset;
    block.To = static_cast<uint64_t>(run_.Output->Stream().Seek(0, TSeekOrigin::soEnd));
  }
  e.Offset = block.To + block.Length;
  block.Length += total;
  block.Last = index;
}

void ZipUpdater::FlushCopy() {
  const TUpdateRun::TBlockCopy block = run_.PendingCopy;
  run_.PendingCopy = {};
  if (block.Length == 0) return;
  // A failure is told under the block's last entry.
  z_.SetEntryName(run_.Headers[block.Last].Name);
  TStream32& out = run_.Output->Stream();
  const int64_t at = out.Seek(0, TSeekOrigin::soEnd);
  auto from = static_cast<int64_t>(block.From);
  auto left = static_cast<int64_t>(block.Length);
  if (run_.Output->FileHandle() >= 0 && at >= 0) {
    const int64_t done = CopyInKernel(run_.OldStream->Handle(), from, run_.Output->FileHandle(),
                                      at, left, z_.CancelFlag());
    from += done;
    left -= done;
    out.Seek(0, TSeekOrigin::soEnd);
  }
  if (left == 0) return;
  run_.OldStream->SetPosition(from);
  out.OwnerProgress = nullptr;  // copies are not reported as progress
  out.CopyFrom(*run_.OldStream, left);
}

void ZipUpdater::CopyRenamed(int32_t index) {
  TCompHeader& e = run_.Headers[index];
  ByteSource& file = *run_.OldSource;
  const std::optional<LocalRecord> local = ReadOldLocal(file, e.Offset);
  const uint64_t data_start = local ? e.Offset + local->headerLength : 0;
  if (!local || !FitsIn(file, e.CompressedSize) ||
      data_start + e.CompressedSize > static_cast<uint64_t>(file.Size())) {
    z_.RaiseError(z_.ArchiveFile(), e.Name, "0", ec::WriteError);
    throw E_RAISE(std::string(ErrorText(ec::WriteError)));
  }
  const uint64_t data =
      e.CompressedSize + DescriptorLength(file, e, *local, data_start + e.CompressedSize);
  e.LocalZip64 = local->header.compressedSize == kZip64Marker32 ||
                 local->header.uncompressedSize == kZip64Marker32;

  // An entry from a Unix host keeps it, and with it its mode: its new name
  // is then never put into the OEM code page, which peers would not expect
  // under that host.
  const uint16_t old_host = e.Central.versionMadeBy >> 8;
  uint16_t flags = local->header.flags;
  const std::string name =
      StoredBytesOf(e.Name, z_.TranslateOemChar(), flags, old_host != kHostUnix);
  if (name.size() > 0xFFFF) {
    z_.RaiseError(z_.ArchiveFile(), e.Name, "0", ec::InvalidFileName);
    throw E_RAISE(std::string(ErrorText(ec::InvalidFileName)));
  }
  LocalHeader h = local->header;
  h.flags = flags;
  h.nameLength = static_cast<uint16_t>(name.size());
  h.signature = BuildSignature(RecordKind::Local, e.EncipheredHeaders);
  std::vector<uint8_t> bytes = LocalHeaderBytes(h, name, false, 0, 0, e.EncipheredHeaders);
  bytes.insert(bytes.end(), local->extra.begin(), local->extra.end());

  TStream32& out = run_.Output->Stream();
  const int64_t offset = out.Seek(0, TSeekOrigin::soEnd);
  out.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  if (data > 0) {
    run_.OldStream->SetPosition(static_cast<int64_t>(data_start));
    out.OwnerProgress = nullptr;
    out.CopyFrom(*run_.OldStream, static_cast<int64_t>(data));
  }
  e.Offset = static_cast<uint64_t>(offset);
  e.StoredBytes = name;
  e.Central.flags =
      static_cast<uint16_t>((e.Central.flags & ~kFlagUtf8Name) | (flags & kFlagUtf8Name));
  e.Central.nameLength = h.nameLength;
  if (old_host == kHostDos || old_host == kHostNtfs)
    e.Central.versionMadeBy = VersionMadeBy(DosFamilyHost(e.Central.flags), e.Central.versionMadeBy);
}

}  // namespace arc
