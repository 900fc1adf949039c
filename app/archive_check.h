//===-- app/archive_check.h - Reading a backup archive back -----*- C++ -*-===//
//
// A backup is not called a success until its archive has been opened again
// with the reader and every entry decoded and its CRC-32 checked, without
// writing anything.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace app {

struct TArchiveCheck {
  int32_t Tested = 0;  ///< entries decoded with a matching CRC
  int32_t Errors = 0;  ///< errors the reader reported
  std::string Cause;   ///< the first error, in the reader's words
  bool Ok() const { return Tested > 0 && Errors == 0; }
};

/// Tests every entry of `archive`, encrypted ones with `password`.
/// `progress` gets the reader's percentages (by entry, by archive); `pump`
/// runs whenever the reader lets the caller handle its messages. Questions
/// the reader would ask (a password, a disk) are declined.
TArchiveCheck CheckArchive(const std::string& archive,
                           const std::function<void(uint8_t, uint8_t)>& progress = {},
                           const std::function<void()>& pump = {},
                           const std::string& password = {});

}  // namespace app
