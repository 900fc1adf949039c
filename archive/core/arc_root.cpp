//===-- core/arc_root.cpp - Root class of the archive components ----------===//
#include <arc/core/arc_root.h>

namespace arc {

TArcRoot::TArcRoot(TComponent* owner) : TComponent(owner) {}

TArcRoot::~TArcRoot() = default;

std::string TArcRoot::About() const { return "ZIP archive components"; }

}  // namespace arc
