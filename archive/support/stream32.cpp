//===-- support/stream32.cpp - Stream base and file streams ---------------===//
#include "support/stream32.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <system_error>

#include "support/unique_fd.h"

namespace arc {

bool IsDiskFullError(const std::exception_ptr& error, int lastOsError) {
  auto full = [](int e) { return e == ENOSPC || e == EDQUOT; };
  if (error) {
    try {
      std::rethrow_exception(error);
    } catch (const EStreamError& e) {
      if (e.OsError() != 0) return full(e.OsError());
    } catch (const std::system_error& e) {
      if (e.code().category() == std::generic_category() ||
          e.code().category() == std::system_category())
        return full(e.code().value());
    } catch (...) {
    }
  }
  return full(lastOsError);
}

// --- TStream32 ---------------------------------------------------------------

void TStream32::SetSize(int64_t) {}

int64_t TStream32::Size() {
  const int64_t position = Seek(0, TSeekOrigin::soCurrent);
  const int64_t size = Seek(0, TSeekOrigin::soEnd);
  Seek(position, TSeekOrigin::soBeginning);
  return size;
}

void TStream32::ReadBuffer(void* buffer, int32_t count) {
  errno = 0;
  if (count != 0 && Read(buffer, count) != count) throw EStreamRead(errno);
}

void TStream32::WriteBuffer(const void* buffer, int32_t count) {
  errno = 0;
  if (count != 0 && Write(buffer, count) != count) throw EStreamWrite(errno);
}

void TStream32::Notify(TStream32& sender) {
  if (sender.activeProgress) sender.activeProgress(sender);
}

int64_t TStream32::CopyFrom(TStream32& source, int64_t count) {
  return CopyChunks(source, count, kCopyChunk, ownerProgress, Cancel);
}

int64_t TStream32::CopyChunks(TStream32& source, int64_t count, int32_t chunk,
                              const ProgressHandler& handler, const bool* cancel) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  const int64_t asked = count;
  const int32_t size = static_cast<int32_t>(std::clamp<int64_t>(count, 0, chunk));
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[size > 0 ? size : 1]);
  activeProgress = handler;
  auto cancelled = [cancel] { return cancel != nullptr && *cancel; };
  while (count > 0 && !cancelled()) {
    if (processMessages) processMessages();
    if (cancelled()) break;
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(count, size));
    source.ReadBuffer(buffer.get(), n);
    WriteBuffer(buffer.get(), n);
    count -= n;
  }
  return asked;
}

// --- THandleStream32 ---------------------------------------------------------

int32_t THandleStream32::Read(void* buffer, int32_t count) {
  if (handle_ == kInvalidHandle || count <= 0 || buffer == nullptr) return 0;
  auto* p = static_cast<uint8_t*>(buffer);
  int32_t done = 0;
  while (done < count) {  // a descriptor may deliver less than asked before the end
    const ssize_t n = ::read(handle_, p + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<int32_t>(n);
  }
  return done;
}

int32_t THandleStream32::Write(const void* buffer, int32_t count) {
  if (handle_ == kInvalidHandle || count <= 0 || buffer == nullptr) return 0;
  // A short count: the caller finds out why from errno or a further write.
  int error = 0;
  return static_cast<int32_t>(
      WriteAll(handle_, static_cast<const uint8_t*>(buffer), static_cast<size_t>(count), error));
}

int64_t THandleStream32::Seek(int64_t offset, TSeekOrigin origin) {
  if (handle_ == kInvalidHandle) return -1;
  int whence = SEEK_SET;
  if (origin == TSeekOrigin::soCurrent) whence = SEEK_CUR;
  if (origin == TSeekOrigin::soEnd) whence = SEEK_END;
  return ::lseek(handle_, static_cast<off_t>(offset), whence);
}

void THandleStream32::SetSize(int64_t newSize) {
  Seek(newSize, TSeekOrigin::soBeginning);
  if (::ftruncate(handle_, static_cast<off_t>(newSize)) != 0)
    throw std::system_error(errno, std::generic_category(), "cannot set the file size");
}

// --- TFileStream32 -----------------------------------------------------------

namespace {

int OpenHandle(const std::string& fileName, uint16_t mode) {
  int flags = O_CLOEXEC;
  if (mode == fmCreate) {
    flags |= O_RDWR | O_CREAT | O_TRUNC;
  } else {
    switch (mode & 3) {
      case fmOpenRead:
        flags |= O_RDONLY;
        break;
      case fmOpenWrite:
        flags |= O_WRONLY;
        break;
      case fmOpenReadWrite:
        flags |= O_RDWR;
        break;
      default:
        errno = EINVAL;
        return kInvalidHandle;
    }
  }
  int fd;
  do {
    fd = ::open(fileName.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return kInvalidHandle;
  // A directory opens for reading on Linux but is no file to stream.
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    errno = EISDIR;
    return kInvalidHandle;
  }
  return fd;
}

}  // namespace

TFileStream32::TFileStream32(const std::string& fileName, uint16_t mode)
    : THandleStream32(OpenHandle(fileName, mode)), fileName_(fileName) {}

TFileStream32::~TFileStream32() { CloseHandle(); }

void TFileStream32::CloseHandle() {
  if (handle_ != kInvalidHandle) ::close(handle_);
  handle_ = kInvalidHandle;
}

}  // namespace arc
