//===-- zip/zip_load.cpp - Reading the old archive's directory ------------===//
//
// An update starts from the entries of the archive it replaces. They come
// from the central directory, or, where the archive has none, from its local
// headers in turn. Every length and offset is checked against the file
// before it is used, nothing is allocated from a count found in the file,
// and a record that cannot be read in full ends the walk.
//
// Only single-file ZIP archives are updated. Any other kind of file is left
// alone (25244): an update would replace it with an archive of its own.
//
//===----------------------------------------------------------------------===//
#include <algorithm>
#include <functional>

#include "core/error_codes.h"
#include "support/paths.h"
#include "unzip/arc_detect.h"
#include "unzip/byte_reader.h"
#include "unzip/end_record.h"
#include "unzip/mask_select.h"
#include "zip/update_run.h"
#include "zip/zip.h"

namespace arc {
namespace {

/// General-purpose flag bit 3: sizes and CRC follow the data.
constexpr uint16_t kFlagDataDescriptor = 0x0008;

/// The extra-field blocks of a central record without the size blocks,
/// which the directory writer makes anew for every record.
std::vector<uint8_t> OtherExtraBlocks(std::span<const uint8_t> extra) {
  std::vector<uint8_t> kept;
  ByteReader r(extra);
  while (r.remaining() >= kExtraBlockHeaderLen) {
    const size_t start = r.offset();
    const uint16_t tag = r.u16();
    const uint16_t size = r.u16();
    if (size > r.remaining()) break;  // a damaged tail is not carried over
    r.skip(size);
    if (tag == kExtraZip64 || tag == kExtraHighParts) continue;
    kept.insert(kept.end(), extra.begin() + static_cast<std::ptrdiff_t>(start),
                extra.begin() + static_cast<std::ptrdiff_t>(r.offset()));
  }
  return kept;
}

/// Calls `take` with each central record from `start` on and the position
/// right after it, until a record is not a central record, cannot be read in
/// full, or `stop` says so.
void WalkCentral(ByteSource& file, int64_t start, const std::function<bool()>& stop,
                 const std::function<void(const CentralRecord&, int64_t)>& take) {
  int64_t pos = start;
  std::vector<uint8_t> record;
  while (!stop()) {
    std::array<uint8_t, kCentralHeaderLen> fixed{};
    if (pos < 0 || !file.ReadExact(pos, fixed)) return;
    ByteReader r(fixed);
    const SignatureMatch match = ClassifySignature(r.u32(), RecordKind::Central);
    if (match.kind != RecordKind::Central) return;
    // The lengths of an enciphered record are readable only once deciphered.
    std::vector<uint8_t> plain(fixed.begin(), fixed.end());
    HeaderCipher cipher;
    if (match.enciphered) cipher.DecipherRecord(plain);
    const std::optional<CentralHeader> h = ParseCentralHeader(plain);
    if (!h) return;
    const size_t length = kCentralHeaderLen + size_t{h->nameLength} + size_t{h->extraLength} +
                          size_t{h->commentLength};
    record.resize(length);
    if (!file.ReadExact(pos, record)) return;
    const std::optional<CentralRecord> rec = ReadCentralRecord(record);
    if (!rec) return;
    pos += static_cast<int64_t>(rec->recordLength);
    take(*rec, pos);
  }
}

/// As WalkCentral for the local headers of an archive without a directory.
/// An entry whose sizes follow its data (flag bit 3, zero sizes) cannot be
/// stepped over and ends the walk.
void WalkLocal(ByteSource& file, int64_t start, const std::function<bool()>& stop,
               const std::function<void(const LocalRecord&, int64_t)>& take) {
  int64_t pos = start;
  std::vector<uint8_t> record;
  std::array<uint8_t, kSpanMarkerLen> marker{};
  if (file.ReadExact(pos, marker)) {
    ByteReader r(marker);
    if (r.u32() == kSpanMarkerSig) pos += kSpanMarkerLen;
  }
  while (!stop()) {
    std::array<uint8_t, kLocalHeaderLen> fixed{};
    if (pos < 0 || !file.ReadExact(pos, fixed)) return;
    std::vector<uint8_t> plain(fixed.begin(), fixed.end());
    ByteReader sig(plain);
    const SignatureMatch match = ClassifySignature(sig.u32(), RecordKind::Local);
    if (match.kind != RecordKind::Local) return;
    HeaderCipher cipher;
    if (match.enciphered) cipher.DecipherRecord(plain);
    const std::optional<LocalHeader> h = ParseLocalHeader(plain);
    if (!h) return;
    record.resize(kLocalHeaderLen + size_t{h->nameLength} + size_t{h->extraLength});
    if (!file.ReadExact(pos, record)) return;
    const std::optional<LocalRecord> rec = ReadLocalRecord(record);
    if (!rec) return;
    if (rec->extent.compressedSize == 0 && (rec->header.flags & kFlagDataDescriptor) != 0) return;
    const int64_t next = pos + static_cast<int64_t>(rec->headerLength) +
                         static_cast<int64_t>(rec->extent.compressedSize);
    if (next > file.Size() || next <= pos) return;
    take(*rec, pos);
    pos = next;
  }
}

/// The comment of the end record that opening found.
std::vector<uint8_t> ReadArchiveComment(ByteSource& file, const TArcOpenState& open) {
  if (!HasHeader(open.HeaderState, htEnding) || open.CommentPos <= 0) return {};
  for (size_t fixed : {kEndRecordLen, kEndRecord64Len}) {
    const int64_t at = open.CommentPos - static_cast<int64_t>(fixed);
    std::vector<uint8_t> bytes(fixed);
    if (at < 0 || !file.ReadExact(at, bytes)) continue;
    ByteReader sig(bytes);
    if (ClassifySignature(sig.u32(), RecordKind::End).enciphered) {
      HeaderCipher cipher;
      cipher.DecipherRecord(bytes);
    }
    const std::optional<EndRecord> end = ParseEndRecord(bytes);
    if (!end || end->FixedLength() != fixed) continue;
    return file.ReadVector(open.CommentPos, end->commentLength);
  }
  return {};
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
    single_volume = EndRecordThisVolume(run.OldOpen) == 0 && run.OldOpen.EndRecord[6] == 0 &&
                    run.OldOpen.EndRecord[7] == 0;
  }
  if (!IsZipType(run.OldType) || !single_volume) {
    ReportError(ArchiveFile(), "", "0", ec::UnsupportedArchiveType);
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
    WalkCentral(*run.OldSource, open.DataOffset, stop, [&](const CentralRecord& rec, int64_t) {
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
    WalkLocal(*run.OldSource, open.DataOffset, stop, [&](const LocalRecord& rec, int64_t pos) {
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
      c.crc32 = rec.header.crc32;
      c.nameLength = rec.header.nameLength;
      c.internalAttributes = 1;
      c.externalAttributes = e.Name.back() == '/' ? kAttrDirectory : kAttrArchive;
      e.Action = TEntryAction::Copy;
      e.Offset = static_cast<uint64_t>(pos);
      e.CompressedSize = rec.extent.compressedSize;
      e.UncompressedSize = rec.extent.uncompressedSize;
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
    WalkCentral(file, open.DataOffset, stop, [&](const CentralRecord&, int64_t after) {
      OnRead(this, after, ++number);
    });
  } else if (open.HeaderState == htLocal) {
    WalkLocal(file, open.DataOffset, stop, [&](const LocalRecord& rec, int64_t pos) {
      const int64_t after = pos + static_cast<int64_t>(rec.headerLength) +
                            static_cast<int64_t>(rec.extent.compressedSize);
      OnRead(this, after, ++number);
    });
  }
}

}  // namespace arc
