//===-- tools/arcz_disks.h - Disk prompts of arcz a on a terminal -*- C++ -*-===//
//
// An archive written onto a removable drive is spread over as many disks as
// it needs; arcz asks for each one on the terminal:
//
//   Insert disk 2 of /media/floppy/backup.zip and press Enter (q to stop):
//
// and likewise asks before erasing a disk that has files on it, before
// overwriting an archive already on a disk, and while the drive is empty or
// write-protected. Without a terminal on standard input every such question
// is answered "stop".
//
// Test seam: when ARCZ_SIMULATED_DRIVE names a folder, that folder holds a
// set of simulated removable disks (arc/support/drive_simulated.h) instead of a
// real drive. Its file disks.txt lists the disks, one per line as
// "capacity serial label" (serial 0: one is made up; the label is the rest
// of the line), and its file "inserted" the number (from 1) of the disk in
// the drive; the drive is the folder's "drive" entry. At a prompt for a disk
// the answer N puts simulated disk N into the drive. Labels and the inserted
// disk are written back when arcz ends.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <memory>
#include <string>

#include <arc/zip/zip.h>
#include "arcz_terminal.h"

namespace arc {
class SimulatedDrives;
}

namespace arcz {

class DiskPrompts {
 public:
  /// Assigns the disk events of `zip`; its drive is the simulated one when
  /// ARCZ_SIMULATED_DRIVE is set.
  DiskPrompts(arc::TZip& zip, ProgressBar& bar);
  ~DiskPrompts();
  DiskPrompts(const DiskPrompts&) = delete;
  DiskPrompts& operator=(const DiskPrompts&) = delete;

  /// The user stopped at a prompt (or there was no one to ask).
  bool Stopped() const { return stopped_; }
  /// What was asked for when the user stopped.
  const std::string& StoppedAt() const { return stopped_at_; }

 private:
  /// Asks `question`; false when the user stops (q, end of input, no terminal).
  bool Ask(const std::string& question, std::string& answer);
  /// An answer that names a simulated disk puts it in the drive.
  void InsertSimulated(const std::string& answer);
  void LoadSimulated(const std::string& folder);
  void SaveSimulated();

  arc::TZip& zip_;
  ProgressBar& bar_;
  bool stopped_ = false;
  std::string stopped_at_;
  std::string simulated_folder_;
  std::unique_ptr<arc::SimulatedDrives> simulated_;
};

}  // namespace arcz
