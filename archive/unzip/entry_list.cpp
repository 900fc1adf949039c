//===-- unzip/entry_list.cpp - The entries an extraction works on ---------===//
#include "unzip/entry_list.h"

#include <algorithm>

#include <arc/support/error_codes.h>
#include <arc/unzip/unzip.h>
#include "unzip/end_record.h"
#include "unzip/record_walk.h"
#include "unzip/zip_records.h"

namespace arc {
namespace {

/// Sizes and offsets are 48-bit quantities.
constexpr uint64_t k48Bits = (uint64_t{1} << 48) - 1;

/// The AES block of a method 99 entry; none for any other entry, or when
/// the block is missing or malformed.
std::optional<AesExtra> AesBlockOf(uint16_t method, std::span<const uint8_t> extra) {
  AesExtra aes;
  if (method != kMethodAes || FindAesExtra(extra, aes) != AesExtraStatus::Found)
    return std::nullopt;
  return aes;
}

/// The totals serve progress only. Tens of thousands of entries that each
/// claim 2^48 bytes must not overflow them: they stop at 2^62.
constexpr int64_t kTotalCap = int64_t{1} << 62;

int64_t AddCapped(int64_t total, int64_t n) {
  return n > 0 && total > kTotalCap - n ? kTotalCap : total + n;
}

/// Adds the entry to the totals of the list, without keeping it.
void Tally(ZipEntryList& list, const ZipEntryItem& item, bool first) {
  const bool encrypted = (item.flags & kFlagEncrypted) != 0;
  const int64_t overhead = !encrypted ? 0
                           : item.aes ? static_cast<int64_t>(AesOverhead(item.aes->strength))
                                      : 12;
  list.compressedTotal =
      AddCapped(list.compressedTotal, static_cast<int64_t>(item.compressedSize) - overhead);
  list.uncompressedTotal =
      AddCapped(list.uncompressedTotal, static_cast<int64_t>(item.uncompressedSize));
  if (first || static_cast<int32_t>(item.dosDateTime) > list.newestDate) {
    list.newestDate = static_cast<int32_t>(item.dosDateTime);
  }
}

void Count(ZipEntryList& list, const ZipEntryItem& item) {
  Tally(list, item, list.items.empty());
  list.items.push_back(item);
}

/// Entries whose local header lies where it cannot be: in the directory or
/// after it, at the same place as another entry's, or inside the data of
/// another entry. Such entries would have their bytes read twice or read
/// from records, the way archives built to expand without end are made.
/// The extent an entry is given (header and data, name and extra field left
/// out) is a lower bound, and only one that ends before the directory counts:
/// a damaged size must not hide the entries after it.
std::vector<bool> FindOverlaps(const std::vector<ZipEntryItem>& items, int64_t directoryAt) {
  std::vector<bool> overlapping(items.size(), false);
  std::vector<size_t> order(items.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return items[a].localPos < items[b].localPos; });
  int64_t coveredTo = 0;  // end of the data of the entries so far
  int64_t previous = -1;
  for (size_t i : order) {
    const ZipEntryItem& item = items[i];
    if (item.localPos >= directoryAt || item.localPos == previous || item.localPos < coveredTo) {
      overlapping[i] = true;
      continue;
    }
    previous = item.localPos;
    const int64_t end = item.localPos + static_cast<int64_t>(kLocalHeaderLen) +
                        static_cast<int64_t>(item.compressedSize);
    if (end <= directoryAt) coveredTo = std::max(coveredTo, end);
  }
  return overlapping;
}

/// The damage opening saw: each kind once, for the archive.
void ReportOpenDamage(const ArcOpenState& open, const EntryListHost& host) {
  if (!host.report) return;
  if ((open.damage & kDamageComment) != 0) host.report(std::string(), ec::InvalidCommentHeader);
  if ((open.damage & kDamageZip64) != 0) host.report(std::string(), ec::BadFileHeader);
}

}  // namespace

bool ZipEntryInfo::Encrypted() const { return (flags & kFlagEncrypted) != 0; }

bool ZipEntryInfo::StrongEncryption() const {
  return Encrypted() && (flags & kFlagStrongEncryption) != 0;
}

uint32_t LocalScanAttributes(const std::string& name) {
  return !name.empty() && name.back() == '/' ? kAttrDirectory : kAttrArchive;
}

ZipEntryInfo DescribeCentralEntry(std::string name, const CentralHeader& header,
                                  uint64_t compressedSize, uint64_t uncompressedSize,
                                  std::span<const uint8_t> extra) {
  ZipEntryInfo info;
  info.name = std::move(name);
  info.versionMadeBy = header.versionMadeBy;
  info.flags = header.flags;
  info.method = header.method;
  info.crc32 = header.crc32;
  info.dosDateTime = header.dosDateTime;
  info.externalAttributes = header.externalAttributes;
  info.compressedSize = compressedSize;
  info.uncompressedSize = uncompressedSize;
  info.modified = ExtraModificationTime(extra);
  info.aes = AesBlockOf(info.method, extra);
  return info;
}

ZipEntryList ListCentralDirectory(ByteSource& archive, const ArcOpenState& open,
                                  const EntryListHost& host) {
  ZipEntryList list;
  ReportOpenDamage(open, host);
  const bool singleFile = host.arcType != atZipDS && host.arcType != atZipMV;
  // Every entry whose local header was found, selected or not: the overlap
  // check needs them all.
  std::vector<ZipEntryItem> found;
  std::vector<bool> selected;
  // Room for the count the end record gives, as far as the bytes between the
  // directory's start and the comment can hold that many records: the list
  // is made once, not doubled on the way. A forged count gets no more.
  constexpr uint64_t kMostReserved = uint64_t{1} << 20;
  const int64_t span =
      std::min(open.commentPos, open.archiveSize) - std::max<int64_t>(open.dataOffset, 0);
  const uint64_t fits = span > 0 ? static_cast<uint64_t>(span) / kCentralHeaderLen : 0;
  found.reserve(static_cast<size_t>(std::min({open.declaredEntries, fits, kMostReserved})));
  // The directory is read in one pass from its first entry; it is expected
  // whole on the volume that holds the end record.
  const DirectoryWalk walk = WalkCentralDirectory(
      archive, open, host.cancelled, [&](const CentralRecord& record, int64_t) {
        const std::string name =
            StoredNameToLocal(record.storedName, record.header.flags, host.translateOem);
        const bool wanted = host.selects && host.selects(name);
        const EntryExtent& ext = record.extent;
        // Zip64 values beyond 48 bits are no sizes or offsets but damage; cut
        // down, they would turn into plausible wrong ones.
        const bool plausible = ext.compressedSize <= k48Bits && ext.uncompressedSize <= k48Bits &&
                               ext.localHeaderOffset <= k48Bits;
        ZipEntryItem item;
        static_cast<ZipEntryInfo&>(item) =
            DescribeCentralEntry(name, record.header, ext.compressedSize & k48Bits,
                                 ext.uncompressedSize & k48Bits, record.extra);
        item.volume = static_cast<int32_t>(ext.diskNumberStart) + 1;
        item.localPos =
            static_cast<int64_t>(ext.localHeaderOffset & k48Bits) + open.offsetAdjustment;
        if (!plausible ||
            (singleFile && !RecordStartsAt(archive, item.localPos, RecordKind::Local))) {
          if (wanted && host.report) host.report(name, ec::BadFileHeader);
        } else {
          found.push_back(std::move(item));
          selected.push_back(wanted);
        }
      });
  // The directory runs past the end of the file, or (said once for the
  // archive) ends before the count its end record gives: entries are lost.
  if (host.report && (walk.truncated || (singleFile && !walk.Complete() && !walk.cancelled))) {
    host.report(std::string(), ec::BadFileHeader);
  }

  std::vector<bool> overlapping(found.size(), false);
  if (singleFile) overlapping = FindOverlaps(found, open.dataOffset);
  // The entries taken are moved to the front of `found`, which becomes the list.
  size_t kept = 0;
  for (size_t i = 0; i < found.size(); ++i) {
    if (!selected[i]) continue;
    if (overlapping[i]) {
      if (host.report) host.report(found[i].name, ec::BadFileHeader);
    } else {
      Tally(list, found[i], kept == 0);
      if (kept != i) found[kept] = std::move(found[i]);
      ++kept;
    }
  }
  found.resize(kept);
  list.items = std::move(found);
  return list;
}

ZipEntryList ListLocalHeaders(ByteSource& archive, const ArcOpenState& open,
                              const EntryListHost& host) {
  ZipEntryList list;
  ReportOpenDamage(open, host);
  const LocalWalk walk =
      WalkLocalHeaders(archive, open.dataOffset, host.cancelled, [&](const LocalEntry& e) {
        const LocalRecord& record = e.record;
        const std::string name =
            StoredNameToLocal(record.storedName, record.header.flags, host.translateOem);
        if (name.empty() || !host.selects || !host.selects(name)) return;
        ZipEntryItem item;
        item.name = name;
        item.volume = 1;
        item.localPos = e.at;
        item.externalAttributes = LocalScanAttributes(name);
        item.flags = record.header.flags;
        item.method = record.header.method;
        item.crc32 = e.crc32;
        item.dosDateTime = record.header.dosDateTime;
        item.compressedSize = e.compressedSize;
        item.uncompressedSize = e.uncompressedSize;
        item.modified = ExtraModificationTime(record.extra);
        item.aes = AesBlockOf(item.method, record.extra);
        item.fromCentral = false;
        Count(list, item);
      });
  if (host.report) {
    // Entries were found, but not through a directory: the archive lost its
    // end (or never had one), and entries may be missing without a trace.
    if (walk.records > 0) host.report(std::string(), ec::HeaderNotFound);
    if (walk.broken) host.report(std::string(), ec::BadFileHeader);
  }
  return list;
}

std::optional<std::vector<ZipEntryInfo>> ListZipEntries(
    const TUnZip& reader, const std::function<bool(const std::string& name)>& selects,
    const ZipEntryReport& report) {
  FileSource file(reader.ArchiveFile());
  if (!file.IsOpen()) return std::nullopt;
  EntryListHost host;
  host.arcType = reader.ArcType();
  host.translateOem = reader.TranslateOemChar();
  host.selects = selects ? selects : [](const std::string&) { return true; };
  if (report) {
    host.report = [&](const std::string& name, int32_t code) {
      report(name.empty() ? reader.ArchiveFile() : name, code);
    };
  }
  const ArcOpenState& open = reader.OpenState();
  const ZipEntryList list = open.headerState == htLocal ? ListLocalHeaders(file, open, host)
                                                        : ListCentralDirectory(file, open, host);
  return std::vector<ZipEntryInfo>(list.items.begin(), list.items.end());
}

}  // namespace arc
