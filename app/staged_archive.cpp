//===-- app/staged_archive.cpp - A backup archive until it has read back -*- C++ -*-===//
#include "staged_archive.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <stdexcept>
#include <string_view>
#include <system_error>

#include "app/commands.h"

namespace app {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kUnverified = ".unverified-";
constexpr std::string_view kNote = "unverified ";

std::string FolderOf(std::string_view path) {
  const fs::path folder = fs::path(path).parent_path();
  return folder.empty() ? "." : folder.string();
}

/// True for a name the archive library gives a temporary file: "arc", then
/// "-" + what it is for + "-" or nothing, then six letters or digits.
/// `forSuffix`, when not empty, must end what it is for.
bool IsLibraryTempName(std::string_view name, std::string_view forSuffix) {
  constexpr size_t kRandom = 6;
  if (!name.starts_with("arc") || name.size() < 3 + kRandom) return false;
  for (char c : name.substr(name.size() - kRandom)) {
    if (!std::isalnum(static_cast<unsigned char>(c))) return false;
  }
  std::string_view mark = name.substr(3, name.size() - 3 - kRandom);
  if (mark.empty()) return forSuffix.empty();
  if (mark.size() < 2 || mark.front() != '-' || mark.back() != '-') return false;
  return mark.substr(1, mark.size() - 2).ends_with(forSuffix);
}

/// Removes the regular files of `folder` that `ours` picks by name.
template <class Pick>
void RemoveFiles(const std::string& folder, Pick ours) {
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
    std::error_code fileError;
    if (!entry.is_regular_file(fileError) || entry.is_symlink(fileError)) continue;
    if (ours(entry.path().filename().string())) fs::remove(entry.path(), fileError);
  }
}

/// Makes a rename in `folder` durable; a file system that cannot sync a
/// folder has nothing more to offer.
void SyncFolder(const fs::path& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

std::string ArchiveTempFolder(const std::string& exeDir, const std::string& database) {
  return TempFolder(exeDir) + "/" + database + ".zip-temp/";
}

void SweepArchiveTemp(const std::string& exeDir, const std::string& database) {
  RemoveFiles(ArchiveTempFolder(exeDir, database),
              [](const std::string& name) { return IsLibraryTempName(name, {}); });
}

void SweepUnverified(const std::string& folder, const std::string& database) {
  const std::string suffix = std::string(kUnverified) + database;
  RemoveFiles(folder, [&suffix](const std::string& name) {
    return (name.ends_with(suffix) && name.size() > suffix.size()) ||
           IsLibraryTempName(name, suffix);
  });
}

std::string StagingNote(const std::string& staged) { return std::string(kNote) + staged; }

void SweepNoted(const std::string& left, const std::string& database) {
  size_t at = 0;
  while (at < left.size()) {
    size_t end = left.find('\n', at);
    if (end == std::string::npos) end = left.size();
    const std::string_view line = std::string_view(left).substr(at, end - at);
    if (line.starts_with(kNote)) SweepUnverified(FolderOf(line.substr(kNote.size())), database);
    at = end + 1;
  }
}

TStagedArchive::TStagedArchive(const std::string& archive, const std::string& database)
    : archive_(archive), database_(database) {
  // The writer replaces the target of a link to the archive, and so does
  // the rename at the end.
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(archive_, ec)) && fs::exists(archive_, ec)) {
    archive_ = fs::canonical(archive_, ec).string();
    if (ec) archive_ = archive;
  }
  name_ = archive_ + std::string(kUnverified) + database;
}

void TStagedArchive::Prepare() {
  SweepUnverified(FolderOf(archive_), database_);
  std::error_code ec;
  if (!fs::exists(archive_, ec)) return;
  // The writer reads the entries it adds to from here and replaces the name
  // with the new archive; the old one is not written to.
  if (::link(archive_.c_str(), name_.c_str()) == 0) return;
  std::error_code copyError;
  fs::copy_file(archive_, name_, copyError);
  if (copyError) {
    fs::remove(name_, ec);
    throw std::runtime_error("Cannot copy '" + archive_ +
                             "' to add the backup to it: " + copyError.message());
  }
}

TStagedArchive::~TStagedArchive() {
  if (done_) return;
  std::error_code ec;
  fs::remove(name_, ec);
}

void TStagedArchive::Commit() {
  std::error_code ec;
  fs::rename(name_, archive_, ec);
  if (ec) {
    throw std::runtime_error("Cannot name the backup '" + archive_ + "': " + ec.message());
  }
  done_ = true;
  SyncFolder(fs::path(archive_).parent_path());
}

std::string TStagedArchive::SetAside() {
  std::error_code ec;
  std::string aside = archive_ + ".damaged";
  for (int n = 2; fs::exists(fs::symlink_status(aside, ec)); ++n) {
    aside = archive_ + ".damaged-" + std::to_string(n);
  }
  fs::rename(name_, aside, ec);
  if (ec) return {};  // the destructor removes it
  done_ = true;
  return aside;
}

}  // namespace app
