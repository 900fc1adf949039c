//===-- arc/core/component.h - Base of the archive components ---*- C++ -*-===//
//
// The archive components are non-visual objects with an owner, a name and a
// loading state. While a host configures a component from a stored
// description it brackets the assignments with BeginLoading()/Loaded(); a few
// setters store their value unchanged during that time instead of acting on
// it (TempDir, the writer's ArchiveFile).
//
//===----------------------------------------------------------------------===//
#pragma once

#include <string>

namespace arc {

/// Root of everything that can appear as an event's Sender.
class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;
};

/// A component: owner (not owned; the owner outlives it), name and the
/// loading state.
class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* owner = nullptr) : owner_(owner) {}

  TComponent* Owner() const { return owner_; }

  const std::string& Name() const { return name_; }
  void SetName(const std::string& value) { name_ = value; }

  /// True between BeginLoading() and Loaded().
  bool Loading() const { return loading_; }
  void BeginLoading() { loading_ = true; }
  /// Ends loading; descendants may finish their set-up here.
  virtual void Loaded() { loading_ = false; }

 private:
  TComponent* owner_;
  std::string name_;
  bool loading_ = false;
};

}  // namespace arc
