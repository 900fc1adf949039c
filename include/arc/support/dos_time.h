//===-- arc/support/dos_time.h - DOS date-time conversions ------*- C++ -*-===//
//
// A DOS date-time is 32 bits of local time: the date in the high half
// (bits 25-31 year - 1980, 21-24 month, 16-20 day) and the time in the low
// half (bits 11-15 hours, 5-10 minutes, 0-4 seconds / 2). A date-time value
// (double) counts days since 30 December 1899; its fraction is the time of
// day.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <ctime>

namespace arc {

/// 1 January 1980, 00:01:00: what a zero or invalid DOS value reads as.
constexpr double kDosDefaultDateTime = 29221.0 + 60.0 / 86400.0;
/// The smallest DOS value, 1 January 1980 00:00:00.
constexpr uint32_t kDosMinimum = (1u << 21) | (1u << 16);
/// The largest DOS value, 31 December 2107 23:59:58.
constexpr uint32_t kDosMaximum =
    (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u;

/// The DOS time (low half) and date (high half) of a 32-bit DOS date-time.
inline uint16_t DosTimeOf(uint32_t dosDateTime) { return static_cast<uint16_t>(dosDateTime); }
inline uint16_t DosDateOf(uint32_t dosDateTime) { return static_cast<uint16_t>(dosDateTime >> 16); }
inline uint32_t MakeDosDateTime(uint16_t date, uint16_t time) {
  return (static_cast<uint32_t>(date) << 16) | time;
}

/// Fields of a DOS date-time as stored (no validation; the conversion to a
/// date-time value handles invalid dates).
struct DosFields {
  uint16_t year = 1980;  ///< 1980..2107
  uint16_t month = 1;
  uint16_t day = 1;
  uint16_t hour = 0;
  uint16_t minute = 0;
  uint16_t second = 0;  ///< even; stored halved
  friend bool operator==(const DosFields&, const DosFields&) = default;
};
DosFields UnpackDosDateTime(uint32_t dosDateTime);
/// The year is held to 1980..2107, other fields are cut to their bit width; an
/// odd second is rounded down.
uint32_t PackDosDateTime(const DosFields& f);

/// True for a Gregorian date with year 1-9999.
bool IsValidDate(int32_t year, int32_t month, int32_t day);

/// The date-time value of a valid date at midnight.
double EncodeDate(int32_t year, int32_t month, int32_t day);

/// A DOS value as a date-time value. Zero, an invalid date or an invalid time
/// reads as kDosDefaultDateTime; with an invalid date and a valid time the
/// time of day is added to it.
double DosToDateTime(uint32_t dos);

/// A date-time value as DOS, to the second below; dates outside 1980-2107 are
/// held to kDosMinimum / kDosMaximum.
uint32_t DateTimeToDos(double dateTime);

/// A file time (seconds since the epoch) in local time as DOS, held to the
/// DOS range like DateTimeToDos.
uint32_t FileTimeToDos(std::time_t fileTime);

/// A DOS value as a file time, read as local time; -1 for an invalid value.
std::time_t DosToFileTime(uint32_t dos);

/// Which time FileHandleDosTime reads.
enum class FileTimeKind : int32_t { Creation = 0, LastWrite = 1, LastAccess = 2 };

/// A time of the open file `fd` as DOS; 0 when it cannot be read. The
/// creation time is the birth time where the file system records one, else
/// the last-write time.
uint32_t FileHandleDosTime(int fd, FileTimeKind which);

}  // namespace arc
