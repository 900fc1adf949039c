//===-- app/alias_file.h - DefAlias.dat, the selected company ---*- C++ -*-===//
//
// DefAlias.dat beside the executable holds the alias id of the selected
// company as text: the reader takes the first line without its line break
// (CR, LF or CR LF) and trims nothing; the writer writes the id alone.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace app {

/// E + "DefAlias.dat", E being the executable's folder with a trailing '/'.
std::filesystem::path AliasFilePath(const std::string& exeDir);

/// The first line of `file`; empty when the file is missing or unreadable.
std::string ReadFirstLine(const std::filesystem::path& file);

/// Creates or truncates `file` and writes `text` without a line break; throws
/// std::system_error when the file cannot be written.
void WriteWholeFile(const std::filesystem::path& file, std::string_view text);

}  // namespace app
