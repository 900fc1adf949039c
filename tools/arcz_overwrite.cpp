//===-- tools/arcz_overwrite.cpp - Files that are already there -----------===//
#include "arcz_overwrite.h"

#include <cstdio>
#include <string>

#include <arc/support/paths.h>

namespace arcz {

OverwritePolicy::OverwritePolicy(arc::TUnZip& z, Overwrite policy, ProgressBar& bar,
                                 Reporter& reporter)
    : policy_(policy), bar_(bar), reporter_(reporter) {
  z.SetOverwriteMode(arc::omOverwrite);
  // Asked or not, -o replaces without a question.
  z.SetConfirmOverwrites(policy != Overwrite::All);
  z.OnFileExists = [this](arc::TObject*, const std::string& file, std::string& newName,
                          arc::TOverwriteMode& mode) { Decide(file, newName, mode); };
}

void OverwritePolicy::Decide(const std::string& file, std::string& newName,
                             arc::TOverwriteMode& mode) {
  mode = arc::omSkip;
  if (policy_ == Overwrite::All) {
    mode = arc::omOverwrite;
    return;
  }
  if (policy_ == Overwrite::Ask && !Ask(file, newName, mode)) {
    reporter_.Fail(Printable(file) + ": already there, not replaced (-o replaces, -n keeps)");
  }
  if (mode == arc::omSkip) ++kept_;
}

bool OverwritePolicy::Ask(const std::string& file, std::string& newName,
                          arc::TOverwriteMode& mode) {
  bar_.Clear();
  for (;;) {
    std::string answer;
    if (!AskLine("replace " + Printable(file) + "? [y]es, [n]o, [A]ll, [N]one, [r]ename: ",
                 answer)) {
      return false;
    }
    if (answer == "y" || answer == "Y" || answer == "yes") {
      mode = arc::omOverwrite;
    } else if (answer == "A") {
      policy_ = Overwrite::All;
      mode = arc::omOverwrite;
    } else if (answer == "N") {
      policy_ = Overwrite::Never;
    } else if (answer == "r") {
      std::string name;
      if (!AskLine("new name: ", name)) continue;
      if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
        std::fprintf(stderr, "arcz: a new name is a file name, without '/'\n");
        continue;
      }
      newName = arc::ExtractFilePath(file) + name;
      mode = arc::omOverwrite;
    } else if (answer != "n" && answer != "no") {
      continue;
    }
    return true;
  }
}

}  // namespace arcz
