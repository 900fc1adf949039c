//===-- tools/arcz_cli.h - Command line of arcz -----------------*- C++ -*-===//
//
// arcz COMMAND ARCHIVE [options] [MASK...]
//
//   l  ARCHIVE                          list the entries
//   t  ARCHIVE [-p PASSWORD]            decode every entry, check its CRC
//   x  ARCHIVE [-d DIR] [-p PASSWORD] [MASK...]
//                                       extract (all entries without a mask)
//
// Every error the library reports is printed with its code and text; the
// exit status is 0 only when none was reported.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace arcz {

/// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitErrors = 1;  ///< the library reported at least one error
constexpr int kExitUsage = 2;   ///< the command line was not understood

struct Options {
  std::string command;
  std::string archive;
  std::string dir;       ///< -d
  std::string password;  ///< -p
  bool havePassword = false;
  std::vector<std::string> masks;
};

/// Parses argv; false (with a message in `error`) when it is not a valid
/// command line.
bool ParseArgs(int argc, char** argv, Options& options, std::string& error);

/// Prints the usage text.
void PrintUsage(std::FILE* to);

int RunList(const Options& options);
/// `t` (test == true) and `x`.
int RunExtract(const Options& options, bool test);

}  // namespace arcz
