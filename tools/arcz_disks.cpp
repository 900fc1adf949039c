//===-- tools/arcz_disks.cpp - Disk prompts of arcz a on a terminal -------===//
#include "arcz_disks.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

#include <arc/support/drive_simulated.h>

namespace arcz {
namespace {

std::string Trimmed(const std::string& s) {
  const size_t begin = s.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return {};
  return s.substr(begin, s.find_last_not_of(" \t\r") - begin + 1);
}

bool AllDigits(const std::string& s) {
  return !s.empty() && s.size() < 6 && s.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

DiskPrompts::DiskPrompts(arc::TZip& zip, ProgressBar& bar) : zip_(zip), bar_(bar) {
  if (const char* folder = std::getenv("ARCZ_SIMULATED_DRIVE"); folder != nullptr && *folder) {
    LoadSimulated(folder);
  }
  const std::string archive = zip.ArchiveFile();

  zip.OnInsertDisk = [this, archive](arc::TObject*, const std::string& volume, bool& cancel) {
    std::string answer;
    if (!Ask("Insert disk " + volume + " of " + archive + " and press Enter (q to stop): ",
             answer)) {
      stopped_at_ = "disk " + volume;
      return;
    }
    InsertSimulated(answer);
    cancel = false;
  };

  zip.OnClearDisk = [this](arc::TObject*, const std::string& drive, int64_t required, int64_t free,
                           int64_t total, bool& cancel) {
    const std::string question =
        "The disk in " + drive + " has files on it (" + std::to_string(free) + " of " +
        std::to_string(total) + " bytes free, " + std::to_string(required) +
        " needed).\nErase them all? (y = erase, k = keep them, q = stop): ";
    for (;;) {
      std::string answer;
      if (!Ask(question, answer)) {
        stopped_at_ = "a disk with files on it";
        return;
      }
      if (answer == "y") {
        if (!zip_.Drives().ClearDisk(drive))
          std::fprintf(stderr, "arcz: the disk in %s could not be erased\n", drive.c_str());
        cancel = false;
        return;
      }
      if (answer == "k") {
        cancel = false;
        return;
      }
    }
  };

  zip.OnDiskSpanFileExists = [this](arc::TObject*, const std::string& name, arc::TDateTime,
                                    arc::TOverwriteMode& mode) {
    std::string answer;
    const bool overwrite =
        Ask(Printable(name) + " is already on this disk. Overwrite it? (y/n): ", answer) &&
        answer == "y";
    mode = overwrite ? arc::omOverwrite : arc::omSkip;
  };

  zip.OnDiskInDrvErr = [this, archive](arc::TObject*, bool& abort) {
    std::string answer;
    if (!Ask("No disk in the drive of " + archive + ". Insert one and press Enter (q to stop): ",
             answer))
      return;
    InsertSimulated(answer);
    abort = false;
  };

  zip.OnDiskWriteProtectErr = [this](arc::TObject*, bool& abort) {
    std::string answer;
    if (!Ask("The disk is write-protected. Unlock it and press Enter (q to stop): ", answer))
      return;
    InsertSimulated(answer);
    abort = false;
  };
}

DiskPrompts::~DiskPrompts() { SaveSimulated(); }

bool DiskPrompts::Ask(const std::string& question, std::string& answer) {
  bar_.Clear();
  answer.clear();
  std::fprintf(stderr, "%s", question.c_str());
  if (!IsTerminal(STDIN_FILENO)) {
    std::fprintf(stderr, "\narcz: no terminal to answer on\n");
    stopped_ = true;
    return false;
  }
  std::fflush(stderr);
  if (!std::getline(std::cin, answer)) {
    std::fprintf(stderr, "\n");
    stopped_ = true;
    return false;
  }
  answer = Trimmed(answer);
  if (answer == "q" || answer == "Q") {
    stopped_ = true;
    return false;
  }
  return true;
}

void DiskPrompts::InsertSimulated(const std::string& answer) {
  if (simulated_ && AllDigits(answer)) simulated_->Insert(std::stoi(answer) - 1);
}

void DiskPrompts::LoadSimulated(const std::string& folder) {
  simulated_folder_ = folder;
  simulated_ = std::make_unique<arc::SimulatedDrives>(folder, &arc::DefaultDriveService());
  std::ifstream disks(folder + "/disks.txt");
  std::string line;
  while (std::getline(disks, line)) {
    std::istringstream fields(line);
    int64_t capacity = 0;
    uint32_t serial = 0;
    if (!(fields >> capacity >> serial)) continue;
    std::string label;
    std::getline(fields, label);
    if (!label.empty() && label.front() == ' ') label.erase(0, 1);
    simulated_->AddDisk(capacity, label, serial);
  }
  int32_t inserted = 0;
  std::ifstream(folder + "/inserted") >> inserted;
  if (inserted > 0) simulated_->Insert(inserted - 1);
  zip_.SetDriveService(simulated_.get());
}

void DiskPrompts::SaveSimulated() {
  if (!simulated_) return;
  std::ofstream disks(simulated_folder_ + "/disks.txt", std::ios::trunc);
  for (int32_t i = 0; i < simulated_->DiskCount(); ++i) {
    const arc::SimulatedDrives::Disk& d = simulated_->DiskAt(i);
    disks << d.capacity << ' ' << d.serial << ' ' << d.label << '\n';
  }
  std::ofstream(simulated_folder_ + "/inserted", std::ios::trunc)
      << simulated_->Inserted() + 1 << '\n';
}

}  // namespace arcz
