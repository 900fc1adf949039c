//===-- zip/zip_central.cpp - Central directory and end record ------------===//
#include <arc/support/error_codes.h>
#include <arc/support/errors.h>
#include <arc/zip/zip.h>
#include "support/stream_errors.h"
#include "zip/zip_layout.h"
#include "zip/zip_updater.h"

namespace arc {
namespace {

/// The directory goes out in pieces of about this size.
constexpr size_t kDirectoryChunk = 65536;

}  // namespace

void ZipUpdater::WriteCentralDirectory() {
  z_.DispatchProgress(0, 0);
  TStream32& out = run_.output->Stream();
  try {
    const auto start = static_cast<uint64_t>(out.Seek(0, TSeekOrigin::soEnd));
    std::vector<uint8_t> pending;
    uint64_t entries = 0;
    for (const CompHeader& e : run_.headers) {
      if (e.action == EntryAction::Drop) continue;
      CentralRecordParts parts;
      parts.header = e.central;
      parts.header.diskNumberStart = 0;
      parts.name = e.Stored();
      parts.compressedSize = e.compressedSize;
      parts.uncompressedSize = e.uncompressedSize;
      parts.localHeaderOffset = e.offset;
      parts.localZip64 = e.localZip64;
      parts.otherExtra = e.centralExtra;
      parts.comment = e.comment;
      parts.encipher = e.encipheredHeaders;
      const std::vector<uint8_t> record = CentralRecordBytes(parts);
      pending.insert(pending.end(), record.begin(), record.end());
      if (pending.size() >= kDirectoryChunk) {
        out.WriteBuffer(pending.data(), static_cast<int32_t>(pending.size()));
        pending.clear();
      }
      ++entries;
    }
    if (!pending.empty()) out.WriteBuffer(pending.data(), static_cast<int32_t>(pending.size()));
    const auto end = static_cast<uint64_t>(out.Position());
    const std::vector<uint8_t> tail =
        EndOfDirectoryBytes(entries, end - start, start, end, run_.archiveComment);
    out.WriteBuffer(tail.data(), static_cast<int32_t>(tail.size()));
  } catch (const EStreamWrite& e) {
    // A directory cut short would make an archive that loses entries: the
    // update fails instead.
    const int32_t code = WriteFailureCode(e.OsError());
    z_.RaiseError(z_.ArchiveFile(), "", "0", code);
    throw E_RAISE(std::string(ErrorText(code)));
  }
}

void ZipUpdater::WriteEmptyArchive() {
  TStream32& out = run_.output->Stream();
  const int64_t here = out.Seek(0, TSeekOrigin::soEnd);
  // The directory is empty and would start here: at zero without a program
  // in front. The archive's comment outlives its entries.
  const auto at = static_cast<uint64_t>(here);
  const std::vector<uint8_t> bytes = EndOfDirectoryBytes(0, 0, at, at, run_.archiveComment);
  try {
    out.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  } catch (const EStreamWrite& ex) {
    const int32_t code = WriteFailureCode(ex.OsError());
    z_.RaiseError(z_.ArchiveFile(), "", "0", code);
    throw E_RAISE(std::string(ErrorText(code)));
  }
}

void ZipUpdater::ReportWrittenEntries() {
  if (!z_.OnRead) return;
  for (int32_t i = 0; i < run_.headers.Count(); ++i) {
    const CompHeader& e = run_.headers[i];
    if (e.action == EntryAction::Drop) continue;
    z_.OnRead(&z_, static_cast<int64_t>(e.offset), i);
  }
}

}  // namespace arc
