//===-- tools/arcz_terminal.cpp - Progress bar and questions on a terminal ===//
#include "arcz_terminal.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace arcz {
namespace {

constexpr int kBarWidth = 30;
constexpr size_t kNameWidth = 40;

}  // namespace

bool IsTerminal(int fd) { return ::isatty(fd) == 1; }

ProgressBar::ProgressBar() : enabled_(IsTerminal(STDERR_FILENO)) {}

ProgressBar::~ProgressBar() { Clear(); }

std::string Printable(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7F) {
      out += '?';
    } else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      out += '?';
      ++i;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

void ProgressBar::Show(uint8_t byFile, uint8_t byArchive, const std::string& name) {
  if (!enabled_) return;
  if (byFile == lastFile_ && byArchive == lastArchive_ && name == lastName_) return;
  lastFile_ = byFile;
  lastArchive_ = byArchive;
  lastName_ = name;
  const int filled = byArchive * kBarWidth / 100;
  std::string bar(static_cast<size_t>(filled), '#');
  bar.resize(kBarWidth, '.');
  const std::string safe = Printable(name);
  std::string shown = safe.size() > kNameWidth ? "..." + safe.substr(safe.size() - kNameWidth + 3) : safe;
  std::fprintf(stderr, "\r[%s] %3d%%  %3d%%  %-*s", bar.c_str(), byArchive, byFile,
               static_cast<int>(kNameWidth), shown.c_str());
  std::fflush(stderr);
  drawn_ = true;
}

void ProgressBar::Clear() {
  if (!drawn_) return;
  std::fprintf(stderr, "\r%*s\r", kBarWidth + 14 + static_cast<int>(kNameWidth), "");
  std::fflush(stderr);
  drawn_ = false;
  lastFile_ = lastArchive_ = -1;
}

std::string AskLine(const std::string& prompt) {
  if (!IsTerminal(STDIN_FILENO)) return {};
  std::fprintf(stderr, "%s", prompt.c_str());
  std::fflush(stderr);
  std::string line;
  if (!std::getline(std::cin, line)) return {};
  return line;
}

std::string AskSecret(const std::string& prompt) {
  if (!IsTerminal(STDIN_FILENO)) return {};
  termios old {};
  const bool haveOld = ::tcgetattr(STDIN_FILENO, &old) == 0;
  if (haveOld) {
    termios quiet = old;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
  }
  std::string line = AskLine(prompt);
  if (haveOld) ::tcsetattr(STDIN_FILENO, TCSANOW, &old);
  std::fprintf(stderr, "\n");
  return line;
}

}  // namespace arcz
