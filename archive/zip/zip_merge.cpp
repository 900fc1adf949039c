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

#include "core/error_codes.h"
#include "support/dos_time.h"
#include "support/paths.h"
#include "zip/update_run.h"
#include "zip/zip.h"

namespace arc {
namespace {

/// A handler that keeps answering with names already taken must not hold
/// the update forever.
constexpr int kMaxRenameQuestions = 1000;

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

}  // namespace

void TZipBase::MergeFound(TUpdateRun& run, const std::string& path, uint32_t attributes,
                          int64_t size, int64_t mtime, const std::string& bareName) {
  const bool is_dir = (attributes & faDirectory) != 0;
  const std::string full = is_dir ? path : path + bareName;
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

  const uint32_t date = FileTimeToDos(static_cast<std::time_t>(mtime));
  if (!is_dir && date > run.MaxFileDate) run.MaxFileDate = date;
  run.SomethingToDo = true;

  auto add_new = [&] {
    TCompHeader e;
    e.Name = full;
    e.SourcePath = full;
    e.StoredName = stored;
    e.BaseDirLength = static_cast<int32_t>(run.BaseDir.size());
    e.FileSize = size;
    e.FileDate = date;
    e.Attributes = attributes;
    e.IsDirectory = is_dir;
    e.Action = TEntryAction::Compress;
    run.Headers.Add(std::move(e));
  };

  int32_t found = -1;
  if (!run.IsNew) {
    found = run.Headers.IndexOf(stored);
    if (found < 0 && FileSpec().size() > 1) found = run.Headers.IndexOf(full);
  }
  if (found < 0) {
    if (Switch() != swRefresh) add_new();
    return;
  }
  // An entry already chosen for compression: the same file found again.
  if (run.Headers[found].Action == TEntryAction::Compress) return;

  TCompHeader& old = run.Headers[found];
  const uint32_t old_attr = old.Central.externalAttributes & 0xFF;
  const bool unchanged = static_cast<int64_t>(old.UncompressedSize) == size &&
                         old.Central.dosDateTime == date &&
                         old_attr == AttributesToStore(attributes);
  if (!unchanged) {
    if (Switch() == swRefresh) {
      // Compressed anew in its place, under its stored name.
      old.Action = TEntryAction::Compress;
      old.SourcePath = full;
      old.StoredName = old.Name;
      old.BaseDirLength = static_cast<int32_t>(run.BaseDir.size());
      old.FileSize = size;
      old.FileDate = date;
      old.Attributes = attributes;
      old.IsDirectory = is_dir;
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
