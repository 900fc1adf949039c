//===-- zip/zip_comments.cpp - Editing the comments of an archive ---------===//
//
// Comments live in the central directory (entries) and after the end record
// (the archive). Changing them needs no entry data touched: the new archive
// is the old one up to its central directory, then a new directory and end
// record, built in a temporary file and moved into place like any update.
//
//===----------------------------------------------------------------------===//
#include <arc/support/error_codes.h>
#include "unzip/end_record.h"
#include "unzip/entry_list.h"
#include "zip/update_run.h"
#include <arc/zip/zip.h>

namespace arc {

int32_t TZipBase::OpenForComments() {
  comment_run_.reset();
  comments_changed_ = false;
  auto run = std::make_unique<TUpdateRun>();
  run->IsNew = false;
  // The directory is loaded as for an update that deletes nothing.
  const TSwitch held = Switch();
  SetSwitch(swAdd);
  const bool opened = OpenOldArchive(*run);
  if (opened) LoadOldDirectory(*run);
  SetSwitch(held);
  StoreArcType(atZip);
  if (!opened) return -1;
  comment_run_ = std::move(run);
  return comment_run_->Headers.Count();
}

bool TZipBase::GetFileComment(int32_t index, ZipEntryInfo& entry, std::string& comment) const {
  entry = ZipEntryInfo{};
  comment.clear();
  if (!comment_run_ || index < 0 || index >= comment_run_->Headers.Count()) return false;
  const TCompHeader& e = comment_run_->Headers[index];
  entry = DescribeCentralEntry(e.Name, e.Central, e.CompressedSize, e.UncompressedSize,
                               e.CentralExtra);
  comment.assign(e.Comment.begin(), e.Comment.end());
  return true;
}

void TZipBase::SetFileComment(int32_t index, const std::string& comment) {
  if (!comment_run_ || index < 0 || index >= comment_run_->Headers.Count()) return;
  TCompHeader& e = comment_run_->Headers[index];
  const std::vector<uint8_t> bytes(comment.begin(),
                                   comment.begin() + std::min<size_t>(comment.size(), 0xFFFF));
  if (bytes == e.Comment) return;
  e.Comment = bytes;
  comments_changed_ = true;
}

std::string TZipBase::GetArchiveComment() const {
  if (!comment_run_) return {};
  return std::string(comment_run_->ArchiveComment.begin(), comment_run_->ArchiveComment.end());
}

void TZipBase::SetArchiveComment(const std::string& comment) {
  if (!comment_run_) return;
  const std::vector<uint8_t> bytes(comment.begin(),
                                   comment.begin() + std::min<size_t>(comment.size(), 0xFFFF));
  if (bytes == comment_run_->ArchiveComment) return;
  comment_run_->ArchiveComment = bytes;
  comments_changed_ = true;
}

bool TZipBase::SaveComments() {
  std::unique_ptr<TUpdateRun> run = std::move(comment_run_);
  const bool changed = comments_changed_;
  comments_changed_ = false;
  if (!run || Cancel() || !changed) return false;
  if (!run->OldSource || !run->OldStream) {
    ReportError(ArchiveFile(), "", "0", ec::OpenError);
    return false;
  }
  try {
    if (!CreateOutput(*run, cmTempFile)) return false;
    TStream32& out = run->Output->Stream();
    out.OwnerProgress = nullptr;
    if (HasHeader(run->OldOpen.HeaderState, htCentral)) {
      // Everything up to the directory stays byte for byte, offsets included.
      const int64_t head = run->OldOpen.DataOffset;
      if (head > 0) {
        run->OldStream->SetPosition(0);
        out.CopyFrom(*run->OldStream, head);
      }
    } else {
      // No directory to cut at: the entries are copied one by one.
      if (run->StubLength > 0) {
        run->OldStream->SetPosition(0);
        out.CopyFrom(*run->OldStream, run->StubLength);
      }
      for (int32_t i = 0; i < run->Headers.Count(); ++i) CopyUnchanged(*run, i);
    }
    if (Cancel()) return false;
    WriteCentralDirectory(*run);
    run->OldStream.reset();
    run->OldSource.reset();
    run->Output->Commit();
    return true;
  } catch (const E_RAISE&) {
    return false;
  } catch (...) {
    ReportError(ArchiveFile(), "", "0", ec::WriteError);
    return false;
  }
}

}  // namespace arc
