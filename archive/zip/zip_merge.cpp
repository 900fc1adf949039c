//===-- zip/zip_merge.cpp - Merging a scanned file into the header list ---===//
//
// Each file the scan finds is named (StoredDirNames), tested against
// ExcludeSpec and looked up in the header list. A file that is not there
// becomes a new entry (not with swRefresh). A file that is there either
// replaces the old entry (changed, and OnReplaceFile agrees), refreshes it in
// place (changed, swRefresh), or is added beside it after OnRenameDupeFile
// gave the old entry a new name; otherwise the old entry stays.
//
//===----------------------------------------------------------------------===//
#include <sys/stat.h>

#include <algorithm>
#include <optional>

#include <arc/support/error_codes.h>
#include <arc/support/dos_time.h>
#include "zip/file_scan.h"
#include <arc/support/paths.h>
#include "zip/update_run.h"
#include <arc/zip/zip.h>
#include "zip/zip_layout.h"
#include <arc/support/ascii_case.h>

namespace arc {
namespace {

std::string LowerExtension(const std::string& path) {
  const std::string name = ExtractFileName(path);
  const size_t dot = name.find_last_of('.');
  if (dot == std::string::npos) return {};
  std::string ext = name.substr(dot);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  });
  return ext;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {};
  struct stat sb {};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

/// True when an entry of the old archive still describes the file found:
/// the same size, modification time and mode. The mode is compared as its
/// host wrote it: the permission bits from a Unix host, else the read-only
/// and directory bits, the only DOS attributes a file here has of its own.
bool Unchanged(const TCompHeader& old, const TSearchRec& rec) {
  if (static_cast<int64_t>(old.UncompressedSize) != rec.Size) return false;
  if (const std::optional<UtcTime> mtime = ExtendedModificationTime(old.CentralExtra)) {
    if (mtime->seconds != static_cast<int64_t>(rec.Time)) return false;
  } else {
    // DOS times count in steps of two seconds; some writers round an odd
    // second up, others down.
    const uint32_t dos = old.Central.dosDateTime;
    if (dos != FileTimeToDos(rec.Time) && dos != FileTimeToDos(rec.Time + 1)) return false;
  }
  const uint32_t external = old.Central.externalAttributes;
  const uint32_t mode = external >> 16;
  if ((old.Central.versionMadeBy >> 8) == kHostUnix && mode != 0)
    return (mode & 07777u) == (rec.Mode & 07777u);
  constexpr uint32_t kOwnBits = kAttrReadOnly | kAttrDirectory;
  return (external & kOwnBits) == (AttributesToStore(rec.Attr) & kOwnBits);
}

}  // namespace

int32_t TZipBase::FindOldEntry(TUpdateRun& run, const std::string& stored,
                               const std::string& full) const {
  int32_t found = run.Headers.IndexOf(stored);
  if (found < 0 && FileSpec().size() > 1) found = run.Headers.IndexOf(full);
  if (found >= 0) return found;
  // The names of the old archive are read as their flags say, which is not
  // how every writer meant them: a name that is not UTF-8, or one a peer
  // stored as the file system has it, is found by its bytes.
  if (!run.OldByStoredBytesBuilt) {
    run.OldByStoredBytesBuilt = true;
    for (int32_t i = 0; i < run.Headers.Count(); ++i) {
      const TCompHeader& e = run.Headers[i];
      if (e.FromOldArchive) run.OldByStoredBytes.emplace(e.StoredBytes, i);
    }
  }
  uint16_t flags = 0;
  for (const std::string& bytes : {StoredBytesOf(stored, flags), stored}) {
    const auto it = run.OldByStoredBytes.find(bytes);
    if (it != run.OldByStoredBytes.end()) return it->second;
  }
  return -1;
}

void TZipBase::MergeFound(TUpdateRun& run, const std::string& path, const TSearchRec& rec) {
  const uint32_t attributes = rec.Attr;
  const bool is_dir = (attributes & faDirectory) != 0;
  const std::string full = is_dir ? path : path + rec.Name;
  if (is_dir) {
    if (!StoreEmptySubDirs() || !DirHasNoFiles(full)) return;
  } else {
    const std::string ext = LowerExtension(full);
    const TStrings& skip = SkipExtList();
    if (!ext.empty() && std::find(skip.begin(), skip.end(), ext) != skip.end()) {
      Fire(OnSkipFile, this, full);
      return;
    }
    // The archive being updated, or the temporary file it is built in, may
    // lie in the folders scanned; neither is a file to add.
    if (SameFile(full, ArchiveFile())) return;
    const std::string temp = run.Output ? run.Output->TempFileName() : std::string();
    if (!temp.empty() && SameFile(full, temp)) return;
  }

  const std::string stored = StoredNameOf(full, run.BaseDir);
  if (!is_dir && IsExcluded(stored, full, run.BaseDir, ExcludeSpec(), RecurseDirs(), run.Naming))
    return;

  const int64_t size = rec.Size;
  const uint32_t date = FileTimeToDos(rec.Time);
  if (!is_dir && date > run.MaxFileDate) run.MaxFileDate = date;
  // A refresh has something to do only where it refreshes an entry.
  if (Switch() != swRefresh) run.SomethingToDo = true;

  auto describe = [&](TCompHeader& e) {
    e.SourcePath = full;
    e.BaseDirLength = static_cast<int32_t>(run.BaseDir.size());
    e.FileSize = size;
    e.FileDate = date;
    e.FileMtime = static_cast<int64_t>(rec.Time);
    e.Attributes = attributes;
    e.Mode = rec.Mode;
    e.IsDirectory = is_dir;
    e.Action = TEntryAction::Compress;
  };
  auto add_new = [&] {
    TCompHeader e;
    e.Name = full;
    e.StoredName = stored;
    describe(e);
    run.Headers.Add(std::move(e));
  };

  const int32_t found = run.IsNew ? -1 : FindOldEntry(run, stored, full);
  if (found < 0) {
    if (Switch() != swRefresh) add_new();
    return;
  }
  // An entry already chosen for compression: the same file found again.
  if (run.Headers[found].Action == TEntryAction::Compress) return;

  TCompHeader& old = run.Headers[found];
  const uint32_t old_attr = old.Central.externalAttributes & 0xFF;
  if (!Unchanged(old, rec)) {
    if (Switch() == swRefresh) {
      // Compressed anew in its place, under its stored name.
      old.StoredName = old.Name;
      describe(old);
      run.SomethingToDo = true;
      return;
    }
    bool replace = false;
    if (OnReplaceFile) {
      OnReplaceFile(this, stored, full, DosDateToDateTime(old.Central.dosDateTime),
                    DosDateToDateTime(date), static_cast<int64_t>(old.UncompressedSize), size,
                    static_cast<int32_t>(old_attr), static_cast<int32_t>(attributes), replace);
    } else {
      ReportError(stored, "OnReplaceFile", "0", ec::RequiredEvent);
    }
    if (replace) {
      run.Headers[found].Action = TEntryAction::Drop;
      add_new();
      return;
    }
  } else if (Switch() == swRefresh) {
    return;
  }

  if (!OnRenameDupeFile) {
    ReportError(stored, "OnRenameDupeFile", "0", ec::RequiredEvent);
    return;
  }
  const std::string old_name = run.Headers[found].Name;
  std::string new_name;
  bool renamed = false;
  for (int question = 0; question < kMaxRenameQuestions; ++question) {
    bool rename = true;
    OnRenameDupeFile(this, old_name, new_name, rename);
    if (!rename || ExtractFileName(new_name).empty()) break;
    if (SameTextIgnoringCase(new_name, old_name)) break;
    if (run.Headers.IndexOf(new_name) >= 0) continue;
    renamed = true;
    break;
  }
  if (!renamed) return;
  run.Headers.SetName(found, new_name);
  run.Headers[found].Action = TEntryAction::CopyRenamed;
  add_new();
}

}  // namespace arc
