//===-- fuzz/detect.cpp - Type detection and entry listing in memory ------===//
//
// The input is an archive held in memory: its type is detected (leading
// bytes, executables and their string resources, the end-record search, the
// signature scan), the string resources an executable may carry are read,
// and the entries are listed the way an extraction lists them. Nothing
// touches the disk, so this runs far faster than the whole-archive target and
// reaches the parsers behind detection much more often.
//
//===----------------------------------------------------------------------===//
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "unzip/arc_detect.h"
#include "unzip/entry_list.h"
#include "unzip/pe_resources.h"

namespace {

void Check(bool ok) {
  if (!ok) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  arc::MemorySource file(std::span<const uint8_t>(data, size));
  // Every drive counts as removable with a backup label, so that both
  // volume types are reached.
  arc::ArcDetector detector(file, "in.zip", [](const std::string&) {
    return std::optional<arc::DiskSetDrive>(arc::DiskSetDrive{true, "PKBACK# 001"});
  });
  const arc::Detection found = detector.Detect();
  const auto fileSize = static_cast<int64_t>(size);
  Check(found.open.archiveSize == fileSize);
  if (arc::IsZipType(found.type))
    Check(found.open.dataOffset >= 0 && found.open.dataOffset <= fileSize);

  for (uint16_t id = 0; id < 18; ++id) {
    const auto text = arc::ReadPeString(file, id, 8);
    if (text) Check(text->size() <= 8);
  }

  if (!arc::IsZipType(found.type)) return 0;
  arc::EntryListHost host;
  host.arcType = found.type;
  host.selects = [](const std::string&) { return true; };
  int reports = 0;
  host.report = [&reports](const std::string&, int32_t) { ++reports; };
  const arc::ZipEntryList list = found.open.headerState == arc::htLocal
                                     ? arc::ListLocalHeaders(file, found.open, host)
                                     : arc::ListCentralDirectory(file, found.open, host);
  // Each entry listed stands on at least one record read from the input.
  Check(list.items.size() <= size / 30 + 1);
  for (const arc::ZipEntryItem& item : list.items) {
    Check(item.compressedSize < (uint64_t{1} << 48) && item.uncompressedSize < (uint64_t{1} << 48));
  }
  return 0;
}
