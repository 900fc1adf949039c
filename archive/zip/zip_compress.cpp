//===-- zip/zip_compress.cpp - Compress: checks before an update ----------===//
//
// A run resets the component's counters, checks the archive's drive, settles
// DefaultDir by StoredDirNames, checks the archive's directory and then
// runs the update (zip_update.cpp). It never throws: a fatal error ends the
// run with 0 after it was reported, and the old archive is left as it was.
//
//===----------------------------------------------------------------------===//
#include <sys/stat.h>

#include <new>

#include <arc/support/error_codes.h>
#include <arc/support/errors.h>
#include <arc/support/paths.h>
#include <arc/zip/zip.h>
#include "core/disk_manager.h"
#include "support/stream_errors.h"
#include "zip/entry_prefetch.h"
#include "zip/stored_name.h"
#include "zip/zip_updater.h"

namespace arc {

int32_t TZipBase::Compress() {
  ZipUpdater update(*this);
  return update.Run();
}

ZipUpdater::ZipUpdater(TZipBase& owner) : z_(owner) {}

ZipUpdater::~ZipUpdater() = default;

bool ZipUpdater::CheckArchiveDrive() {
  // The drive of the archive, or of the current directory for a bare name.
  const std::string& archive = z_.ArchiveFile();
  const std::string dir = ExtractFilePath(archive);
  z_.DiskManager().SetService(&z_.Drives());
  return z_.DiskManager().CheckDrive(dir.empty() ? std::string(".") : dir, true);
}

int32_t ZipUpdater::Run() {
  z_.processedCount_ = 0;
  z_.deletedCount_ = 0;
  z_.Totals() = ProgressTotals{};
  z_.ResetProgressDispatcher();
  *z_.CancelFlag() = false;
  z_.SetEntryName("");

  if (!CheckArchiveDrive()) return 0;
  const bool removable = z_.DiskManager().IsRemovable();

  if (z_.Switch() == swDelete) {
    z_.SetDefaultDir("");
  } else if (z_.StoredDirNames() == sdExplorer_Auto) {
    std::vector<std::string> lines;
    for (const std::string& line : z_.FileSpec())
      if (!line.empty()) lines.push_back(ExpandPath(line));
    z_.SetDefaultDir(CommonDirectory(lines));
  } else if (z_.StoredDirNames() == sdExplorer_UserDefineDefaultDir && z_.DefaultDir().empty()) {
    z_.ReportError(z_.ArchiveFile(), "DefaultDir", "0", ec::RequiredProperty);
    return 0;
  }

  const std::string dir = ExtractFilePath(z_.ArchiveFile());
  if (dir.empty() || !DirExists(dir)) {
    z_.ReportError(dir, "", "0", ec::InvalidDirectory);
    return 0;
  }
  if (z_.ArchiveFile().empty() || z_.Cancel()) return 0;

  run_.removable = removable;
  run_.naming.mode = z_.StoredDirNames();
  run_.naming.DefaultDir =
      z_.DefaultDir().empty() ? std::string() : AppendSlash(ExpandPath(z_.DefaultDir()));
  int32_t result = 0;
  try {
    result = Update();
  } catch (const E_RAISE&) {
    // Reported by RaiseError.
  } catch (const EStreamWrite& e) {
    z_.ReportError(z_.ArchiveFile(), z_.EntryName(), "0", WriteFailureCode(e.OsError()));
  } catch (const EFOpenError&) {
    // The archive could not be created under its name: the old one stands.
    z_.ReportError(z_.ArchiveFile(), "", "0", ec::OpenError);
  } catch (const EStreamRead&) {
    z_.ReportError(z_.ArchiveFile(), z_.EntryName(), "0", ec::ReadError);
  } catch (const std::bad_alloc&) {
    z_.ReportError(z_.ArchiveFile(), z_.EntryName(), "0", ec::OutOfMemory);
  } catch (...) {
    z_.ReportError(z_.ArchiveFile(), z_.EntryName(), "0", ec::ErrorUpdatingArchive);
  }
  // Whatever detection of the old archive found, this component writes ZIP.
  z_.StoreArcType(atZip);
  return result;
}

bool ZipUpdater::ArchiveWritable() {
  if (z_.Cancel() || z_.OverwriteMode() != omOverwrite) return false;
  const uint32_t attributes = FileAttributes(z_.ArchiveFile());
  if (attributes == kInvalidAttributes) return false;
  // A hidden file (a name with a leading dot) is replaced like any other on
  // this system; only these keep an update from replacing the archive.
  constexpr uint32_t kNotWritable = faReadOnly | faSysFile | faDirectory;
  if ((attributes & kNotWritable) == 0) return true;
  if (!z_.OnNonWriteableArchive) {
    z_.ReportError(z_.ArchiveFile(), "OnNonWriteableArchive", "0", ec::RequiredEvent);
    return false;
  }
  bool writeToFile = false;
  z_.OnNonWriteableArchive(&z_, z_.ArchiveFile(), writeToFile);
  if (!writeToFile) return false;
  // Made normal: a directory cannot be.
  if ((attributes & faDirectory) != 0) return false;
  if ((attributes & faReadOnly) != 0 && !SetFileReadOnly(z_.ArchiveFile(), false)) return false;
  return true;
}

}  // namespace arc
