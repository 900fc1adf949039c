//===-- zip/zip_comments.cpp - Editing the comments of an archive ---------===//
//
// Comments live in the central directory (entries) and after the end record
// (the archive). Changing them needs no entry data touched: the new archive
// is the old one up to its central directory, then a new directory and end
// record, built in a temporary file and moved into place like any update.
//
//===----------------------------------------------------------------------===//
#include <algorithm>
#include <memory>

#include <arc/support/error_codes.h>
#include <arc/zip/zip.h>
#include "unzip/end_record.h"
#include "unzip/entry_list.h"
#include "zip/zip_updater.h"

namespace arc {
namespace {

/// A comment holds at most 65,535 bytes.
std::vector<uint8_t> CommentBytes(const std::string& comment) {
  const size_t length = std::min<size_t>(comment.size(), 0xFFFF);
  return std::vector<uint8_t>(comment.begin(),
                              comment.begin() + static_cast<std::ptrdiff_t>(length));
}

}  // namespace

int32_t TZipBase::OpenForComments() {
  comments_.reset();
  auto session = std::make_unique<ZipUpdater>(*this);
  const bool opened = session->OpenForComments();
  StoreArcType(atZip);
  if (!opened) return -1;
  comments_ = std::move(session);
  return comments_->State().headers.Count();
}

bool TZipBase::GetFileComment(int32_t index, ZipEntryInfo& entry, std::string& comment) const {
  entry = ZipEntryInfo{};
  comment.clear();
  if (!comments_ || index < 0 || index >= comments_->State().headers.Count()) return false;
  const CompHeader& e = comments_->State().headers[index];
  entry =
      DescribeCentralEntry(e.name, e.central, e.compressedSize, e.uncompressedSize, e.centralExtra);
  comment.assign(e.comment.begin(), e.comment.end());
  return true;
}

void TZipBase::SetFileComment(int32_t index, const std::string& comment) {
  if (!comments_ || index < 0 || index >= comments_->State().headers.Count()) return;
  UpdateRun& run = comments_->State();
  CompHeader& e = run.headers[index];
  const std::vector<uint8_t> bytes = CommentBytes(comment);
  if (bytes == e.comment) return;
  e.comment = bytes;
  run.commentsChanged = true;
}

std::string TZipBase::GetArchiveComment() const {
  if (!comments_) return {};
  const std::vector<uint8_t>& bytes = comments_->State().archiveComment;
  return std::string(bytes.begin(), bytes.end());
}

void TZipBase::SetArchiveComment(const std::string& comment) {
  if (!comments_) return;
  UpdateRun& run = comments_->State();
  const std::vector<uint8_t> bytes = CommentBytes(comment);
  if (bytes == run.archiveComment) return;
  run.archiveComment = bytes;
  run.commentsChanged = true;
}

bool TZipBase::SaveComments() {
  // The loaded list is freed in every case.
  const std::unique_ptr<ZipUpdater> session = std::move(comments_);
  return session && session->SaveComments();
}

bool ZipUpdater::OpenForComments() {
  run_.isNew = false;
  // The directory is loaded as for an update that deletes nothing.
  const TSwitch held = z_.Switch();
  z_.SetSwitch(swAdd);
  const bool opened = OpenOldArchive();
  z_.SetSwitch(held);
  return opened;
}

bool ZipUpdater::SaveComments() {
  if (z_.Cancel() || !run_.commentsChanged) return false;
  if (!run_.oldSource || !run_.oldStream) {
    z_.ReportError(z_.ArchiveFile(), "", "0", ec::OpenError);
    return false;
  }
  try {
    if (!CreateOutput(cmTempFile)) return false;
    TStream32& out = run_.output->Stream();
    out.ownerProgress = nullptr;
    if (HasHeader(run_.oldOpen.headerState, htCentral)) {
      // Everything up to the directory stays byte for byte, offsets included.
      const int64_t head = run_.oldOpen.dataOffset;
      if (head > 0) {
        run_.oldStream->SetPosition(0);
        out.CopyFrom(*run_.oldStream, head);
      }
    } else {
      // No directory to cut at: the entries are copied one by one.
      if (run_.stubLength > 0) {
        run_.oldStream->SetPosition(0);
        out.CopyFrom(*run_.oldStream, run_.stubLength);
      }
      for (int32_t i = 0; i < run_.headers.Count(); ++i) CopyUnchanged(i);
    }
    if (z_.Cancel()) return false;
    WriteCentralDirectory();
    run_.oldStream.reset();
    run_.oldSource.reset();
    run_.output->Commit();
    return true;
  } catch (const E_RAISE&) {
    return false;
  } catch (...) {
    z_.ReportError(z_.ArchiveFile(), "", "0", ec::WriteError);
    return false;
  }
}

}  // namespace arc
