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
#include "unzip/arc_detect.h"
#include "unzip/end_record.h"
#include <arc/unzip/mask_select.h>
#include "unzip/record_walk.h"
#include "zip/update_run.h"
#include <arc/zip/zip.h>

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

/// True when every entry of the archive can be found: its directory walked
/// to the count the end record gives, or, without one, its local headers up
/// to the end of the archive.
bool AllEntriesFound(ByteSource& file, const TArcOpenState& open,
                     const std::function<bool()>& stop) {
  if (HasHeader(open.HeaderState, htCentral)) {
    return WalkCentralDirectory(file, open, stop, [](const CentralRecord&, int64_t) {}).Complete();
  }
  if (open.HeaderState == htLocal) {
    return WalkLocalHeaders(file, open.DataOffset, stop, [](const LocalEntry&) {}).Complete();
  }
  return false;
}

/// The comment of the end record that opening found.
std::vector<uint8_t> ReadArchiveComment(ByteSource& file, const TArcOpenState& open) {
  if (!HasHeader(open.HeaderState, htEnding) || open.CommentPos <= 0) return {};
  return file.ReadVector(open.CommentPos, open.CommentLength);
}

}  // namespace

bool TZipBase::OpenOldArchive(TUpdateRun& run) {
  run.OldSource = std::make_unique<FileSource>(ArchiveFile());
  run.OldStream = std::make_unique<TFileStream32>(ArchiveFile(), fmOpenRead | fmShareDenyWrite);
  if (!run.OldSource->IsOpen() || !run.OldStream->Valid()) {
    ReportError(ArchiveFile(), "", "0", ec::OpenError);
    return false;
  }
  run.OldStream->Cancel = CancelFlag();
  if (run.OldSource->Size() == 0) {
    // An empty file holds no entries; the new archive takes its place.
    run.OldType = atZip;
    return true;
  }
  DetectType();
  run.OldType = ArcType();
  run.OldOpen = OpenState();
  old_central_pos_ = run.OldOpen.DataOffset;
  bool single_volume = true;
  if (run.OldType == atZipMV || run.OldType == atZipDS) {
    // A volume set can be updated only when this file holds all of it.
    single_volume = run.OldOpen.EndVolume == 0 && run.OldOpen.DirectoryVolume == 0;
  }
  if (!IsZipType(run.OldType) || !single_volume) {
    ReportError(ArchiveFile(), "", "0", ec::UnsupportedArchiveType);
    return false;
  }
  if (!AllEntriesFound(*run.OldSource, run.OldOpen, [this] { return Cancel(); })) {
    ReportError(ArchiveFile(), "", "0", ec::BadFileHeader);
    return false;
  }
  run.ArchiveComment = ReadArchiveComment(*run.OldSource, run.OldOpen);
  return true;
}

void TZipBase::LoadOldDirectory(TUpdateRun& run) {
  if (!run.OldSource || run.OldSource->Size() == 0) return;
  const TArcOpenState& open = run.OldOpen;
  auto stop = [this] { return Cancel(); };
  auto mark = [this, &run](TCompHeader& e) {
    if (Switch() != swDelete) return;
    std::vector<std::string> spec = FileSpec();
    if (SelectStoredName(e.Name, spec, ExcludeSpec(), RecurseDirs())) {
      e.Action = TEntryAction::Drop;
      ++run.MarkedForDelete;
    }
  };

  if (HasHeader(open.HeaderState, htCentral)) {
    WalkCentralDirectory(*run.OldSource, open, stop, [&](const CentralRecord& rec, int64_t) {
      TCompHeader e;
      e.StoredBytes.assign(rec.storedName.begin(), rec.storedName.end());
      e.Name = StoredNameToLocal(rec.storedName, rec.header.flags, TranslateOemChar());
      e.Central = rec.header;
      e.Action = TEntryAction::Copy;
      e.Offset = rec.extent.localHeaderOffset +
                 static_cast<uint64_t>(static_cast<int64_t>(open.OffsetAdjustment));
      e.CompressedSize = rec.extent.compressedSize;
      e.UncompressedSize = rec.extent.uncompressedSize;
      e.EncipheredHeaders = rec.encipheredHeader;
      e.CentralExtra = OtherExtraBlocks(rec.extra);
      e.Comment.assign(rec.comment.begin(), rec.comment.end());
      e.FileSize = static_cast<int64_t>(e.UncompressedSize);
      e.FileDate = rec.header.dosDateTime;
      e.Attributes = rec.header.externalAttributes & 0xFF;
      e.FromOldArchive = true;
      mark(e);
      run.Headers.Add(std::move(e));
    });
  } else if (open.HeaderState == htLocal) {
    WalkLocalHeaders(*run.OldSource, open.DataOffset, stop, [&](const LocalEntry& found) {
      const LocalRecord& rec = found.record;
      TCompHeader e;
      e.StoredBytes.assign(rec.storedName.begin(), rec.storedName.end());
      e.Name = StoredNameToLocal(rec.storedName, rec.header.flags, TranslateOemChar());
      if (e.Name.empty()) return;
      CentralHeader& c = e.Central;
      c.versionMadeBy = rec.header.versionNeeded;
      c.versionNeeded = rec.header.versionNeeded;
      c.flags = rec.header.flags;
      c.method = rec.header.method;
      c.dosDateTime = rec.header.dosDateTime;
      c.crc32 = found.crc32;  // the data descriptor's, where the sizes follow the data
      c.nameLength = rec.header.nameLength;
      c.internalAttributes = 1;
      c.externalAttributes = e.Name.back() == '/' ? kAttrDirectory : kAttrArchive;
      e.Action = TEntryAction::Copy;
      e.Offset = static_cast<uint64_t>(found.at);
      e.CompressedSize = found.compressedSize;
      e.UncompressedSize = found.uncompressedSize;
      e.EncipheredHeaders = rec.encipheredHeader;
      e.FileSize = static_cast<int64_t>(e.UncompressedSize);
      e.FileDate = c.dosDateTime;
      e.Attributes = c.externalAttributes;
      e.FromOldArchive = true;
      mark(e);
      run.Headers.Add(std::move(e));
    });
  }

  // A self-extracting archive's program stands before its first entry.
  if (run.OldType == atZipExe || run.OldType == atJarExe) {
    uint64_t first =
        HasHeader(open.HeaderState, htCentral) ? static_cast<uint64_t>(open.DataOffset) : 0;
    bool any = false;
    for (const TCompHeader& e : run.Headers) {
      first = any ? std::min(first, e.Offset) : e.Offset;
      any = true;
    }
    run.StubLength = static_cast<int64_t>(
        std::min<uint64_t>(first, static_cast<uint64_t>(run.OldSource->Size())));
  }
}

void TZipBase::ReadEntries() {
  FileSource file(ArchiveFile());
  if (!file.IsOpen()) {
    ReportError(ArchiveFile(), "", "0", ec::OpenError);
    return;
  }
  if (!OnRead) {
    ReportError(ArchiveFile(), "OnRead", "0", ec::RequiredEvent);
    return;
  }
  DetectType();
  const TArcOpenState open = OpenState();
  auto stop = [this] { return Cancel(); };
  int32_t number = 0;
  if (HasHeader(open.HeaderState, htCentral)) {
    WalkCentralDirectory(file, open, stop, [&](const CentralRecord& rec, int64_t at) {
      OnRead(this, at + static_cast<int64_t>(rec.recordLength), ++number);
    });
  } else if (open.HeaderState == htLocal) {
    WalkLocalHeaders(file, open.DataOffset, stop, [&](const LocalEntry& found) {
      OnRead(this, found.next, ++number);
    });
  }
}

}  // namespace arc
