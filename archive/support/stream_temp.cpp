//===-- support/stream_temp.cpp - Streams that collect a new archive ------===//
#include "support/stream_temp.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <filesystem>

#include <arc/support/error_codes.h>
#include <arc/support/errors.h>
#include <arc/support/paths.h>
#include "support/temp_file.h"

namespace arc {

bool SameFileSystem(const std::string& tempFile, const std::string& archive) {
  if (tempFile.empty() || archive.empty()) return false;
  std::filesystem::path dir = std::filesystem::path(archive).parent_path();
  if (dir.empty()) dir = std::filesystem::path(".");
  struct stat tempSt {};
  struct stat dirSt {};
  if (::stat(tempFile.c_str(), &tempSt) != 0 || ::stat(dir.c_str(), &dirSt) != 0) return false;
  return tempSt.st_dev == dirSt.st_dev;
}

namespace {

// Reports a full disk for the archive when the exception in flight (or the
// last system error) says so; the caller raises the exception again.
void ReportIfDiskFull(const TempReportError& report, const std::string& archive, int osError) {
  if (report && IsDiskFullError(std::current_exception(), osError)) report(ec::DiskFull, archive);
}

}  // namespace

// --- TTempFileStream ---------------------------------------------------------

TTempFileStream::TTempFileStream(uint16_t mode, const std::string& archiveName,
                                 const std::string& tempDir)
    : TFileStream32(
          mode == fmCreate ? arc::TempFileName(tempDir, ExtractFileName(archiveName)) : archiveName,
          mode),
      mode_(mode),
      tempMode_(mode == fmCreate) {
  if (tempMode_) {
    finalName_ = archiveName;
    tempName_ = FileName();
    if (Valid()) position_ = size_ = 0;  // created empty
  }
}

TTempFileStream::~TTempFileStream() {
  try {
    Destroy();
  } catch (...) {
    // The owner that wants to see these calls Destroy() itself.
  }
}

int32_t TTempFileStream::Read(void* buffer, int32_t count) {
  const int32_t n = TFileStream32::Read(buffer, count);
  if (position_ >= 0) position_ += n;
  if (remaining != nullptr) *remaining -= count;
  if (ReadProgress) ReadProgress(*this);
  return n;
}

int32_t TTempFileStream::Write(const void* buffer, int32_t count) {
  const int32_t n = TFileStream32::Write(buffer, count);
  if (position_ >= 0) {
    position_ += n;  // also after a short write: the file moved by what it took
    size_ = std::max(size_, position_);
  }
  return n;
}

int64_t TTempFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  if (position_ < 0) return TFileStream32::Seek(offset, origin);
  int64_t target = offset;
  if (origin == TSeekOrigin::soCurrent) target = position_ + offset;
  if (origin == TSeekOrigin::soEnd) target = size_ + offset;
  if (target == position_) return position_;
  const int64_t at = TFileStream32::Seek(target, TSeekOrigin::soBeginning);
  if (at < 0) {
    position_ = size_ = -1;
    return TFileStream32::Seek(offset, origin);
  }
  position_ = at;
  return at;
}

void TTempFileStream::SetSize(int64_t newSize) {
  const bool known = position_ >= 0;
  position_ = size_ = -1;
  TFileStream32::SetSize(newSize);
  if (known) position_ = size_ = newSize;
}

int64_t TTempFileStream::TransferFrom(TStream32& source, int64_t count) {
  return CopyChunks(source, count, kTransferChunk, transferProgress, transferCancel);
}

void TTempFileStream::Destroy() {
  if (destroyed_) return;
  destroyed_ = true;
  if (!tempMode_) {
    CloseHandle();
    return;
  }
  // Whatever happens to the move, the temporary file goes. After a move by
  // rename it is no longer there, and the failed delete is of no interest.
  struct DeleteTemp {
    TTempFileStream& s;
    ~DeleteTemp() {
      s.position_ = s.size_ = -1;
      s.CloseHandle();
      if (!s.tempName_.empty()) ::unlink(s.tempName_.c_str());
    }
  } deleteTemp{*this};
  // A temporary file that never opened holds nothing to move.
  if (mode_ != 0 && !finalName_.empty() && Valid()) Move();
}

void TTempFileStream::Move() {
  errno = 0;
  int osError = 0;
  try {
    if (MoveBegin) MoveBegin(finalName_, tempName_);
    const bool same = SameFileSystem(tempName_, finalName_);
    // Taken while the handle is still open: a rename needs it closed.
    const int64_t size = Size();
    if (same) {
      position_ = size_ = -1;
      CloseHandle();
    }
    try {
      if (MoveIntoPlace) MoveIntoPlace(*this, finalName_, size, same, tempName_);
    } catch (...) {
      osError = errno;
      if (MoveEnd) MoveEnd();
      throw;
    }
    if (MoveEnd) MoveEnd();
  } catch (...) {
    ReportIfDiskFull(ReportError, finalName_, osError != 0 ? osError : errno);
    throw;
  }
}

// --- TTempMemStream ----------------------------------------------------------

TTempMemStream::TTempMemStream(uint16_t mode, const std::string& archiveName)
    : mode_(mode), tempMode_(mode == fmCreate) {
  if (tempMode_)
    finalName_ = archiveName;
  else
    openedName_ = archiveName;
}

TTempMemStream::~TTempMemStream() {
  try {
    Destroy();
  } catch (...) {
    // As for TTempFileStream.
  }
}

int32_t TTempMemStream::Read(void* buffer, int32_t count) {
  const int32_t n = TMemoryStream32::Read(buffer, count);
  if (remaining != nullptr) *remaining -= count;
  if (ReadProgress) ReadProgress(*this);
  return n;
}

int64_t TTempMemStream::TransferFrom(TStream32& source, int64_t count) {
  return CopyChunks(source, count, kTransferChunk, transferProgress, transferCancel);
}

void TTempMemStream::Destroy() {
  if (destroyed_) return;
  destroyed_ = true;
  struct FreeMemory {
    TTempMemStream& s;
    ~FreeMemory() { s.Clear(); }
  } freeMemory{*this};
  if (tempMode_ && mode_ != 0 && !finalName_.empty()) Move();
}

void TTempMemStream::Move() {
  errno = 0;
  int osError = 0;
  bool began = false;
  try {
    TFileStream32 file(finalName_, fmCreate);
    if (!file.Valid()) throw EFOpenError(std::string(ErrorText(ec::OpenError)), errno);
    file.ownerProgress = ReadProgress;
    file.Cancel = nullptr;
    file.processMessages = processMessages;
    if (MoveBegin) MoveBegin(finalName_, openedName_);
    began = true;
    const int64_t size = Size();
    if (storeTotals) storeTotals(size);
    SetPosition(0);
    file.CopyFrom(*this, size);
    began = false;
    if (MoveEnd) MoveEnd();
  } catch (...) {
    osError = errno;
    if (began && MoveEnd) MoveEnd();
    ReportIfDiskFull(ReportError, finalName_, osError);
    throw;
  }
}

}  // namespace arc
