//===-- zip/zip_load.cpp - Reading the old archive's directory ------------===//
//
// An update starts from the entries of the archive it replaces. They come
// from the central directory, or, where the archive has none, from its local
// headers in turn, by the same walks the reader lists them with. Every
// length and offset is checked against the file before it is used, and
// nothing is allocated from a count found in the file.
//
// Only single-file ZIP archives are updated. Any other kind of file is left
// alone (25244): an update would replace it with an archive of its own. An
// archive whose entries cannot all be found is left alone too (25114): the
// new archive would lack the ones that were not.
//
//===----------------------------------------------------------------------===//
#include <algorithm>
#include <functional>

#include <arc/support/error_codes.h>
#include <arc/support/paths.h>
#include <arc/unzip/mask_select.h>
#include <arc/zip/zip.h>
#include "support/window_source.h"
#include "unzip/arc_detect.h"
#include "unzip/end_record.h"
#include "unzip/record_walk.h"
#include "zip/zip_updater.h"

namespace arc {
namespace {

/// The extra-field blocks of a central record without the size blocks,
/// which the directory writer makes anew for every record.
std::vector<uint8_t> OtherExtraBlocks(std::span<const uint8_t> extra) {
  std::vector<uint8_t> kept;
  ExtraBlockReader blocks(extra);
  ExtraBlock block;
  while (blocks.Next(block)) {  // a damaged tail is not carried over
    if (block.tag == kExtraZip64 || block.tag == kExtraHighParts) continue;
    kept.insert(kept.end(), block.whole.begin(), block.whole.end());
  }
  return kept;
}

/// The comment of the end record that opening found, or of the end record
/// an archive without entries begins with (opening does not look there).
std::vector<uint8_t> ReadArchiveComment(ByteSource& file, const ArcOpenState& open) {
  if (HasHeader(open.headerState, htEnding) && open.commentPos > 0) {
    return file.ReadVector(open.commentPos, open.commentLength);
  }
  const RecordRead<EndRecord> end = ReadEndRecord(file, 0);
  if (!end || end->totalEntries != 0 ||
      static_cast<int64_t>(end->FixedLength()) + end->commentLength != file.Size()) {
    return {};
  }
  return file.ReadVector(static_cast<int64_t>(end->FixedLength()), end->commentLength);
}

}  // namespace

bool ZipUpdater::OpenOldArchive() {
  auto file = std::make_unique<FileSource>(z_.ArchiveFile());
  const bool opened = file->IsOpen();
  run_.oldSource = std::make_unique<WindowSource>(std::move(file));
  run_.oldStream = std::make_unique<TFileStream32>(z_.ArchiveFile(), fmOpenRead | fmShareDenyWrite);
  if (!opened || !run_.oldStream->Valid()) {
    z_.ReportError(z_.ArchiveFile(), "", "0", ec::OpenError);
    return false;
  }
  run_.oldStream->Cancel = z_.CancelFlag();
  if (run_.oldSource->Size() == 0) {
    // An empty file holds no entries; the new archive takes its place.
    run_.oldType = atZip;
    return true;
  }
  z_.DetectType();
  run_.oldType = z_.ArcType();
  run_.oldOpen = z_.OpenState();
  bool singleVolume = true;
  if (run_.oldType == atZipMV || run_.oldType == atZipDS) {
    // A volume set can be updated only when this file holds all of it.
    singleVolume = run_.oldOpen.endVolume == 0 && run_.oldOpen.directoryVolume == 0;
  }
  if (!IsZipType(run_.oldType) || !singleVolume) {
    z_.ReportError(z_.ArchiveFile(), "", "0", ec::UnsupportedArchiveType);
    return false;
  }
  if (!LoadOldDirectory()) {
    run_.headers.Clear();
    run_.markedForDelete = 0;
    z_.ReportError(z_.ArchiveFile(), "", "0", ec::BadFileHeader);
    return false;
  }
  run_.archiveComment = ReadArchiveComment(*run_.oldSource, run_.oldOpen);
  return true;
}

bool ZipUpdater::LoadOldDirectory() {
  const ArcOpenState& open = run_.oldOpen;
  auto stop = [this] { return z_.Cancel(); };
  auto mark = [this](CompHeader& e) {
    if (z_.Switch() != swDelete) return;
    std::vector<std::string> spec = z_.FileSpec();
    if (SelectStoredName(e.name, spec, z_.ExcludeSpec(), z_.RecurseDirs())) {
      e.action = EntryAction::Drop;
      ++run_.markedForDelete;
    }
  };

  // Every entry must be found: the directory walked to the count the end
  // record gives, or, without one, the local headers up to the end of the
  // archive.
  bool complete = false;
  if (HasHeader(open.headerState, htCentral)) {
    auto add = [&](const CentralRecord& rec, int64_t) {
      CompHeader e;
      e.storedBytes.assign(rec.storedName.begin(), rec.storedName.end());
      e.name = StoredNameToLocal(rec.storedName, rec.header.flags, z_.TranslateOemChar());
      e.central = rec.header;
      e.action = EntryAction::Copy;
      e.offset = rec.extent.localHeaderOffset +
                 static_cast<uint64_t>(static_cast<int64_t>(open.offsetAdjustment));
      e.compressedSize = rec.extent.compressedSize;
      e.uncompressedSize = rec.extent.uncompressedSize;
      e.encipheredHeaders = rec.encipheredHeader;
      e.centralExtra = OtherExtraBlocks(rec.extra);
      e.comment.assign(rec.comment.begin(), rec.comment.end());
      e.fileSize = static_cast<int64_t>(e.uncompressedSize);
      e.fileDate = rec.header.dosDateTime;
      e.Attributes = rec.header.externalAttributes & 0xFF;
      e.fromOldArchive = true;
      mark(e);
      run_.headers.Add(std::move(e));
    };
    complete = WalkCentralDirectory(*run_.oldSource, open, stop, add).Complete();
  } else if (open.headerState == htLocal) {
    auto add = [&](const LocalEntry& found) {
      const LocalRecord& rec = found.record;
      CompHeader e;
      e.storedBytes.assign(rec.storedName.begin(), rec.storedName.end());
      e.name = StoredNameToLocal(rec.storedName, rec.header.flags, z_.TranslateOemChar());
      if (e.name.empty()) return;
      CentralHeader& c = e.central;
      c.versionMadeBy = rec.header.versionNeeded;
      c.versionNeeded = rec.header.versionNeeded;
      c.flags = rec.header.flags;
      c.method = rec.header.method;
      c.dosDateTime = rec.header.dosDateTime;
      c.crc32 = found.crc32;  // the data descriptor's, where the sizes follow the data
      c.nameLength = rec.header.nameLength;
      c.internalAttributes = 1;
      c.externalAttributes = e.name.back() == '/' ? kAttrDirectory : kAttrArchive;
      e.action = EntryAction::Copy;
      e.offset = static_cast<uint64_t>(found.at);
      e.compressedSize = found.compressedSize;
      e.uncompressedSize = found.uncompressedSize;
      e.encipheredHeaders = rec.encipheredHeader;
      e.fileSize = static_cast<int64_t>(e.uncompressedSize);
      e.fileDate = c.dosDateTime;
      e.Attributes = c.externalAttributes;
      e.fromOldArchive = true;
      mark(e);
      run_.headers.Add(std::move(e));
    };
    complete = WalkLocalHeaders(*run_.oldSource, open.dataOffset, stop, add).Complete();
  }

  // A self-extracting archive's program stands before its first entry.
  if (run_.oldType == atZipExe || run_.oldType == atJarExe) {
    uint64_t first =
        HasHeader(open.headerState, htCentral) ? static_cast<uint64_t>(open.dataOffset) : 0;
    bool any = false;
    for (const CompHeader& e : run_.headers) {
      first = any ? std::min(first, e.offset) : e.offset;
      any = true;
    }
    run_.stubLength = static_cast<int64_t>(
        std::min<uint64_t>(first, static_cast<uint64_t>(run_.oldSource->Size())));
  }
  return complete;
}

void ZipUpdater::ReadEntries() {
  FileSource file(z_.ArchiveFile());
  if (!file.IsOpen()) {
    z_.ReportError(z_.ArchiveFile(), "", "0", ec::OpenError);
    return;
  }
  if (!z_.OnRead) {
    z_.ReportError(z_.ArchiveFile(), "OnRead", "0", ec::RequiredEvent);
    return;
  }
  z_.DetectType();
  const ArcOpenState open = z_.OpenState();
  auto stop = [this] { return z_.Cancel(); };
  int32_t number = 0;
  if (HasHeader(open.headerState, htCentral)) {
    WalkCentralDirectory(file, open, stop, [&](const CentralRecord& rec, int64_t at) {
      z_.OnRead(&z_, at + static_cast<int64_t>(rec.recordLength), ++number);
    });
  } else if (open.headerState == htLocal) {
    WalkLocalHeaders(file, open.dataOffset, stop,
                     [&](const LocalEntry& found) { z_.OnRead(&z_, found.next, ++number); });
  }
}

}  // namespace arc
