//===-- app/alias_file.h - DefAlias.dat, the selected company ---*- C++ -*-===//
//
// DefAlias.dat (beside the executable, or where app/locations.h says) holds
// the alias id of the selected company as text: the reader takes the first
// line without its line break (CR, LF or CR LF) and trims nothing; the writer
// writes the id alone.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace app {

class TAliasTable;

/// The company the program works on.
struct TCompany {
  std::string DatabaseName;
  std::string Description;
};

/// Picks the company: the id in DefAlias.dat ("0" when the file is missing,
/// unreadable or empty) is located in the open alias table; when no row has it,
/// the current row (the first after opening) is taken. An empty table gives
/// empty texts. Throws EDatabaseError when the table is closed.
TCompany SelectCompany(const std::string& exeDir, TAliasTable& aliasTable);

/// DefAlias.dat of the program whose data folder is `exeDir` (with a trailing
/// '/'): E + "DefAlias.dat" in a build tree, the first found in the settings
/// folders when installed.
std::filesystem::path AliasFilePath(const std::string& exeDir);

/// The first line of `file`; empty when the file is missing or unreadable.
std::string ReadFirstLine(const std::filesystem::path& file);

/// Creates or truncates `file` and writes `text` without a line break; throws
/// std::system_error when the file cannot be written.
void WriteWholeFile(const std::filesystem::path& file, std::string_view text);

}  // namespace app
