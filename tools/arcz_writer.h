//===-- tools/arcz_writer.h - The add and delete commands of arcz -*- C++ -*-===//
//
//   arcz a ARCHIVE [-r] [-0..-9 | --store] [-p PASSWORD] [-m] [-u] PATH...
//   arcz d ARCHIVE MASK...
//
// Both take the arguments after the command word and return the exit status:
// 0 when no error was reported, 1 otherwise, 2 for a usage error.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <string>
#include <vector>

namespace arcz {

int RunAdd(const std::vector<std::string>& args);
int RunDelete(const std::vector<std::string>& args);

}  // namespace arcz
