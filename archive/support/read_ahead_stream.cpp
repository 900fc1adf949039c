//===-- support/read_ahead_stream.cpp - An archive read in large pieces ---===//
#include "support/read_ahead_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace arc {
namespace {

constexpr int64_t kFirstFill = 4096;
constexpr int64_t kWindowSize = int64_t{256} * 1024;

}  // namespace

ReadAheadFileStream::ReadAheadFileStream(const std::string& fileName)
    : TFileStream32(fileName, fmOpenRead | fmShareDenyWrite) {
  struct stat st {};
  if (Valid() && ::fstat(handle_, &st) == 0) size_ = st.st_size;
}

int64_t ReadAheadFileStream::ReadAt(int64_t offset, uint8_t* to, int64_t count) {
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::pread(handle_, to + done, static_cast<size_t>(count - done),
                              static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

ReadAheadFileStream::Window* ReadAheadFileStream::WindowAt(int64_t pos, int64_t want) {
  for (Window& w : windows_) {
    if (w.data && pos >= w.start && pos < w.start + w.length) {
      w.lastUse = ++clock_;
      return &w;
    }
  }
  Window& w = windows_[0].lastUse <= windows_[1].lastUse ? windows_[0] : windows_[1];
  // Reading on where a window ends: the walk goes forward, so read well ahead.
  int64_t fill = kFirstFill;
  for (const Window& other : windows_) {
    if (other.data && pos == other.start + other.length)
      fill = std::min(kWindowSize, other.length * 4);
  }
  fill = std::max(fill, std::min(want, kWindowSize));
  if (!w.data) w.data = std::make_unique<uint8_t[]>(kWindowSize);
  w.start = pos;
  w.length = ReadAt(pos, w.data.get(), std::min(fill, kWindowSize));
  w.lastUse = ++clock_;
  return w.length > 0 ? &w : nullptr;
}

int32_t ReadAheadFileStream::Read(void* buffer, int32_t count) {
  if (!Valid() || count <= 0 || buffer == nullptr || pos_ < 0) return 0;
  auto* to = static_cast<uint8_t*>(buffer);
  int32_t done = 0;
  while (done < count) {
    const int64_t want = count - done;
    if (want >= kWindowSize / 2) {
      // A large block goes straight into the caller's buffer.
      const int64_t got = ReadAt(pos_, to + done, want);
      pos_ += got;
      done += static_cast<int32_t>(got);
      break;
    }
    const Window* w = WindowAt(pos_, want);
    if (w == nullptr) break;
    const int64_t n = std::min(want, w->start + w->length - pos_);
    std::memcpy(to + done, w->data.get() + (pos_ - w->start), static_cast<size_t>(n));
    pos_ += n;
    done += static_cast<int32_t>(n);
  }
  return done;
}

int32_t ReadAheadFileStream::Write(const void*, int32_t) { return 0; }

int64_t ReadAheadFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  if (!Valid()) return -1;
  const int64_t from = origin == TSeekOrigin::soBeginning ? 0
                       : origin == TSeekOrigin::soCurrent ? pos_
                                                          : size_;
  if ((offset > 0 && from > INT64_MAX - offset) || from + offset < 0) return -1;
  pos_ = from + offset;
  return pos_;
}

}  // namespace arc
