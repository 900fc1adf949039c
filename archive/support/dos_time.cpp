//===-- support/dos_time.cpp - DOS date-time conversions --------*- C++ -*-===//
#include <arc/support/dos_time.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>

namespace arc {
namespace {

constexpr int64_t kUnixEpochDay = 25569;  // 1 January 1970 as a date-time value

// Days from 1 January 1970 of a proleptic Gregorian date.
constexpr int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

constexpr void CivilFromDays(int64_t z, int64_t& y, int64_t& m, int64_t& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp + (mp < 10 ? 3 : -9);
  y = yoe + era * 400 + (m <= 2);
}

constexpr bool IsLeap(int32_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

struct Parts {
  int64_t year, month, day, hour, minute, second;
};

uint32_t PackDos(const Parts& p) {
  if (p.year < 1980) return kDosMinimum;
  if (p.year > 2107) return kDosMaximum;
  return uint32_t(p.year - 1980) << 25 | uint32_t(p.month) << 21 | uint32_t(p.day) << 16 |
         uint32_t(p.hour) << 11 | uint32_t(p.minute) << 5 | uint32_t(p.second / 2);
}

bool IsValidTime(const DosFields& f) { return f.hour < 24 && f.minute < 60 && f.second < 60; }

}  // namespace

DosFields UnpackDosDateTime(uint32_t dosDateTime) {
  const uint16_t time = DosTimeOf(dosDateTime);
  const uint16_t date = DosDateOf(dosDateTime);
  DosFields f;
  f.hour = time >> 11;
  f.minute = (time >> 5) & 0x3F;
  f.second = static_cast<uint16_t>((time & 0x1F) * 2);
  f.year = static_cast<uint16_t>(1980 + (date >> 9));
  f.month = (date >> 5) & 0x0F;
  f.day = date & 0x1F;
  return f;
}

uint32_t PackDosDateTime(const DosFields& f) {
  const uint32_t year = std::clamp<uint32_t>(f.year, 1980, 1980 + 127) - 1980;
  const uint32_t date = (year << 9) | ((f.month & 0x0Fu) << 5) | (f.day & 0x1Fu);
  const uint32_t time =
      ((f.hour & 0x1Fu) << 11) | ((f.minute & 0x3Fu) << 5) | ((f.second / 2u) & 0x1Fu);
  return MakeDosDateTime(static_cast<uint16_t>(date), static_cast<uint16_t>(time));
}

bool IsValidDate(int32_t year, int32_t month, int32_t day) {
  static constexpr int32_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  return day <= kDays[month - 1] + (month == 2 && IsLeap(year) ? 1 : 0);
}

double EncodeDate(int32_t year, int32_t month, int32_t day) {
  return double(DaysFromCivil(year, month, day) + kUnixEpochDay);
}

double DosToDateTime(uint32_t dos) {
  if (dos == 0) return kDosDefaultDateTime;
  const DosFields f = UnpackDosDateTime(dos);
  if (!IsValidTime(f)) return kDosDefaultDateTime;
  double date = IsValidDate(f.year, f.month, f.day) ? EncodeDate(f.year, f.month, f.day)
                                                    : kDosDefaultDateTime;
  return date + (f.hour * 3600 + f.minute * 60 + f.second) / 86400.0;
}

uint32_t DateTimeToDos(double dateTime) {
  if (!std::isfinite(dateTime)) return kDosMinimum;
  // Whole milliseconds first, so that 0.5 days is exactly noon.
  double ms = std::round(dateTime * 86400000.0);
  if (ms < EncodeDate(1980, 1, 1) * 86400000.0) return kDosMinimum;
  if (ms >= EncodeDate(2108, 1, 1) * 86400000.0) return kDosMaximum;
  int64_t total = int64_t(ms);
  int64_t day = total / 86400000;
  int64_t secOfDay = (total % 86400000) / 1000;
  Parts p{};
  CivilFromDays(day - kUnixEpochDay, p.year, p.month, p.day);
  p.hour = secOfDay / 3600;
  p.minute = secOfDay / 60 % 60;
  p.second = secOfDay % 60;
  return PackDos(p);
}

uint32_t FileTimeToDos(std::time_t fileTime) {
  std::tm tm{};
  if (localtime_r(&fileTime, &tm) == nullptr) return kDosMinimum;
  Parts p{int64_t(tm.tm_year) + 1900,     tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
          tm.tm_sec > 59 ? 59 : tm.tm_sec};
  return PackDos(p);
}

std::time_t DosToFileTime(uint32_t dos) {
  const DosFields f = UnpackDosDateTime(dos);
  if (!IsValidDate(f.year, f.month, f.day) || !IsValidTime(f)) return std::time_t(-1);
  std::tm tm{};
  tm.tm_year = f.year - 1900;
  tm.tm_mon = f.month - 1;
  tm.tm_mday = f.day;
  tm.tm_hour = f.hour;
  tm.tm_min = f.minute;
  tm.tm_sec = f.second;
  tm.tm_isdst = -1;
  return mktime(&tm);
}

uint32_t FileHandleDosTime(int fd, FileTimeKind which) {
  struct statx sx {};
  if (statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) return 0;
  const struct statx_timestamp* ts = &sx.stx_mtime;
  if (which == FileTimeKind::Creation && (sx.stx_mask & STATX_BTIME) != 0) ts = &sx.stx_btime;
  if (which == FileTimeKind::LastAccess) ts = &sx.stx_atime;
  return FileTimeToDos(std::time_t(ts->tv_sec));
}

}  // namespace arc
