//===-- support/cp437.h - Code page 437 <-> UTF-8 ----------------*- C++ -*-===//
//
// Names stored without the UTF-8 flag are in the DOS code page 437. The
// tables below are our own; bytes 0x00-0x7F are ASCII both ways.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace arc {

/// Unicode code points of the bytes 0x80-0xFF of code page 437.
extern const char16_t kCp437High[128];

/// The byte written for a character that code page 437 cannot hold.
constexpr char kCp437Unmappable = '_';

/// Code page 437 bytes to UTF-8.
std::string Cp437ToUtf8(std::string_view bytes);

/// UTF-8 to code page 437. Characters without a CP437 form and bytes that are
/// not valid UTF-8 become kCp437Unmappable, one per character or bad byte.
std::string Utf8ToCp437(std::string_view text);

/// True when every byte is below 0x80 (both encodings agree).
bool IsAscii(std::string_view s);

}  // namespace arc
