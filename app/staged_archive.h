//===-- app/staged_archive.h - A backup archive until it has read back -*- C++ -*-===//
//
// A backup archive takes its name only once it has read back. The writer
// builds it in a folder of the program's own in the data folder and moves it
// to a temporary name beside the archive,
//
//   E + "Temp/" + D + ".zip-temp/"       the writer's temporary archives
//   <archive>.unverified-<D>             backup.zip.unverified-Zelvo10
//
// where the reader tests it; then it is renamed to <archive> in one step. A
// backup that adds to an existing archive starts from a hard link to it (a
// copy where the file system has no links), so the existing archive keeps
// its name and its bytes until the new one has read back.
//
// A run killed with kill -9 leaves what it had under these names. The next
// operation on the company sweeps them while it holds the company's lock, so
// no live run owns them: the writer's folder, and the archive's folder, which
// the backup notes in the lock file before it writes there (operation_lock.h).
// Only names made as above are removed, and the writer's own names
// ("arc...-XXXXXX", see support/temp_file.h) for them.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <string>

namespace app {

/// Where the writer builds the new archives of `database`, with a trailing '/'.
std::string ArchiveTempFolder(const std::string& exeDir, const std::string& database);

/// Removes the writer's temporary files from ArchiveTempFolder. The caller
/// holds the company's lock.
void SweepArchiveTemp(const std::string& exeDir, const std::string& database);

/// Removes from `folder` the temporary archives of `database` (and the
/// writer's copies of them on their way there). The caller holds the
/// company's lock.
void SweepUnverified(const std::string& folder, const std::string& database);

/// The line a backup notes in the lock file before it writes `staged`.
std::string StagingNote(const std::string& staged);

/// Sweeps with SweepUnverified the folders of the StagingNote lines in
/// `left`, what a killed run left in the lock file.
void SweepNoted(const std::string& left, const std::string& database);

class TStagedArchive {
 public:
  /// The temporary name for `archive` (a symbolic link stands for its
  /// target); nothing is written yet.
  TStagedArchive(const std::string& archive, const std::string& database);
  /// Sweeps the database's leftovers beside the archive and, when the
  /// archive exists, links or copies it to the temporary name. Throws
  /// std::runtime_error when it cannot.
  void Prepare();
  /// Removes the temporary name unless it was renamed.
  ~TStagedArchive();
  TStagedArchive(const TStagedArchive&) = delete;
  TStagedArchive& operator=(const TStagedArchive&) = delete;

  /// The name the writer writes and the reader tests.
  const std::string& Name() const { return name_; }
  /// The archive's own name.
  const std::string& Archive() const { return archive_; }

  /// Renames the tested archive to Archive(), durably. Throws
  /// std::runtime_error when it cannot; the archive is then as it was.
  void Commit();
  /// Renames the temporary archive, which did not read back, to
  /// Archive().damaged (or .damaged-2 ... when taken) and returns that name;
  /// when it cannot, removes it and returns an empty name.
  std::string SetAside();

 private:
  std::string archive_;
  std::string database_;
  std::string name_;
  bool done_ = false;
};

}  // namespace app
