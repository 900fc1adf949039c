//===-- zip/zip.cpp - The ZIP writer components: settings -----------------===//
#include <arc/zip/zip.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "codec/secure_wipe.h"
#include "unzip/arc_detect.h"
#include "zip/zip_updater.h"

namespace arc {
namespace {

/// True when the file-name part carries an extension. A leading dot marks a
/// hidden file on this system, not an extension.
bool HasExtension(const std::string& path) {
  const size_t nameStart = path.find_last_of('/') + 1;  // npos + 1 == 0
  const size_t dot = path.find_last_of('.');
  return dot != std::string::npos && dot > nameStart;
}

}  // namespace

TZipBase::TZipBase(TComponent* Owner)
    : TCompBase(Owner), storeFilesOfType_{".ACE", ".ARC", ".ARJ", ".BH",  ".CAB", ".ENC",
                                          ".GZ",  ".HA",  ".JAR", ".LHA", ".LZH", ".PAK",
                                          ".PK3", ".PK_", ".RAR", ".TAR", ".TGZ", ".UUE",
                                          ".UU",  ".WAR", ".XXE", ".Z",   ".ZIP", ".ZOO"} {
  StoreArcType(atZip);
}

TZipBase::~TZipBase() { SecureWipe(password_); }

void TZipBase::SetPassword(const std::string& value) {
  if (value == password_) return;
  SecureWipe(password_);
  password_ = value;
}

void TZipBase::SetArchiveFile(const std::string& value) {
  if (Loading()) {
    std::error_code ec;
    StoreArchiveFile(std::filesystem::exists(value, ec) ? value : std::string());
    return;
  }
  // Local paths use '/'; a name typed with backslashes still means folders.
  std::string name = value;
  std::replace(name.begin(), name.end(), '\\', '/');
  StoreArchiveFile(name);
  AddDefaultExt();
  *CancelFlag() = false;
}

void TZipBase::SetArcType(TArcType /*value*/) {
  StoreArcType(atZip);
  AddDefaultExt();
}

TArcType TZipBase::DetectArchive(ByteSource& file, ArcOpenState& open) {
  Detection found = DetectArchiveFile(file, ArchiveFile(), Drives());
  open = found.open;
  return found.type;
}

void TZipBase::AddDefaultExt() {
  // An empty name stays empty: an extension alone is no archive name.
  const std::string& name = ArchiveFile();
  if (!name.empty() && !HasExtension(name)) StoreArchiveFile(name + defaultExt_);
}

void TZipBase::SetAttributeEx(TArcFileAttr Attr, bool Include) {
  if (Include) {
    attributesEx_.Include(Attr);
  } else {
    attributesEx_.Exclude(Attr);
  }
}

void TZipBase::SetCompressMethod(TCompressMethod value) {
  if (value == cmStore || value == cmDeflate) compressMethod_ = value;
}

TZip::TZip(TComponent* Owner) : TZipBase(Owner) {}

TZip::~TZip() = default;

}  // namespace arc
