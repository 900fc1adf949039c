//===-- tools/arcz.cpp - Command-line archiver over the library ----------===//
#include <cstdio>
#include <string>
#include <vector>

#include "arcz_cli.h"
#include "arcz_signals.h"
#include "arcz_writer.h"

int main(int argc, char** argv) {
  // A file that reaches the size limit is reported, not a silent death.
  arcz::IgnoreFileSizeSignal();
  // The writer's commands parse their own options.
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "a" || command == "d") {
    const std::vector<std::string> args(argv + 2, argv + argc);
    return command == "a" ? arcz::RunAdd(args) : arcz::RunDelete(args);
  }
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
