//===-- tools/arcz.cpp - Command-line archiver over the library ----------===//
#include <cstdio>

int main(int argc, char** argv) {
  (void)argc;
  (void)argv;
  std::puts("arcz: command-line archiver (commands arrive with the reader and writer)");
  return 0;
}
