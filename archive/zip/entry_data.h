//===-- zip/entry_data.h - The data of one new entry -------------*- C++ -*-===//
//
// The data step of the entry writer: what stands between an entry's
// prepared local header and its final one.
//
//   [CRC pass]                          traditional cipher: the header
//                                       needs the CRC before the data
//   [12-byte encryption header]         or the AES salt and verifier,
//                                       fresh for every pass
//   data: deflated, or stored when asked, or when deflating enlarged them
//   [again from the encryption header]  when the data pass read other bytes
//                                       than the CRC pass, a few times
//   [AES authentication code]
//
// Deflating happens in one place, EntryDataWriter::Deflate (entry_data.cpp),
// on workers for a large file; a small plain file may come deflated already
// by the workers that read ahead (entry_prefetch.h).
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <arc/codec/aes_crypt.h>
#include <arc/codec/aes_extra.h>
#include "unzip/zip_records.h"

namespace arc {

class ArchiveOutput;
class SourceFileStream;
struct PrefetchedFile;
class TZipBase;

/// One file's entry: settled before its data (name, what is asked for,
/// cipher, Zip64), completed by the data step.
struct EntryPlan {
  std::string sourcePath;   ///< the file, for reports
  std::string storedName;   ///< the entry's name, local form, for reports
  std::string name;         ///< the stored bytes of the name
  uint16_t nameFlags = 0;   ///< bit 11 when they are UTF-8
  uint16_t host = 0;        ///< "version made by" host
  int64_t size = 0;         ///< bytes measured when the file was opened
  bool storeAsked = false;  ///< stored without trying to deflate
  bool encrypt = false;
  std::optional<AesStrength> aes;  ///< AES; traditional cipher when empty
  AesExtra aesBlock;
  bool zip64 = false;
  LocalHeader header;     ///< prepared, then final
  int64_t offset = 0;     ///< of the local header in the output
  int64_t dataStart = 0;  ///< first byte after the prepared header

  // What the data step found.
  bool stored = false;      ///< the data went in stored
  uint32_t crc = 0;         ///< CRC-32 of the file's bytes
  uint64_t compressed = 0;  ///< from dataStart to the end of the entry
  /// A data pass read other bytes than the CRC pass before it.
  bool rereadOtherBytes = false;

  /// An AES entry's 0x9901 block, naming the real method; empty for others.
  /// Its length is the same whichever method.
  std::vector<uint8_t> AesBlockBytes(bool storedData) const;
};

/// Writes the data of `plan`'s entry from `plan.dataStart` on, and sets its
/// results. False when the entry is not written: cancelled, or reported (an
/// engine failure, a file that shrank or kept changing, a cipher failure).
/// A failed write raises. With `ahead`, a plain entry's file as the workers
/// read and deflated it (its source is `source`): written with the events
/// of reading it here.
bool WriteEntryData(TZipBase& zip, ArchiveOutput& output, SourceFileStream& source, EntryPlan& plan,
                    const PrefetchedFile* ahead = nullptr);

}  // namespace arc
