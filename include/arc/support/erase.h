//===-- arc/support/erase.h - Erasing files ---------------------*- C++ -*-===//
#pragma once

#include <string>

namespace arc {

/// Erases a file. With `allowUndo` false it is deleted for good. With
/// `allowUndo` true it goes to the freedesktop Trash of its mount (without any
/// question); a path that matches nothing gives false at once, and a file on a
/// mount that has no Trash is left in place and gives false. A last path
/// component with '*' or '?' that names no file literally moves every match.
bool EraseFile(const std::string& path, bool allowUndo);

}  // namespace arc
