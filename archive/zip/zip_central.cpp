//===-- zip/zip_central.cpp - Central directory and end record ------------===//
#include <arc/support/error_codes.h>
#include <arc/support/errors.h>
#include "support/stream_errors.h"
#include <arc/zip/zip.h>
#include "zip/zip_updater.h"
#include "zip/zip_layout.h"

namespace arc {
namespace {

/// The directory goes out in pieces of about this size.
constexpr size_t kDirectoryChunk = 65536;

}  // namespace

void ZipUpdater::WriteCentralDirectory() {
  z_.DispatchProgress(0, 0);
  TStream32& out = run_.Output->Stream();
  try {
    const auto start = static_cast<uint64_t>(out.Seek(0, TSeekOrigin::soEnd));
    std::vector<uint8_t> pending;
    uint64_t entries = 0;
    for (const TCompHeader& e : run_.Headers) {
      if (e.Action == TEntryAction::Drop) continue;
      CentralRecordParts parts;
      parts.header = e.Central;
      parts.header.diskNumberStart = 0;
      parts.name = e.Stored();
      parts.compressedSize = e.CompressedSize;
      parts.uncompressedSize = e.UncompressedSize;
      parts.localHeaderOffset = e.Offset;
      parts.localZip64 = e.LocalZip64;
      parts.otherExtra = e.CentralExtra;
      parts.comment = e.Comment;
      parts.encipher = e.EncipheredHeaders;
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
        EndOfDirectoryBytes(entries, end - start, start, end, run_.ArchiveComment);
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
  TStream32& out = run_.Output->Stream();
  const int64_t here = out.Seek(0, TSeekOrigin::soEnd);
  EndRecord e;
  // Zero without a program in front; otherwise where the directory would be.
  e.centralDirOffset = static_cast<uint64_t>(here);
  const std::vector<uint8_t> bytes = SerializeEndRecord(e);
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
  for (int32_t i = 0; i < run_.Headers.Count(); ++i) {
    const TCompHeader& e = run_.Headers[i];
    if (e.Action == TEntryAction::Drop) continue;
    z_.OnRead(&z_, static_cast<int64_t>(e.Offset), i);
  }
}

}  // namespace arc
