//===-- zip/zip_compress.cpp - Compress: checks before an update ----------===//
//
// Compress resets the run, checks the archive's drive, settles DefaultDir by
// StoredDirNames, checks the archive's directory and then runs the update
// (zip_update.cpp). It never throws: a fatal error ends the run with 0 after
// it was reported, and the old archive is left as it was.
//
//===----------------------------------------------------------------------===//
#include <sys/stat.h>

#include <new>

#include "core/disk_manager.h"
#include <arc/support/error_codes.h>
#include <arc/support/errors.h>
#include <arc/support/paths.h>
#include "support/stream_errors.h"
#include "zip/stored_name.h"
#include "zip/update_run.h"
#include <arc/zip/zip.h>

namespace arc {

bool TZipBase::CheckArchiveDrive() {
  // The drive of the archive, or of the current directory for a bare name.
  const std::string& archive = ArchiveFile();
  const std::string dir = ExtractFilePath(archive);
  DiskManager().SetService(&Drives());
  return DiskManager().CheckDrive(dir.empty() ? std::string(".") : dir, true);
}

int32_t TZipBase::Compress() {
  processed_count_ = 0;
  deleted_count_ = 0;
  Totals() = TProgressTotals{};
  ResetProgressDispatcher();
  *CancelFlag() = false;
  SetEntryName("");

  if (!CheckArchiveDrive()) return 0;
  const bool removable = DiskManager().IsRemovable();

  if (Switch() == swDelete) {
    SetDefaultDir("");
  } else if (StoredDirNames() == sdExplorer_Auto) {
    std::vector<std::string> lines;
    for (const std::string& line : FileSpec())
      if (!line.empty()) lines.push_back(ExpandPath(line));
    SetDefaultDir(CommonDirectory(lines));
  } else if (StoredDirNames() == sdExplorer_UserDefineDefaultDir && DefaultDir().empty()) {
    ReportError(ArchiveFile(), "DefaultDir", "0", ec::RequiredProperty);
    return 0;
  }

  const std::string dir = ExtractFilePath(ArchiveFile());
  if (dir.empty() || !DirExists(dir)) {
    ReportError(dir, "", "0", ec::InvalidDirectory);
    return 0;
  }
  if (ArchiveFile().empty() || Cancel()) return 0;

  TUpdateRun run;
  run.Removable = removable;
  run.Naming.Mode = StoredDirNames();
  run.Naming.DefaultDir =
      DefaultDir().empty() ? std::string() : AppendSlash(ExpandPath(DefaultDir()));
  int32_t result = 0;
  try {
    result = RunUpdate(run);
  } catch (const E_RAISE&) {
    // Reported by RaiseError.
  } catch (const EStreamWrite& e) {
    ReportError(ArchiveFile(), EntryName(), "0", WriteFailureCode(e.OsError()));
  } catch (const EFOpenError&) {
    // The archive could not be created under its name: the old one stands.
    ReportError(ArchiveFile(), "", "0", ec::OpenError);
  } catch (const EStreamRead&) {
    ReportError(ArchiveFile(), EntryName(), "0", ec::ReadError);
  } catch (const std::bad_alloc&) {
    ReportError(ArchiveFile(), EntryName(), "0", ec::OutOfMemory);
  } catch (...) {
    ReportError(ArchiveFile(), EntryName(), "0", ec::ErrorUpdatingArchive);
  }
  // Whatever detection of the old archive found, this component writes ZIP.
  StoreArcType(atZip);
  return result;
}

bool TZipBase::ArchiveWritable() {
  if (Cancel() || OverwriteMode() != omOverwrite) return false;
  const uint32_t attributes = FileAttributes(ArchiveFile());
  if (attributes == kInvalidAttributes) return false;
  // A hidden file (a name with a leading dot) is replaced like any other on
  // this system; only these keep an update from replacing the archive.
  constexpr uint32_t kNotWritable = faReadOnly | faSysFile | faDirectory;
  if ((attributes & kNotWritable) == 0) return true;
  if (!OnNonWriteableArchive) {
    ReportError(ArchiveFile(), "OnNonWriteableArchive", "0", ec::RequiredEvent);
    return false;
  }
  bool write_to_file = false;
  OnNonWriteableArchive(this, ArchiveFile(), write_to_file);
  if (!write_to_file) return false;
  // Made normal: a directory cannot be.
  if ((attributes & faDirectory) != 0) return false;
  if ((attributes & faReadOnly) != 0 && !SetFileReadOnly(ArchiveFile(), false)) return false;
  return true;
}

std::string TZipBase::StoredNameOf(const std::string& path, const std::string& base) const {
  TNamingRules rules;
  rules.Mode = StoredDirNames();
  rules.DefaultDir = DefaultDir().empty() ? std::string() : AppendSlash(ExpandPath(DefaultDir()));
  return StoredDirName(path, base, rules);
}

}  // namespace arc
