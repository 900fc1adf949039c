//===-- tools/arcz_extract.cpp - The t and x commands ---------------------===//
#include <cstdio>
#include <string>

#include "arcz_cli.h"
#include "arcz_report.h"
#include "arcz_terminal.h"
#include "support/paths.h"
#include "unzip/unzip.h"

namespace arcz {
namespace {

/// Connects the reader's questions to the terminal: passwords, missing
/// volumes of a split archive, disks of a spanned one. Without a terminal
/// every question is declined.
void AnswerOnTerminal(arc::TUnZip& z, ProgressBar& bar) {
  z.OnGetPassword = [&bar](arc::TObject*, const std::string& file, std::string& password,
                           bool& tryAgain) {
    bar.Clear();
    password = AskSecret("password for " + Printable(file) + ": ");
    tryAgain = !password.empty();
  };
  z.OnNextVolume = [&bar](arc::TObject*, std::string& volume, const std::string& id,
                          bool exists, bool& cancel) {
    if (exists) {
      cancel = false;
      return;
    }
    bar.Clear();
    const std::string answer =
        AskLine("volume " + id + " (" + Printable(volume) + ") is missing; its path, or Enter to stop: ");
    cancel = answer.empty();
    if (!cancel) volume = answer;
  };
  auto insert = [&bar](const std::string& what) {
    bar.Clear();
    // Any answer but end of input goes on; an empty line counts as "done".
    return IsTerminal(0) && (AskLine("insert " + what + " and press Enter (q to stop): ") != "q");
  };
  z.OnGetZipLastDisk = [insert](arc::TObject*, bool& cancel) { cancel = !insert("the last disk"); };
  z.OnGetZipFirstDisk = [insert](arc::TObject*, bool& cancel) { cancel = !insert("disk 1"); };
  z.OnGetZipNextDisk = [insert](arc::TObject*, const std::string& disk, bool& cancel) {
    cancel = !insert("disk " + disk);
  };
}

}  // namespace

int RunExtract(const Options& o, bool test) {
  ProgressBar bar;
  Reporter reporter(bar);
  arc::TUnZip z;
  z.OnError = [&reporter](arc::TObject*, const std::string& f, const std::string& m,
                          const std::string& v, int32_t c) { reporter.Report(f, m, v, c); };
  if (!OpenForReading(z, o.archive, reporter)) return kExitErrors;
  z.SetFileSpec(o.masks.empty() ? std::vector<std::string>{"*"} : o.masks);
  z.SetRecurseDirs(true);
  z.SetCreateStoredDirs(true);
  if (!test) z.SetExtractDir(o.dir.empty() ? "." : o.dir);
  if (o.havePassword) z.SetPasswords({o.password});
  AnswerOnTerminal(z, bar);
  z.OnProgress = [&bar, &z](arc::TObject*, uint8_t byFile, uint8_t byArchive) {
    bar.Show(byFile, byArchive, z.StoredEntryName());
  };

  const int32_t done = test ? z.Test() : z.Extract();
  bar.Clear();
  std::printf("%d file%s %s%s\n", done, done == 1 ? "" : "s", test ? "tested" : "extracted",
              reporter.Count() == 0 ? ", no errors" : "");
  return reporter.Count() == 0 ? kExitOk : kExitErrors;
}

}  // namespace arcz
