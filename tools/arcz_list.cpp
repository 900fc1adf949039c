//===-- tools/arcz_list.cpp - The l command -------------------------------===//
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include <arc/codec/aes_extra.h>
#include <arc/support/dos_time.h>
#include <arc/support/error_codes.h>
#include <arc/support/names.h>
#include <arc/unzip/unzip.h>
#include <arc/unzip/zip_entries.h>
#include "arcz_cli.h"
#include "arcz_report.h"
#include "arcz_terminal.h"

namespace arcz {
namespace {

std::string MethodName(const arc::ZipEntryInfo& e) {
  // An AES entry names its real method in its AES block.
  const uint16_t method = e.aes ? e.aes->method : e.method;
  switch (method) {
    case 0:
      return "Stored";
    case 1:
      return "Shrunk";
    case 2:
    case 3:
    case 4:
    case 5:
      return "Reduced" + std::to_string(method - 1);
    case 6:
      return "Imploded";
    case 8:
      return arc::DeflateDisplayName(e.flags, false);
    case 9:
      return arc::DeflateDisplayName(e.flags, true);
    case 12:
      return "BZip2";
    case 14:
      return "LZMA";
    case 93:
      return "Zstd";
    case 95:
      return "XZ";
    case 98:
      return "PPMd";
    case arc::kMethodAes:
      return "AES";
    default:
      return "Method" + std::to_string(method);
  }
}

/// How the entry is encrypted: "-", "ZipCrypto", "AES-128/192/256" (an AES
/// entry without a readable AES block: "AES"), "Strong".
std::string EncryptionName(const arc::ZipEntryInfo& e) {
  if (e.method == arc::kMethodAes) {
    if (!e.aes) return "AES";
    return "AES-" + std::to_string(64 + 64 * static_cast<int>(e.aes->strength));
  }
  if (!e.Encrypted()) return "-";
  return e.StrongEncryption() ? "Strong" : "ZipCrypto";
}

/// The share of `length` that packing saved, as unzip -v shows it.
std::string Ratio(uint64_t length, uint64_t packed) {
  if (length == 0) return "0%";
  const double saved = 100.0 * (1.0 - static_cast<double>(packed) / static_cast<double>(length));
  return std::to_string(static_cast<long long>(saved + (saved < 0 ? -0.5 : 0.5))) + "%";
}

/// "YYYY-MM-DD HH:MM" in local time: of the precise time a time block of
/// the extra field gives, else of the DOS date-time (a zero or invalid date
/// reads as 1980-01-01, as extraction sets it).
std::string DateOf(const arc::ZipEntryInfo& e) {
  std::tm tm{};
  bool precise = false;
  if (e.modified) {
    const auto t = static_cast<std::time_t>(e.modified->seconds);
    precise = localtime_r(&t, &tm) != nullptr && tm.tm_year >= -1900 && tm.tm_year <= 9999 - 1900;
  }
  char text[32];
  if (precise) {
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min);
    return text;
  }
  arc::DosFields d = arc::UnpackDosDateTime(e.dosDateTime);
  if (arc::DosToFileTime(e.dosDateTime) == -1) d = arc::UnpackDosDateTime(arc::kDosMinimum);
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u", d.year, d.month, d.day, d.hour,
                d.minute);
  return text;
}

}  // namespace

int RunList(const Options& o) {
  ProgressBar bar;
  Reporter reporter(bar);
  arc::TUnZip z;
  if (!OpenForReading(z, o.archive, reporter)) return kExitUnreadable;
  const std::optional<std::vector<arc::ZipEntryInfo>> entries = arc::ListZipEntries(
      z, {}, [&](const std::string& name, int32_t code) { reporter.Report(name, "", "0", code); });
  if (!entries) {
    reporter.Report(z.ArchiveFile(), "", "0", arc::ec::OpenError);
    return kExitUnreadable;
  }

  uint64_t length = 0, packed = 0;
  if (o.verbose) {
    std::printf("%12s  %-9s %12s %6s  %-16s  %-8s  %-10s  %s\n", "Length", "Method", "Packed",
                "Ratio", "Date", "CRC-32", "Encryption", "Name");
  } else {
    std::printf("%12s %12s  %-9s %-16s %-8s  %s\n", "Length", "Packed", "Method", "Date", "CRC-32",
                "Name");
  }
  for (const arc::ZipEntryInfo& e : *entries) {
    const auto size = static_cast<unsigned long long>(e.uncompressedSize);
    const auto pack = static_cast<unsigned long long>(e.compressedSize);
    if (o.verbose) {
      std::printf("%12llu  %-9s %12llu %6s  %-16s  %08x  %-10s  %s\n", size, MethodName(e).c_str(),
                  pack, Ratio(size, pack).c_str(), DateOf(e).c_str(), e.crc32,
                  EncryptionName(e).c_str(), Printable(e.name).c_str());
    } else {
      std::printf("%12llu %12llu  %-9s %-16s %08x  %s\n", size, pack, MethodName(e).c_str(),
                  DateOf(e).c_str(), e.crc32, Printable(e.name).c_str());
    }
    length += e.uncompressedSize;
    packed += e.compressedSize;
  }
  const std::string count =
      std::to_string(entries->size()) + (entries->size() == 1 ? " entry" : " entries");
  if (o.verbose) {
    std::printf("%12llu  %-9s %12llu %6s  %-16s  %-8s  %-10s  %s\n",
                static_cast<unsigned long long>(length), "",
                static_cast<unsigned long long>(packed), Ratio(length, packed).c_str(), "", "", "",
                count.c_str());
  } else {
    std::printf("%12llu %12llu  %s\n", static_cast<unsigned long long>(length),
                static_cast<unsigned long long>(packed), count.c_str());
  }
  return reporter.Count() == 0 ? kExitOk : kExitErrors;
}

}  // namespace arcz
