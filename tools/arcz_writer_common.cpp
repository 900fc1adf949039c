//===-- tools/arcz_writer_common.cpp - Console side of the writer ---------===//
#include "arcz_writer_common.h"

#include <unistd.h>

#include <cstdio>

#include "core/errors.h"

namespace arcz {

void WriterConsole::Attach(arc::TZip& zip) {
  zip.OnError = [this](arc::TObject*, const std::string& file, const std::string& ext,
                       const std::string&, int32_t code) {
    ++errors;
    Clear();
    std::fprintf(stderr, "arcz: %s (%d): %s%s%s\n", std::string(arc::ErrorText(code)).c_str(), code,
                 file.c_str(), ext.empty() ? "" : " ", ext.c_str());
  };
  if (!isatty(STDERR_FILENO)) return;
  zip.OnBegin = [this](arc::TObject*, const std::string& name, int32_t, bool&) { current_ = name; };
  zip.OnProgress = [this](arc::TObject*, uint8_t, uint8_t by_archive) { Draw(by_archive); };
  zip.OnTmpFileProgress = [this](arc::TObject*, uint8_t, uint8_t by_archive) {
    current_ = "(moving into place)";
    Draw(by_archive);
  };
}

void WriterConsole::Draw(uint8_t percent) {
  if (shown_ && percent == last_ && current_ == last_name_) return;
  constexpr int kWidth = 30;
  const int filled = percent * kWidth / 100;
  std::string name =
      current_.size() > 40 ? "..." + current_.substr(current_.size() - 37) : current_;
  std::fprintf(
      stderr, "\r[%s%s] %3u%% %-40s", std::string(static_cast<size_t>(filled), '#').c_str(),
      std::string(static_cast<size_t>(kWidth - filled), '.').c_str(), percent, name.c_str());
  std::fflush(stderr);
  shown_ = true;
  last_ = percent;
  last_name_ = current_;
}

void WriterConsole::Clear() {
  if (!shown_) return;
  std::fprintf(stderr, "\r%*s\r", 80, "");
  shown_ = false;
}

}  // namespace arcz
