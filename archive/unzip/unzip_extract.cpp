//===-- unzip/unzip_extract.cpp - The extraction driver and entry loops ---===//
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <limits>
#include <optional>

#include <arc/support/ascii_case.h>
#include <arc/support/dos_time.h>
#include <arc/support/error_codes.h>
#include <arc/support/paths.h>
#include <arc/unzip/mask_select.h>
#include "codec/secure_wipe.h"
#include "core/disk_manager.h"
#include "support/read_ahead_stream.h"
#include "unzip/arc_detect.h"
#include "unzip/output_path.h"
#include "unzip/password_search.h"
#include "unzip/record_walk.h"
#include "unzip/stream_source.h"
#include "unzip/zip_extractor.h"
#include "unzip/zip_records.h"

namespace arc {
namespace {

constexpr uint32_t kAttrNormal = kAttrArchive;  // external attributes left alone

/// What keeps an entry from being decoded, for the report ("bzip2 (method
/// 12)"); empty when it can be. An AES entry is judged by the real method of
/// its 0x9901 block.
std::string UndecodableBecause(const EntryInfo& info) {
  if ((info.flags & kFlagEncrypted) != 0 && (info.flags & kFlagStrongEncryption) != 0) {
    return "strong encryption";
  }
  uint16_t method = info.method;
  if (method == kMethodAes) {
    // Without its block (or without the encryption flag) the entry names
    // neither its key strength nor how its data are compressed.
    if (!info.aes || (info.flags & kFlagEncrypted) == 0) return "AES encryption (method 99)";
    method = info.aes->method;
  }
  if (ZipExtractor::CanDecode(method)) return {};
  const char* name = nullptr;
  switch (method) {
    case 12:
      name = "bzip2";
      break;
    case 14:
      name = "LZMA";
      break;
    case 93:
      name = "Zstandard";
      break;
    case 95:
      name = "XZ";
      break;
    case 98:
      name = "PPMd";
      break;
    case 99:
      name = "AES encryption";
      break;
    default:
      break;
  }
  const std::string number = "method " + std::to_string(method);
  return name ? std::string(name) + " (" + number + ")" : number;
}

/// The process's file-creation mask, read without changing it (umask(2)
/// would change it for every thread for a moment).
mode_t ProcessUmask() {
  static const mode_t kMask = [] {
    if (FILE* f = std::fopen("/proc/self/status", "re")) {
      char line[128];
      unsigned value = 0;
      bool found = false;
      while (!found && std::fgets(line, sizeof line, f) != nullptr) {
        found = std::sscanf(line, "Umask: %o", &value) == 1;
      }
      std::fclose(f);
      if (found) return static_cast<mode_t>(value & 0777);
    }
    const mode_t old = ::umask(022);
    ::umask(old);
    return old;
  }();
  return kMask;
}

/// The permission bits a regular file made by a Unix host carries in the
/// high half of its attributes, less the file-creation mask; nothing for an
/// entry of another host, of another file type, or with no mode at all.
/// Set-user-id, set-group-id and sticky are never given.
std::optional<mode_t> StoredUnixMode(uint16_t versionMadeBy, uint32_t externalAttributes) {
  constexpr uint16_t kHostUnix = 3;
  const uint32_t mode = externalAttributes >> 16;
  if ((versionMadeBy >> 8) != kHostUnix || mode == 0) return std::nullopt;
  if ((mode & S_IFMT) != 0 && (mode & S_IFMT) != S_IFREG) return std::nullopt;
  return static_cast<mode_t>(mode & 0777) & ~ProcessUmask();
}

/// Keeps the stopwatch paused while the application answers events.
class PausedTimer {
 public:
  explicit PausedTimer(TArcTimer& t) : t_(t) { t_.Pause(); }
  ~PausedTimer() { t_.Resume(); }
  PausedTimer(const PausedTimer&) = delete;
  PausedTimer& operator=(const PausedTimer&) = delete;

 private:
  TArcTimer& t_;
};

bool IsReadOnly(const struct stat& st) { return (st.st_mode & S_IWUSR) == 0; }

}  // namespace

uint64_t EntryInfo::EncryptionHeaderLen() const {
  return aes ? AesHeaderLen(aes->strength) : kEncryptionHeaderLen;
}

uint64_t EntryInfo::EncryptionOverhead() const {
  return aes ? AesOverhead(aes->strength) : kEncryptionHeaderLen;
}

int32_t TUnBase::Extract() { return 0; }

int32_t TUnZip::Extract() {
  ZipExtractor run(*this);
  return run.Run(true);
}

int32_t TUnZip::Test() {
  ZipExtractor run(*this);
  return run.Run(false);
}

std::string TUnZip::EntryNameFromStored(const std::string& stored) {
  return OutputPathOf(stored, ExtractDir(), UseStoredDirs());
}

bool TUnZip::RequestVolume(int32_t index) { return run_ != nullptr && run_->RequestVolume(index); }

ZipExtractor::ZipExtractor(TUnZip& owner) : z_(owner) { z_.run_ = this; }

ZipExtractor::~ZipExtractor() {
  // No password or key outlives the run in memory.
  SecureWipe(password_);
  z_.Cipher() = TradCipher{};
  z_.run_ = nullptr;
}

bool ZipExtractor::IsMultiVolume() const {
  return z_.ArcType() == atZipDS || z_.ArcType() == atZipMV;
}

bool ZipExtractor::OpenArchive(const std::string& name) {
  archive_ = std::make_unique<ReadAheadFileStream>(name);
  if (archive_->Valid()) return true;
  archive_.reset();
  return false;
}

int32_t ZipExtractor::Run(bool toFiles) {
  toFiles_ = toFiles;
  archiveName_ = z_.ArchiveFile();
  z_.storedEntryName_.clear();
  // Nothing escapes to the caller: an event handler that throws ends the
  // run with the count so far, wherever it was called.
  try {
    if (archiveName_.empty()) {
      z_.ReportError("", "", "0", ec::FileNotFound);
      return 0;
    }
    if (IsMultiVolume() && !z_.DiskManager().CheckDrive(archiveName_, false)) return 0;
    if (!OpenArchive(archiveName_)) {
      z_.ReportError(archiveName_, "", "0", ec::OpenError);
      return 0;
    }
  } catch (...) {
    archive_.reset();
    return 0;
  }

  *z_.CancelFlag() = false;
  count_ = 0;
  z_.ResetProgressDispatcher();
  z_.Totals() = ProgressTotals{};
  passwordFailed_ = false;
  baseVolume_ = archiveName_;
  wantedDisk_ = 0;
  if (z_.CpuType() == cpt80486) z_.SetCpuType(cptAuto);
  z_.ExcludeSpec().clear();
  z_.open_.volumeNumber = 0;
  z_.SetVolumeName(archiveName_);
  if (z_.ExtractDir().empty()) z_.SetExtractDir({});
  // Relative folders are taken from the current directory.
  const std::string dir = z_.ExtractDir().empty() ? std::string() : z_.ExtractDir();
  z_.SetExtractDir(AppendSlash(ExpandPath(dir.empty() ? "." : dir)));

  bool activated = false;
  try {
    Fire(z_.OnActivate, &z_);
    activated = true;
    if (z_.OnElapsedTime) z_.Timer().Start();
    password_.clear();
    z_.SetEntryName({});
    Body();
  } catch (...) {
    // An exception ends the run with the count so far.
  }
  try {
    if (z_.OnElapsedTime) {
      z_.Timer().Stop();
      z_.OnElapsedTime(&z_, z_.Timer().ElapsedTime());
    }
    if (activated) Fire(z_.OnDeactivate, &z_);
  } catch (...) {
  }
  z_.StoreArchiveFile(archiveName_);
  archive_.reset();
  return count_;
}

void ZipExtractor::Body() {
  try {
    if (z_.ArcType() == atZipDS) {
      wantedDisk_ = 0;
      if (!FetchDisk()) return;
    }
    if (!IsZipType(z_.ArcType())) return;

    StreamSource source(*archive_);
    EntryListHost host;
    host.arcType = z_.ArcType();
    host.translateOem = z_.TranslateOemChar();
    host.selects = [this](const std::string& name) {
      return SelectStoredName(name, z_.FileSpec(), z_.ExcludeSpec(), z_.RecurseDirs());
    };
    host.cancelled = [this] { return z_.Cancel(); };
    host.report = [this](const std::string& name, int32_t code) {
      z_.ReportError(name.empty() ? archiveName_ : name, "", "0", code);
    };
    const ArcOpenState& open = z_.OpenState();
    if (open.headerState == htLocal) {
      bool cancel = true;
      if (z_.OnCorruptZipHeader) {
        z_.OnCorruptZipHeader(&z_, open.headerState, cancel);
        if (cancel) return;
      }
      list_ = ListLocalHeaders(source, open, host);
    } else {
      list_ = ListCentralDirectory(source, open, host);
    }
    if (!list_.items.empty()) ExtractEntries();
  } catch (...) {
    // Swallowed here: the driver still ends the run properly.
  }
  parallel_.reset();
  batch_.reset();
  list_ = ZipEntryList{};
}

void ZipExtractor::ExtractEntries() {
  z_.Totals().total = list_.uncompressedTotal;
  z_.Totals().remaining = list_.uncompressedTotal;
  bool first = true;
  StartParallel();
  for (const ZipEntryItem& item : list_.items) {
    if (z_.Cancel()) break;
    if (parallel_ && QueueEntry(item)) continue;
    // What follows may raise events: the entries before have theirs first.
    DrainParallel();
    if (z_.ArcType() == atZipDS && first) {
      wantedDisk_ = item.volume;
      checkPos_ = item.localPos;
      if (!FetchDisk()) break;
    } else if (z_.ArcType() == atZipMV && item.fromCentral &&
               item.volume != z_.open_.volumeNumber) {
      if (!z_.RequestVolume(item.volume - 1)) break;
    }
    first = false;

    EntryInfo info;
    std::string stored;
    if (!ReadLocalEntry(item, info, stored)) {
      z_.ReportError(item.name, "", "0", ec::BadFileHeader);
      continue;
    }
    z_.storedEntryName_ = stored;
    if (!CheckEntry(info, item.externalAttributes, stored)) {
      SkipEntry(info.uncompressedSize);
      continue;
    }
    // Testing writes nothing: reports name the entry as stored.
    z_.SetEntryName(toFiles_ ? z_.EntryNameFromStored(stored) : stored);
    ExtractOne(info, item.externalAttributes);
  }
  DrainParallel();
  parallel_.reset();
  batch_.reset();
}

bool ZipExtractor::IsDirectoryEntry(uint32_t externalAttributes, const std::string& stored) {
  // A name with a trailing separator cannot be a file on disk either.
  return (externalAttributes & kAttrDirectory) != 0 || (!stored.empty() && stored.back() == '/');
}

bool ZipExtractor::CheckEntry(const EntryInfo& info, uint32_t externalAttributes,
                              const std::string& stored) {
  // A name that had to be changed to stay inside the folder is reported,
  // also when testing: the archive tries to write where it should not. A
  // file whose name is nothing once made safe cannot be written at all. A
  // folder named "./" is the extraction folder itself, as some archivers
  // store it: harmless, and taken as before.
  const bool directory = IsDirectoryEntry(externalAttributes, stored);
  const bool hostile = IsHostileStoredName(stored);
  const std::string safe = SafeStoredName(stored);
  const std::string file = safe.substr(safe.find_last_of('/') + 1);
  const bool nothing = directory ? safe.empty() : file.empty();
  if (hostile || (nothing && !directory)) {
    z_.ReportError(stored, "", "0", ec::InvalidFileName);
    if (nothing && toFiles_) return false;
  }
  // An encrypted entry too short for its header (and an AES entry for its
  // code) is damaged; its password is not asked for.
  if (!directory && (info.flags & kFlagEncrypted) != 0 && UndecodableBecause(info).empty() &&
      info.compressedSize < info.EncryptionOverhead()) {
    z_.ReportError(stored, "", "0", ec::BadFileHeader);
    return false;
  }
  return true;
}

bool ZipExtractor::ReadLocalEntry(const ZipEntryItem& item, EntryInfo& info,
                                  std::string& storedName) {
  StreamSource source(*archive_);
  const RecordRead<LocalRecord> record = ReadLocalRecord(source, item.localPos);
  if (!record) return false;

  storedName = StoredNameToLocal(record->storedName, record->header.flags, z_.TranslateOemChar());
  // The local walk took the CRC from the data descriptor where there is one.
  info.crc32 = item.fromCentral ? record->header.crc32 : item.crc32;
  info.dosDateTime = record->header.dosDateTime;
  info.modified = ExtraModificationTime(record->extra);
  if (!info.modified) info.modified = item.modified;
  info.dataPos = item.localPos + static_cast<int64_t>(record->headerLength);
  info.fromCentral = item.fromCentral;
  info.versionMadeBy = item.versionMadeBy;
  info.aes = item.aes;
  if (item.fromCentral) {
    info.flags = item.flags;
    info.method = item.method;
    // The directory's sizes, with the high parts a Zip64 or 0x0064 block of
    // the directory gave; the local header's are 0 in streamed archives.
    info.compressedSize = item.compressedSize;
    info.uncompressedSize = item.uncompressedSize;
    info.centralCrc = item.crc32;
    info.centralCompressed = item.compressedSize;
  } else {
    info.flags = record->header.flags;
    info.method = record->header.method;
    info.compressedSize = item.compressedSize;
    info.uncompressedSize = item.uncompressedSize;
  }
  return true;
}

void ZipExtractor::SkipEntry(uint64_t size) {
  // Sizes come from the archive: the count stops at its lower bound rather
  // than wrap around.
  int64_t& remaining = z_.Totals().remaining;
  const auto n = static_cast<int64_t>(std::min<uint64_t>(size, uint64_t{1} << 62));
  remaining = remaining < std::numeric_limits<int64_t>::min() + n
                  ? std::numeric_limits<int64_t>::min()
                  : remaining - n;
  z_.DoProgress(z_.Totals().total, static_cast<int64_t>(size), static_cast<int64_t>(size));
}

bool ZipExtractor::BeginStep(bool directory) {
  if (directory) return true;
  PausedTimer paused(z_.Timer());
  std::string output = z_.EntryName();
  bool extract = true;
  if (z_.OnBegin) {
    if (z_.OnRenameFile && toFiles_) {
      std::string renamed = output;
      z_.OnRenameFile(&z_, output, renamed);
      if (!renamed.empty()) {
        ForceDirectories(ExtractFilePath(renamed));
        output = renamed;
      }
    }
    z_.SetEntryName(output);
    z_.OnBegin(&z_, output, count_ + 1, extract);
  }
  if (z_.Cancel() || !extract) return false;

  bool accept;
  if (!toFiles_) {
    accept = true;  // nothing is written, so nothing is overwritten
  } else if (z_.ConfirmOverwrites()) {
    z_.SetOverwriteMode(omOverwrite);
    if (FileExists(output)) {
      if (z_.OnFileExists) {
        TOverwriteMode mode = z_.OverwriteMode();
        do {
          std::string renamed;
          z_.OnFileExists(&z_, output, renamed, mode);
          if (renamed.empty()) renamed = output;
          ForceDirectories(ExtractFilePath(renamed));
          if (SameTextIgnoringCase(renamed, output)) break;
          if (mode == omOverwrite) output = renamed;
        } while (!z_.Cancel() && mode != omSkip && FileExists(output));
        z_.SetOverwriteMode(mode);
        z_.SetEntryName(output);
        // A link standing there is replaced, not followed: what it points
        // to keeps its attributes.
        struct stat st {};
        if (!z_.Cancel() && mode != omSkip && ::lstat(output.c_str(), &st) == 0 &&
            !S_ISLNK(st.st_mode) && IsReadOnly(st)) {
          if (S_ISDIR(st.st_mode)) {
            z_.ReportError(output, "", "0", ec::WriteError);
            return false;
          }
          MakeWritable(AT_FDCWD, output.c_str());
        }
      } else {
        z_.ReportError(archiveName_, "OnFileExists", "0", ec::RequiredEvent);
        z_.SetOverwriteMode(omSkip);
      }
    }
    accept = !z_.Cancel() && z_.OverwriteMode() == omOverwrite && !output.empty();
  } else {
    accept = z_.OverwriteMode() == omOverwrite;
  }
  if (accept) ++count_;
  return accept;
}

void ZipExtractor::ExtractOne(EntryInfo& info, uint32_t externalAttributes) {
  const std::string stored = z_.StoredEntryName();
  const bool directory = IsDirectoryEntry(externalAttributes, stored);
  reported_ = false;
  shortData_ = false;
  longData_ = false;
  writeFailed_ = false;
  authFailed_ = false;
  aes_.reset();
  // Data no decoder can read is turned down before anything is asked for or
  // touched: no file is made or emptied, and the entry is not counted.
  const std::string undecodable = directory ? std::string() : UndecodableBecause(info);
  if (!undecodable.empty()) {
    z_.ReportError(z_.EntryName(), undecodable, "0", ec::UnsupportedCompressionMethod);
    reported_ = true;
    SkipEntry(info.uncompressedSize);
    EndStep(info.crc32, false, 0);
    return;
  }
  if (!BeginStep(directory)) {
    SkipEntry(info.uncompressedSize);
    return;
  }
  const bool encrypted = !directory && (info.flags & kFlagEncrypted) != 0;
  const bool counted = !directory;  // BeginStep counted a file it accepted
  bool written = false;
  uint32_t expected = info.crc32;
  // AE-2 entries store 0 for their CRC: only their code is checked.
  const bool crcStored = directory || !encrypted || info.CrcStored();
  bool reached = false;
  int32_t unreachedCode = 0;
  try {
    bool opened = !encrypted;
    if (encrypted) {
      PausedTimer paused(z_.Timer());
      opened = FindPassword(info);
      reported_ = !opened;
    }

    if (directory) {
      if (toFiles_ && z_.CreateStoredDirs() &&
          !CreateFoldersUnder(z_.ExtractDir(), AppendSlash(z_.EntryName()))) {
        unreachedCode = ec::CreateDirError;
      } else {
        z_.SetRunningCrc(expected);
        reached = true;
      }
    } else if (!opened) {
      SkipEntry(info.uncompressedSize);
      z_.SetEntryName(stored);
    } else {
      const std::string output = z_.EntryName();
      if (toFiles_) out_.reset(CreateOutputFileUnder(z_.ExtractDir(), output, folders_));
      if (toFiles_ && !out_.valid()) {
        z_.ReportError(output, "", "0", ec::OpenError);
        reported_ = true;
        SkipEntry(info.uncompressedSize);
      } else {
        if (info.fromCentral && info.crc32 == 0 && info.centralCompressed != 0) {
          expected = info.centralCrc;
        }
        reached = true;
        produced_ = 0;
        Decompress(info, encrypted);
        z_.SetRunningCrc(z_.RunningCrc() ^ 0xFFFFFFFFu);
        // Every decoder stops at the declared size; less means the data
        // ended early.
        shortData_ = !z_.Cancel() && produced_ < info.uncompressedSize;
        if (toFiles_) Finish(info, externalAttributes);
        written = !writeFailed_;
      }
    }
  } catch (...) {
    // The end step still runs.
  }
  out_.reset();
  // Only a file whose data went out whole counts as extracted.
  if (counted && !written) --count_;
  aes_.reset();
  if (!crcStored) expected = z_.RunningCrc();
  EndStep(expected, reached, unreachedCode);
}

bool ZipExtractor::FindPassword(const EntryInfo& info) {
  PasswordCheck verify;
  EncryptedEntry entry;
  std::array<uint8_t, kAesMaxSaltLen + kAesVerifierLen> aesHeader{};
  StreamSource source(*archive_);
  bool read;
  if (info.aes) {
    // Salt and verifier: each candidate derives its keys from them, and a
    // wrong one is caught by the 2-byte verifier.
    const AesStrength strength = info.aes->strength;
    const std::span<uint8_t> header = std::span(aesHeader).first(AesHeaderLen(strength));
    read = source.ReadExact(info.dataPos, header);
    aes_ = std::make_unique<AesCipher>();
    verify = [this, strength, header](std::string_view candidate) {
      return aes_->VerifyPassword(candidate, strength, header);
    };
  } else {
    read = source.ReadExact(info.dataPos, entry.header);
    entry.flags = info.flags;
    entry.crc32 = info.crc32;
    entry.dosDateTime = info.dosDateTime;
    verify = [this, &entry](std::string_view candidate) {
      return z_.Cipher().VerifyPassword(
          candidate, entry.header, PasswordCheckByte(entry.flags, entry.crc32, entry.dosDateTime));
    };
  }
  if (!read) {
    // The encryption header lies beyond the end of the archive.
    z_.ReportError(z_.EntryName(), "", "0", ec::ReadError);
    aes_.reset();
    return false;
  }
  PasswordSearchHost host;
  host.Passwords = &z_.Passwords();
  host.PasswordAttempts = z_.PasswordAttempts();
  host.Cancel = [this] { return z_.Cancel(); };
  // Once a search failed, the user is not asked again in this run; the
  // passwords known are still tried on every entry, and an entry none of
  // them opens is reported on its own.
  const bool ask = !passwordFailed_;
  if (ask && z_.OnGetPassword) {
    host.OnGetPassword = [this](const std::string& f, std::string& p, bool& t) {
      z_.OnGetPassword(&z_, f, p, t);
    };
  }
  if (ask) {
    host.ReportError = [this](const std::string& f, const std::string& m, const std::string& v,
                              int32_t c) { z_.ReportError(f, m, v, c); };
  }
  if (SearchPassword(verify, password_, z_.EntryName(), host)) return true;
  aes_.reset();
  if (!ask) z_.ReportError(z_.EntryName(), "", "0", ec::PasswordFailed);
  passwordFailed_ = true;
  return false;
}

void ZipExtractor::Finish(const EntryInfo& info, uint32_t externalAttributes) {
  StampFor(info, externalAttributes).Apply(out_.get());
  const std::string output = z_.EntryName();
  if (!out_.Close()) z_.ReportError(output, "", "0", ec::CloseError);
}

OutputStamp ZipExtractor::StampFor(const EntryInfo& info, uint32_t externalAttributes) const {
  OutputStamp stamp;
  const TDateAttribute dateAttribute = z_.DateAttribute();
  if (dateAttribute == daFileDate && info.modified) {
    // The precise UTC time a time block of the extra field gives.
    stamp.modified.tv_sec = static_cast<std::time_t>(info.modified->seconds);
    stamp.modified.tv_nsec = static_cast<long>(info.modified->nanoseconds);
  } else {
    uint32_t dos = info.dosDateTime;
    if (dateAttribute == daSysDate) {
      dos = FileTimeToDos(std::time(nullptr));
    } else if (dateAttribute == daMaxFileDate) {
      dos = static_cast<uint32_t>(list_.newestDate);
    }
    stamp.modified.tv_sec = DosToFileTime(dos);
    // A zero or invalid DOS date reads as the first day it can hold.
    if (stamp.modified.tv_sec == -1) stamp.modified.tv_sec = DosToFileTime(kDosMinimum);
  }
  // A Unix host's permission bits (an executable stays executable); of the
  // DOS attributes only read-only has a meaning here.
  if (z_.RestoreFileAttr()) {
    stamp.mode = StoredUnixMode(info.versionMadeBy, externalAttributes);
    stamp.readOnly = externalAttributes != kAttrNormal && (externalAttributes & kAttrReadOnly) != 0;
  }
  return stamp;
}

void OutputStamp::Apply(int fd) const {
  const struct timespec times[2] = {{0, UTIME_OMIT}, modified};
  ::futimens(fd, times);  // a date that cannot be set is no error
  // Set through the descriptor: the name may stand for something else by now.
  if (mode) ::fchmod(fd, *mode);
  struct stat st {};
  if (readOnly && ::fstat(fd, &st) == 0) {
    ::fchmod(fd, st.st_mode & 07777 & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH));
  }
}

void ZipExtractor::EndStep(uint32_t expectedCrc, bool reached, int32_t unreachedCode) {
  // An entry that never reached its data fails; whatever stopped it was
  // reported on the way (or is reported here when nothing was).
  const uint32_t crc = z_.RunningCrc();
  const bool crcPass = expectedCrc == crc || expectedCrc == (crc ^ 0xFFFFFFFFu);
  // Data that ends before or goes on beyond the declared size fails even
  // when the declared bytes match the CRC: the entry is not what the archive
  // says it is.
  const bool sizeDiffers = shortData_ || longData_;
  // A file whose last piece could not be written is no success either.
  const bool pass =
      reached && !z_.Cancel() && crcPass && !sizeDiffers && !authFailed_ && !writeFailed_;
  const std::string output = z_.EntryName();
  if (z_.OnEnd) {
    z_.OnEnd(&z_, output, pass);
  } else if (!pass && z_.OnError) {
    if (reached && authFailed_ && !z_.Cancel()) {
      // The encrypted bytes are not those the archive's writer made: damage
      // or tampering, whatever the CRC says.
      z_.ReportError(output, "", "0", ec::AuthenticationFailed);
    } else if (reached && !crcPass) {
      z_.ReportError(output, "", "0", ec::CrcFailed);
    } else if (reached && sizeDiffers && !z_.Cancel()) {
      z_.ReportError(output, "", "0", ec::FileSizeDifferent);
    } else if (!reported_ && unreachedCode != 0) {
      z_.ReportError(output, "", "0", unreachedCode);
    }
  }
}

}  // namespace arc
