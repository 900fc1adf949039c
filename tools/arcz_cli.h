//===-- tools/arcz_cli.h - Command line of arcz -----------------*- C++ -*-===//
//
// arcz COMMAND ARCHIVE [options] [NAME...]
//
//   l  ARCHIVE [-v]                     list the entries (-v: in detail)
//   t  ARCHIVE [-p PASSWORD] [-q]       decode every entry, check its CRC
//   x  ARCHIVE [-d DIR] [-p PASSWORD] [-o | -n] [-q] [MASK...]
//                                       extract (all entries without a mask)
//   a  ARCHIVE [-r] [-0..-9 | --store] [-p PASSWORD [--zipcrypto]] [-m] [-u] [-q] PATH...
//                                       (-p: AES-256; --zipcrypto: the old cipher)
//   d  ARCHIVE [-q] MASK...
//   arcz --help, arcz COMMAND --help, arcz --version
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
constexpr int kExitErrors = 1;      ///< at least one error was reported
constexpr int kExitUsage = 2;       ///< the command line was not understood
constexpr int kExitUnreadable = 3;  ///< the archive could not be read at all

/// What `x` does with a file that is already there.
enum class Overwrite {
  Ask,    ///< ask on a terminal; without one, keep the file and report it
  All,    ///< -o: replace it
  Never,  ///< -n: keep it
};

struct Options {
  std::string command;
  std::string archive;
  std::string dir;       ///< -d
  std::string password;  ///< -p
  bool havePassword = false;
  bool verbose = false;  ///< -v
  bool quiet = false;    ///< -q: no progress bar, no summary
  bool help = false;     ///< -h, --help
  Overwrite overwrite = Overwrite::Ask;
  unsigned threads = 0;  ///< -j N (a, t, x): 0 one per core, 1 one thread
  // a
  bool recurse = false;    ///< -r
  char level = '6';        ///< -0 .. -9
  bool store = false;      ///< --store
  bool zipCrypto = false;  ///< --zipcrypto: the traditional cipher instead of AES-256
  bool move = false;       ///< -m
  bool refresh = false;    ///< -u
  /// Masks (x, d) or paths (a).
  std::vector<std::string> names;
};

/// Parses the arguments after the program name; false (with the problem in
/// `error`) when they are not a valid command line. -h or --help asks for
/// the command's usage, whatever follows.
bool ParseArgs(const std::vector<std::string>& args, Options& options, std::string& error);

/// The usage of `command` ("" for all of arcz).
void PrintUsage(const std::string& command, std::FILE* to);
/// One line on standard error naming the problem and where the usage is.
void UsageError(const std::string& command, const std::string& problem);
void PrintVersion();

int RunList(const Options& options);
/// `t` (test == true) and `x`.
int RunExtract(const Options& options, bool test);
int RunAdd(const Options& options);
int RunDelete(const Options& options);

}  // namespace arcz
