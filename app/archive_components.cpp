//===-- app/archive_components.cpp - The window's ZIP writer and reader -*- C++ -*-===//
#include "archive_components.h"

#include <arc/unzip/unzip.h>
#include <arc/zip/zip.h>

namespace app {

void ConfigureZip1(arc::TZip& zip) {
  // Applied as stored settings are, so that no setter acts on them.
  zip.BeginLoading();
  zip.SetName("Zip1");
  zip.SetArcType(arc::atZip);
  zip.SetCompressMethod(arc::cmDeflate);
  zip.SetDefaultExt(".zip");
  zip.SetAttributes(
      {arc::fsZeroAttr, arc::fsReadOnly, arc::fsArchive, arc::fsCompressed, arc::fsEncrypted});
  zip.SetAttributesEx({});
  zip.SetDeleteOptions(arc::doAllowUndo);
  zip.SetRecurseDirs(false);
  zip.SetSwitch(arc::swAdd);
  zip.SetStoreFilesOfType({".ACE", ".ARC", ".ARJ", ".BH",  ".CAB", ".ENC", ".GZ",  ".HA",
                           ".JAR", ".LHA", ".LZH", ".PAK", ".PK3", ".PK_", ".RAR", ".TAR",
                           ".TGZ", ".UUE", ".UU",  ".WAR", ".XXE", ".Z",   ".ZIP", ".ZOO"});
  zip.Loaded();
}

void ConfigureUnZip1(arc::TUnZip& unzip) {
  unzip.BeginLoading();
  unzip.SetName("UnZip1");
  unzip.SetCpuType(arc::cptAuto);
  unzip.Loaded();
}

}  // namespace app
