//===-- tools/arcz_writer_common.h - Console side of the writer -*- C++ -*-===//
#pragma once

#include <cstdint>
#include <string>

#include "zip/zip.h"

namespace arcz {

/// Prints the writer's error reports and, on a terminal, a progress bar.
class WriterConsole {
 public:
  void Attach(arc::TZip& zip);
  /// Removes the progress bar before other output.
  void Clear();

  int errors = 0;

 private:
  void Draw(uint8_t percent);

  std::string current_;
  std::string last_name_;
  uint8_t last_ = 0;
  bool shown_ = false;
};

}  // namespace arcz
