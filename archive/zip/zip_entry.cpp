//===-- zip/zip_entry.cpp - Compressing one file into an entry ------------===//
//
// The order of the writes for one file:
//
//   local header (prepared) + name [+ Zip64 block]    at the entry's offset
//   [12-byte encryption header]                        after a CRC pre-pass
//   data: stored, or deflated (small files through memory, falling back to
//         storing when deflating would enlarge them)
//   local header + name [+ Zip64 block] again          with the final values
//
// The entry's central record is kept in the header list for the directory.
// A failed write raises and ends the whole update; a source that cannot be
// opened only drops its entry.
//
//===----------------------------------------------------------------------===//
#include <algorithm>
#include <array>
#include <ctime>
#include <span>

#include "core/error_codes.h"
#include "support/cp437.h"
#include "support/dos_time.h"
#include "support/names.h"
#include "support/paths.h"
#include "support/stream_adapters.h"
#include "support/stream_memory.h"
#include "support/stream_ops.h"
#include "unzip/byte_reader.h"
#include "zip/update_run.h"
#include "zip/zip.h"
#include "zip/zip_layout.h"

namespace arc {
namespace {

/// Files shorter than this are deflated into memory first, so that one that
/// deflating would enlarge can be stored instead.
constexpr int64_t kSmallFile = 257;

/// A handler of OnRenameFile that keeps answering with names already taken
/// must not hold the update forever.
constexpr int kMaxRenameQuestions = 1000;

uint16_t LevelBits(TDeflateType type) {
  switch (type) {
    case dtDeflateF: return kFlagDeflateFast;
    case dtDeflateX: return kFlagDeflateMaximum;
    case dtDeflateS:
    case dtDeflateN: break;
  }
  return 0;
}

/// The extension of a stored name, with its dot; empty without one.
std::string ExtensionOf(const std::string& name) {
  const std::string file = ExtractFileName(name);
  const size_t dot = file.find_last_of('.');
  return dot == std::string::npos ? std::string() : file.substr(dot);
}

}  // namespace

std::string TZipBase::StoredBytesOf(const std::string& localName, uint16_t& flags) const {
  flags = static_cast<uint16_t>(flags & ~kFlagUtf8Name);
  const std::string name = LocalToStoredName(localName, false);
  if (IsAscii(name)) return name;
  if (TranslateOemChar()) {
    const std::string oem = LocalToOem(name, true);
    // Only a name that comes back unchanged is stored in the OEM code page;
    // any other is kept as UTF-8 and marked so, rather than mangled.
    if (Cp437ToUtf8(oem) == name) return oem;
  }
  flags = static_cast<uint16_t>(flags | kFlagUtf8Name);
  return name;
}

uint32_t TZipBase::EntryDate(const TUpdateRun& run, uint32_t fileDate) const {
  switch (DateAttribute()) {
    case daSysDate: return FileTimeToDos(std::time(nullptr));
    case daMaxFileDate: return run.MaxFileDate != 0 ? run.MaxFileDate : fileDate;
    case daFileDate: break;
  }
  return fileDate;
}

bool TZipBase::CompressFile(TUpdateRun& run, int32_t index) {
  TStream32& out = run.Output->Stream();
  if (CompressMethod() == cmStore) SetDeflateType(dtDeflateS);

  TCompHeader* e = &run.Headers[index];
  const std::string temp = run.Output->TempFileName();
  if (!temp.empty() && e->SourcePath == temp) return false;

  std::string stored = e->StoredName;
  SetEntryName(stored);
  bool go = true;
  Fire(OnBegin, this, stored, index + 1, go);
  if (!go) return false;
  if (OnRenameFile) {
    const std::string dir = ExtractFilePath(stored);
    for (int question = 0; question < kMaxRenameQuestions; ++question) {
      std::string answer;
      OnRenameFile(this, stored, answer);
      const std::string file = ExtractFileName(answer);
      if (file.empty()) break;
      const std::string candidate = dir + file;
      if (SameTextIgnoringCase(candidate, stored)) break;
      if (run.Headers.IndexOf(candidate) >= 0) continue;
      stored = candidate;
      break;
    }
  }
  e = &run.Headers[index];
  e->StoredName = stored;
  SetEntryName(stored);

  std::string ext = ExtensionOf(stored);
  const TStrings& types = StoreFilesOfType();
  bool store = DeflateType() == dtDeflateS ||
               (!ext.empty() && std::any_of(types.begin(), types.end(), [&](const std::string& t) {
                 return SameTextIgnoringCase(t, ext);
               }));

  TFileStream32 source(e->SourcePath, fmOpenRead | fmShareDenyNone);
  if (!source.Valid()) {
    ReportError(e->SourcePath, "", "0", ec::OpenError);
    return false;
  }
  source.Cancel = CancelFlag();
  const int64_t size = source.Size();
  if (size < 0) {
    ReportError(e->SourcePath, "", "0", ec::ReadError);
    return false;
  }
  const bool encrypt = !Password().empty() && size > 0;
  if (size == 0) store = true;

  SetRunningCrc(kCrc32Init);
  TProgressTotals& totals = Totals();
  totals.FileSize = size;
  const int64_t remaining_before = totals.Remaining;

  uint16_t flags = 0;
  const std::string name = StoredBytesOf(stored, flags);
  if (name.size() > 0xFFFF) {
    ReportError(e->SourcePath, "", "0", ec::InvalidFileName);
    return false;
  }
  const bool zip64 = static_cast<uint64_t>(size) >= kZip64LocalThreshold;

  LocalHeader lh;
  lh.signature = BuildSignature(RecordKind::Local, EncryptHeaders());
  lh.versionNeeded = zip64 ? kVersionZip64 : kVersionDefault;
  lh.method = store ? kMethodStored : kMethodDeflated;
  lh.dosDateTime = EntryDate(run, e->FileDate);
  lh.uncompressedSize = zip64 ? kZip64Marker32 : static_cast<uint32_t>(size);
  lh.nameLength = static_cast<uint16_t>(name.size());
  lh.extraLength = zip64 ? static_cast<uint16_t>(kZip64LocalBlockLen) : 0;

  const int64_t offset = out.Seek(0, TSeekOrigin::soEnd);
  const std::vector<uint8_t> prepared = LocalHeaderBytes(lh, name, zip64, size, 0, false);
  out.WriteBuffer(prepared.data(), static_cast<int32_t>(prepared.size()));
  const int64_t data_start = out.Position();

  uint32_t crc = 0;
  if (encrypt) {
    TransferControl pre;
    pre.Cancel = CancelFlag();
    const uint32_t reg =
        StreamCrc32(source, pre, CancelFlag(), nullptr, 0, [this] { Dialogs.PumpMessages(); });
    if (Cancel()) return false;
    crc = reg ^ 0xFFFFFFFFu;
    std::array<uint8_t, kEncryptionHeaderLen> header{};
    Cipher().MakeEncryptionHeader(Password(), crc, header);
    out.WriteBuffer(header.data(), static_cast<int32_t>(header.size()));
  }

  TransferControl control;
  control.Encrypted = encrypt;
  control.CRC = kCrc32Init;
  control.Remaining = &totals.Remaining;
  control.Cancel = CancelFlag();
  control.Cipher = [this](uint8_t* data, uint32_t count) {
    Cipher().Encipher(std::span<uint8_t>(data, count));
  };
  const TProgressHandler progress = [this, size, remaining_before](TStream32&) {
    DoProgress(Totals().Total, size, remaining_before - Totals().Remaining);
  };
  const auto pump = [this] { Dialogs.PumpMessages(); };

  bool data_ok = true;
  if (!store && size < kSmallFile) {
    // Deflated in memory and plain, so that storing instead needs no new
    // encryption header: the cipher has not moved past the first one.
    TMemoryStream32 memory;
    TransferControl plain;
    plain.Cancel = CancelFlag();
    uint32_t deflated_crc = 0;
    data_ok = DeflateStream(source, memory, plain, kDeflateWindowBits, nullptr, DeflateType(),
                            deflated_crc, pump);
    if (data_ok && memory.Size() > size) {
      store = true;
      source.SetPosition(0);
    } else if (data_ok) {
      if (!encrypt) crc = deflated_crc;
      std::vector<uint8_t> bytes(memory.Memory(), memory.Memory() + memory.Size());
      if (encrypt) Cipher().Encipher(bytes);
      out.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
      totals.Remaining -= size;
      progress(source);
    }
  } else if (!store) {
    uint32_t deflated_crc = 0;
    data_ok = DeflateStream(source, out, control, kDeflateWindowBits, progress, DeflateType(),
                            deflated_crc, pump);
    if (!encrypt) crc = deflated_crc;
  }
  if (data_ok && store && size > 0) {
    TStoreStream adapter(out, progress, CancelFlag(), control, kCrcKind32);
    adapter.ProcessMessages = pump;
    adapter.StoreFrom(source);
    if (!encrypt) crc = adapter.Control.CRC ^ 0xFFFFFFFFu;
  }
  if (Cancel()) data_ok = false;
  if (!data_ok) {
    // Not cancelled: the engine could not be started or made no progress.
    if (!Cancel()) ReportError(e->SourcePath, stored, "0", ec::OutOfMemory);
    Fire(OnEnd, this, stored, false);
    return false;
  }

  const int64_t end = out.Seek(0, TSeekOrigin::soEnd);
  const auto compressed = static_cast<uint64_t>(end - data_start);
  if (!zip64 && (compressed >= kZip64Marker32 || static_cast<uint64_t>(size) >= kZip64Marker32)) {
    RaiseError(ArchiveFile(), stored, "0", ec::MaxFileSizeExceeded);
    return false;
  }
  lh.method = store ? kMethodStored : kMethodDeflated;
  lh.flags = flags;
  if (encrypt) lh.flags |= kFlagEncrypted;
  if (lh.method == kMethodDeflated) lh.flags |= LevelBits(DeflateType());
  lh.crc32 = crc;
  lh.compressedSize = zip64 ? kZip64Marker32 : static_cast<uint32_t>(compressed);

  // The final header goes over the prepared one. A failure here would leave
  // an entry whose header contradicts its data, so it ends the update.
  const std::vector<uint8_t> final_header =
      LocalHeaderBytes(lh, name, zip64, static_cast<uint64_t>(size), compressed, EncryptHeaders());
  out.SetPosition(offset);
  out.WriteBuffer(final_header.data(), static_cast<int32_t>(final_header.size()));
  out.Seek(0, TSeekOrigin::soEnd);

  e = &run.Headers[index];
  e->StoredBytes = name;
  e->Offset = static_cast<uint64_t>(offset);
  e->CompressedSize = compressed;
  e->UncompressedSize = static_cast<uint64_t>(size);
  e->FileSize = size;
  e->EncipheredHeaders = EncryptHeaders();
  e->LocalZip64 = zip64;
  e->CentralExtra.clear();
  CentralHeader& c = e->Central;
  c = CentralHeader{};
  c.versionMadeBy = VersionMadeBy(lh.flags, lh.versionNeeded);
  c.versionNeeded = lh.versionNeeded;
  c.flags = lh.flags;
  c.method = lh.method;
  c.dosDateTime = lh.dosDateTime;
  c.crc32 = crc;
  c.nameLength = lh.nameLength;
  c.internalAttributes = 1;
  c.externalAttributes = AttributesToStore(e->Attributes);
  SetRunningCrc(crc ^ 0xFFFFFFFFu);
  Fire(OnEnd, this, stored, true);
  return true;
}

bool TZipBase::WriteDirectoryEntry(TUpdateRun& run, int32_t index) {
  TStream32& out = run.Output->Stream();
  TCompHeader& e = run.Headers[index];
  uint16_t flags = 0;
  const std::string name = StoredBytesOf(e.StoredName, flags);
  if (name.size() > 0xFFFF) {
    ReportError(e.SourcePath, "", "0", ec::InvalidFileName);
    return false;
  }
  LocalHeader lh;
  lh.signature = BuildSignature(RecordKind::Local, EncryptHeaders());
  lh.versionNeeded = kVersionDefault;
  lh.flags = flags;
  lh.method = kMethodStored;
  lh.dosDateTime = EntryDate(run, e.FileDate);
  lh.nameLength = static_cast<uint16_t>(name.size());
  const int64_t offset = out.Seek(0, TSeekOrigin::soEnd);
  const std::vector<uint8_t> bytes = LocalHeaderBytes(lh, name, false, 0, 0, EncryptHeaders());
  out.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));

  e.StoredBytes = name;
  e.Offset = static_cast<uint64_t>(offset);
  e.CompressedSize = 0;
  e.UncompressedSize = 0;
  e.EncipheredHeaders = EncryptHeaders();
  e.LocalZip64 = false;
  e.CentralExtra.clear();
  e.Central = CentralHeader{};
  e.Central.versionMadeBy = VersionMadeBy(flags, kVersionDefault);
  e.Central.versionNeeded = kVersionDefault;
  e.Central.flags = flags;
  e.Central.dosDateTime = lh.dosDateTime;
  e.Central.nameLength = lh.nameLength;
  e.Central.internalAttributes = 1;
  e.Central.externalAttributes = AttributesToStore(e.Attributes) | kAttrDirectory;
  return true;
}

}  // namespace arc
