//===-- tools/arcz_extract.cpp - The t and x commands ---------------------===//
#include <cstdio>
#include <string>
#include <vector>

#include <arc/support/error_codes.h>
#include <arc/support/paths.h>
#include <arc/unzip/mask_select.h>
#include <arc/unzip/unzip.h>
#include <arc/unzip/zip_entries.h>
#include "arcz_cli.h"
#include "arcz_overwrite.h"
#include "arcz_report.h"
#include "arcz_terminal.h"

namespace arcz {
namespace {

/// Connects the reader's questions to the terminal: passwords, missing
/// volumes of a split archive, disks of a spanned one. Without a terminal
/// every question is declined, and a volume or disk that is missing is
/// reported as such (the reader would only see a cancel).
void AnswerOnTerminal(arc::TUnZip& z, ProgressBar& bar, Reporter& reporter,
                      std::string& missingVolume) {
  z.OnGetPassword = [&bar](arc::TObject*, const std::string& file, std::string& password,
                           bool& tryAgain) {
    bar.Clear();
    password = AskSecret("password for " + Printable(file) + ": ");
    tryAgain = !password.empty();
  };
  z.OnNextVolume = [&bar, &reporter, &missingVolume](arc::TObject*, std::string& volume,
                                                     const std::string& id, bool exists,
                                                     bool& cancel) {
    if (exists) {
      cancel = false;
      return;
    }
    if (!IsTerminal(0)) {
      reporter.Fail("missing volume " + Printable(volume));
      missingVolume = volume;
      cancel = true;
      return;
    }
    bar.Clear();
    const std::string answer = AskLine("volume " + id + " (" + Printable(volume) +
                                       ") is missing; its path, or Enter to stop: ");
    cancel = answer.empty();
    if (!cancel) volume = answer;
  };
  auto insert = [&bar, &reporter](const std::string& what) {
    if (!IsTerminal(0)) {
      reporter.Fail("missing " + what);
      return false;
    }
    bar.Clear();
    // Any answer but end of input goes on; an empty line counts as "done".
    return AskLine("insert " + what + " and press Enter (q to stop): ") != "q";
  };
  z.OnGetZipLastDisk = [insert](arc::TObject*, bool& cancel) { cancel = !insert("the last disk"); };
  z.OnGetZipFirstDisk = [insert](arc::TObject*, bool& cancel) { cancel = !insert("disk 1"); };
  z.OnGetZipNextDisk = [insert](arc::TObject*, const std::string& disk, bool& cancel) {
    cancel = !insert("disk " + disk);
  };
}

/// The masks no entry of the archive matches, each tried on its own.
std::vector<std::string> UnmatchedMasks(const arc::TUnZip& z,
                                        const std::vector<std::string>& masks) {
  if (masks.empty()) return {};
  std::vector<bool> matched(masks.size(), false);
  auto match = [&](const std::string& name) {
    for (size_t i = 0; i < masks.size(); ++i) {
      std::vector<std::string> one{masks[i]};
      if (!matched[i] && arc::SelectStoredName(name, one, {}, z.RecurseDirs())) matched[i] = true;
    }
    return false;  // only the matching is wanted, not the list
  };
  // The extraction that follows reports whatever is wrong with the archive.
  if (!arc::ListZipEntries(z, match)) return {};
  std::vector<std::string> unmatched;
  for (size_t i = 0; i < masks.size(); ++i) {
    if (!matched[i]) unmatched.push_back(masks[i]);
  }
  return unmatched;
}

}  // namespace

int RunExtract(const Options& o, bool test) {
  ProgressBar bar(o.quiet);
  Reporter reporter(bar);
  arc::TUnZip z;
  std::string missingVolume;
  z.OnError = [&reporter, &missingVolume](arc::TObject*, const std::string& f, const std::string& m,
                                          const std::string& v, int32_t c) {
    // The cancel that follows a volume already reported missing says nothing new.
    if (c == arc::ec::UserCanceled && !missingVolume.empty() && f == missingVolume) return;
    reporter.Report(f, m, v, c);
  };
  if (!OpenForReading(z, o.archive, reporter)) return kExitUnreadable;
  z.SetFileSpec(o.names.empty() ? std::vector<std::string>{"*"} : o.names);
  z.SetRecurseDirs(true);
  z.SetCreateStoredDirs(true);
  for (const std::string& mask : UnmatchedMasks(z, o.names)) {
    reporter.Fail("no entry matches " + Printable(mask));
  }
  if (!test) z.SetExtractDir(o.dir.empty() ? "." : o.dir);
  if (o.havePassword) z.SetPasswords({o.password});
  z.SetThreads(o.threads);
  AnswerOnTerminal(z, bar, reporter, missingVolume);
  OverwritePolicy overwrite(z, o.overwrite, bar, reporter);
  // The bytes behind the percentages: what the bar shows.
  z.OnProgress = [&bar, &z](arc::TObject*, uint8_t, uint8_t) {
    bar.Update(z.Totals().total, z.Totals().remaining, z.StoredEntryName());
  };

  const int32_t done = test ? z.Test() : z.Extract();
  bar.Clear();
  if (!o.quiet) {
    const std::string kept =
        overwrite.Kept() > 0 ? ", " + std::to_string(overwrite.Kept()) + " kept as they were" : "";
    std::printf("%d file%s %s%s%s\n", done, done == 1 ? "" : "s", test ? "tested" : "extracted",
                kept.c_str(), reporter.Count() == 0 ? ", no errors" : "");
  }
  return reporter.Count() == 0 ? kExitOk : kExitErrors;
}

}  // namespace arcz
