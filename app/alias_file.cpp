//===-- app/alias_file.cpp - DefAlias.dat, the selected company -*- C++ -*-===//
#include "alias_file.h"

#include <cerrno>
#include <fstream>
#include <system_error>

#include "app/db/alias_table.h"
#include "app/locations.h"

namespace app {

std::filesystem::path AliasFilePath(const std::string& exeDir) {
  return SettingsFile(exeDir, "DefAlias.dat");
}

TCompany SelectCompany(const std::string& exeDir, TAliasTable& aliasTable) {
  std::string id = ReadFirstLine(AliasFilePath(exeDir));
  if (id.empty()) id = "0";  // an id no row has
  aliasTable.Locate("aliasID", id);
  return {aliasTable.FieldAsText("DatabaseNames"), aliasTable.FieldAsText("DatabaseDesc")};
}

std::string ReadFirstLine(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string line;
  char c;
  while (in.get(c) && c != '\r' && c != '\n') line += c;
  return line;
}

void WriteWholeFile(const std::filesystem::path& file, std::string_view text) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (out) out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  if (!out) {
    throw std::system_error(errno ? errno : EIO, std::generic_category(),
                            "Cannot write " + file.string());
  }
}

}  // namespace app
