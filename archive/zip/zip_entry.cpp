//===-- zip/zip_entry.cpp - Compressing one file into an entry ------------===//
//
// The order of the writes for one file:
//
//   local header (prepared) + name [+ Zip64 block] [+ AES block]
//                                                      at the entry's offset
//   data, encryption header and AES code               entry_data.cpp
//   local header + name [+ Zip64 block] [+ AES block] again
//                                                      with the final values
//
// The file is measured when it is opened and exactly that many bytes go into
// the entry, so its headers always agree with its data even when another
// program writes to the file meanwhile; a file that changed during the run
// is reported. The entry's central record is kept in the header list for the
// directory. A failed write raises and ends the whole update; a source that
// cannot be opened or read in full only drops its entry.
//
//===----------------------------------------------------------------------===//
#include <algorithm>
#include <ctime>
#include <memory>
#include <optional>

#include <arc/codec/aes_crypt.h>
#include <arc/codec/aes_extra.h>
#include <arc/support/ascii_case.h>
#include <arc/support/dos_time.h>
#include <arc/support/error_codes.h>
#include <arc/support/names.h>
#include <arc/support/paths.h>
#include <arc/zip/zip.h>
#include "codec/deflate.h"
#include "support/cp437.h"
#include "zip/entry_data.h"
#include "zip/entry_prefetch.h"
#include "zip/source_stream.h"
#include "zip/zip_layout.h"
#include "zip/zip_updater.h"

namespace arc {
namespace {

/// The key strength of an AES method; none for the traditional cipher.
std::optional<AesStrength> StrengthOf(TEncryptionMethod method) {
  switch (method) {
    case emAes128:
      return AesStrength::Aes128;
    case emAes192:
      return AesStrength::Aes192;
    case emAes256:
      return AesStrength::Aes256;
    case emTraditional:
      break;
  }
  return std::nullopt;
}

uint16_t LevelBits(TDeflateType type) {
  switch (type) {
    case dtDeflateF:
      return kFlagDeflateFast;
    case dtDeflateX:
      return kFlagDeflateMaximum;
    case dtDeflateS:
    case dtDeflateN:
      break;
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

uint32_t ZipUpdater::EntryDate(uint32_t fileDate) const {
  switch (z_.DateAttribute()) {
    case daSysDate:
      return FileTimeToDos(std::time(nullptr));
    case daMaxFileDate:
      return run_.maxFileDate != 0 ? run_.maxFileDate : fileDate;
    case daFileDate:
      break;
  }
  return fileDate;
}

bool ZipUpdater::CompressFile(int32_t index) {
  if (z_.CompressMethod() == cmStore) z_.SetDeflateType(dtDeflateS);

  CompHeader* e = &run_.headers[index];
  const std::string temp = run_.output->TempFileName();
  if (!temp.empty() && e->SourcePath() == temp) return false;

  std::string stored = e->found->storedName;
  z_.SetEntryName(stored);
  bool go = true;
  Fire(z_.OnBegin, &z_, stored, index + 1, go);
  if (!go) return false;
  if (z_.OnRenameFile) {
    // The answer names a file in the entry's own folder.
    const std::string dir = ExtractFilePath(stored);
    const std::optional<std::string> name = AskForName(stored, [&]() -> std::optional<std::string> {
      std::string answer;
      z_.OnRenameFile(&z_, stored, answer);
      const std::string file = ExtractFileName(answer);
      if (file.empty()) return std::nullopt;
      return dir + file;
    });
    if (name) stored = *name;
  }
  e = &run_.headers[index];
  const bool renamed = stored != e->found->storedName;
  e->found->storedName = stored;
  z_.SetEntryName(stored);

  // OnEnd follows OnBegin whatever becomes of the entry.
  bool written = false;
  try {
    written = WriteFileEntry(index, renamed);
  } catch (...) {
    try {
      Fire(z_.OnEnd, &z_, stored, false);
    } catch (...) {
      // The failure that ends the update is the one to report.
    }
    throw;
  }
  Fire(z_.OnEnd, &z_, stored, written);
  return written;
}

bool ZipUpdater::StoreAsked(const std::string& stored) const {
  if (z_.DeflateType() == dtDeflateS) return true;
  const std::string ext = ExtensionOf(stored);
  const TZipBase::TStrings& types = z_.StoreFilesOfType();
  return !ext.empty() && std::any_of(types.begin(), types.end(), [&](const std::string& t) {
    return SameTextIgnoringCase(t, ext);
  });
}

bool ZipUpdater::PlanName(const CompHeader& e, bool renamed, EntryPlan& plan) const {
  bool oem = false;
  if (e.fromOldArchive && !renamed && !e.storedBytes.empty()) {
    // Refreshed in its place: the name stays byte for byte what it was.
    plan.name = e.storedBytes;
    plan.nameFlags = e.central.flags & kFlagUtf8Name;
    oem = !IsAscii(plan.name) && plan.nameFlags == 0 && (e.central.versionMadeBy >> 8) != kHostUnix;
  } else {
    plan.name = StoredBytesOf(plan.storedName, z_.TranslateOemChar(), plan.nameFlags, true, &oem);
  }
  if (plan.name.size() > 0xFFFF) {
    z_.ReportError(plan.sourcePath, "", "0", ec::InvalidFileName);
    return false;
  }
  // Peers read an unflagged name under the Unix host as it stands, so a name
  // in the OEM code page goes under the DOS host, without the file's mode.
  plan.host = oem ? kHostDos : kHostUnix;
  return true;
}

bool ZipUpdater::WriteFileEntry(int32_t index, bool renamed) {
  const CompHeader& e = run_.headers[index];
  EntryPlan plan;
  plan.sourcePath = e.SourcePath();
  plan.storedName = e.found->storedName;
  plan.storeAsked = StoreAsked(plan.storedName);

  // A small file the workers read ahead is taken as they read it, unless it
  // changed since (OnBegin may have touched it) or the entry is no longer
  // one they may write.
  std::unique_ptr<PrefetchedFile> ahead = prefetch_ ? prefetch_->Take(index) : nullptr;
  if (ahead && (plan.storeAsked || !z_.Password().empty() ||
                DeflateLevel(z_.DeflateType()) != prefetch_->Level() ||
                !ahead->StillCurrent(plan.sourcePath)))
    ahead.reset();
  std::unique_ptr<SourceFileStream> own;
  if (!ahead) own = std::make_unique<SourceFileStream>(plan.sourcePath);
  SourceFileStream& source = ahead ? *ahead->source : *own;
  if (!source.Valid()) {
    z_.ReportError(plan.sourcePath, "", "0", ec::OpenError);
    return false;
  }
  source.Cancel = z_.CancelFlag();
  plan.size = source.Size();
  const auto size = static_cast<uint64_t>(plan.size);
  plan.encrypt = !z_.Password().empty() && size > 0;
  if (size == 0) plan.storeAsked = true;
  if (plan.encrypt) plan.aes = StrengthOf(z_.EncryptionMethod());
  if (plan.aes) {
    plan.aesBlock.vendorVersion = AesVendorVersionFor(size);
    plan.aesBlock.strength = *plan.aes;
  }

  z_.SetRunningCrc(kCrc32Init);
  z_.Totals().fileSize = plan.size;
  if (!PlanName(e, renamed, plan)) return false;
  plan.zip64 = size >= kZip64LocalThreshold;

  LocalHeader& lh = plan.header;
  lh.signature = BuildSignature(RecordKind::Local, z_.EncryptHeaders());
  lh.versionNeeded = plan.aes ? kVersionAes : plan.zip64 ? kVersionZip64 : kVersionDefault;
  lh.method = plan.aes ? kMethodAes : plan.storeAsked ? kMethodStored : kMethodDeflated;
  lh.dosDateTime = EntryDate(e.fileDate);
  lh.uncompressedSize = plan.zip64 ? kZip64Marker32 : static_cast<uint32_t>(size);
  lh.nameLength = static_cast<uint16_t>(plan.name.size());
  lh.extraLength =
      static_cast<uint16_t>((plan.zip64 ? kZip64LocalBlockLen : 0) + (plan.aes ? kAesExtraLen : 0));

  TStream32& out = run_.output->Stream();
  plan.offset = out.Seek(0, TSeekOrigin::soEnd);
  const std::vector<uint8_t> prepared = LocalHeaderBytes(lh, plan.name, plan.zip64, size, 0, false,
                                                         plan.AesBlockBytes(plan.storeAsked));
  out.WriteBuffer(prepared.data(), static_cast<int32_t>(prepared.size()));
  plan.dataStart = out.Position();

  if (!WriteEntryData(z_, *run_.output, source, plan, ahead.get())) return false;
  if (!PatchLocalHeader(plan)) return false;

  // What was written is consistent; that it may not be what the file holds
  // now is worth saying.
  const struct stat& opened = source.Opened();
  if (plan.rereadOtherBytes || source.ChangedSinceOpened() || e.fileSize != plan.size ||
      (e.fileMtime != 0 && e.fileMtime != static_cast<int64_t>(opened.st_mtim.tv_sec)))
    z_.ReportError(plan.sourcePath, plan.storedName, "0", ec::FileSizeDifferent);

  FillCentralRecord(run_.headers[index], plan, source);
  z_.SetRunningCrc(plan.crc ^ 0xFFFFFFFFu);
  return true;
}

bool ZipUpdater::PatchLocalHeader(EntryPlan& plan) {
  const auto size = static_cast<uint64_t>(plan.size);
  if (!plan.zip64 && (plan.compressed >= kZip64Marker32 || size >= kZip64Marker32)) {
    z_.RaiseError(z_.ArchiveFile(), plan.storedName, "0", ec::MaxFileSizeExceeded);
    return false;
  }
  LocalHeader& lh = plan.header;
  lh.method = plan.aes ? kMethodAes : plan.stored ? kMethodStored : kMethodDeflated;
  lh.flags = plan.nameFlags;
  if (plan.encrypt) lh.flags |= kFlagEncrypted;
  if (!plan.stored) lh.flags |= LevelBits(z_.DeflateType());
  // AE-2 stores no CRC: for a few bytes it would all but give them away.
  lh.crc32 = plan.aes && plan.aesBlock.vendorVersion == kAesVendorAe2 ? 0 : plan.crc;
  lh.compressedSize = plan.zip64 ? kZip64Marker32 : static_cast<uint32_t>(plan.compressed);

  // The final header goes over the prepared one. A failure here would leave
  // an entry whose header contradicts its data, so it ends the update.
  const std::vector<uint8_t> finalHeader =
      LocalHeaderBytes(lh, plan.name, plan.zip64, size, plan.compressed, z_.EncryptHeaders(),
                       plan.AesBlockBytes(plan.stored));
  TStream32& out = run_.output->Stream();
  out.SetPosition(plan.offset);
  out.WriteBuffer(finalHeader.data(), static_cast<int32_t>(finalHeader.size()));
  out.Seek(0, TSeekOrigin::soEnd);
  return true;
}

void ZipUpdater::FillCentralRecord(CompHeader& e, const EntryPlan& plan,
                                   const SourceFileStream& source) {
  const LocalHeader& lh = plan.header;
  e.storedBytes = plan.name;
  e.offset = static_cast<uint64_t>(plan.offset);
  e.compressedSize = plan.compressed;
  e.uncompressedSize = static_cast<uint64_t>(plan.size);
  e.fileSize = plan.size;
  e.encipheredHeaders = z_.EncryptHeaders();
  e.localZip64 = plan.zip64;
  e.centralExtra = plan.AesBlockBytes(plan.stored);
  CentralHeader& c = e.central;
  c = CentralHeader{};
  c.versionMadeBy = VersionMadeBy(plan.host, lh.versionNeeded);
  c.versionNeeded = lh.versionNeeded;
  c.flags = lh.flags;
  c.method = lh.method;
  c.dosDateTime = lh.dosDateTime;
  c.crc32 = lh.crc32;
  c.nameLength = lh.nameLength;
  c.internalAttributes = source.PassIsText() ? kInternalText : 0;
  const struct stat& opened = source.Opened();
  const uint32_t attributes =
      AttributesToStore(AttributesFromStat(opened, ExtractFileName(plan.sourcePath))) & 0xFFu;
  c.externalAttributes =
      plan.host == kHostUnix ? UnixExternalAttributes(opened.st_mode, attributes) : attributes;
}

bool ZipUpdater::WriteDirectoryEntry(int32_t index) {
  TStream32& out = run_.output->Stream();
  CompHeader& e = run_.headers[index];
  uint16_t flags = 0;
  bool oem = false;
  const std::string name =
      StoredBytesOf(e.found->storedName, z_.TranslateOemChar(), flags, true, &oem);
  if (name.size() > 0xFFFF) {
    z_.ReportError(e.SourcePath(), "", "0", ec::InvalidFileName);
    return false;
  }
  const uint16_t host = oem || e.mode == 0 ? DosFamilyHost(flags) : kHostUnix;
  LocalHeader lh;
  lh.signature = BuildSignature(RecordKind::Local, z_.EncryptHeaders());
  lh.versionNeeded = kVersionDefault;
  lh.flags = flags;
  lh.method = kMethodStored;
  lh.dosDateTime = EntryDate(e.fileDate);
  lh.nameLength = static_cast<uint16_t>(name.size());
  const int64_t offset = out.Seek(0, TSeekOrigin::soEnd);
  const std::vector<uint8_t> bytes = LocalHeaderBytes(lh, name, false, 0, 0, z_.EncryptHeaders());
  out.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));

  e.storedBytes = name;
  e.offset = static_cast<uint64_t>(offset);
  e.compressedSize = 0;
  e.uncompressedSize = 0;
  e.encipheredHeaders = z_.EncryptHeaders();
  e.localZip64 = false;
  e.centralExtra.clear();
  e.central = CentralHeader{};
  e.central.versionMadeBy = VersionMadeBy(host, kVersionDefault);
  e.central.versionNeeded = kVersionDefault;
  e.central.flags = flags;
  e.central.dosDateTime = lh.dosDateTime;
  e.central.nameLength = lh.nameLength;
  e.central.internalAttributes = 0;  // no data, so no text
  const uint32_t attributes = (AttributesToStore(e.Attributes) | kAttrDirectory) & 0xFFu;
  e.central.externalAttributes =
      host == kHostUnix ? UnixExternalAttributes(e.mode, attributes) : attributes;
  return true;
}

}  // namespace arc
