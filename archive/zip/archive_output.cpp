//===-- zip/archive_output.cpp - The new archive while it is built --------===//
#include "zip/archive_output.h"

#include <unistd.h>

#include <cerrno>
#include <exception>

#include <arc/core/arc_error.h>
#include <arc/support/error_codes.h>
#include <arc/support/errors.h>
#include "support/stream_errors.h"

namespace arc {

ArchiveOutput::ArchiveOutput(TCompressionMethod method, const std::string& archive,
                             const std::string& tempDir, ArchiveOutputHooks hooks, bool* cancel)
    : archive_(archive), hooks_(std::move(hooks)) {
  if (method == cmInMemory) {
    memory_ = std::make_unique<TTempMemStream>(fmCreate, archive);
    memory_->Cancel = cancel;
    memory_->remaining = hooks_.remaining;
    memory_->ReadProgress = hooks_.ReadProgress;
    // The move is done by Commit, through the owner: the stream's own move
    // would write straight over the archive.
    memory_->SetMode(0);
    return;
  }
  file_ = std::make_unique<TTempFileStream>(fmCreate, archive, tempDir);
  file_->Cancel = cancel;
  file_->remaining = hooks_.remaining;
  file_->ReadProgress = hooks_.ReadProgress;
  file_->MoveBegin = hooks_.MoveBegin;
  file_->MoveEnd = hooks_.MoveEnd;
  file_->MoveIntoPlace = hooks_.MoveIntoPlace;
  file_->ReportError = hooks_.ReportError;
}

ArchiveOutput::~ArchiveOutput() { Discard(); }

bool ArchiveOutput::Valid() const { return memory_ != nullptr || (file_ && file_->Valid()); }

TStream32& ArchiveOutput::Stream() {
  if (memory_) return *memory_;
  return *file_;
}

std::string ArchiveOutput::TempFileName() const {
  return file_ ? file_->TempFileName() : std::string();
}

int ArchiveOutput::FileHandle() const { return file_ ? file_->Handle() : -1; }

void ArchiveOutput::WrittenUpTo(int64_t end) {
  if (file_) file_->WrittenUpTo(end);
}

int64_t ArchiveOutput::Size() { return Stream().Size(); }

void ArchiveOutput::CutBack(int64_t size) {
  TStream32& s = Stream();
  if (s.Size() > size) s.SetSize(size);
  s.Seek(0, TSeekOrigin::soEnd);
}

void ArchiveOutput::Commit() {
  if (done_) return;
  done_ = true;
  try {
    Move();
  } catch (...) {
    // A full disk has been reported on the way; the caller must not report
    // it again as a plain write error.
    if (IsDiskFullError(std::current_exception(), 0))
      throw E_RAISE(std::string(ErrorText(ec::DiskFull)));
    throw;
  }
}

void ArchiveOutput::Move() {
  if (file_) {
    // The data must be on the disk before the name points at it: a crash
    // right after the rename would otherwise leave an empty archive.
    if (::fsync(file_->Handle()) != 0) {
      const int error = errno;
      file_->SetMode(0);
      file_->Destroy();
      if (hooks_.ReportError && IsDiskFullError(nullptr, error))
        hooks_.ReportError(ec::DiskFull, archive_);
      throw EStreamWrite(error);
    }
    file_->Destroy();  // MoveBegin, MoveIntoPlace, MoveEnd; the temporary file goes
    return;
  }
  struct Free {
    TTempMemStream& s;
    ~Free() {
      try {
        s.Destroy();
      } catch (...) {
      }
    }
  } freeMemory{*memory_};
  const int64_t size = memory_->Size();
  if (hooks_.MoveBegin) hooks_.MoveBegin(archive_, std::string());
  if (hooks_.storeTotals) hooks_.storeTotals(size);
  try {
    memory_->SetPosition(0);
    if (hooks_.MoveIntoPlace) hooks_.MoveIntoPlace(*memory_, archive_, size, false, std::string());
  } catch (...) {
    const int error = errno;
    if (hooks_.MoveEnd) hooks_.MoveEnd();
    if (hooks_.ReportError && IsDiskFullError(std::current_exception(), error))
      hooks_.ReportError(ec::DiskFull, archive_);
    throw;
  }
  if (hooks_.MoveEnd) hooks_.MoveEnd();
}

void ArchiveOutput::Discard() {
  if (done_) return;
  done_ = true;
  try {
    if (file_) {
      file_->SetMode(0);
      file_->Destroy();
    }
    if (memory_) memory_->Destroy();
  } catch (...) {
    // Nothing of the archive depends on the temporary output any more.
  }
}

}  // namespace arc
