//===-- fuzz/update.cpp - Updating an archive made of arbitrary bytes -----===//
//
// The first input byte chooses the update (bit 0: add a small file, else
// delete by a mask chosen by bits 1-2); the rest is the old archive. The
// writer reads the old archive's directory, copies the entries it keeps and
// replaces the file. Whatever the bytes:
//
//   - an update that reports nothing done leaves the old file byte for byte;
//   - no temporary file is left behind;
//   - an archive that replaced the old one has a central directory whose
//     every entry has its local header where the directory says.
//
//===----------------------------------------------------------------------===//
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "scratch_dir.h"

#include <arc/zip/zip.h>
#include "unzip/arc_detect.h"
#include "unzip/entry_list.h"

namespace {

void Check(bool ok) {
  if (!ok) abort();
}

std::string MakeTempDir() {
  const std::string root = fuzz::MakeScratchDir();
  if (root.empty()) return root;
  std::filesystem::create_directories(root + "src");
  std::filesystem::create_directories(root + "tmp");
  std::ofstream(root + "src/new.txt") << "a small file to add\n";
  return root;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

/// The replaced archive's directory: every entry it lists has its local
/// header where the directory says. An archive left without entries is
/// an end record alone, found as no directory: then no entry may be found
/// by walking it either.
void CheckWritten(const std::string& path) {
  arc::FileSource file(path);
  Check(file.IsOpen());
  arc::ArcDetector detector(file, path, nullptr);
  const arc::Detection found = detector.Detect();
  arc::EntryListHost host;
  host.arcType = arc::atZip;
  host.selects = [](const std::string&) { return true; };
  host.report = [](const std::string&, int32_t) { Check(false); };
  if (!arc::HasHeader(found.open.headerState, arc::htCentral)) {
    Check(arc::ListLocalHeaders(file, found.open, host).items.empty());
    return;
  }
  arc::ListCentralDirectory(file, found.open, host);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string root = MakeTempDir();
  if (root.empty() || size < 1) return 0;
  const uint8_t control = data[0];
  const std::string old(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string archive = root + "old.zip";
  std::ofstream(archive, std::ios::binary | std::ios::trunc) << old;

  int32_t result = 0;
  {
    arc::TZip zip;
    zip.SetArchiveFile(archive);
    zip.SetTempDir(root + "tmp");
    static const char* const kMasks[] = {"*", "*.txt", "a*", "*/*"};
    if (control & 1) {
      zip.SetSwitch(arc::swAdd);
      zip.SetFileSpec({root + "src/new.txt"});
    } else {
      zip.SetSwitch(arc::swDelete);
      zip.SetFileSpec({kMasks[(control >> 1) & 3]});
    }
    zip.OnRenameDupeFile = [](arc::TObject*, const std::string&, std::string&, bool& rename) {
      rename = false;
    };
    result = zip.Compress();
  }
  Check(std::filesystem::is_empty(root + "tmp"));
  if (result <= 0) {
    Check(ReadAll(archive) == old);
  } else {
    CheckWritten(archive);
  }
  return 0;
}
