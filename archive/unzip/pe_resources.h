//===-- unzip/pe_resources.h - String resources of a PE executable -*- C++ -*-===//
//
// Self-extracting programs may keep the offset of their archive in a string
// resource. This reader finds the string table (resource type 6) in the
// resource section of a PE image and returns individual strings by id. Every
// field of the image is untrusted: each offset is checked against the file
// and the resource section before it is followed.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <arc/support/byte_source.h>

namespace arc {

/// Reads string resource `id` of the PE image in `file`. At most `maxChars`
/// UTF-16 units are taken; characters outside ASCII become '?'. Empty
/// optional when the file is no PE image, has no such string, or any
/// structure on the way is damaged. The first language found is used.
std::optional<std::string> ReadPeString(ByteSource& file, uint16_t id, size_t maxChars);

}  // namespace arc
