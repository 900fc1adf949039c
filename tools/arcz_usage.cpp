//===-- tools/arcz_usage.cpp - Usage texts of arcz ------------------------===//
#include <cstdio>

#include "arcz_cli.h"

#ifndef ARCZ_VERSION
#define ARCZ_VERSION "unknown"
#endif

namespace arcz {
namespace {

struct Usage {
  const char* command;
  const char* synopsis;
  const char* options;  ///< a line of what it does, then the options
  const char* notes = "";
};

constexpr Usage kUsages[] = {
    {"l", "arcz l ARCHIVE [-v]",
     "Lists the entries: size, packed size, method, date, CRC-32 and name.\n"
     "  -v           also the compression ratio and the encryption of each entry\n"},
    {"t", "arcz t ARCHIVE [-p PASSWORD] [-j N] [-q]",
     "Decodes every entry and checks its CRC-32, writing nothing.\n"
     "  -p PASSWORD  the password of encrypted entries (asked on a terminal otherwise)\n"
     "  -j N         use N threads (default 0: one per core; 1: a single thread)\n"
     "  -q           quiet: no progress bar and no summary\n"},
    {"x", "arcz x ARCHIVE [-d DIR] [-p PASSWORD] [-o | -n] [-j N] [-q] [MASK...]",
     "Extracts the entries a MASK matches (all of them without a mask).\n"
     "  -d DIR       extract into DIR (default: the current folder)\n"
     "  -p PASSWORD  the password of encrypted entries (asked on a terminal otherwise)\n"
     "  -o           replace files that are already there, without asking\n"
     "  -n           never replace a file that is already there\n"
     "  -j N         use N threads (default 0: one per core; 1: a single thread)\n"
     "  -q           quiet: no progress bar and no summary\n",
     "Without -o or -n, arcz asks on a terminal before it replaces a file\n"
     "([y]es, [n]o, [A]ll, [N]one, [r]ename); without a terminal it replaces\n"
     "nothing and reports each such file (exit status 1).\n"},
    {"a",
     "arcz a ARCHIVE [-r] [-0..-9 | --store] [-p PASSWORD [--zipcrypto]] [-m] [-u] [-j N] [-q] "
     "PATH...",
     "Adds files to the archive, making it when it does not exist.\n"
     "  -r           go into folders, to every level\n"
     "  -0 .. -9     compression level (-0 stores, -9 packs smallest)\n"
     "  --store      store without compressing\n"
     "  -p PASSWORD  encrypt the new entries with AES-256\n"
     "  --zipcrypto  with -p: the traditional ZIP encryption instead, for old\n"
     "               readers only (weak: it can be broken; arcz warns)\n"
     "  -m           move: erase the files once the archive is written\n"
     "  -u           refresh: only replace entries whose file changed\n"
     "  -j N         deflate on N threads (default 0: one per core; 1: one stream\n"
     "               on one thread)\n"
     "  -q           quiet: no progress bar and no summary\n",
     "On a removable drive the archive is spread over disks; arcz asks for each.\n"},
    {"d", "arcz d ARCHIVE [-q] MASK...",
     "Deletes the entries a MASK matches.\n"
     "  -q           quiet: no summary\n"},
};

constexpr const char* kExitStatus =
    "Exit status: 0 no error, 1 errors in some entries, 2 usage error,\n"
    "3 the archive could not be read (missing, no ZIP archive, not permitted).\n";

}  // namespace

void PrintUsage(const std::string& command, std::FILE* to) {
  for (const Usage& u : kUsages) {
    if (command == u.command) {
      std::fprintf(
          to,
          "usage: %s\n%s  --           what follows are names, even those that begin with -\n%s%s",
          u.synopsis, u.options, u.notes, kExitStatus);
      return;
    }
  }
  std::fprintf(to, "usage: arcz COMMAND ARCHIVE [OPTION...] [NAME...]\n");
  for (const Usage& u : kUsages) std::fprintf(to, "       %s\n", u.synopsis);
  std::fprintf(to,
               "       arcz --help | --version\n"
               "Commands: l list, t test, x extract, a add, d delete.\n"
               "'arcz COMMAND --help' describes the options of a command.\n%s",
               kExitStatus);
}

void UsageError(const std::string& command, const std::string& problem) {
  const std::string help = command.empty() ? "arcz --help" : "arcz " + command + " --help";
  std::fprintf(stderr, "arcz: %s (see '%s')\n", problem.c_str(), help.c_str());
}

void PrintVersion() { std::printf("arcz %s\n", ARCZ_VERSION); }

}  // namespace arcz
