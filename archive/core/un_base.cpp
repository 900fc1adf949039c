//===-- core/un_base.cpp - Base of the archive reader ---------------------===//
#include <arc/core/un_base.h>

namespace arc {

TUnBase::TUnBase(TComponent* owner) : TZipCommon(owner) {}

TUnBase::~TUnBase() = default;

}  // namespace arc
