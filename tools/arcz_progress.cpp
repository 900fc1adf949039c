//===-- tools/arcz_progress.cpp - What the progress bar shows, and when ---===//
#include "arcz_progress.h"

#include <cstdio>

namespace arcz {
namespace {

constexpr size_t kGraphicWidth = 20;
constexpr size_t kShortestName = 8;
/// Samples closer than this add nothing but memory.
constexpr int64_t kSpacingMs = 100;
/// No progress for this long: the work waited (for an answer, a disk), and
/// the pace before says nothing about the pace after.
constexpr int64_t kSilenceMs = 2000;

/// Columns `text` takes: one per UTF-8 character (a lead byte or a byte
/// below 0x80).
size_t Columns(const std::string& text) {
  size_t n = 0;
  for (unsigned char c : text) n += (c & 0xC0) != 0x80;
  return n;
}

/// The last `columns` characters of `text`, after "...".
std::string TailOf(const std::string& text, size_t columns) {
  if (Columns(text) <= columns) return text;
  if (columns <= 3) return std::string(columns, '.');
  size_t keep = columns - 3;
  size_t at = text.size();
  while (at > 0 && keep > 0) {
    --at;
    if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80) --keep;
  }
  return "..." + text.substr(at);
}

}  // namespace

std::string FormatBytes(int64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes < 0 ? 0 : bytes) + " B";
  static constexpr const char* kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  double value = static_cast<double>(bytes) / 1024;
  size_t unit = 0;
  // 1023.96 KiB would print as "1024.0 KiB": the next unit reads better.
  while (value >= 1023.95 && unit + 1 < std::size(kUnits)) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
  return text;
}

std::string FormatDuration(int64_t seconds) {
  if (seconds < 0) return "--:--";
  char text[32];
  if (seconds < 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  }
  return text;
}

std::string FormatProgressLine(const ProgressFigures& f, size_t width) {
  const int64_t done = f.done < 0 ? 0 : f.done > f.total ? f.total : f.done;
  const int percent =
      f.total > 0
          ? static_cast<int>(static_cast<double>(done) * 100.0 / static_cast<double>(f.total))
          : 100;
  std::string figures = std::to_string(percent) + "%";
  figures.insert(0, 4 - figures.size(), ' ');
  figures += "  " + FormatBytes(done) + " / " + FormatBytes(f.total);
  if (f.bytesPerSecond >= 0) {
    const double left =
        f.bytesPerSecond > 0 ? static_cast<double>(f.total - done) / f.bytesPerSecond + 0.5 : -1;
    figures += "  " + FormatBytes(static_cast<int64_t>(f.bytesPerSecond)) + "/s  " +
               FormatDuration(static_cast<int64_t>(left)) + " left";
  }

  const size_t room = width > 0 ? width - 1 : 0;
  std::string line;
  // The graphic narrows before the name goes.
  for (size_t graphic : {kGraphicWidth, kGraphicWidth / 2}) {
    line = "[" + std::string(graphic * static_cast<size_t>(percent) / 100, '#');
    line.resize(graphic + 1, '.');
    line += "] " + figures;
    if (f.name.empty() || line.size() + 2 + 2 * kShortestName <= room) break;
  }
  if (line.size() > room) line = figures;
  if (line.size() > room) return line.substr(0, room);
  const size_t forName = room - line.size();
  if (!f.name.empty() && forName >= 2 + kShortestName) line += "  " + TailOf(f.name, forName - 2);
  return line;
}

bool RedrawThrottle::Due(int64_t nowMs) {
  if (nowMs < delay_) return false;
  if (last_ >= 0 && nowMs - last_ < interval_) return false;
  last_ = nowMs;
  return true;
}

void RateMeter::Add(int64_t nowMs, int64_t done) {
  if (!samples_.empty()) {
    const Sample& last = samples_.back();
    if (done < last.done || nowMs - last.ms > kSilenceMs) {
      samples_.clear();
    } else if (nowMs - last.ms < kSpacingMs) {
      return;
    }
  }
  samples_.push_back({nowMs, done});
  // The oldest sample kept is the last one at least a window old.
  while (samples_.size() > 2 && nowMs - samples_[1].ms >= window_) samples_.pop_front();
}

double RateMeter::BytesPerSecond() const {
  if (samples_.size() < 2) return -1;
  const Sample& first = samples_.front();
  const Sample& last = samples_.back();
  if (last.ms - first.ms < 250) return -1;
  return static_cast<double>(last.done - first.done) * 1000.0 /
         static_cast<double>(last.ms - first.ms);
}

}  // namespace arcz
