// Writes an archive with one file and reads it back, through the public
// headers only.
#include <arc/unzip/unzip.h>
#include <arc/zip/zip.h>

#include <cstdio>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string dir = argv[1];
  std::ofstream(dir + "/a.txt") << "consumer";
  arc::TZip zip;
  zip.SetArchiveFile(dir + "/a.zip");
  zip.SetFileSpec({dir + "/a.txt"});
  if (zip.Compress() != 1) return 1;
  arc::TUnZip unzip;
  unzip.SetArchiveFile(dir + "/a.zip");
  unzip.SetFileSpec({"*"});
  const int32_t tested = unzip.Test();
  std::printf("compressed 1, tested %d\n", tested);
  return tested == 1 ? 0 : 1;
}
