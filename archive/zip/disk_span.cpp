//===-- zip/disk_span.cpp - Copying the archive onto disks -----------------===//
//
// The run:
//
//   (0, 0) progress -> first disk -> [span marker] -> each entry: its local
//   header whole on one disk, then its data wherever the space on the disks
//   allows -> central directory, record by record -> end records
//
// Where a record starts is taken once the disk in the drive has room for
// all of it, so a central record never points at the end of a full disk.
//
// The directory and the end records go onto the last disk together when
// they fit on one disk, so that whoever reads the set finds the whole
// directory beside the end record; only a directory larger than a disk is
// spread over disks, between its records.
//
//===----------------------------------------------------------------------===//
#include "zip/disk_span.h"

#include <algorithm>
#include <array>
#include <cerrno>

#include <arc/support/byte_source.h>
#include <arc/support/error_codes.h>
#include <arc/zip/zip.h>
#include "support/byte_reader.h"
#include "support/stream32.h"
#include "support/stream_memory.h"
#include "zip/update_run.h"
#include "zip/zip_layout.h"

namespace arc {
namespace {

/// Pieces of the temporary archive are copied in blocks of this size.
constexpr int64_t kCopyBlock = 65536;

int64_t DirectorySize(const std::vector<std::vector<uint8_t>>& records) {
  int64_t size = 0;
  for (const std::vector<uint8_t>& r : records) size += static_cast<int64_t>(r.size());
  return size;
}

/// The finished temporary archive, read without the progress side effects of
/// its stream (those belong to a move into place, which this is not).
std::unique_ptr<ByteSource> OpenTemporary(UpdateRun& run) {
  const std::string name = run.output->TempFileName();
  if (!name.empty()) {
    auto file = std::make_unique<FileSource>(name);
    if (!file->IsOpen()) return nullptr;
    return file;
  }
  auto* memory = dynamic_cast<TCustomMemoryStream32*>(&run.output->Stream());
  if (memory == nullptr) return nullptr;
  const auto size = static_cast<size_t>(memory->Size());
  return std::make_unique<MemorySource>(std::span<const uint8_t>(memory->Memory(), size));
}

}  // namespace

TDiskSpanObj::TDiskSpanObj(TZipBase& zip, UpdateRun& run)
    : TDiskCommon(&zip.Drives()),
      OnInsertDisk(zip.OnInsertDisk),
      OnClearDisk(zip.OnClearDisk),
      OnDiskSpanFileExists(zip.OnDiskSpanFileExists),
      zip_(zip),
      run_(run),
      archive_(zip.ArchiveFile()),
      cancel_(zip.CancelFlag()) {}

TDiskSpanObj::~TDiskSpanObj() { CloseVolume(); }

bool TDiskSpanObj::Fail(int32_t code, const std::string& extended) {
  zip_.ReportError(archive_, extended.empty() ? zip_.EntryName() : extended,
                   std::to_string(diskNumber_), code);
  return false;
}

bool TDiskSpanObj::Run() {
  zip_.DispatchProgress(0, 0);
  const std::unique_ptr<ByteSource> temporary = OpenTemporary(run_);
  if (!temporary) return Fail(ec::OpenError);
  if (!CollectEntries(*temporary)) return false;

  diskNumber_ = 1;
  previousSerial_ = 0;
  const int64_t leave = std::max<int64_t>(zip_.LeaveSpaceOnFirstDisk(), 0);
  if (!PrepareDisk(leave + kRequiredSpace)) return false;

  // As one plain volume the entries would stand where they stand now, less
  // any program in front; that tells the directory's size exactly when the
  // archive fits, and closely enough when it does not. An archive that
  // leaves less than the usual margin free on the first disk is marked as a
  // disk set from the start, before anyone knows whether it will spill.
  int64_t entryBytes = 0;
  for (Piece& p : pieces_) {
    p.disk = 0;
    p.offset = entryBytes;
    entryBytes += p.length;
  }
  const int64_t dirSize = DirectorySize(CentralRecords());
  const auto endSize = static_cast<int64_t>(EndRecords(0, static_cast<uint64_t>(entryBytes),
                                                       static_cast<uint64_t>(dirSize), 0,
                                                       static_cast<uint64_t>(entryBytes + dirSize))
                                                .size());
  if (entryBytes + dirSize + endSize + kRequiredSpace > free_) {
    std::array<uint8_t, 4> marker{};
    ByteWriter(marker).u32(kSpanMarkerSig);
    if (!WriteWithDiskChange(marker.data(), static_cast<int64_t>(marker.size()))) return false;
  }

  const auto total = static_cast<int64_t>(pieces_.size());
  int64_t done = 0;
  for (Piece& p : pieces_) {
    // A cancelled run has no archive: the directory would name entries
    // that are not on the disks.
    if (*cancel_) return false;
    zip_.SetEntryName(run_.headers[p.index].name);
    if (!RoomFor(p.header)) return false;
    p.disk = static_cast<uint32_t>(ZipDiskNumber());
    p.offset = volumeLength_;
    if (!CopyWithDiskChange(*temporary, p.source, p.header)) return false;
    ++done;
    const uint8_t percent = TZipCommon::Percent(total, done);
    zip_.DispatchProgress(percent, percent);
    if (!CopyWithDiskChange(*temporary, p.source + p.header, p.length - p.header)) return false;
    zip_.dialogs.PumpMessages();
  }
  zip_.SetEntryName("");
  if (*cancel_) return false;
  if (!WriteDirectory()) return false;
  return CloseVolume();
}

bool TDiskSpanObj::CollectEntries(ByteSource& from) {
  pieces_.clear();
  for (int32_t i = 0; i < run_.headers.Count(); ++i) {
    if (run_.headers[i].action == EntryAction::Drop) continue;
    Piece p;
    p.index = i;
    p.source = static_cast<int64_t>(run_.headers[i].offset);
    pieces_.push_back(p);
  }
  // The entries stand one after the other in list order, the last one
  // reaching the end of the temporary archive; each one's extent is what
  // lies up to the next, a data descriptor included.
  const int64_t end = from.Size();
  int64_t floor = run_.stubLength;
  for (size_t k = 0; k < pieces_.size(); ++k) {
    Piece& p = pieces_[k];
    const CompHeader& e = run_.headers[p.index];
    zip_.SetEntryName(e.name);
    const int64_t next = k + 1 < pieces_.size() ? pieces_[k + 1].source : end;
    if (p.source < floor || next > end || next - p.source < static_cast<int64_t>(kLocalHeaderLen)) {
      return Fail(ec::BadFileHeader);
    }
    const RecordRead<LocalRecord> local = ReadLocalRecord(from, p.source);
    if (!local) return Fail(ec::BadFileHeader);
    const uint64_t header = local->headerLength;
    if (header + e.compressedSize > static_cast<uint64_t>(next - p.source)) {
      return Fail(ec::BadFileHeader);
    }
    p.length = next - p.source;
    p.header = static_cast<int64_t>(header);
    floor = next;
  }
  zip_.SetEntryName("");
  return true;
}

bool TDiskSpanObj::WriteWithDiskChange(const uint8_t* data, int64_t count) {
  while (count > 0) {
    if (*cancel_) return false;
    if (free_ <= 0 && !NextDisk()) return false;
    const auto n = static_cast<int32_t>(std::min({count, free_, kCopyBlock}));
    errno = 0;
    const int32_t written = volume_->Write(data, n);
    const int error = errno;
    if (written > 0) freshDisk_ = false;
    volumeLength_ += written;
    free_ -= written;
    data += written;
    count -= written;
    if (written < n) {
      // The disk is full before its free space said so (file system
      // overhead): what is left goes onto the next disk.
      if (!IsDiskFullError(nullptr, error)) return Fail(ec::WriteError);
      if (written == 0 && freshDisk_) return Fail(ec::DiskFull);
      free_ = 0;
    }
  }
  return true;
}

bool TDiskSpanObj::CopyWithDiskChange(ByteSource& from, int64_t offset, int64_t count) {
  std::vector<uint8_t> block(static_cast<size_t>(std::min(count, kCopyBlock)));
  while (count > 0) {
    if (*cancel_) return false;
    const auto n = static_cast<int32_t>(std::min(count, kCopyBlock));
    if (from.ReadAt(offset, block.data(), n) != n) return Fail(ec::ReadError);
    if (!WriteWithDiskChange(block.data(), n)) return false;
    offset += n;
    count -= n;
  }
  return true;
}

std::vector<std::vector<uint8_t>> TDiskSpanObj::CentralRecords() const {
  std::vector<std::vector<uint8_t>> records;
  records.reserve(pieces_.size());
  for (const Piece& p : pieces_) {
    const CompHeader& e = run_.headers[p.index];
    CentralRecordParts parts;
    parts.header = e.central;
    parts.header.diskNumberStart = static_cast<uint16_t>(p.disk);
    parts.name = e.Stored();
    parts.compressedSize = e.compressedSize;
    parts.uncompressedSize = e.uncompressedSize;
    parts.localHeaderOffset = static_cast<uint64_t>(p.offset);
    parts.localZip64 = e.localZip64;
    parts.otherExtra = e.centralExtra;
    parts.comment = e.comment;
    parts.encipher = e.encipheredHeaders;
    records.push_back(CentralRecordBytes(parts));
  }
  return records;
}

std::vector<uint8_t> TDiskSpanObj::EndRecords(uint32_t dirDisk, uint64_t dirOffset,
                                              uint64_t dirSize, uint32_t endDisk,
                                              uint64_t here) const {
  // A disk set carries no archive comment.
  return EndOfDirectoryBytes(pieces_.size(), dirSize, dirOffset, here, {}, dirDisk, endDisk);
}

bool TDiskSpanObj::RoomFor(int64_t size) {
  // Only what an empty disk cannot hold either is cut.
  if (size <= free_ || freshDisk_) return true;
  return NextDisk();
}

template <class Build>
bool TDiskSpanObj::WriteWhole(Build build) {
  for (;;) {
    if (*cancel_) return false;
    std::vector<uint8_t> bytes = build(static_cast<uint32_t>(ZipDiskNumber()), volumeLength_);
    const auto size = static_cast<int64_t>(bytes.size());
    if (size > free_ && !freshDisk_) {
      if (!NextDisk()) return false;
      continue;
    }
    const int64_t start = volumeLength_;
    errno = 0;
    const int32_t written = volume_->Write(bytes.data(), static_cast<int32_t>(size));
    const int error = errno;
    if (written == size) {
      volumeLength_ += size;
      free_ -= size;
      freshDisk_ = false;
      return true;
    }
    // Take back what went out and start them afresh on the next disk.
    if (!IsDiskFullError(nullptr, error) || freshDisk_) {
      return Fail(written == 0 && freshDisk_ ? ec::DiskFull : ec::WriteError);
    }
    volume_->SetSize(start);
    free_ = 0;
    if (!NextDisk()) return false;
  }
}

bool TDiskSpanObj::WriteDirectory() {
  const std::vector<std::vector<uint8_t>> records = CentralRecords();
  const int64_t dirSize = DirectorySize(records);
  // From a further disk when this one has no room for the directory and its
  // end but an empty one would hold them.
  const auto endSize = static_cast<int64_t>(
      EndRecords(0, static_cast<uint64_t>(volumeLength_), static_cast<uint64_t>(dirSize), 0, 0)
          .size());
  const int64_t leave = diskNumber_ == 1 ? std::max<int64_t>(zip_.LeaveSpaceOnFirstDisk(), 0) : 0;
  const bool wholeFits = dirSize + endSize <= info_.totalBytes - leave;
  if (free_ <= 0 || (dirSize + endSize > free_ && wholeFits && !freshDisk_)) {
    if (!NextDisk()) return false;
  }
  if (!records.empty() && !RoomFor(static_cast<int64_t>(records.front().size()))) return false;
  const auto dirDisk = static_cast<uint32_t>(ZipDiskNumber());
  const auto dirOffset = static_cast<uint64_t>(volumeLength_);
  for (const std::vector<uint8_t>& record : records) {
    const auto size = static_cast<int64_t>(record.size());
    if (!RoomFor(size) || !WriteWithDiskChange(record.data(), size)) return false;
  }
  return WriteWhole([&](uint32_t disk, int64_t here) {
    return EndRecords(dirDisk, dirOffset, static_cast<uint64_t>(dirSize), disk,
                      static_cast<uint64_t>(here));
  });
}

}  // namespace arc
