//===-- arc/unzip/mask_select.h - Choosing entries by file masks --*- C++ -*-===//
//
// Which stored names an extraction takes. Include masks are tried in list
// order; the first one that applies and matches decides, and then only the
// exclude masks can still turn the entry down. A mask without a folder
// applies to names in every folder when folders are recursed, and only to
// names without a folder otherwise. A name or mask without a dot is retried
// with a dot appended, so that "*.*" takes an extension-less file.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace arc {

/// The folder part of a name: up to its last '/', '\' or ':', with a '/'
/// added when not empty ("" for a bare name).
std::string MaskDirPart(std::string_view name);

/// True when `name` (a converted stored name, '/' between folders) is
/// selected. An include mask that needed the appended dot keeps it: the
/// dot is added to the line of `fileSpec` itself.
bool SelectStoredName(std::string_view name, std::vector<std::string>& fileSpec,
                      const std::vector<std::string>& excludeSpec, bool recurseDirs);

}  // namespace arc
