//===-- tools/arcz_writer.h - The add and delete commands of arcz -*- C++ -*-===//
//
//   arcz a ARCHIVE [-r] [-0..-9 | --store] [-p PASSWORD] [-m] [-u] PATH...
//   arcz d ARCHIVE MASK...
//
// Both take the arguments after the command word and return the exit status
// of arcz_cli.h: 0 only when no error was reported.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <string>
#include <vector>

#include "arcz_report.h"
#include "arcz_terminal.h"
#include "zip/zip.h"

namespace arcz {

/// Errors of `zip` go to `reporter`, progress to `bar`.
void AttachConsole(arc::TZip& zip, ProgressBar& bar, Reporter& reporter);

int RunAdd(const std::vector<std::string>& args);
int RunDelete(const std::vector<std::string>& args);

}  // namespace arcz
