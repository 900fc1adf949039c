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
#include <arc/zip/zip.h>
#include "support/byte_reader.h"
#include "zip/stored_name.h"
#include "zip/zip_layout.h"
#include "zip/zip_updater.h"

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
uint64_t DescriptorLength(ByteSource& file, const CompHeader& e, const LocalRecord& local,
                          uint64_t at) {
  if ((local.header.flags & kFlagDataDescriptor) == 0) return 0;
  std::array<uint8_t, kDataDescriptorMaxLen> d{};
  const int32_t got =
      file.ReadAt(static_cast<int64_t>(at), d.data(), static_cast<int32_t>(d.size()));
  if (got < 12) return 0;
  const std::span<const uint8_t> bytes(d.data(), static_cast<size_t>(got));
  // A CRC-32 that happens to equal the signature is taken for the CRC.
  const uint32_t first = U32At(bytes, 0);
  const bool withSignature = first == kDataDescriptorSig && first != e.central.crc32;
  const auto narrow =
      ParseDataDescriptor(bytes, withSignature ? DescriptorForm::Signed32 : DescriptorForm::Bare32);
  const auto wide =
      ParseDataDescriptor(bytes, withSignature ? DescriptorForm::Signed64 : DescriptorForm::Bare64);
  if (!narrow || narrow->crc32 != e.central.crc32) return 0;
  if (narrow->compressedSize == static_cast<uint32_t>(e.compressedSize) &&
      narrow->uncompressedSize == static_cast<uint32_t>(e.uncompressedSize))
    return narrow->length;
  if (wide && wide->compressedSize == e.compressedSize &&
      wide->uncompressedSize == e.uncompressedSize)
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
    loff_t inAt = from + done;
    loff_t outAt = at + done;
    const auto step = static_cast<size_t>(std::min(length - done, kStep));
    const ssize_t n = ::copy_file_range(in, &inAt, out, &outAt, step, 0);
    if (n <= 0) break;
    done += n;
  }
  return done;
}

}  // namespace

void ZipUpdater::CopyUnchanged(int32_t index) {
  CompHeader& e = run_.headers[index];
  ByteSource& file = *run_.oldSource;
  const std::optional<LocalRecord> local = ReadOldLocal(file, e.offset);
  // Each term is bounded by the file size first, so that the sum cannot wrap.
  const bool fits = local && FitsIn(file, e.compressedSize);
  const uint64_t dataEnd = fits ? e.offset + local->headerLength + e.compressedSize : 0;
  if (!fits || dataEnd > static_cast<uint64_t>(file.Size())) {
    z_.RaiseError(z_.ArchiveFile(), e.name, "0", ec::BadFileHeader);
    throw E_RAISE(std::string(ErrorText(ec::BadFileHeader)));
  }
  const uint64_t total =
      local->headerLength + e.compressedSize + DescriptorLength(file, e, *local, dataEnd);
  e.localZip64 = local->header.compressedSize == kZip64Marker32 ||
                 local->header.uncompressedSize == kZip64Marker32;

  UpdateRun::BlockCopy& block = run_.pendingCopy;
  if (block.length == 0 || block.from + block.length != e.offset) {
    FlushCopy();
    block.from = e.offset;
    block.to = static_cast<uint64_t>(run_.output->Stream().Seek(0, TSeekOrigin::soEnd));
  }
  e.offset = block.to + block.length;
  block.length += total;
  block.last = index;
}

void ZipUpdater::FlushCopy() {
  const UpdateRun::BlockCopy block = run_.pendingCopy;
  run_.pendingCopy = {};
  if (block.length == 0) return;
  // A failure is told under the block's last entry.
  z_.SetEntryName(run_.headers[block.last].name);
  TStream32& out = run_.output->Stream();
  const int64_t at = out.Seek(0, TSeekOrigin::soEnd);
  auto from = static_cast<int64_t>(block.from);
  auto left = static_cast<int64_t>(block.length);
  if (run_.output->FileHandle() >= 0 && at >= 0) {
    const int64_t done = CopyInKernel(run_.oldStream->Handle(), from, run_.output->FileHandle(), at,
                                      left, z_.CancelFlag());
    from += done;
    left -= done;
    run_.output->WrittenUpTo(at + done);
    out.Seek(0, TSeekOrigin::soEnd);
  }
  if (left == 0) return;
  run_.oldStream->SetPosition(from);
  out.ownerProgress = nullptr;  // copies are not reported as progress
  out.CopyFrom(*run_.oldStream, left);
}

void ZipUpdater::CopyRenamed(int32_t index) {
  CompHeader& e = run_.headers[index];
  ByteSource& file = *run_.oldSource;
  const std::optional<LocalRecord> local = ReadOldLocal(file, e.offset);
  const uint64_t dataStart = local ? e.offset + local->headerLength : 0;
  if (!local || !FitsIn(file, e.compressedSize) ||
      dataStart + e.compressedSize > static_cast<uint64_t>(file.Size())) {
    z_.RaiseError(z_.ArchiveFile(), e.name, "0", ec::WriteError);
    throw E_RAISE(std::string(ErrorText(ec::WriteError)));
  }
  const uint64_t data =
      e.compressedSize + DescriptorLength(file, e, *local, dataStart + e.compressedSize);
  e.localZip64 = local->header.compressedSize == kZip64Marker32 ||
                 local->header.uncompressedSize == kZip64Marker32;

  // An entry from a Unix host keeps it, and with it its mode: its new name
  // is then never put into the OEM code page, which peers would not expect
  // under that host.
  const uint16_t oldHost = e.central.versionMadeBy >> 8;
  uint16_t flags = local->header.flags;
  const std::string name =
      StoredBytesOf(e.name, z_.TranslateOemChar(), flags, oldHost != kHostUnix);
  if (name.size() > 0xFFFF) {
    z_.RaiseError(z_.ArchiveFile(), e.name, "0", ec::InvalidFileName);
    throw E_RAISE(std::string(ErrorText(ec::InvalidFileName)));
  }
  LocalHeader h = local->header;
  h.flags = flags;
  h.nameLength = static_cast<uint16_t>(name.size());
  h.signature = BuildSignature(RecordKind::Local, e.encipheredHeaders);
  std::vector<uint8_t> bytes = LocalHeaderBytes(h, name, false, 0, 0, e.encipheredHeaders);
  bytes.insert(bytes.end(), local->extra.begin(), local->extra.end());

  TStream32& out = run_.output->Stream();
  const int64_t offset = out.Seek(0, TSeekOrigin::soEnd);
  out.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  if (data > 0) {
    run_.oldStream->SetPosition(static_cast<int64_t>(dataStart));
    out.ownerProgress = nullptr;
    out.CopyFrom(*run_.oldStream, static_cast<int64_t>(data));
  }
  e.offset = static_cast<uint64_t>(offset);
  e.storedBytes = name;
  e.central.flags =
      static_cast<uint16_t>((e.central.flags & ~kFlagUtf8Name) | (flags & kFlagUtf8Name));
  e.central.nameLength = h.nameLength;
  if (oldHost == kHostDos || oldHost == kHostNtfs)
    e.central.versionMadeBy =
        VersionMadeBy(DosFamilyHost(e.central.flags), e.central.versionMadeBy);
}

}  // namespace arc
