//===-- tools/arcz.cpp - Command-line archiver over the library ----------===//
#include <cstdio>
#include <string>
#include <vector>

#include "arcz_writer.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + (argc > 2 ? 2 : argc), argv + argc);
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "a") return arcz::RunAdd(args);
  if (command == "d") return arcz::RunDelete(args);
  std::puts("arcz: command-line archiver (commands arrive with the reader and writer)");
  return command.empty() ? 0 : 2;
}
