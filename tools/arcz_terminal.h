//===-- tools/arcz_terminal.h - Progress bar and questions on a terminal -*- C++ -*-===//
#pragma once

#include <cstdint>
#include <string>

namespace arcz {

/// True when `fd` is a terminal.
bool IsTerminal(int fd);

/// `text` (a name from an archive) safe to print: control characters, which
/// a terminal would take as commands, are shown as '?'. That covers C0,
/// DEL, and C1 in its UTF-8 form.
std::string Printable(const std::string& text);

/// A one-line progress bar on standard error, drawn only when standard error
/// is a terminal and only when a figure changed.
class ProgressBar {
 public:
  ProgressBar();
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void Show(uint8_t byFile, uint8_t byArchive, const std::string& name);
  /// Removes the bar so that other text can be printed on a clean line.
  void Clear();

 private:
  bool enabled_;
  bool drawn_ = false;
  int lastFile_ = -1;
  int lastArchive_ = -1;
  std::string lastName_;
};

/// Asks on the terminal (standard error) and reads one line from standard
/// input; empty on end of input or when standard input is no terminal.
std::string AskLine(const std::string& prompt);
/// As AskLine, with echo off.
std::string AskSecret(const std::string& prompt);

}  // namespace arcz
