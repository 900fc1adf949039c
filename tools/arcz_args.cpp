//===-- tools/arcz_args.cpp - Command line of arcz ------------------------===//
#include <cstring>

#include "arcz_cli.h"

namespace arcz {

void PrintUsage(std::FILE* to) {
  std::fprintf(to,
               "usage: arcz l ARCHIVE                         list the entries\n"
               "       arcz t ARCHIVE [-p PASSWORD]           test every entry\n"
               "       arcz x ARCHIVE [-d DIR] [-p PASSWORD] [MASK...]\n"
               "                                              extract (to DIR, default .)\n"
               "       arcz a ARCHIVE [-r] [-0..-9 | --store] [-p PASSWORD] [-m] [-u] PATH...\n"
               "                                              add (-m move, -u refresh)\n"
               "       arcz d ARCHIVE MASK...                 delete entries\n");
}

bool ParseArgs(int argc, char** argv, Options& o, std::string& error) {
  if (argc < 2) return false;
  o.command = argv[1];
  if (o.command != "l" && o.command != "t" && o.command != "x") {
    error = "unknown command '" + o.command + "'";
    return false;
  }
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool takesValue = arg == "-d" || arg == "-p";
    if (takesValue) {
      if ((arg == "-d" && o.command != "x") || (arg == "-p" && o.command == "l")) {
        error = "option " + arg + " does not go with '" + o.command + "'";
        return false;
      }
      if (i + 1 >= argc) {
        error = "option " + arg + " needs a value";
        return false;
      }
      if (arg == "-d") {
        o.dir = argv[++i];
      } else {
        o.password = argv[++i];
        o.havePassword = true;
      }
    } else if (arg.size() > 1 && arg[0] == '-' && arg != "--") {
      error = "unknown option " + arg;
      return false;
    } else if (arg == "--") {
      for (++i; i < argc; ++i) {
        if (o.archive.empty()) o.archive = argv[i]; else o.masks.push_back(argv[i]);
      }
    } else if (o.archive.empty()) {
      o.archive = arg;
    } else {
      o.masks.push_back(arg);
    }
  }
  if (o.archive.empty()) {
    error = "no archive given";
    return false;
  }
  if (!o.masks.empty() && o.command != "x") {
    error = "masks go only with 'x'";
    return false;
  }
  return true;
}

}  // namespace arcz
