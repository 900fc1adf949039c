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
#include "support/window_source.h"
#include "unzip/arc_detect.h"
#include "unzip/end_record.h"
#include <arc/unzip/mask_select.h>
#include "unzip/record_walk.h"
#include <arc/zip/zip.h>
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

/// The comment of the end record that opening found.
std::vector<uint8_t> ReadArchiveComment(ByteSource& file, const TArcOpenState& open) {
  if (!HasHeader(open.HeaderState, htEnding) || open.CommentPos <= 0) return {};
  return file.ReadVector(open.CommentPos, open.CommentLength);
}

}  // namespace

bool ZipUpdater::OpenOldArchive() {
  auto file = std::make_unique<FileSource>(z_.ArchiveFile());
  const bool opened = file->IsOpen();
  run_.OldSource = std::make_unique<WindowSource>(std::move(file));
  run_.OldStream = std::make_unique<TFileStream32>(z_.ArchiveFile(), fmOpenRead | fmShareDenyWrite);
  if (!opened || !run_.OldStream->Valid()) {
    z_.ReportError(z_.ArchiveFile(), "", "0", ec::OpenError);
    return false;
  }
  run_.OldStream->Cancel = z_.CancelFlag();
  if (run_.OldSource->Size() == 0) {
    // An empty file holds no entries; the new archive takes its place.
    run_.OldType = atZip;
    return true;
  }
  z_.DetectType();
  run_.OldType = z_.ArcType();
  run_.OldOpen = z_.OpenState();
  bool single_volume = true;
  if (run_.OldType == atZipMV || run_.OldType == atZipDS) {
    // A volume set can be updated only when this file holds all of it.
    single_volume = run_.OldOpen.EndVolume == 0 && run_.OldOpen.DirectoryVolume == 0;
  }
  if (!IsZipType(run_.OldType) || !single_volume) {
    z_.ReportError(z_.ArchiveFile(), "", "0", ec::UnsupportedArchiveType);
    return false;
  }
  if (!LoadOldDirectory()) {
    run_.Headers.Clear();
    run_.MarkedForDelete = 0;
    z_.ReportError(z_.ArchiveFile(), "", "0", ec::BadFileHeader);
    return false;
  }
  run_.ArchiveComment = ReadArchiveComment(*run_.OldSource, run_.OldOpen);
  return true;
}

bool ZipUpdater::LoadOldDirectory() {
  const TArcOpenState& open = run_.OldOpen;
  auto stop = [this] { return z_.Cancel(); };
  auto mark = [this](TCompHeader& e) {
    if (z_.Switch() != swDelete) return;
    std::vector<std::string> spec = z_.FileSpec();
    if (SelectStoredName(e.Name, spec, z_.ExcludeSpec(), z_.RecurseDirs())) {
      e.Action = TEntryAction::Drop;
      ++run_.MarkedForDelete;
    }
  };

  // Every entry must be found: the directory walked to the count the end
  // record gives, or, without one, the local headers up to the end of the
  // archive.
  bool complete = false;
  if (HasHeader(open.HeaderState, htCentral)) {
    auto add = [&](const CentralRecord& rec, int64_t) {
      TCompHeader e;
      e.StoredBytes.assign(rec.storedName.begin(), rec.storedName.end());
      e.Name = StoredNameToLocal(rec.storedName, rec.header.flags, z_.TranslateOemChar());
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
      run_.Headers.Add(std::move(e));
    };
    complete = WalkCentralDirectory(*run_.OldSource, open, stop, add).Complete();
  } else if (open.HeaderState == htLocal) {
    auto add = [&](const LocalEntry& found) {
      const LocalRecord& rec = found.record;
      TCompHeader e;
      e.StoredBytes.assign(rec.storedName.begin(), rec.storedName.end());
      e.Name = StoredNameToLocal(rec.storedName, rec.header.flags, z_.TranslateOemChar());
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
      run_.Headers.Add(std::move(e));
    };
    complete = WalkLocalHeaders(*run_.OldSource, open.DataOffset, stop, add).Complete();
  }

  // A self-extracting archive's program stands before its first entry.
  if (run_.OldType == atZipExe || run_.OldType == atJarExe) {
    uint64_t first =
        HasHeader(open.HeaderState, htCentral) ? static_cast<uint64_t>(open.DataOffset) : 0;
    bool any = false;
    for (const TCompHeader& e : run_.Headers) {
      first = any ? std::min(first, e.Offset) : e.Offset;
      any = true;
    }
    run_.StubLength = static_cast<int64_t>(
        std::min<uint64_t>(first, static_cast<uint64_t>(run_.OldSource->Size())));
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
  const TArcOpenState open = z_.OpenState();
  auto stop = [this] { return z_.Cancel(); };
  int32_t number = 0;
  if (HasHeader(open.HeaderState, htCentral)) {
    WalkCentralDirectory(file, open, stop, [&](const CentralRecord& rec, int64_t at) {
      z_.OnRead(&z_, at + static_cast<int64_t>(rec.recordLength), ++number);
    });
  } else if (open.HeaderState == htLocal) {
    WalkLocalHeaders(file, open.DataOffset, stop, [&](const LocalEntry& found) {
      z_.OnRead(&z_, found.next, ++number);
    });
  }
}

}  // namespace arc
