//===-- tools/arcz_terminal.cpp - Progress bar and questions on a terminal ===//
#include "arcz_terminal.h"

#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace arcz {
namespace {

/// Columns of the terminal on standard error (80 when it does not say).
size_t TerminalWidth() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

}  // namespace

bool IsTerminal(int fd) { return ::isatty(fd) == 1; }

ProgressBar::ProgressBar(bool quiet)
    : enabled_(!quiet && IsTerminal(STDERR_FILENO)), start_(std::chrono::steady_clock::now()) {}

ProgressBar::~ProgressBar() { Clear(); }

std::string Printable(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7F) {
      out += '?';
    } else if (c == 0xC2 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      out += '?';
      ++i;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

void ProgressBar::Update(int64_t total, int64_t remaining, const std::string& name) {
  if (!enabled_ || total <= 0) return;
  const int64_t done = total - std::clamp<int64_t>(remaining, 0, total);
  const int64_t now = ElapsedMs();
  rate_.Add(now, done);
  if (!throttle_.Due(now)) return;
  const std::string line =
      FormatProgressLine({done, total, rate_.BytesPerSecond(), Printable(name)}, TerminalWidth());
  // Back to the start of the line, the bar, and away with what the last one
  // left beyond it.
  std::fprintf(stderr, "\r%s\033[K", line.c_str());
  std::fflush(stderr);
  drawn_ = true;
}

void ProgressBar::Clear() {
  if (!drawn_) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  drawn_ = false;
}

int64_t ProgressBar::ElapsedMs() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               start_)
      .count();
}

bool AskLine(const std::string& prompt, std::string& line) {
  line.clear();
  if (!IsTerminal(STDIN_FILENO)) return false;
  std::fprintf(stderr, "%s", prompt.c_str());
  std::fflush(stderr);
  if (std::getline(std::cin, line)) return true;
  line.clear();
  return false;
}

std::string AskLine(const std::string& prompt) {
  std::string line;
  AskLine(prompt, line);
  return line;
}

std::string AskSecret(const std::string& prompt) {
  if (!IsTerminal(STDIN_FILENO)) return {};
  termios old{};
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
