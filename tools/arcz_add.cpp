//===-- tools/arcz_add.cpp - arcz a: add files to an archive --------------===//
//
// Paths are stored as given relative to the current directory (a path
// outside it is stored relative to the folder all paths share). A folder
// stands for the files in it, and with -r for everything below it, hidden
// folders included. A file already in the archive is replaced when it
// changed and kept otherwise. A path that is not there, or a folder that
// cannot be read, is reported and the rest is added; the exit status then
// says so.
//
//===----------------------------------------------------------------------===//
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <arc/support/paths.h>
#include "arcz_cli.h"
#include "arcz_disks.h"
#include "arcz_report.h"
#include "arcz_signals.h"
#include "arcz_terminal.h"
#include "arcz_writer.h"

namespace arcz {
namespace {

arc::TDeflateType LevelType(char digit) {
  if (digit == '0') return arc::dtDeflateS;
  if (digit <= '3') return arc::dtDeflateF;
  if (digit <= '6') return arc::dtDeflateN;
  return arc::dtDeflateX;
}

bool HasWildcard(const std::string& s) { return s.find_first_of("*?") != std::string::npos; }

/// Why `path` (as given, and expanded) gives nothing to add; empty when it
/// does. A link to nothing is not there; a pipe or a device is no file.
std::string NothingToTake(const std::string& path, const std::string& full) {
  if (HasWildcard(path)) return arc::FileExists(full) ? "" : ": matches nothing";
  struct stat st {};
  if (::stat(full.c_str(), &st) != 0) return ": no such file or folder";
  if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) return ": is not a file or a folder";
  return {};
}

}  // namespace

void AttachConsole(arc::TZip& zip, ProgressBar& bar, Reporter& reporter) {
  zip.OnError = [&reporter](arc::TObject*, const std::string& file, const std::string& ext,
                            const std::string& volume,
                            int32_t code) { reporter.Report(file, ext, volume, code); };
  auto current = std::make_shared<std::string>();
  zip.OnBegin = [current](arc::TObject*, const std::string& name, int32_t, bool&) {
    *current = name;
  };
  // The bytes behind the percentages: what the bar shows.
  zip.OnProgress = [&zip, &bar, current](arc::TObject*, uint8_t, uint8_t) {
    bar.Update(zip.Totals().total, zip.Totals().remaining, *current);
  };
  zip.OnTmpFileProgress = [&zip, &bar](arc::TObject*, uint8_t, uint8_t) {
    bar.Update(zip.Totals().total, zip.Totals().remaining, "(moving the archive into place)");
  };
  // An archive that may not be replaced is left alone, and said so plainly.
  zip.OnNonWriteableArchive = [&reporter](arc::TObject*, const std::string& archive, bool& write) {
    write = false;
    reporter.Fail(Printable(archive) +
                  (arc::DirExists(archive) ? ": is a folder" : ": is read-only"));
  };
  // Runs between blocks of work: a stop signal cancels the update there.
  zip.dialogs.processMessages = [&zip] {
    if (StopSignal() != 0 && !zip.Cancel()) zip.SetCancel(true);
  };
  CatchStopSignals();
}

bool ArchiveFolderWritable(const arc::TZip& zip, Reporter& reporter) {
  const std::string dir = arc::ExtractFilePath(zip.ArchiveFile());
  // A missing folder is the library's to report.
  if (dir.empty() || !arc::DirExists(dir) || ::access(dir.c_str(), W_OK) == 0) return true;
  reporter.Fail(Printable(dir) + ": folder is read-only; " + Printable(zip.ArchiveFile()) +
                " cannot be written");
  return false;
}

int FinishWrite(const arc::TZip& zip, int32_t count) {
  if (StopSignal() == 0) return kExitOk;
  std::fprintf(stderr, "arcz: interrupted; %s %s\n", Printable(zip.ArchiveFile()).c_str(),
               count > 0 ? "was written" : "was left as it was");
  EndByStopSignal();
  return kExitErrors;
}

int RunAdd(const Options& o) {
  arc::TZip zip;
  ProgressBar bar(o.quiet);
  Reporter reporter(bar);
  AttachConsole(zip, bar, reporter);

  // A path that is not there is said so; the others are still added.
  std::vector<std::string> spec;
  for (const std::string& p : o.names) {
    const std::string full = arc::ExpandPath(p);
    if (const std::string why = NothingToTake(p, full); !why.empty()) {
      reporter.Fail(Printable(p) + why);
      continue;
    }
    spec.push_back(!HasWildcard(p) && arc::DirExists(full) ? arc::AppendSlash(full) + "*" : full);
  }
  if (spec.empty()) return kExitErrors;
  const std::string cwd = arc::AppendSlash(arc::ExpandPath("."));
  bool inside = true;
  for (const std::string& line : spec) inside = inside && line.compare(0, cwd.size(), cwd) == 0;

  zip.SetDefaultExt(".zip");
  zip.SetArchiveFile(arc::ExpandPath(o.archive));
  zip.SetFileSpec(spec);
  zip.SetRecurseDirs(o.recurse);
  // As other archivers do: a hidden folder holds data like any other.
  zip.SetIncludeHiddenDirs(o.recurse);
  zip.SetStoredDirNames(inside ? arc::sdExplorer_UserDefineDefaultDir : arc::sdExplorer_Auto);
  zip.SetDefaultDir(cwd);
  zip.SetDeflateType(LevelType(o.level));
  zip.SetThreads(o.threads);
  if (o.store) zip.SetCompressMethod(arc::cmStore);
  zip.SetPassword(o.password);
  // AES-256 unless the old cipher is asked for: it is what every current
  // archiver reads, and the traditional one gives way to a known-plaintext
  // attack in minutes.
  zip.SetEncryptionMethod(o.zipCrypto ? arc::emTraditional : arc::emAes256);
  if (o.havePassword && o.zipCrypto) {
    std::fprintf(stderr,
                 "arcz: warning: --zipcrypto writes the traditional ZIP encryption, which "
                 "anyone who knows part of a file can break; without it -p writes AES-256\n");
  }
  zip.SetSwitch(o.move ? arc::swMove : o.refresh ? arc::swRefresh : arc::swAdd);
  zip.SetDeleteOptions(arc::doFinal);
  zip.OnReplaceFile = [](arc::TObject*, const std::string&, const std::string&, arc::TDateTime,
                         arc::TDateTime, int64_t, int64_t, int32_t, int32_t,
                         bool& replace) { replace = true; };
  zip.OnRenameDupeFile = [](arc::TObject*, const std::string&, std::string&, bool& rename) {
    rename = false;
  };

  if (!ArchiveFolderWritable(zip, reporter)) return kExitErrors;
  // An archive on a removable drive goes onto as many disks as it needs.
  DiskPrompts disks(zip, bar);

  const int32_t count = zip.Compress();
  bar.Clear();
  if (FinishWrite(zip, count) != kExitOk) return kExitErrors;
  if (count == 0 && disks.Stopped() && reporter.Count() == 0) {
    // A stop at a disk prompt ends the run without a report of its own.
    std::fprintf(stderr, "arcz: stopped at %s; %s was not written\n",
                 disks.StoppedAt().empty() ? "a disk" : disks.StoppedAt().c_str(),
                 zip.ArchiveFile().c_str());
    return kExitErrors;
  }
  if (reporter.Count() == 0 && !o.quiet) {
    std::printf("%s: %d file%s %s\n", zip.ArchiveFile().c_str(), count, count == 1 ? "" : "s",
                o.refresh ? "refreshed"
                : o.move  ? "moved in"
                          : "added");
  }
  return reporter.Count() == 0 ? kExitOk : kExitErrors;
}

}  // namespace arcz
