//===-- core/comp_base.cpp - Base of the archive writer -------------------===//
#include <arc/core/comp_base.h>

namespace arc {

TCompBase::TCompBase(TComponent* owner) : TZipCommon(owner) {}

TCompBase::~TCompBase() = default;

void TCompBase::SetAttribute(TArcFileAttr Attr, bool Include) {
  if (Include) {
    attributes_.Include(Attr);
  } else {
    attributes_.Exclude(Attr);
  }
}

}  // namespace arc
