//===-- core/arc_root_open.cpp - Opening an assigned archive --------------===//
//
// Minimal open procedure: remembers the name of an existing file and leaves
// the type undetermined. Type detection and the end-record search replace
// this file.
//
//===----------------------------------------------------------------------===//
#include <filesystem>
#include <system_error>

#include "core/arc_root.h"

namespace arc {

void TArcRoot::SetArchiveFile(const std::string& value) {
  open_ = TArcOpenState{};
  arc_type_ = atNA;
  std::error_code ec;
  archive_file_ = !value.empty() && std::filesystem::exists(value, ec) ? value : std::string();
}

void TArcRoot::SetArcType(TArcType /*value*/) {
  arc_type_ = atNA;
}

}  // namespace arc
