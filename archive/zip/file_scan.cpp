//===-- zip/file_scan.cpp - Directory scanning by masks ---------*- C++ -*-===//
#include "zip/file_scan.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <memory>

#include <arc/support/dos_time.h>
#include <arc/support/paths.h>
#include "support/drive_linux.h"

namespace arc {
namespace {

std::string Trim(std::string_view s) {
  size_t b = s.find_first_not_of(' ');
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(' ');
  return std::string(s.substr(b, e - b + 1));
}

std::string TrimWhite(std::string_view s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(" \t\r\n");
  return std::string(s.substr(b, e - b + 1));
}

MultiMasks Compile(const std::vector<std::string>& texts) {
  MultiMasks masks;
  masks.reserve(texts.size());
  for (const std::string& t : texts) masks.emplace_back(t.empty() || t == "*.*" ? "*" : t);
  return masks;
}

std::string CurrentDir() { return AppendSlash(ExpandPath("")); }

}  // namespace

bool AttributesMatch(TArcFileAttrs set, uint32_t attr) {
  return (set.Contains(fsEncrypted) && (attr & faEncrypted) != 0) ||
         (set.Contains(fsArchive) && (attr & faArchive) != 0) ||
         (set.Contains(fsZeroAttr) && (attr == 0 || attr == faNormal)) ||
         (set.Contains(fsDirectory) && (attr & faDirectory) != 0) ||
         (set.Contains(fsReadOnly) && (attr & faReadOnly) != 0) ||
         (set.Contains(fsHidden) && (attr & faHidden) != 0) ||
         (set.Contains(fsSysFile) && (attr & faSysFile) != 0) ||
         (set.Contains(fsCompressed) && (attr & faCompressed) != 0);
}

TArcFileScan::TArcFileScan(TComponent* Owner) : TComponent(Owner) {
  SetEntryHandler(nullptr);
  SetRootScanHandler(nullptr);
}

bool TArcFileScan::Matches(std::string_view mask, std::string_view name) {
  return arc::Matches(mask, name);
}

void TArcFileScan::SetSorted(TArcSortOptions value) {
  files_.SetSorted(value);
  if (files_.Count() > 0 && OnFinished) OnFinished(this, filesCount_, filesSize_);
}

void TArcFileScan::SetFileSpec(const std::vector<std::string>& value) {
  fileSpec_ = value;
  maskString_.clear();
}

void TArcFileScan::SetAttribute(TArcFileAttr attribute, bool include) {
  if (include)
    attributes_.Include(attribute);
  else
    attributes_.Exclude(attribute);
}

void TArcFileScan::SetRootDir(const std::string& value) { rootDir_ = AppendSlash(value); }

void TArcFileScan::SetEntryHandler(ScanEntryHandler handler) {
  if (handler) {
    entryHandler_ = std::move(handler);
  } else {
    entryHandler_ = [this](const std::string& path, const SearchRec& rec) { AddToList(path, rec); };
  }
}

void TArcFileScan::SetRootScanHandler(RootScanHandler handler) {
  if (handler) {
    rootScan_ = std::move(handler);
  } else {
    rootScan_ = [this](const std::string& dir, const MultiMasks& masks) {
      DefaultRootScan(dir, masks);
    };
  }
}

void TArcFileScan::AddToList(const std::string& path, const SearchRec& rec) {
  auto item = std::make_unique<TFileObject>();
  if ((rec.attr & faDirectory) == 0) item->FileName = rec.name;
  item->FilePath = path;
  item->SizeLow = uint32_t(uint64_t(rec.size));
  item->SizeHigh = uint32_t(uint64_t(rec.size) >> 32);
  item->Attributes = rec.attr;
  item->DateTime = FileTimeToDos(rec.time);
  files_.Add(std::move(item));
}

bool TArcFileScan::PassesFilters(TArcFileAttrs include, TArcFileAttrs exclude, uint32_t attr) {
  bool in = AttributesMatch(include, attr) || (attr & faNotContentIndexed) != 0;
  return in && !AttributesMatch(exclude, attr);
}

void TArcFileScan::Scan() {
  files_.Clear();
  filesCount_ = 0;
  filesSize_ = 0;
  *cancel_ = false;
  if (!maskString_.empty()) {
    if (rootDir_.empty() || !DirExists(rootDir_)) return;
    std::vector<std::string> texts;
    std::string rest = maskString_;
    while (!rest.empty()) {
      // An empty mask between two commas selects nothing and is left out.
      std::string m = Trim(SplitAt(rest, ","));
      if (!m.empty()) texts.push_back(m);
    }
    rootScan_(rootDir_, Compile(texts));
    if (OnFinished) OnFinished(this, filesCount_, filesSize_);
    return;
  }
  ScanFileSpec();
  if (OnFinished) OnFinished(this, filesCount_, filesSize_);
}

void TArcFileScan::ScanFileSpec() {
  fileSpec_.erase(std::remove_if(fileSpec_.begin(), fileSpec_.end(),
                                 [](const std::string& l) { return TrimWhite(l).empty(); }),
                  fileSpec_.end());
  while (!fileSpec_.empty() && !*cancel_) {
    std::string dir = ExtractFilePath(fileSpec_.front());
    if (dir.empty()) dir = rootDir_;
    if (dir.empty()) dir = CurrentDir();
    std::vector<std::string> texts{ExtractFileName(fileSpec_.front())};
    // Folder names are compared exactly: on Linux /data and /DATA are two
    // folders, and merging them would scan one of them twice and the other
    // not at all.
    for (size_t i = 1; i < fileSpec_.size();) {
      if (ExtractFilePath(fileSpec_[i]) == dir) {
        MergeMask(texts, ExtractFileName(fileSpec_[i]));
        fileSpec_.erase(fileSpec_.begin() + std::ptrdiff_t(i));
      } else {
        ++i;
      }
    }
    MultiMasks masks = Compile(texts);
    if (OnRootDirChange) OnRootDirChange(this, dir);
    fileSpec_.erase(fileSpec_.begin());
    rootScan_(dir, masks);
  }
}

void TArcFileScan::DefaultRootScan(const std::string& dir, const MultiMasks& masks) {
  std::vector<std::pair<uint64_t, uint64_t>> open;
  if (scanOptions_ == soScanDir) {
    ScanDirectory(dir, masks, false, open);
    return;
  }
  // Every local drive once: mounts nest on Linux, so each root is scanned
  // without crossing into the mounts below it.
  for (const std::string& root : LocalDriveRoots()) {
    if (*cancel_) break;
    struct stat st {};
    if (stat(root.c_str(), &st) != 0) continue;
    rootDevice_ = uint64_t(st.st_dev);
    ScanDirectory(root, masks, true, open);
  }
}

void TArcFileScan::ScanDirectory(const std::string& dir, const MultiMasks& masks, bool stayOnDevice,
                                 std::vector<std::pair<uint64_t, uint64_t>>& open) {
  if (OnRecurseDir) OnRecurseDir(this, dir);
  const std::string base = AppendSlash(dir);
  std::unique_ptr<DIR, int (*)(DIR*)> d(opendir(base.c_str()), closedir);
  if (!d) {
    // A folder that is not there contributes nothing; one that cannot be
    // read is said so.
    const int error = errno;
    if (error != ENOENT && error != ENOTDIR && OnUnreadableDir) OnUnreadableDir(base, error);
    return;
  }
  struct stat self {};
  if (fstat(dirfd(d.get()), &self) != 0) return;
  open.emplace_back(uint64_t(self.st_dev), uint64_t(self.st_ino));

  while (!*cancel_) {
    dirent* ent = readdir(d.get());
    if (ent == nullptr) break;
    std::string_view name = ent->d_name;
    if (name == "." || name == "..") continue;
    const std::string full = base + std::string(name);
    // Looked up in the open folder: no walk of the whole path per file, and
    // a link is followed only where there is one.
    struct stat lst {};
    struct stat st {};
    const int at = dirfd(d.get());
    bool there = fstatat(at, ent->d_name, &lst, AT_SYMLINK_NOFOLLOW) == 0;
    if (there && S_ISLNK(lst.st_mode))
      there = fstatat(at, ent->d_name, &st, 0) == 0;
    else
      st = lst;
    if (!there) {
      if (processMessages) processMessages();
      continue;  // vanished, or a link to nothing
    }
    const bool isDir = S_ISDIR(st.st_mode);
    if (isDir || S_ISREG(st.st_mode)) {
      SearchRec rec;
      rec.name = std::string(name);
      rec.attr = AttributesFromStat(st, name);
      rec.size = isDir ? 0 : int64_t(st.st_size);
      rec.time = st.st_mtime;
      rec.mode = static_cast<uint32_t>(st.st_mode);
      rec.device = uint64_t(st.st_dev);
      rec.inode = uint64_t(st.st_ino);
      if (PassesFilters(attributes_, attributesEx_, rec.attr)) {
        if (isDir) {
          if (updateList_ && entryHandler_) entryHandler_(full + "/", rec);
        } else if (MatchesAny(masks, rec.name)) {
          ++filesCount_;
          filesSize_ += rec.size;
          if (OnScanFile) OnScanFile(this, rec.name, filesCount_, filesSize_);
          if (updateList_ && entryHandler_) entryHandler_(base, rec);
        }
      }
      const bool hidden = (rec.attr & faHidden) != 0;
      const bool loop = std::find(open.begin(), open.end(),
                                  std::pair<uint64_t, uint64_t>(uint64_t(st.st_dev),
                                                                uint64_t(st.st_ino))) != open.end();
      const bool otherDevice = stayOnDevice && uint64_t(st.st_dev) != rootDevice_;
      if (recurseDirs_ && isDir && !S_ISLNK(lst.st_mode) && !loop && !otherDevice &&
          (!hidden || includeHiddenDirs_)) {
        ScanDirectory(full, masks, stayOnDevice, open);
      }
    }
    if (processMessages) processMessages();
  }
  open.pop_back();
}

}  // namespace arc
