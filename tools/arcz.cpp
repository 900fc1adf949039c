//===-- tools/arcz.cpp - Command-line archiver over the library ----------===//
#include <string>
#include <vector>

#include "arcz_cli.h"
#include "arcz_signals.h"

int main(int argc, char** argv) {
  // A file that reaches the size limit is reported, not a silent death.
  arcz::IgnoreFileSizeSignal();
  const std::vector<std::string> args(argv + 1, argv + argc);
  const std::string first = args.empty() ? "" : args[0];
  if (first == "-h" || first == "--help") {
    arcz::PrintUsage("", stdout);
    return arcz::kExitOk;
  }
  if (first == "--version") {
    arcz::PrintVersion();
    return arcz::kExitOk;
  }
  arcz::Options options;
  std::string error;
  if (!arcz::ParseArgs(args, options, error)) {
    arcz::UsageError(options.command, error);
    return arcz::kExitUsage;
  }
  if (options.help) {
    arcz::PrintUsage(options.command, stdout);
    return arcz::kExitOk;
  }
  if (options.command == "l") return arcz::RunList(options);
  if (options.command == "t") return arcz::RunExtract(options, true);
  if (options.command == "x") return arcz::RunExtract(options, false);
  if (options.command == "a") return arcz::RunAdd(options);
  return arcz::RunDelete(options);
}
