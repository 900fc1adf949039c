//===-- unzip/zip_extractor.h - One run of TUnZip::Extract -------*- C++ -*-===//
//
// Private to the reader. A ZipExtractor lives for one Extract call and owns
// everything the run needs: the open archive (or volume), the entry list, the
// current password and cipher, the running CRC and the output file. TUnZip
// keeps the settings and the events; the extractor reads them.
//
// Per entry:  volume switch -> local header -> output path -> begin step
//             (OnRenameFile, OnBegin, overwrite rules) -> password ->
//             folder or file -> decode (copy, stream decoders, legacy)
//             [-> AES authentication code] -> date, close, attributes ->
//             end step (OnEnd, or 26518, 25151)
//
//===----------------------------------------------------------------------===//
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <arc/codec/aes_crypt.h>
#include <arc/codec/aes_extra.h>
#include <arc/unzip/unzip.h>
#include "codec/ordered_work_queue.h"
#include "support/block_pipeline.h"
#include "support/stream32.h"
#include "support/unique_fd.h"
#include "unzip/entry_list.h"
#include "unzip/output_path.h"
#include "unzip/zip_records.h"

namespace arc {

/// What the reader knows of the entry it is about to write.
struct EntryInfo {
  uint16_t flags = 0;
  uint16_t method = 0;
  uint64_t compressedSize = 0;  ///< counts an encryption header
  uint64_t uncompressedSize = 0;
  uint32_t crc32 = 0;        ///< expected CRC-32 (local header)
  uint32_t dosDateTime = 0;  ///< date of the local header
  uint32_t centralCrc = 0;
  uint64_t centralCompressed = 0;
  bool fromCentral = true;
  uint16_t versionMadeBy = 0;       ///< of the directory entry (0 from a local walk)
  int64_t dataPos = 0;              ///< first byte of the data in the open volume
  std::optional<UtcTime> modified;  ///< precise time of an extra-field block
  /// The 0x9901 block of an AES entry (method 99).
  std::optional<AesExtra> aes;

  /// The method the data are compressed with: an AES entry's real one.
  uint16_t DataMethod() const { return aes ? aes->method : method; }
  /// Bytes in front of the encrypted data: salt and verifier, or the 12-byte
  /// traditional header.
  uint64_t EncryptionHeaderLen() const;
  /// What encryption adds to the compressed size (AES: the code as well).
  uint64_t EncryptionOverhead() const;
  /// AE-2 entries store no CRC: their authentication code alone judges them.
  bool CrcStored() const { return !aes || aes->vendorVersion != kAesVendorAe2; }
};

/// The date and permissions of a written file, worked out on the caller's
/// thread (the time zone is read there) and applied on any.
struct OutputStamp {
  struct timespec modified {};
  std::optional<mode_t> mode;  ///< a Unix host's permission bits
  bool readOnly = false;       ///< the DOS read-only attribute
  void Apply(int fd) const;
};

struct ParallelEntry;
using ParallelBatch = std::vector<std::shared_ptr<ParallelEntry>>;
using ParallelQueue = OrderedWorkQueue<std::shared_ptr<ParallelBatch>>;

class ZipExtractor {
 public:
  explicit ZipExtractor(TUnZip& owner);
  ~ZipExtractor();
  ZipExtractor(const ZipExtractor&) = delete;
  ZipExtractor& operator=(const ZipExtractor&) = delete;

  /// The whole of Extract (`toFiles`) or Test: the number of files written
  /// or decoded.
  int32_t Run(bool toFiles);

  /// Split archives: opens volume `index` (0-based) after asking for it.
  bool RequestVolume(int32_t index);
  /// The name the next split volume's name is made from.
  const std::string& BaseVolume() const { return baseVolume_; }

  /// True for the compression methods a decoder reads.
  static bool CanDecode(uint16_t method);

 private:
  // unzip_extract.cpp: the run and its entry loops.
  void Body();
  bool OpenArchive(const std::string& name);
  void ExtractEntries();
  bool ReadLocalEntry(const ZipEntryItem& item, EntryInfo& info, std::string& storedName);
  static bool IsDirectoryEntry(uint32_t externalAttributes, const std::string& stored);
  /// Reports a hostile or empty name and an encrypted entry too short for
  /// its header; false when the entry is passed over.
  bool CheckEntry(const EntryInfo& info, uint32_t externalAttributes, const std::string& stored);
  void ExtractOne(EntryInfo& info, uint32_t externalAttributes);
  bool BeginStep(bool directory);
  /// The password search for an encrypted entry; false (reported) when no
  /// password opens it.
  bool FindPassword(const EntryInfo& info);
  void SkipEntry(uint64_t size);
  void EndStep(uint32_t expectedCrc, bool reached, int32_t unreachedCode);
  void Finish(const EntryInfo& info, uint32_t externalAttributes);
  /// The date and permissions the entry's file is given, by the settings.
  OutputStamp StampFor(const EntryInfo& info, uint32_t externalAttributes) const;

  // unzip_parallel.cpp: small entries decoded and written on workers.
  void StartParallel();
  /// Takes an entry that raises no event before its data is written (no
  /// OnBegin, no question, no report) onto a worker; false when it must go
  /// the ordinary way.
  bool QueueEntry(const ZipEntryItem& item);
  /// Ends every queued entry, in order, with the events ExtractOne raises.
  void DrainParallel();
  void EndQueued(ParallelEntry& entry);
  void SubmitBatch();
  void EndBatch(ParallelBatch& batch);
  bool IsMultiVolume() const;

  // unzip_decode.cpp: turning the entry's data into the output file.
  void Decompress(EntryInfo& info, bool encrypted);
  void CopyStored(const EntryInfo& info, bool encrypted);
  /// Deflate, Deflate64 and the methods of the library decoders.
  void StreamData(const EntryInfo& info, bool encrypted);
  void LegacyData(const EntryInfo& info, bool encrypted);
  /// Through the component's block writer (CRC, decipher when asked); a
  /// short write ends the entry: false.
  bool WriteBlock(uint8_t* data, uint32_t count, bool decipher);
  /// A large entry's plain bytes gather in the blocks of a pipeline whose
  /// worker checksums and writes them while the next ones are decoded
  /// (unzip_pipeline.cpp). Without one, pieces go through WriteBlock.
  bool UsePipeline(const EntryInfo& info) const;
  void StartPipeline();
  /// Room for the next piece of up to `want` (<= kPieceSize) bytes: in the
  /// pipeline's block, or `own`. Null when an earlier block failed to be
  /// written (reported).
  uint8_t* Room(uint8_t* own, uint32_t want);
  /// The piece of `count` bytes decoded at Room(): deciphered when asked,
  /// then written (or queued). False when the entry's output failed.
  bool Put(uint8_t* data, uint32_t count, bool decipher);
  /// Waits for every queued block, takes the pipeline's CRC as the running
  /// one and reports a failed write; the pipeline is gone afterwards.
  void EndPipeline();
  /// A write failure the worker met, reported on this thread.
  void PipelineFailed(int errorNumber);
  /// Deciphers entry data in place with the entry's cipher (AES or the
  /// component's traditional key state); the bytes taken (AES takes none
  /// past the entry's encrypted data).
  uint32_t Decipher(uint8_t* data, uint32_t count);
  /// An AES entry, after its data: the encrypted bytes no decoder read and
  /// the stored code, from `readTo_` on (following volumes); sets authFailed_.
  void Authenticate();
  /// Reads exactly `count` bytes from the archive at its position, going on
  /// in the next volume where one ends.
  bool ReadFollowingVolumes(uint8_t* data, uint32_t count, int64_t stillToRead);

  // unzip_volumes.cpp: moving between volumes.
  /// Data goes on in the next volume; `stillToRead` bytes of the entry
  /// remain, the next record stands right after them.
  bool NextVolumeForData(int64_t stillToRead);
  /// Bytes of the entry after its data: an AES entry's authentication code.
  int64_t DataTrailer() const { return aes_ ? static_cast<int64_t>(kAesCodeLen) : 0; }
  bool FetchDisk();
  bool CheckDisk();

  TUnZip& z_;
  std::unique_ptr<TFileStream32> archive_;
  std::string archiveName_;  // ArchiveFile at the start of the run
  ZipEntryList list_;
  int32_t count_ = 0;
  std::string password_;
  /// A password search failed in this run: the user is not asked again, but
  /// every encrypted entry is still tried with the passwords known.
  bool passwordFailed_ = false;
  bool toFiles_ = true;                  // false: decode and check only
  UniqueFd out_;                         // output file being written
  OutputFolderCache folders_;            // the folder of the last file written
  bool reported_ = false;                // the entry's failure was reported already
  bool writeFailed_ = false;             // a block of the entry could not be written
  uint64_t produced_ = 0;                // bytes the entry's decoder gave so far
  bool shortData_ = false;               // the entry's data ended before its declared size
  bool longData_ = false;                // the entry's data goes on beyond its declared size
  std::unique_ptr<AesCipher> aes_;       // the AES entry's keys, once its password is found
  int64_t readTo_ = -1;                  // where the decoder stopped reading (current volume)
  int64_t readBeyond_ = 0;               // bytes read before readTo_ past the encrypted data
  bool authFailed_ = false;              // the AES entry's authentication code does not match
  std::string baseVolume_;               // split archives: name the next volume is made from
  int32_t wantedDisk_ = 0;               // spanned archives: 0 last, 1 first, n disk n
  int64_t checkPos_ = 0;                 // where a valid record must stand on the disk offered
  std::unique_ptr<BlockPipeline> pipe_;  // the large entry's writer, while it is decoded
  uint8_t* block_ = nullptr;             // the pipeline's block being filled
  uint32_t filled_ = 0;                  // bytes in it
  uint32_t pipeCrc_ = 0;  // running CRC kept by the worker (its own until EndPipeline)
  std::unique_ptr<ParallelQueue> parallel_;  // small entries on workers, ended in order
  std::shared_ptr<ParallelBatch> batch_;     // queued entries not yet handed to a worker
  size_t batchBytes_ = 0;
};

}  // namespace arc
