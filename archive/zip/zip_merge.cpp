//===-- zip/zip_merge.cpp - Merging a scanned file into the header list ---===//
//
// The scan runs over every FileSpec line. Each file it finds is named
// (StoredDirNames), tested against ExcludeSpec and looked up in the header
// list. A file that is not there becomes a new entry (not with swRefresh).
// A file that is there either replaces the old entry (changed, and
// OnReplaceFile agrees), refreshes it in place (changed, swRefresh), or is
// added beside it after OnRenameDupeFile gave the old entry a new name;
// otherwise the old entry stays.
//
//===----------------------------------------------------------------------===//
#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <optional>

#include <arc/support/error_codes.h>
#include <arc/support/dos_time.h>
#include "zip/file_scan.h"
#include <arc/support/paths.h>
#include "zip/update_run.h"
#include "zip/stored_name.h"
#include <arc/zip/zip.h>
#include "zip/zip_layout.h"
#include "zip/zip_updater.h"
#include <arc/support/ascii_case.h>

namespace arc {
namespace {

/// How often an update asks for another name: a handler that keeps
/// answering with names already taken must not hold the update forever.
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

/// Which file `path` is (device, inode); zero when there is none.
std::pair<uint64_t, uint64_t> FileId(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return {};
  return {uint64_t(st.st_dev), uint64_t(st.st_ino)};
}

bool IsFile(const std::pair<uint64_t, uint64_t>& id, const TSearchRec& rec) {
  return id != std::pair<uint64_t, uint64_t>{} && id.first == rec.Device && id.second == rec.Inode;
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

/// What the scan found, as an entry to compress.
void DescribeFound(TCompHeader& e, const std::string& full, const std::string& stored,
                   const TSearchRec& rec) {
  if (!e.Found) e.Found = std::make_unique<TFoundFile>();
  e.Found->SourcePath = full;
  e.Found->StoredName = stored;
  e.StoredTail = 0;
  e.FileMtime = static_cast<int64_t>(rec.Time);
  e.Mode = rec.Mode;
  e.FileSize = rec.Size;
  e.FileDate = FileTimeToDos(rec.Time);
  e.Attributes = rec.Attr;
  e.IsDirectory = (rec.Attr & faDirectory) != 0;
  e.Action = TEntryAction::Compress;
}

}  // namespace

void ZipUpdater::ScanAndMerge() {
  TArcFileScan scan;
  std::vector<std::string> lines;
  for (const std::string& line : z_.FileSpec())
    if (!line.empty()) lines.push_back(ExpandPath(line));
  scan.SetFileSpec(lines);
  TArcFileAttrs attributes = z_.Attributes();
  if (z_.StoreEmptySubDirs()) attributes.Include(fsDirectory);
  scan.SetAttributes(attributes);
  scan.SetAttributesEx(z_.AttributesEx());
  scan.SetRecurseDirs(z_.RecurseDirs());
  scan.SetIncludeHiddenDirs(z_.IncludeHiddenDirs());
  scan.SetCancelFlag(z_.CancelFlag());
  TZipBase& z = z_;
  scan.ProcessMessages = [&z] { z.Dialogs.PumpMessages(); };
  if (z.OnFileScanStatus) {
    scan.OnScanFile = [&z](TObject*, const std::string& name, int32_t count, int64_t size) {
      z.OnFileScanStatus(&z, name, count, size);
    };
  }
  if (z.OnRecurseDir) {
    scan.OnRecurseDir = [&z](TObject*, const std::string& dir) { z.OnRecurseDir(&z, dir); };
  }
  scan.OnRootDirChange = [this](TObject*, const std::string& dir) {
    run_.BaseDir = AppendSlash(dir);
  };
  run_.ArchiveId = FileId(z_.ArchiveFile());
  run_.TempId = FileId(run_.Output ? run_.Output->TempFileName() : std::string());
  scan.SetEntryHandler(
      [this](const std::string& path, const TSearchRec& rec) { MergeFound(path, rec); });
  // What a folder holds must not drop out of the archive without a word.
  scan.OnUnreadableDir = [&z](const std::string& dir, int) {
    z.ReportError(dir, "", "0", ec::OpenError);
  };
  scan.Scan();
}

std::string ZipUpdater::StoredNameOf(const std::string& path, const std::string& base) const {
  TNamingRules rules;
  rules.Mode = z_.StoredDirNames();
  rules.DefaultDir =
      z_.DefaultDir().empty() ? std::string() : AppendSlash(ExpandPath(z_.DefaultDir()));
  return StoredDirName(path, base, rules);
}

std::optional<std::string> ZipUpdater::AskForName(
    const std::string& current, const std::function<std::optional<std::string>()>& ask) const {
  for (int question = 0; question < kMaxRenameQuestions; ++question) {
    std::optional<std::string> candidate = ask();
    if (!candidate || SameTextIgnoringCase(*candidate, current)) return std::nullopt;
    if (run_.Headers.IndexOf(*candidate) < 0) return candidate;
  }
  return std::nullopt;
}

int32_t ZipUpdater::FindOldEntry(const std::string& stored, const std::string& full) {
  int32_t found = run_.Headers.IndexOf(stored);
  if (found < 0 && z_.FileSpec().size() > 1) found = run_.Headers.IndexOf(full);
  if (found >= 0) return found;
  // The names of the old archive are read as their flags say, which is not
  // how every writer meant them: a name that is not UTF-8, or one a peer
  // stored as the file system has it, is found by its bytes.
  if (!run_.OldByStoredBytesBuilt) {
    run_.OldByStoredBytesBuilt = true;
    for (int32_t i = 0; i < run_.Headers.Count(); ++i) {
      const TCompHeader& e = run_.Headers[i];
      if (e.FromOldArchive) run_.OldByStoredBytes.emplace(e.Stored(), i);
    }
  }
  uint16_t flags = 0;
  for (const std::string& bytes : {StoredBytesOf(stored, z_.TranslateOemChar(), flags), stored}) {
    const auto it = run_.OldByStoredBytes.find(bytes);
    if (it != run_.OldByStoredBytes.end()) return it->second;
  }
  return -1;
}

void ZipUpdater::MergeFound(const std::string& path, const TSearchRec& rec) {
  const bool is_dir = (rec.Attr & faDirectory) != 0;
  const std::string full = is_dir ? path : path + rec.Name;
  if (is_dir) {
    if (!z_.StoreEmptySubDirs() || !DirHasNoFiles(full)) return;
  } else {
    const std::string ext = LowerExtension(full);
    const TZipBase::TStrings& skip = z_.SkipExtList();
    if (!ext.empty() && std::find(skip.begin(), skip.end(), ext) != skip.end()) {
      Fire(z_.OnSkipFile, &z_, full);
      return;
    }
    // The archive being updated, or the temporary file it is built in, may
    // lie in the folders scanned; neither is a file to add.
    if (IsFile(run_.ArchiveId, rec) || IsFile(run_.TempId, rec)) return;
  }

  const std::string stored = StoredNameOf(full, run_.BaseDir);
  if (!is_dir &&
      IsExcluded(stored, full, run_.BaseDir, z_.ExcludeSpec(), z_.RecurseDirs(), run_.Naming))
    return;

  const uint32_t date = FileTimeToDos(rec.Time);
  if (!is_dir && date > run_.MaxFileDate) run_.MaxFileDate = date;
  // A refresh has something to do only where it refreshes an entry.
  if (z_.Switch() != swRefresh) run_.SomethingToDo = true;

  TCompHeader file;
  file.Name = full;
  DescribeFound(file, full, stored, rec);

  const int32_t found = run_.IsNew ? -1 : FindOldEntry(stored, full);
  if (found < 0) {
    if (z_.Switch() != swRefresh) run_.Headers.Add(std::move(file));
    return;
  }
  // An entry already chosen for compression: the same file found again.
  if (run_.Headers[found].Action == TEntryAction::Compress) return;
  MergeWithOld(found, std::move(file), rec);
}

void ZipUpdater::MergeWithOld(int32_t found, TCompHeader file, const TSearchRec& rec) {
  TCompHeader& old = run_.Headers[found];
  const std::string& stored = file.Found->StoredName;
  if (!Unchanged(old, rec)) {
    if (z_.Switch() == swRefresh) {
      // Compressed anew in its place, under its stored name.
      DescribeFound(old, std::string(file.SourcePath()), old.Name, rec);
      old.ShareNames();
      run_.SomethingToDo = true;
      return;
    }
    bool replace = false;
    if (z_.OnReplaceFile) {
      const uint32_t old_attr = old.Central.externalAttributes & 0xFF;
      z_.OnReplaceFile(&z_, stored, file.SourcePath(),
                       z_.DosDateToDateTime(old.Central.dosDateTime),
                       z_.DosDateToDateTime(file.FileDate),
                       static_cast<int64_t>(old.UncompressedSize), file.FileSize,
                       static_cast<int32_t>(old_attr), static_cast<int32_t>(rec.Attr), replace);
    } else {
      z_.ReportError(stored, "OnReplaceFile", "0", ec::RequiredEvent);
    }
    if (replace) {
      run_.Headers[found].Action = TEntryAction::Drop;
      run_.Headers.Add(std::move(file));
      return;
    }
  } else if (z_.Switch() == swRefresh) {
    return;
  }

  if (!z_.OnRenameDupeFile) {
    z_.ReportError(stored, "OnRenameDupeFile", "0", ec::RequiredEvent);
    return;
  }
  const std::string old_name = run_.Headers[found].Name;
  // Each question starts from the answer before.
  std::string answer;
  const std::optional<std::string> new_name =
      AskForName(old_name, [&]() -> std::optional<std::string> {
        bool rename = true;
        z_.OnRenameDupeFile(&z_, old_name, answer, rename);
        if (!rename || ExtractFileName(answer).empty()) return std::nullopt;
        return answer;
      });
  if (!new_name) return;
  run_.Headers.SetName(found, *new_name);
  run_.Headers[found].Action = TEntryAction::CopyRenamed;
  run_.Headers.Add(std::move(file));
}

}  // namespace arc
