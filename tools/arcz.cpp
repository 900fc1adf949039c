//===-- tools/arcz.cpp - Command-line archiver over the library ----------===//
#include <cstdio>
#include <string>

#include "arcz_cli.h"

int main(int argc, char** argv) {
  arcz::Options options;
  std::string error;
  if (!arcz::ParseArgs(argc, argv, options, error)) {
    if (!error.empty()) std::fprintf(stderr, "arcz: %s\n", error.c_str());
    arcz::PrintUsage(stderr);
    return arcz::kExitUsage;
  }
  if (options.command == "l") return arcz::RunList(options);
  if (options.command == "t") return arcz::RunExtract(options, true);
  return arcz::RunExtract(options, false);
}
