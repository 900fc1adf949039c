//===-- tools/arcz_overwrite.h - Files that are already there -*- C++ -*-===//
//
// What `arcz x` does when an entry's file is already there:
//
//   -o   replaces it;
//   -n   keeps it;
//   else asks on the terminal, as other archivers do:
//          replace out/a.txt? [y]es, [n]o, [A]ll, [N]one, [r]ename:
//        ("rename" asks for another name in the same folder); without a
//        terminal (or once its input ends) keeps it and reports it, so that
//        the exit status says not everything was extracted.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <arc/unzip/unzip.h>
#include "arcz_cli.h"
#include "arcz_report.h"
#include "arcz_terminal.h"

namespace arcz {

class OverwritePolicy {
 public:
  /// Sets the overwrite mode of `z` and answers its OnFileExists event.
  OverwritePolicy(arc::TUnZip& z, Overwrite policy, ProgressBar& bar, Reporter& reporter);
  OverwritePolicy(const OverwritePolicy&) = delete;
  OverwritePolicy& operator=(const OverwritePolicy&) = delete;

  /// Files kept because they were there.
  int Kept() const { return kept_; }

 private:
  void Decide(const std::string& file, std::string& newName, arc::TOverwriteMode& mode);
  /// The user's answer for `file`; false when no one can answer.
  bool Ask(const std::string& file, std::string& newName, arc::TOverwriteMode& mode);

  Overwrite policy_;
  ProgressBar& bar_;
  Reporter& reporter_;
  int kept_ = 0;
};

}  // namespace arcz
