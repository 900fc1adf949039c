//===-- app/backup_history.cpp - Backups named by their time ----*- C++ -*-===//
#include "backup_history.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>

namespace app {

namespace fs = std::filesystem;

namespace {

std::string Format(std::time_t time, const char* format) {
  std::tm local{};
  localtime_r(&time, &local);
  char text[32];
  const size_t n = std::strftime(text, sizeof text, format, &local);
  return std::string(text, n);
}

/// Takes `count` decimal digits from the front of `text`.
std::optional<int> TakeDigits(std::string_view& text, size_t count) {
  if (text.size() < count) return std::nullopt;
  int value = 0;
  for (size_t i = 0; i < count; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  text.remove_prefix(count);
  return value;
}

/// The time and sequence of a name made by UnusedStampedName, if it is one.
std::optional<TStampedFile> ParseStamped(std::string_view name, const std::string& database,
                                         const std::string& ext) {
  if (!name.starts_with(database + "-") || !name.ends_with(ext)) return std::nullopt;
  std::string_view stamp = name.substr(database.size() + 1);
  if (stamp.size() < ext.size()) return std::nullopt;
  stamp.remove_suffix(ext.size());
  std::tm tm{};
  const auto year = TakeDigits(stamp, 4), month = TakeDigits(stamp, 2), day = TakeDigits(stamp, 2);
  if (!year || !month || !day || stamp.empty() || stamp.front() != '-') return std::nullopt;
  stamp.remove_prefix(1);
  const auto hour = TakeDigits(stamp, 2), minute = TakeDigits(stamp, 2),
             second = TakeDigits(stamp, 2);
  if (!hour || !minute || !second) return std::nullopt;
  TStampedFile file;
  if (!stamp.empty()) {
    if (stamp.front() != '-' || stamp.size() < 2 || stamp.size() > 6) return std::nullopt;
    stamp.remove_prefix(1);
    const size_t digits = stamp.size();
    const auto sequence = TakeDigits(stamp, digits);
    if (!sequence || *sequence < 2) return std::nullopt;
    file.Sequence = *sequence;
  }
  if (*month < 1 || *month > 12 || *day < 1 || *day > 31 || *hour > 23 || *minute > 59 ||
      *second > 60) {
    return std::nullopt;
  }
  tm.tm_year = *year - 1900;
  tm.tm_mon = *month - 1;
  tm.tm_mday = *day;
  tm.tm_hour = *hour;
  tm.tm_min = *minute;
  tm.tm_sec = *second;
  tm.tm_isdst = -1;
  file.Time = std::mktime(&tm);
  return file;
}

}  // namespace

std::string TimeStamp(std::time_t time) { return Format(time, "%Y%m%d-%H%M%S"); }

std::string DisplayTime(std::time_t time) { return Format(time, "%Y-%m-%d %H:%M:%S"); }

std::string UnusedStampedName(const std::string& folder, const std::string& database,
                              std::time_t time, const std::string& ext) {
  const std::string stem = folder + database + "-" + TimeStamp(time);
  std::string name = stem + ext;
  std::error_code ec;
  for (int n = 2; fs::exists(fs::symlink_status(name, ec)); ++n) {
    name = stem + "-" + std::to_string(n) + ext;
  }
  return name;
}

std::vector<TStampedFile> FindStamped(const std::string& folder, const std::string& database,
                                      const std::string& ext) {
  std::vector<TStampedFile> found;
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
    std::error_code fileError;
    if (!entry.is_regular_file(fileError) || entry.is_symlink(fileError)) continue;
    std::optional<TStampedFile> file =
        ParseStamped(entry.path().filename().string(), database, ext);
    if (!file) continue;
    file->Path = entry.path().string();
    file->Size = entry.file_size(fileError);
    found.push_back(std::move(*file));
  }
  std::sort(found.begin(), found.end(), [](const TStampedFile& a, const TStampedFile& b) {
    return a.Time != b.Time ? a.Time > b.Time : a.Sequence > b.Sequence;
  });
  return found;
}

std::vector<std::string> Expired(const std::vector<TStampedFile>& found, int32_t keep,
                                 int32_t maxAgeDays, std::time_t now) {
  std::vector<std::string> expired;
  const std::time_t oldest = now - static_cast<std::time_t>(maxAgeDays) * 24 * 60 * 60;
  for (size_t i = 1; i < found.size(); ++i) {
    const bool beyondCount = keep > 0 && i >= static_cast<size_t>(keep);
    const bool tooOld = maxAgeDays > 0 && found[i].Time < oldest;
    if (beyondCount || tooOld) expired.push_back(found[i].Path);
  }
  return expired;
}

}  // namespace app
