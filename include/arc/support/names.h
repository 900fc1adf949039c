//===-- arc/support/names.h - Stored entry names and method names --*- C++ -*-===//
//
// Entry names in an archive use '/' and, unless the entry says UTF-8, the DOS
// code page 437. Local names are UTF-8 with '/'. When reading, '\' counts as
// a separator too, since some writers store it.
//
// These functions only translate; a name read from an archive may still carry
// a drive ("C:/x"), a leading separator or ".." and must be made safe before
// it is joined to a local folder.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace arc {

/// A stored name as a local name: from CP437 when `oem`, then '\' becomes '/'.
std::string StoredToLocalName(std::string_view name, bool oem);

/// A local name as a stored name: '\' becomes '/', then to CP437 when `oem`.
std::string LocalToStoredName(std::string_view name, bool oem);

/// Only the code page step of LocalToStoredName (no change unless `oem`).
std::string LocalToOem(std::string_view name, bool oem);

/// The listing name of a Deflate (method 8) or Deflate64 (method 9) entry,
/// chosen by the level bits (1 and 2) of its general-purpose flags:
/// "DeflateN", "DeflateX", "DeflateF", "DeflateS" or the "Def-64" forms.
std::string DeflateDisplayName(uint16_t generalPurposeFlags, bool deflate64);

}  // namespace arc
