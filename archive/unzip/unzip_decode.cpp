//===-- unzip/unzip_decode.cpp - Writing an entry's data ------------------===//
//
// The decoders by method: 0 copies, 8 and 9 inflate through the decompress
// adapter, 1 to 6 go to the legacy decoders; anything else is reported as
// unsupported and leaves an empty file. Every decoder writes through
// WriteBlock, which keeps the running CRC, and follows the data into the next
// volume of a split or spanned archive when the current one ends.
//
//===----------------------------------------------------------------------===//
#include <algorithm>
#include <vector>

#include <arc/support/error_codes.h>
#include "support/stream_adapters.h"
#include "support/stream_memory.h"
#include "unzip/legacy/legacy_io.h"
#include "unzip/zip_extractor.h"
#include <arc/unzip/zip_records.h>

namespace arc {
namespace {

constexpr uint32_t kCopyBlock = 32768;
constexpr uint32_t kInflateChunk = 32768;

}  // namespace

bool ZipExtractor::CanDecode(uint16_t method) {
  return method == kMethodStored || method == kMethodDeflated || method == kMethodDeflate64 ||
         IsLegacyMethod(method);
}

void ZipExtractor::Decompress(EntryInfo& info, bool encrypted) {
  z_.SetRunningCrc(kCrc32Init);
  // The encryption header was taken by the password check.
  if (encrypted) info.compressedSize = info.compressedSize >= 12 ? info.compressedSize - 12 : 0;
  const int64_t dataStart = info.dataPos + (encrypted ? 12 : 0);
  if (archive_->Seek(dataStart, TSeekOrigin::soBeginning) != dataStart) return;
  switch (info.method) {
    case kMethodStored: CopyStored(info, encrypted); break;
    case kMethodDeflated: InflateData(info, encrypted, false); break;
    case kMethodDeflate64: InflateData(info, encrypted, true); break;
    default:
      LegacyData(info, encrypted);
      break;
  }
}

bool ZipExtractor::WriteBlock(uint8_t* data, uint32_t count, bool decipher) {
  produced_ += count;
  if (!toFiles_) {
    // Testing: the data only goes through the CRC.
    if (decipher) z_.DecipherBlock(data, static_cast<int32_t>(count));
    uint32_t crc = z_.RunningCrc();
    Crc32Update(data, static_cast<int32_t>(count), crc);
    z_.SetRunningCrc(crc);
    return true;
  }
  THandleStream32 out(out_.get());
  const auto n = static_cast<int32_t>(count);
  // A full disk raises the fatal 25160 inside; any other short write was
  // reported as 25136 and ends the entry.
  if (z_.WriteBlock(out, data, n, decipher ? TBlockCipher::Decipher : TBlockCipher::None) == n) {
    return true;
  }
  writeFailed_ = true;
  return false;
}

void ZipExtractor::CopyStored(const EntryInfo& info, bool encrypted) {
  std::vector<uint8_t> buf(kCopyBlock);
  // Stored data is as long as both sizes say; where they disagree, never
  // read past the entry's own bytes into the records that follow.
  const auto size = static_cast<int64_t>(std::min(info.uncompressedSize, info.compressedSize));
  // More stored bytes than the entry's size: the rest is not silently dropped.
  longData_ = info.compressedSize > info.uncompressedSize;
  int64_t left = size;
  while (left > 0 && !z_.Cancel()) {
    const auto want = static_cast<int32_t>(std::min<int64_t>(left, kCopyBlock));
    const int32_t got = archive_->Read(buf.data(), want);
    if (got <= 0) {
      if (IsMultiVolume() && NextVolumeForData(left)) continue;
      break;
    }
    if (!WriteBlock(buf.data(), static_cast<uint32_t>(got), encrypted)) return;
    left -= got;
    z_.Totals().Remaining -= got;
    z_.DoProgress(list_.compressedTotal, size, size - left);
  }
}

void ZipExtractor::LegacyData(const EntryInfo& info, bool encrypted) {
  if (!IsLegacyMethod(info.method)) {
    z_.ReportError(z_.EntryName(), "", "0", ec::UnsupportedCompressionMethod);
    return;
  }
  const auto size = static_cast<int64_t>(info.uncompressedSize);
  // Compressed bytes not yet read: the decoders stop at the declared size,
  // and a volume switch needs to know where the next record stands.
  int64_t left = static_cast<int64_t>(info.compressedSize);
  LegacyIo io;
  io.readBlock = [&](uint8_t* p, uint32_t n) -> uint32_t {
    const auto want = static_cast<int32_t>(std::min<int64_t>(n, std::max<int64_t>(left, 0)));
    if (want <= 0) return 0;
    int32_t got = z_.ReadBlock(*archive_, p, want, encrypted, false);
    if (got <= 0 && IsMultiVolume() && NextVolumeForData(left)) {
      got = z_.ReadBlock(*archive_, p, want, encrypted, false);
    }
    if (got <= 0) return 0;
    left -= got;
    return static_cast<uint32_t>(got);
  };
  io.writeBlock = [this](uint8_t* p, uint32_t n) { return WriteBlock(p, n, false); };
  io.onProgress = [&](uint32_t n, uint64_t written) {
    z_.Totals().Remaining -= n;
    z_.DoProgress(z_.Totals().Total, size, static_cast<int64_t>(written));
  };
  io.onError = [this](int32_t code, LegacySeverity severity) {
    if (severity == LegacySeverity::Raise) {
      z_.RaiseError(z_.EntryName(), "", "0", code);
    } else {
      z_.ReportError(z_.EntryName(), "", "0", code);
    }
  };
  io.cancel = z_.CancelFlag();
  io.compressedSize = info.compressedSize;
  io.uncompressedSize = info.uncompressedSize;
  const int32_t status = DecodeLegacy(info.method, info.flags, io);
  // The decoders pass every failure on themselves, but for a lack of memory.
  if (status == ec::OutOfMemory) z_.ReportError(z_.EntryName(), "", "0", ec::OutOfMemory);
}

void ZipExtractor::InflateData(const EntryInfo& info, bool encrypted, bool deflate64) {
  // Where the adapter is pointed when no next volume could be had, so that
  // it never refers to a closed one.
  TMemoryStream32 nothing;
  TDecompressStream stream(*archive_, kDeflateWindowBits,
                           deflate64 ? InflateVariant::Deflate64 : InflateVariant::Deflate);
  if (stream.InitResult() != inflate_result::Ok) {
    // An engine that cannot start would make no progress at all.
    z_.ReportError(z_.EntryName(), "", "0", ec::OutOfMemory);
    return;
  }
  stream.Control.Cancel = z_.CancelFlag();
  stream.Control.Encrypted = encrypted;
  stream.Control.Cipher = [this](uint8_t* p, uint32_t n) {
    z_.DecipherBlock(p, static_cast<int32_t>(n));
  };
  std::vector<uint8_t> buf(kInflateChunk);
  const auto size = static_cast<int64_t>(info.uncompressedSize);
  int64_t expected = size;
  while (expected > 0 && !z_.Cancel()) {
    z_.Dialogs.PumpMessages();
    const auto chunk = static_cast<int32_t>(std::min<int64_t>(expected, kInflateChunk));
    const int32_t result = stream.Read(buf.data(), chunk);
    const auto produced = static_cast<int32_t>(chunk - static_cast<int32_t>(stream.Engine().avail_out));
    if (produced > 0) {
      if (!WriteBlock(buf.data(), static_cast<uint32_t>(produced), false)) return;
      expected -= produced;
      z_.Totals().Remaining -= produced;
      z_.DoProgress(z_.Totals().Total, size, size - expected);
    }
    if (result == inflate_result::BufError && IsMultiVolume()) {
      // The input ran out: the data goes on at the start of the next volume.
      const int64_t unread =
          static_cast<int64_t>(info.compressedSize) - static_cast<int64_t>(stream.Engine().total_in);
      if (!NextVolumeForData(std::max<int64_t>(unread, 0))) {
        stream.SetStream(&nothing);
        break;
      }
      stream.SetStream(archive_.get());
      stream.SetStreamPos(0);
      continue;
    }
    // Damaged or short data, or a stream that ended before the declared size:
    // what did not come will not come (the CRC check judges the rest).
    if (result < 0 || (stream.Control.EndOfData && expected > 0)) {
      z_.Totals().Remaining -= expected;
      break;
    }
  }
  // All the declared bytes came; a stream that goes on decodes to more than
  // the entry says it holds.
  if (expected == 0 && !stream.Control.EndOfData && !z_.Cancel()) {
    uint8_t beyond = 0;
    stream.Read(&beyond, 1);
    longData_ = stream.Engine().avail_out == 0;
  }
}

}  // namespace arc
