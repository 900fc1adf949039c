//===-- zip/source_stream.cpp - A file being added to an archive ----------===//
#include "zip/source_stream.h"

#include <algorithm>
#include <array>

#include <arc/codec/crc.h>

namespace arc {
namespace {

/// Control characters that text does not contain: 0-6, 14-25 and 28-31.
/// Tab, line feed and carriage return mark text; bell, backspace, vertical
/// tab, form feed, substitute and escape say nothing either way. Bytes from
/// 32 up (UTF-8 included) are text.
constexpr uint32_t kBinaryControls = 0xF3FFC07Fu;

constexpr uint8_t kBinary = 1;
constexpr uint8_t kText = 2;

/// What each byte value says: kBinary, kText or nothing.
constexpr std::array<uint8_t, 256> kByteKinds = [] {
  std::array<uint8_t, 256> kinds{};
  for (unsigned b = 0; b < 256; ++b) {
    if (b < 32 && ((kBinaryControls >> b) & 1u) != 0) kinds[b] = kBinary;
    if (b >= 32 || b == '\t' || b == '\n' || b == '\r') kinds[b] = kText;
  }
  return kinds;
}();

}  // namespace

SourceFileStream::SourceFileStream(const std::string& path)
    : TFileStream32(path, fmOpenRead | fmShareDenyNone) {
  if (!Valid()) return;
  if (::fstat(Handle(), &opened_) != 0 || !S_ISREG(opened_.st_mode)) {
    CloseHandle();
    return;
  }
  size_ = static_cast<int64_t>(opened_.st_size);
  StartPass();  // an empty file is read in full without a single read
}

bool SourceFileStream::ChangedSinceOpened() const {
  struct stat now {};
  if (::fstat(Handle(), &now) != 0) return true;
  return now.st_size != opened_.st_size || now.st_mtim.tv_sec != opened_.st_mtim.tv_sec ||
         now.st_mtim.tv_nsec != opened_.st_mtim.tv_nsec;
}

int32_t SourceFileStream::Read(void* buffer, int32_t count) {
  if (count <= 0 || buffer == nullptr || position_ >= size_) return 0;
  const auto wanted = static_cast<int32_t>(std::min<int64_t>(count, size_ - position_));
  if (position_ == 0) StartPass();
  const bool continues = inOrder_ && position_ == passEnd_;
  // The descriptor moves only when it is read from: asking for the size or
  // the position costs no system call.
  if (handleAt_ != position_) {
    if (THandleStream32::Seek(position_, TSeekOrigin::soBeginning) != position_) return 0;
    handleAt_ = position_;
  }
  const int32_t got = THandleStream32::Read(buffer, wanted);
  if (got > 0) handleAt_ += got;
  if (got <= 0) return 0;
  if (continues) {
    Take(static_cast<const uint8_t*>(buffer), got);
  } else {
    inOrder_ = false;
  }
  position_ += got;
  return got;
}

int64_t SourceFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t target = offset;
  if (origin == TSeekOrigin::soCurrent) target = position_ + offset;
  if (origin == TSeekOrigin::soEnd) target = size_ + offset;
  if (target < 0 || !Valid()) return -1;
  position_ = target;
  return position_;
}

void SourceFileStream::StartPass() {
  passEnd_ = 0;
  passCrc_ = kCrc32Init;
  inOrder_ = true;
  binary_ = false;
  someText_ = false;
}

void SourceFileStream::Take(const uint8_t* data, int32_t count) {
  Crc32Update(data, count, passCrc_);
  if (!binary_) {
    // A table and no early exit: this runs over every byte of a text file.
    uint8_t seen = 0;
    for (int32_t i = 0; i < count; ++i) seen |= kByteKinds[data[i]];
    binary_ = (seen & kBinary) != 0;
    someText_ = someText_ || (seen & kText) != 0;
  }
  passEnd_ += count;
}

}  // namespace arc
