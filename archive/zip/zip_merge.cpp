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

#include <arc/support/ascii_case.h>
#include <arc/support/dos_time.h>
#include <arc/support/error_codes.h>
#include <arc/support/paths.h>
#include <arc/zip/zip.h>
#include "zip/file_scan.h"
#include "zip/stored_name.h"
#include "zip/update_run.h"
#include "zip/zip_layout.h"
#include "zip/zip_updater.h"

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

bool IsFile(const std::pair<uint64_t, uint64_t>& id, const SearchRec& rec) {
  return id != std::pair<uint64_t, uint64_t>{} && id.first == rec.device && id.second == rec.inode;
}

/// True when an entry of the old archive still describes the file found:
/// the same size, modification time and mode. The mode is compared as its
/// host wrote it: the permission bits from a Unix host, else the read-only
/// and directory bits, the only DOS attributes a file here has of its own.
bool Unchanged(const CompHeader& old, const SearchRec& rec) {
  if (static_cast<int64_t>(old.uncompressedSize) != rec.size) return false;
  if (const std::optional<UtcTime> mtime = ExtendedModificationTime(old.centralExtra)) {
    if (mtime->seconds != static_cast<int64_t>(rec.time)) return false;
  } else {
    // DOS times count in steps of two seconds; some writers round an odd
    // second up, others down.
    const uint32_t dos = old.central.dosDateTime;
    if (dos != FileTimeToDos(rec.time) && dos != FileTimeToDos(rec.time + 1)) return false;
  }
  const uint32_t external = old.central.externalAttributes;
  const uint32_t mode = external >> 16;
  if ((old.central.versionMadeBy >> 8) == kHostUnix && mode != 0)
    return (mode & 07777u) == (rec.mode & 07777u);
  constexpr uint32_t kOwnBits = kAttrReadOnly | kAttrDirectory;
  return (external & kOwnBits) == (AttributesToStore(rec.attr) & kOwnBits);
}

/// What the scan found, as an entry to compress.
void DescribeFound(CompHeader& e, const std::string& full, const std::string& stored,
                   const SearchRec& rec) {
  if (!e.found) e.found = std::make_unique<FoundFile>();
  e.found->sourcePath = full;
  e.found->storedName = stored;
  e.storedTail = 0;
  e.fileMtime = static_cast<int64_t>(rec.time);
  e.mode = rec.mode;
  e.fileSize = rec.size;
  e.fileDate = FileTimeToDos(rec.time);
  e.Attributes = rec.attr;
  e.isDirectory = (rec.attr & faDirectory) != 0;
  e.action = EntryAction::Compress;
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
  scan.processMessages = [&z] { z.dialogs.PumpMessages(); };
  if (z.OnFileScanStatus) {
    scan.OnScanFile = [&z](TObject*, const std::string& name, int32_t count, int64_t size) {
      z.OnFileScanStatus(&z, name, count, size);
    };
  }
  if (z.OnRecurseDir) {
    scan.OnRecurseDir = [&z](TObject*, const std::string& dir) { z.OnRecurseDir(&z, dir); };
  }
  scan.OnRootDirChange = [this](TObject*, const std::string& dir) {
    run_.baseDir = AppendSlash(dir);
  };
  run_.archiveId = FileId(z_.ArchiveFile());
  run_.tempId = FileId(run_.output ? run_.output->TempFileName() : std::string());
  scan.SetEntryHandler(
      [this](const std::string& path, const SearchRec& rec) { MergeFound(path, rec); });
  // What a folder holds must not drop out of the archive without a word.
  scan.OnUnreadableDir = [&z](const std::string& dir, int) {
    z.ReportError(dir, "", "0", ec::OpenError);
  };
  scan.Scan();
}

std::string ZipUpdater::StoredNameOf(const std::string& path, const std::string& base) const {
  NamingRules rules;
  rules.mode = z_.StoredDirNames();
  rules.DefaultDir =
      z_.DefaultDir().empty() ? std::string() : AppendSlash(ExpandPath(z_.DefaultDir()));
  return StoredDirName(path, base, rules);
}

std::optional<std::string> ZipUpdater::AskForName(
    const std::string& current, const std::function<std::optional<std::string>()>& ask) const {
  for (int question = 0; question < kMaxRenameQuestions; ++question) {
    std::optional<std::string> candidate = ask();
    if (!candidate || SameTextIgnoringCase(*candidate, current)) return std::nullopt;
    if (run_.headers.IndexOf(*candidate) < 0) return candidate;
  }
  return std::nullopt;
}

int32_t ZipUpdater::FindOldEntry(const std::string& stored, const std::string& full) {
  int32_t found = run_.headers.IndexOf(stored);
  if (found < 0 && z_.FileSpec().size() > 1) found = run_.headers.IndexOf(full);
  if (found >= 0) return found;
  // The names of the old archive are read as their flags say, which is not
  // how every writer meant them: a name that is not UTF-8, or one a peer
  // stored as the file system has it, is found by its bytes.
  if (!run_.oldByStoredBytesBuilt) {
    run_.oldByStoredBytesBuilt = true;
    for (int32_t i = 0; i < run_.headers.Count(); ++i) {
      const CompHeader& e = run_.headers[i];
      if (e.fromOldArchive) run_.oldByStoredBytes.emplace(e.Stored(), i);
    }
  }
  uint16_t flags = 0;
  for (const std::string& bytes : {StoredBytesOf(stored, z_.TranslateOemChar(), flags), stored}) {
    const auto it = run_.oldByStoredBytes.find(bytes);
    if (it != run_.oldByStoredBytes.end()) return it->second;
  }
  return -1;
}

void ZipUpdater::MergeFound(const std::string& path, const SearchRec& rec) {
  const bool isDir = (rec.attr & faDirectory) != 0;
  const std::string full = isDir ? path : path + rec.name;
  if (isDir) {
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
    if (IsFile(run_.archiveId, rec) || IsFile(run_.tempId, rec)) return;
  }

  const std::string stored = StoredNameOf(full, run_.baseDir);
  if (!isDir &&
      IsExcluded(stored, full, run_.baseDir, z_.ExcludeSpec(), z_.RecurseDirs(), run_.naming))
    return;

  const uint32_t date = FileTimeToDos(rec.time);
  if (!isDir && date > run_.maxFileDate) run_.maxFileDate = date;
  // A refresh has something to do only where it refreshes an entry.
  if (z_.Switch() != swRefresh) run_.somethingToDo = true;

  CompHeader file;
  file.name = full;
  DescribeFound(file, full, stored, rec);

  const int32_t found = run_.isNew ? -1 : FindOldEntry(stored, full);
  if (found < 0) {
    if (z_.Switch() != swRefresh) run_.headers.Add(std::move(file));
    return;
  }
  // An entry already chosen for compression: the same file found again.
  if (run_.headers[found].action == EntryAction::Compress) return;
  MergeWithOld(found, std::move(file), rec);
}

void ZipUpdater::MergeWithOld(int32_t found, CompHeader file, const SearchRec& rec) {
  CompHeader& old = run_.headers[found];
  const std::string& stored = file.found->storedName;
  if (!Unchanged(old, rec)) {
    if (z_.Switch() == swRefresh) {
      // Compressed anew in its place, under its stored name.
      DescribeFound(old, std::string(file.SourcePath()), old.name, rec);
      old.ShareNames();
      run_.somethingToDo = true;
      return;
    }
    bool replace = false;
    if (z_.OnReplaceFile) {
      const uint32_t oldAttr = old.central.externalAttributes & 0xFF;
      z_.OnReplaceFile(
          &z_, stored, file.SourcePath(), z_.DosDateToDateTime(old.central.dosDateTime),
          z_.DosDateToDateTime(file.fileDate), static_cast<int64_t>(old.uncompressedSize),
          file.fileSize, static_cast<int32_t>(oldAttr), static_cast<int32_t>(rec.attr), replace);
    } else {
      z_.ReportError(stored, "OnReplaceFile", "0", ec::RequiredEvent);
    }
    if (replace) {
      run_.headers[found].action = EntryAction::Drop;
      run_.headers.Add(std::move(file));
      return;
    }
  } else if (z_.Switch() == swRefresh) {
    return;
  }

  if (!z_.OnRenameDupeFile) {
    z_.ReportError(stored, "OnRenameDupeFile", "0", ec::RequiredEvent);
    return;
  }
  const std::string oldName = run_.headers[found].name;
  // Each question starts from the answer before.
  std::string answer;
  const std::optional<std::string> newName =
      AskForName(oldName, [&]() -> std::optional<std::string> {
        bool rename = true;
        z_.OnRenameDupeFile(&z_, oldName, answer, rename);
        if (!rename || ExtractFileName(answer).empty()) return std::nullopt;
        return answer;
      });
  if (!newName) return;
  run_.headers.SetName(found, *newName);
  run_.headers[found].action = EntryAction::CopyRenamed;
  run_.headers.Add(std::move(file));
}

}  // namespace arc
