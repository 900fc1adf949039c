//===-- zip/zip_entry.cpp - Compressing one file into an entry ------------===//
//
// The order of the writes for one file:
//
//   local header (prepared) + name [+ Zip64 block] [+ AES block]
//                                                      at the entry's offset
//   [12-byte encryption header]                        after a CRC pass
//   [AES salt and password verifier]                   fresh salt each time
//   data: deflated, or stored when that is asked for, when the extension
//         says so, or when deflating would enlarge the data
//   [AES authentication code]
//   local header + name [+ Zip64 block] [+ AES block] again
//                                                      with the final values
//
// AES entries need no CRC pass: the CRC is kept as the data go by, and an
// entry too small to hide its content behind a CRC stores none (AE-2).
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
#include <array>
#include <ctime>
#include <optional>
#include <span>

#include <arc/codec/aes_crypt.h>
#include <arc/codec/aes_extra.h>
#include <arc/support/error_codes.h>
#include "support/cp437.h"
#include <arc/support/dos_time.h>
#include <arc/support/names.h>
#include <arc/support/paths.h>
#include "support/stream_adapters.h"
#include "support/stream_ops.h"
#include "zip/source_stream.h"
#include "zip/update_run.h"
#include <arc/zip/zip.h>
#include "zip/zip_layout.h"
#include <arc/support/ascii_case.h>

namespace arc {
namespace {

/// An encrypted entry's CRC is taken in a pass of its own before its data;
/// when the data pass reads other bytes the entry is written again, this
/// many times at most.
constexpr int kMaxDataPasses = 3;

/// The key strength of an AES method; none for the traditional cipher.
std::optional<AesStrength> StrengthOf(TEncryptionMethod method) {
  switch (method) {
    case emAes128: return AesStrength::Aes128;
    case emAes192: return AesStrength::Aes192;
    case emAes256: return AesStrength::Aes256;
    case emTraditional: break;
  }
  return std::nullopt;
}

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

/// Well-formed UTF-8: no stray continuation byte, no overlong form, no
/// surrogate, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<uint8_t>(s[i]);
    size_t more = 0;
    uint32_t cp = 0;
    if (b < 0x80) {
      ++i;
      continue;
    }
    if (b >= 0xC2 && b <= 0xDF) {
      more = 1;
      cp = b & 0x1Fu;
    } else if (b >= 0xE0 && b <= 0xEF) {
      more = 2;
      cp = b & 0x0Fu;
    } else if (b >= 0xF0 && b <= 0xF4) {
      more = 3;
      cp = b & 0x07u;
    } else {
      return false;
    }
    if (i + more >= s.size()) return false;
    for (size_t k = 1; k <= more; ++k) {
      const auto c = static_cast<uint8_t>(s[i + k]);
      if ((c & 0xC0u) != 0x80u) return false;
      cp = cp << 6 | (c & 0x3Fu);
    }
    if ((more == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
        (more == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
      return false;
    i += more + 1;
  }
  return true;
}

}  // namespace

std::string TZipBase::StoredBytesOf(const std::string& localName, uint16_t& flags, bool allowOem,
                                    bool* inOem) const {
  flags = static_cast<uint16_t>(flags & ~kFlagUtf8Name);
  if (inOem != nullptr) *inOem = false;
  // A '\' is an ordinary character in a name on this system and is kept.
  if (IsAscii(localName)) return localName;
  // Bytes that are not UTF-8 are stored as the file system holds them and
  // not marked: a name marked UTF-8 that is not makes peers that check the
  // mark refuse the whole archive.
  if (!IsValidUtf8(localName)) return localName;
  if (allowOem && TranslateOemChar()) {
    const std::string oem = LocalToOem(localName, true);
    // Only a name that comes back unchanged is stored in the OEM code page;
    // any other is kept as UTF-8 and marked so, rather than mangled.
    if (Cp437ToUtf8(oem) == localName) {
      if (inOem != nullptr) *inOem = true;
      return oem;
    }
  }
  flags = static_cast<uint16_t>(flags | kFlagUtf8Name);
  return localName;
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
  const bool renamed = stored != e->StoredName;
  e->StoredName = stored;
  SetEntryName(stored);

  // OnEnd follows OnBegin whatever becomes of the entry.
  bool written = false;
  try {
    written = WriteFileEntry(run, index, renamed);
  } catch (...) {
    try {
      Fire(OnEnd, this, stored, false);
    } catch (...) {
      // The failure that ends the update is the one to report.
    }
    throw;
  }
  Fire(OnEnd, this, stored, written);
  return written;
}

bool TZipBase::WriteFileEntry(TUpdateRun& run, int32_t index, bool renamed) {
  TStream32& out = run.Output->Stream();
  TCompHeader* e = &run.Headers[index];
  const std::string stored = e->StoredName;
  const std::string path = e->SourcePath;

  const std::string ext = ExtensionOf(stored);
  const TStrings& types = StoreFilesOfType();
  bool store = DeflateType() == dtDeflateS ||
               (!ext.empty() && std::any_of(types.begin(), types.end(), [&](const std::string& t) {
                 return SameTextIgnoringCase(t, ext);
               }));

  TSourceFileStream source(path);
  if (!source.Valid()) {
    ReportError(path, "", "0", ec::OpenError);
    return false;
  }
  source.Cancel = CancelFlag();
  const int64_t size = source.Size();
  const bool encrypt = !Password().empty() && size > 0;
  if (size == 0) store = true;
  const std::optional<AesStrength> strength =
      encrypt ? StrengthOf(EncryptionMethod()) : std::nullopt;
  const bool aes = strength.has_value();
  AesExtra aes_block;
  if (aes) {
    aes_block.vendorVersion = AesVendorVersionFor(static_cast<uint64_t>(size));
    aes_block.strength = *strength;
  }

  SetRunningCrc(kCrc32Init);
  TProgressTotals& totals = Totals();
  totals.FileSize = size;
  const int64_t remaining_before = totals.Remaining;

  uint16_t flags = 0;
  bool oem = false;
  std::string name;
  if (e->FromOldArchive && !renamed && !e->StoredBytes.empty()) {
    // Refreshed in its place: the name stays byte for byte what it was.
    name = e->StoredBytes;
    flags = e->Central.flags & kFlagUtf8Name;
    oem = !IsAscii(name) && flags == 0 && (e->Central.versionMadeBy >> 8) != kHostUnix;
  } else {
    name = StoredBytesOf(stored, flags, true, &oem);
  }
  if (name.size() > 0xFFFF) {
    ReportError(path, "", "0", ec::InvalidFileName);
    return false;
  }
  // Peers read an unflagged name under the Unix host as it stands, so a name
  // in the OEM code page goes under the DOS host, without the file's mode.
  const uint16_t host = oem ? kHostDos : kHostUnix;
  const bool zip64 = static_cast<uint64_t>(size) >= kZip64LocalThreshold;

  LocalHeader lh;
  lh.signature = BuildSignature(RecordKind::Local, EncryptHeaders());
  lh.versionNeeded = aes ? kVersionAes : zip64 ? kVersionZip64 : kVersionDefault;
  lh.method = aes ? kMethodAes : store ? kMethodStored : kMethodDeflated;
  lh.dosDateTime = EntryDate(run, e->FileDate);
  lh.uncompressedSize = zip64 ? kZip64Marker32 : static_cast<uint32_t>(size);
  lh.nameLength = static_cast<uint16_t>(name.size());
  lh.extraLength = static_cast<uint16_t>((zip64 ? kZip64LocalBlockLen : 0) + (aes ? kAesExtraLen : 0));
  // The block names the real method; its length is the same whichever.
  auto aes_extra = [&](bool stored) {
    aes_block.method = stored ? kMethodStored : kMethodDeflated;
    const auto bytes = BuildAesExtra(aes_block);
    return aes ? std::vector<uint8_t>(bytes.begin(), bytes.end()) : std::vector<uint8_t>();
  };

  const int64_t offset = out.Seek(0, TSeekOrigin::soEnd);
  const std::vector<uint8_t> prepared =
      LocalHeaderBytes(lh, name, zip64, size, 0, false, aes_extra(store));
  out.WriteBuffer(prepared.data(), static_cast<int32_t>(prepared.size()));
  const int64_t data_start = out.Position();

  // Every pass at the data has its own keys and salt; they are wiped when
  // the entry is done.
  AesCipher aes_cipher;
  bool cipher_failed = false;
  TransferControl control;
  // The source keeps the CRC of what it gives (PassCrc): no adapter need.
  control.Encrypted = encrypt;
  control.CRC = kCrc32Init;
  control.Remaining = &totals.Remaining;
  control.Cancel = CancelFlag();
  if (aes) {
    control.Cipher = [&aes_cipher](uint8_t* data, uint32_t count) {
      aes_cipher.Encrypt(std::span<uint8_t>(data, count));
    };
  } else {
    control.Cipher = [this](uint8_t* data, uint32_t count) {
      Cipher().Encipher(std::span<uint8_t>(data, count));
    };
  }
  const TProgressHandler progress = [this, size, remaining_before](TStream32&) {
    DoProgress(Totals().Total, size, remaining_before - Totals().Remaining);
  };
  const auto pump = [this] { Dialogs.PumpMessages(); };

  // Starts the data afresh at data_start: for an encrypted entry a new
  // encryption header, which also restarts the cipher (AES: a new salt, so
  // that no key stream is ever used twice).
  uint32_t crc = 0;
  const int64_t header_len = !encrypt ? 0
                             : aes    ? static_cast<int64_t>(AesHeaderLen(*strength))
                                      : static_cast<int64_t>(kEncryptionHeaderLen);
  auto begin_data = [&] {
    run.Output->CutBack(data_start);
    totals.Remaining = remaining_before;
    if (!encrypt) return;
    if (aes) {
      std::array<uint8_t, kAesMaxSaltLen + kAesVerifierLen> header{};
      const std::span<uint8_t> used = std::span(header).first(static_cast<size_t>(header_len));
      if (!aes_cipher.StartEncryption(Password(), *strength, used)) cipher_failed = true;
      out.WriteBuffer(used.data(), static_cast<int32_t>(used.size()));
      return;
    }
    std::array<uint8_t, kEncryptionHeaderLen> header{};
    Cipher().MakeEncryptionHeader(Password(), crc, header);
    out.WriteBuffer(header.data(), static_cast<int32_t>(header.size()));
  };

  bool method_store = store;
  bool written = false;
  bool reread_other_bytes = false;
  try {
    for (int pass = 0; pass < kMaxDataPasses && !written; ++pass) {
      if (encrypt && !aes) {
        TransferControl pre;
        pre.Cancel = CancelFlag();
        const uint32_t reg = StreamCrc32(source, pre, CancelFlag(), nullptr, 0, pump);
        if (Cancel()) return false;
        crc = reg ^ 0xFFFFFFFFu;
      }
      method_store = store;
      begin_data();
      bool data_ok = true;
      if (!method_store) {
        uint32_t unused_crc = 0;
        data_ok = DeflateStream(source, out, control, kDeflateWindowBits, progress, DeflateType(),
                                unused_crc, pump);
        if (data_ok && out.Seek(0, TSeekOrigin::soEnd) - data_start - header_len > size) {
          // Deflating enlarged the data: stored, it takes less room.
          method_store = true;
          begin_data();
        }
      }
      if (data_ok && method_store && size > 0) {
        TStoreStream adapter(out, progress, CancelFlag(), control, kCrcKind32);
        adapter.ProcessMessages = pump;
        adapter.StoreFrom(source);
      }
      if (Cancel()) return false;
      if (!data_ok) {
        // Not cancelled: the engine could not be started or made no progress.
        ReportError(path, stored, "0", ec::OutOfMemory);
        return false;
      }
      if (!source.PassComplete()) throw EStreamRead();
      if (!encrypt || aes) crc = source.PassCrc();
      if (encrypt && !aes && source.PassCrc() != crc) {
        // The file changed between the CRC pass and the data: the encryption
        // header would promise another CRC than the data has.
        reread_other_bytes = true;
        continue;
      }
      written = true;
    }
  } catch (const EStreamRead&) {
    // The file shrank while it was read: the bytes measured are gone.
    ReportError(path, stored, "0", ec::FileSizeDifferent);
    return false;
  }
  if (!written) {
    ReportError(path, stored, "0", ec::FileSizeDifferent);
    return false;
  }
  if (aes) {
    // The code closes the data; an entry the cipher failed on (no random
    // salt, a library call refused) is not written at all.
    const std::array<uint8_t, kAesCodeLen> code = aes_cipher.FinishCode();
    if (cipher_failed || aes_cipher.Failed()) {
      ReportError(path, stored, "0", ec::UnknownError);
      return false;
    }
    out.Seek(0, TSeekOrigin::soEnd);
    out.WriteBuffer(code.data(), static_cast<int32_t>(code.size()));
  }

  const int64_t end = out.Seek(0, TSeekOrigin::soEnd);
  const auto compressed = static_cast<uint64_t>(end - data_start);
  if (!zip64 && (compressed >= kZip64Marker32 || static_cast<uint64_t>(size) >= kZip64Marker32)) {
    RaiseError(ArchiveFile(), stored, "0", ec::MaxFileSizeExceeded);
    return false;
  }
  lh.method = aes ? kMethodAes : method_store ? kMethodStored : kMethodDeflated;
  lh.flags = flags;
  if (encrypt) lh.flags |= kFlagEncrypted;
  if (!method_store) lh.flags |= LevelBits(DeflateType());
  // AE-2 stores no CRC: for a few bytes it would all but give them away.
  lh.crc32 = aes && aes_block.vendorVersion == kAesVendorAe2 ? 0 : crc;
  lh.compressedSize = zip64 ? kZip64Marker32 : static_cast<uint32_t>(compressed);
  const std::vector<uint8_t> extra = aes_extra(method_store);

  // The final header goes over the prepared one. A failure here would leave
  // an entry whose header contradicts its data, so it ends the update.
  const std::vector<uint8_t> final_header = LocalHeaderBytes(
      lh, name, zip64, static_cast<uint64_t>(size), compressed, EncryptHeaders(), extra);
  out.SetPosition(offset);
  out.WriteBuffer(final_header.data(), static_cast<int32_t>(final_header.size()));
  out.Seek(0, TSeekOrigin::soEnd);

  // What was written is consistent; that it may not be what the file holds
  // now is worth saying.
  const struct stat& opened = source.Opened();
  if (reread_other_bytes || source.ChangedSinceOpened() || e->FileSize != size ||
      (e->FileMtime != 0 && e->FileMtime != static_cast<int64_t>(opened.st_mtim.tv_sec)))
    ReportError(path, stored, "0", ec::FileSizeDifferent);

  e = &run.Headers[index];
  e->StoredBytes = name;
  e->Offset = static_cast<uint64_t>(offset);
  e->CompressedSize = compressed;
  e->UncompressedSize = static_cast<uint64_t>(size);
  e->FileSize = size;
  e->EncipheredHeaders = EncryptHeaders();
  e->LocalZip64 = zip64;
  e->CentralExtra = extra;
  CentralHeader& c = e->Central;
  c = CentralHeader{};
  c.versionMadeBy = VersionMadeBy(host, lh.versionNeeded);
  c.versionNeeded = lh.versionNeeded;
  c.flags = lh.flags;
  c.method = lh.method;
  c.dosDateTime = lh.dosDateTime;
  c.crc32 = lh.crc32;
  c.nameLength = lh.nameLength;
  c.internalAttributes = source.PassIsText() ? kInternalText : 0;
  const uint32_t attributes =
      AttributesToStore(AttributesFromStat(opened, ExtractFileName(path))) & 0xFFu;
  c.externalAttributes =
      host == kHostUnix ? UnixExternalAttributes(opened.st_mode, attributes) : attributes;
  SetRunningCrc(crc ^ 0xFFFFFFFFu);
  return true;
}

bool TZipBase::WriteDirectoryEntry(TUpdateRun& run, int32_t index) {
  TStream32& out = run.Output->Stream();
  TCompHeader& e = run.Headers[index];
  uint16_t flags = 0;
  bool oem = false;
  const std::string name = StoredBytesOf(e.StoredName, flags, true, &oem);
  if (name.size() > 0xFFFF) {
    ReportError(e.SourcePath, "", "0", ec::InvalidFileName);
    return false;
  }
  const uint16_t host = oem || e.Mode == 0 ? DosFamilyHost(flags) : kHostUnix;
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
  e.Central.versionMadeBy = VersionMadeBy(host, kVersionDefault);
  e.Central.versionNeeded = kVersionDefault;
  e.Central.flags = flags;
  e.Central.dosDateTime = lh.dosDateTime;
  e.Central.nameLength = lh.nameLength;
  e.Central.internalAttributes = 0;  // no data, so no text
  const uint32_t attributes = (AttributesToStore(e.Attributes) | kAttrDirectory) & 0xFFu;
  e.Central.externalAttributes =
      host == kHostUnix ? UnixExternalAttributes(e.Mode, attributes) : attributes;
  return true;
}

}  // namespace arc
