//===-- arc/core/un_base.h - Base of the archive reader ---------*- C++ -*-===//
//
// TUnBase is the reader side of the shared core: Extract is the one call an
// application makes; the ZIP reader supplies the body that walks the entries.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>

#include <arc/core/arc_types.h>
#include <arc/core/zip_common.h>

namespace arc {

class TUnBase : public TZipCommon {
 public:
  explicit TUnBase(TComponent* owner = nullptr);
  ~TUnBase() override;

  /// Extracts the selected entries; the number of files written. Never
  /// throws: failures are reported through OnError.
  virtual int32_t Extract();

  /// Carried for compatibility only; cpt80486 turns into cptAuto at the
  /// start of every run.
  TCpuType CpuType() const { return cpuType_; }
  void SetCpuType(TCpuType value) { cpuType_ = value; }

 private:
  TCpuType cpuType_ = cptAuto;
};

}  // namespace arc
