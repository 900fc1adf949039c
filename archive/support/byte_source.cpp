//===-- support/byte_source.cpp - Positional reads of an archive file -----===//
#include <arc/support/byte_source.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace arc {

std::vector<uint8_t> ByteSource::ReadVector(int64_t offset, int32_t count) {
  if (count <= 0 || offset < 0) return {};
  // Never allocate more than the data can give.
  const int64_t left = Size() - offset;
  if (left <= 0) return {};
  std::vector<uint8_t> out(static_cast<size_t>(std::min<int64_t>(count, left)));
  const int32_t got = ReadAt(offset, out.data(), static_cast<int32_t>(out.size()));
  out.resize(static_cast<size_t>(std::max(got, 0)));
  return out;
}

bool ByteSource::ReadExact(int64_t offset, std::span<uint8_t> buffer) {
  if (buffer.size() > INT32_MAX) return false;
  const auto want = static_cast<int32_t>(buffer.size());
  return ReadAt(offset, buffer.data(), want) == want;
}

int32_t MemorySource::ReadAt(int64_t offset, void* buffer, int32_t count) {
  if (offset < 0 || count <= 0 || offset >= Size()) return 0;
  const auto n = static_cast<size_t>(std::min<int64_t>(count, Size() - offset));
  std::memcpy(buffer, bytes_.data() + offset, n);
  return static_cast<int32_t>(n);
}

FileSource::FileSource(const std::string& path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) return;
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    return;
  }
  size_ = st.st_size;
}

FileSource::~FileSource() {
  if (fd_ >= 0) ::close(fd_);
}

int32_t FileSource::ReadAt(int64_t offset, void* buffer, int32_t count) {
  if (fd_ < 0 || offset < 0 || count <= 0) return 0;
  auto* out = static_cast<uint8_t*>(buffer);
  int32_t done = 0;
  while (done < count) {
    const ssize_t got = ::pread(fd_, out + done, static_cast<size_t>(count - done),
                                static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<int32_t>(got);
  }
  return done;
}

}  // namespace arc
