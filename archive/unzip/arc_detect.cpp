//===-- unzip/arc_detect.cpp - Archive type detection ---------------------===//
#include "unzip/arc_detect.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <string_view>

#include <arc/support/ascii_case.h>
#include <arc/support/drive_service.h>
#include "support/byte_reader.h"
#include "unzip/end_record.h"
#include "unzip/pe_resources.h"
#include "unzip/zip_records.h"

namespace arc {
namespace {

constexpr int64_t kTinyFile = 19;         // this long or shorter: no archive
constexpr int32_t kHeadLen = 32767;       // bytes read for the leading tests
constexpr int64_t kExeScanStart = 17000;  // signature scan inside executables
constexpr int32_t kScanBlock = 32768;
constexpr int kScanBlocks = 11;
constexpr int32_t kArjMaxHeader = 2600;  // largest ARJ basic header
constexpr int32_t kScanLookahead = kArjMaxHeader + 16;
constexpr int64_t kArcExeOffset = 7716;
constexpr int kUueWindow = 5000;

constexpr uint32_t Le32(char a, char b, char c, char d) {
  return static_cast<uint8_t>(a) | static_cast<uint8_t>(b) << 8 | static_cast<uint8_t>(c) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}
constexpr uint16_t Le16(uint8_t lo, uint8_t hi) { return static_cast<uint16_t>(lo | hi << 8); }

LeadClass TypeOf(TArcType atStart, TArcType embedded, bool isEmbedded, int64_t offset = -1) {
  return {LeadClass::Kind::Type, isEmbedded ? embedded : atStart, offset};
}

bool StartsWith(std::span<const uint8_t> bytes, size_t at, std::string_view text) {
  return at + text.size() <= bytes.size() &&
         std::memcmp(bytes.data() + at, text.data(), text.size()) == 0;
}

}  // namespace

LeadClass ClassifyLead(uint32_t value, bool embedded) {
  // Whole values first.
  switch (value) {
    case 0x07054842:
      return TypeOf(atBh, atBhExe, embedded);
    case Le32('R', 'a', 'r', '!'):
      return TypeOf(atRar, atRarExe, embedded);
    case Le32('P', 'K', 'G', '5'):
      return TypeOf(atUnknown, atUnknown, embedded);
    case Le32('M', 'S', 'C', 'F'):
      return TypeOf(atCab, atCabExe, embedded);
    case 0x5754DFB7:
      return embedded ? LeadClass{LeadClass::Kind::Type, atArcExe, kArcExeOffset}
                      : LeadClass{LeadClass::Kind::Type, atArc, -1};
    case 0x8C655D13:
      return TypeOf(atMsGZ, atUnsupported, embedded);
    default:
      break;
  }
  const auto high = static_cast<uint16_t>(value >> 16);
  const auto low = static_cast<uint16_t>(value & 0xFFFF);
  if (high == Le16('-', 'l')) return TypeOf(atLha, atLhaExe, embedded);
  switch (low) {
    case Le16(0x1A, 0x02):
    case Le16(0x1A, 0x1E):
      return TypeOf(atArc, atUnsupported, embedded);
    case Le16(0x1A, 0x08):
    case Le16(0x1A, 0x09):
      return TypeOf(atArc, atArcExe, embedded);
    case Le16(0x1A, 0x0A):
    case Le16(0x1A, 0x0B):
      return TypeOf(atPak, atPakExe, embedded);
    case Le16(0x1F, 0x1E):
    case Le16(0x25, 0x21):
    case Le16(0x1F, 0x8B):
    case Le16(0x1F, 0x9D):
    case Le16(0x1F, 0x9E):
    case Le16(0x1F, 0xA0):
      return TypeOf(atGZip, atUnsupported, embedded);
    case Le16('H', 'A'):
      return TypeOf(atHA, atUnsupported, embedded);
    case Le16('P', 'K'):
    case Le16('P', 'L'):
      if (high == Le16(0x01, 0x02) || high == Le16(0x07, 0x08)) {
        return {LeadClass::Kind::DiskSet, atNA, -1};
      }
      if (high == Le16('G', '4') || high == Le16('C', 'I')) return {};
      return TypeOf(atZip, atZipExe, embedded);
    case Le16('Z', 'O'):
      return TypeOf(atZoo, atUnsupported, embedded);
    case Le16(0xB7, 0x92):
    case Le16(0xB7, 0xDF):
      return {LeadClass::Kind::Type, atArcExe, kArcExeOffset};
    case Le16(0x60, 0xEA):
      return TypeOf(atArj, atArjExe, embedded);
    default:
      return {};
  }
}

TArcType DecideDiskSet(const std::optional<DiskSetDrive>& drive) {
  if (!drive) return atNA;
  if (!drive->removable) return atZipMV;
  const std::string word = drive->label.substr(0, drive->label.find(' '));
  return SameTextIgnoringCase(word, "PKBACK#") ? atZipDS : atZipMV;
}

bool LooksUuencoded(std::span<const uint8_t> head) {
  const size_t limit = std::min<size_t>(head.size(), kUueWindow);
  bool sawBegin = false;
  for (size_t line = 0; line < limit;) {
    const auto rest = head.first(limit);
    if (StartsWith(rest, line, "begin 6") || StartsWith(rest, line, "begin 7")) return true;
    if (sawBegin && rest[line] == 'M') return true;
    if (StartsWith(rest, line, "begin")) sawBegin = true;
    const auto* nl =
        static_cast<const uint8_t*>(std::memchr(rest.data() + line, '\n', limit - line));
    if (nl == nullptr) break;
    line = static_cast<size_t>(nl - rest.data()) + 1;
  }
  return false;
}

bool LooksLikeTar(std::span<const uint8_t> head, int64_t fileSize) {
  constexpr size_t kBlock = 512, kSumAt = 148, kSumLen = 8, kTypeAt = 156;
  if (fileSize <= static_cast<int64_t>(kBlock)) return false;
  size_t at = 0;
  // A volume-label header comes before the first member; look past it once.
  if (head.size() > kTypeAt && head[kTypeAt] == 'V') at = kBlock;
  if (head.size() < at + kBlock) return false;
  const auto header = head.subspan(at, kBlock);

  uint32_t sum = 0;
  for (size_t i = 0; i < kBlock; ++i) {
    sum += (i >= kSumAt && i < kSumAt + kSumLen) ? uint32_t{' '} : header[i];
  }
  // The stored sum: octal digits, optionally led by blanks, ended by NUL or blank.
  size_t i = kSumAt;
  while (i < kSumAt + kSumLen && header[i] == ' ') ++i;
  uint32_t stored = 0;
  size_t digits = 0;
  for (; i < kSumAt + kSumLen && header[i] >= '0' && header[i] <= '7'; ++i, ++digits) {
    stored = stored * 8 + static_cast<uint32_t>(header[i] - '0');
  }
  if (digits == 0) return false;
  if (i < kSumAt + kSumLen && header[i] != 0 && header[i] != ' ') return false;
  return stored == sum;
}

ArcDetector::ArcDetector(ByteSource& file, std::string fileName, DiskSetQuery query)
    : file_(file), fileName_(std::move(fileName)), query_(std::move(query)) {}

uint32_t ArcDetector::HeadU32(size_t i) const { return U32At(head_, i); }

bool ArcDetector::HasAceMark() const { return StartsWith(head_, 7, "**ACE**"); }

int64_t ArcDetector::SearchEnd() {
  searched_ = true;
  searchResult_ = SearchEndRecord(file_, state_);
  return searchResult_;
}

TArcType ArcDetector::DiskSet() {
  if (!query_) return DecideDiskSet(DiskSetDrive{});
  return DecideDiskSet(query_(fileName_));
}

Detection ArcDetector::Detect() {
  type_ = atNA;
  state_ = ArcOpenState{};
  state_.dataOffset = -1;
  searched_ = false;
  state_.archiveSize = file_.Size();
  if (state_.archiveSize <= kTinyFile) return {atNA, state_};
  head_ = file_.ReadVector(0, kHeadLen);

  if (!StartsWith(head_, 0, "MZ") || !DetectInExecutable()) DetectPlain();
  if (IsValidArcType(type_) && state_.dataOffset == -1) state_.dataOffset = 0;
  if (type_ == atZip) {
    const std::string ext = fileName_.substr(std::min(fileName_.size(), fileName_.rfind('.')));
    if (SameTextIgnoringCase(ext, ".jar")) type_ = atJar;
  }
  return {type_, state_};
}

bool ArcDetector::DetectInExecutable() {
  if (ProbeFixedOffsets() || ProbeStringResources() || ProbeDosImageEnd()) return true;
  const int64_t found = SearchEnd();
  if (found > 0) {
    type_ = atZipExe;
    state_.dataOffset = found;
    return true;
  }
  return SignatureScan(kExeScanStart);
}

bool ArcDetector::ProbeFixedOffsets() {
  const int64_t size = state_.archiveSize;
  for (int64_t at : {6674, 6867, 7716, 8601, 13138}) {
    if (size < at + 3) continue;
    std::array<uint8_t, 2> b{};
    if (!file_.ReadExact(at, b) || b[0] != 0x1A) continue;
    if (b[1] == 0x08 || b[1] == 0x09 || b[1] == 0x0A || b[1] == 0x0B) {
      type_ = b[1] <= 0x09 ? atArcExe : atPakExe;
      state_.dataOffset = at;
      return true;
    }
  }
  std::array<uint8_t, 6> lh{};
  if (file_.ReadExact(1947, lh) && lh[0] == '-' && lh[1] == 'l' && lh[2] == 'h' && lh[4] == '-') {
    type_ = atLhaExe;
    state_.dataOffset = 1945;
    return true;
  }
  for (int64_t at : {7612, 25661}) {
    if (SignatureAt(file_, at) == kLocalHeaderSig) {
      type_ = atZipExe;
      SettleZipFoundAt(at);
      return true;
    }
  }
  return false;
}

bool ArcDetector::ProbeStringResources() {
  for (uint16_t id = 1; id <= 7; ++id) {
    const auto text = ReadPeString(file_, id, 5);
    if (!text || text->empty() ||
        !std::all_of(text->begin(), text->end(), [](char c) { return c >= '0' && c <= '9'; })) {
      return false;
    }
    const int64_t at = std::stoll(*text);
    if (at >= state_.archiveSize) return false;
    const auto bytes = file_.ReadVector(at, 14);
    if (StartsWith(bytes, 7, "**ACE**")) {
      type_ = atAceExe;
      state_.dataOffset = at;
      return true;
    }
    if (bytes.size() < 4) continue;
    const LeadClass c = ClassifyLead(U32At(bytes, 0), true);
    if (c.kind == LeadClass::Kind::None) continue;
    TakeEmbedded(c, at);
    if (IsValidArcType(type_) && !IsZipType(type_)) {
      // Whatever the string pointed at, a ZIP end record decides where
      // the archive data begins when there is one.
      const int64_t found = SearchEnd();
      if (state_.headerState != 0) state_.dataOffset = found;
    }
    return true;
  }
  return false;
}

bool ArcDetector::ProbeDosImageEnd() {
  const int64_t pages = U16At(head_, 4);
  const int64_t lastPage = U16At(head_, 2);
  int64_t at = (pages - 1) * 512 + lastPage;
  if (at <= 0 || at + 4 > state_.archiveSize) return false;
  std::array<uint8_t, 4> b{};
  if (!file_.ReadExact(at, b)) return false;
  if (b[2] == 0x60 && b[3] == 0xEA) {
    at += 2;
    if (!file_.ReadExact(at, b)) return false;
  }
  const uint32_t value = U32At(b, 0);
  if (value == kLocalHeaderSig) return false;  // left to the end-record search
  const LeadClass c = ClassifyLead(value, true);
  if (c.kind == LeadClass::Kind::None) return false;
  // Only a valid type ends the search here; anything else is let go.
  ArcOpenState before = state_;
  const bool searchedBefore = searched_;
  if (TakeEmbedded(c, at) && IsValidArcType(type_)) return true;
  state_ = before;
  searched_ = searchedBefore;
  return false;
}

bool ArcDetector::TakeEmbedded(const LeadClass& c, int64_t at) {
  type_ = c.kind == LeadClass::Kind::DiskSet ? DiskSet() : c.type;
  state_.dataOffset = c.dataOffset != -1 ? c.dataOffset : at;
  if (IsZipType(type_)) SettleZipFoundAt(state_.dataOffset);
  return true;
}

void ArcDetector::SettleZipFoundAt(int64_t at) {
  // The place where the ZIP signature was seen is only a fallback: with a
  // central directory the archive is read from there, and without one the
  // local headers are walked from where the signature stood (left at that
  // alone, such an archive would show no entries at all).
  const int64_t found = searched_ ? searchResult_ : SearchEnd();
  if (HasHeader(state_.headerState, htCentral) || state_.headerState == htLocal) {
    state_.dataOffset = found;
    return;
  }
  state_.dataOffset = at;
  state_.headerState = htLocal;
}

bool ArcDetector::DetectPlain() {
  size_t lead = 0;
  while (lead < head_.size() && head_[lead] == 0) ++lead;
  if (lead > 0 && StartsWith(head_, 130, "-l") &&
      state_.archiveSize - static_cast<int64_t>(lead) >= 133) {
    type_ = atLha;
    state_.dataOffset = 128;
    return true;
  }

  const LeadClass c = ClassifyLead(HeadU32(lead), false);
  TArcType type = c.kind == LeadClass::Kind::DiskSet ? DiskSet() : c.type;
  if (c.kind != LeadClass::Kind::None) state_.dataOffset = c.dataOffset;

  if (c.kind != LeadClass::Kind::None) {
    if (type == atZip || type == atZipExe || type == atJar || type == atJarExe) {
      type_ = type;
      state_.dataOffset = SearchEnd();
      // The first volume of a set begins with a local header too; the end
      // record tells a later volume, which then needs the disk-set decision.
      if (HasHeader(state_.headerState, htEnding) && state_.endVolume != 0) {
        type_ = DiskSet();
      }
      if (!HasHeader(state_.headerState, htLocal) && state_.dataOffset == 0) {
        state_.dataOffset = static_cast<int64_t>(lead);
        state_.headerState |= htLocal;
      }
      return true;
    }
    if (type == atZipDS || type == atZipMV) {
      type_ = type;
      state_.dataOffset = SearchEnd();
      if (state_.headerState == 0) state_.headerState = htLocal;
      return true;
    }
    type_ = type;
    if (!IsValidArcType(type)) return true;  // detection ends with it
    if (HasAceMark()) type_ = atAce;
    return true;
  }

  if (HasAceMark()) {
    type_ = atAce;
    return true;
  }
  if (LooksUuencoded(head_)) {
    type_ = atUUE;
    return true;
  }
  if (LooksLikeTar(head_, state_.archiveSize)) {
    type_ = atTar;
    return true;
  }
  const int64_t found = SearchEnd();
  if (found > 0) {
    state_.dataOffset = found;
    type_ = state_.endVolume == 0 ? atZip : DiskSet();
    return true;
  }
  return SignatureScan(0);
}

bool ArcDetector::SignatureScan(int64_t start) {
  const int64_t size = state_.archiveSize;
  for (int block = 0; block < kScanBlocks; ++block) {
    const int64_t base = start + int64_t{block} * kScanBlock;
    if (base >= size) return false;
    const auto buf = file_.ReadVector(base, kScanBlock + kScanLookahead);
    if (buf.empty()) return false;
    const size_t positions = std::min<size_t>(buf.size(), kScanBlock);
    for (size_t i = 0; i < positions; ++i) {
      const int64_t hit = base + static_cast<int64_t>(i);
      const uint8_t b0 = buf[i];
      auto found = [&](TArcType atZero, TArcType elsewhere, int64_t offset) {
        type_ = hit == offset ? atZero : elsewhere;
        state_.dataOffset = hit - offset;
        return true;
      };
      // An ACE or LHA mark too near the start of the file for its header
      // to fit in front of it is no archive.
      if (b0 == '*' && hit >= 7 && StartsWith(buf, i, "**ACE")) {
        return found(atAce, atAceExe, 7);
      }
      if (b0 == '-' && hit >= 2 && size - hit >= 5 && i + 5 <= buf.size() && buf[i + 1] == 'l' &&
          buf[i + 2] == 'h' && buf[i + 4] == '-') {
        return found(atLha, atLhaExe, 2);
      }
      if (i + 4 > buf.size()) continue;
      const uint32_t v = U32At(buf, i);
      const bool longer = i + 8 <= buf.size();
      if (v == 0x07054842 && !(longer && U32At(buf, i + 4) == 0x84C3940F)) {
        return found(atBh, atBhExe, 0);
      }
      if (v == Le32('M', 'S', 'C', 'F') && start == kExeScanStart && longer &&
          U32At(buf, i + 4) == 0) {
        return found(atCab, atCabExe, 0);
      }
      if (v == kLocalHeaderSig && !(longer && U32At(buf, i + 4) == 0x003D0B74)) {
        type_ = start == 0 ? atZip : atZipExe;
        SettleZipFoundAt(hit);
        return true;
      }
      if (v == Le32('R', 'a', 'r', '!')) return found(atRar, atRarExe, 0);
      if (b0 == 0x60 && buf[i + 1] == 0xEA) {
        const size_t s = U16At(buf, i + 2);
        if (s <= kArjMaxHeader && i + s + 12 <= buf.size() && buf[i + s + 10] == 0x60 &&
            buf[i + s + 11] == 0xEA) {
          return found(atArj, atArjExe, 0);
        }
      }
    }
  }
  return false;
}

Detection DetectArchiveFile(ByteSource& file, const std::string& fileName, DriveService& drives) {
  DiskSetQuery query = [&drives](const std::string& path) -> std::optional<DiskSetDrive> {
    DriveInfo info;
    DriveQueryHandlers handlers;
    handlers.needWritable = false;
    if (!drives.DriveQuery(path, handlers, info)) return std::nullopt;
    return DiskSetDrive{info.driveType == KDriveRemovable, info.volumeLabel};
  };
  return ArcDetector(file, fileName, std::move(query)).Detect();
}

}  // namespace arc
