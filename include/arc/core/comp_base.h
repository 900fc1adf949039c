//===-- arc/core/comp_base.h - Base of the archive writer -------*- C++ -*-===//
//
// TCompBase adds to the shared core what every writer needs around the
// update driver: the attribute filter of the scan, how erased files go, and
// the events of the driver. Compress is the one call an application makes.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>

#include <arc/core/arc_events.h>
#include <arc/core/arc_types.h>
#include <arc/core/zip_common.h>

namespace arc {

class TCompBase : public TZipCommon {
 public:
  explicit TCompBase(TComponent* owner = nullptr);
  ~TCompBase() override;

  /// Builds or updates the archive; the number of files processed (entries
  /// deleted with swDelete), 0 on failure. Never throws.
  virtual int32_t Compress() = 0;

  /// Attributes a file may carry to be taken (at least one of them;
  /// fsZeroAttr stands for a file without attributes).
  TArcFileAttrs Attributes() const { return attributes_; }
  void SetAttributes(TArcFileAttrs value) { attributes_ = value; }
  /// Includes or removes one attribute of Attributes.
  void SetAttribute(TArcFileAttr Attr, bool Include);

  /// doAllowUndo sends erased files to the trash, doFinal deletes them.
  TDeleteOptions DeleteOptions() const { return deleteOptions_; }
  void SetDeleteOptions(TDeleteOptions value) { deleteOptions_ = value; }

  TOnDeleteFile OnDeleteFile;
  TOnScanFileEvent OnFileScanStatus;
  TOnRecurseDir OnRecurseDir;

 private:
  TArcFileAttrs attributes_{fsZeroAttr, fsReadOnly, fsArchive, fsCompressed, fsEncrypted};
  TDeleteOptions deleteOptions_ = doAllowUndo;
};

}  // namespace arc
