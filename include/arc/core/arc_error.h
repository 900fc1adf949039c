//===-- arc/core/arc_error.h - Exceptions of fatal errors -------*- C++ -*-===//
//
// A fatal error inside a component is first reported through OnError and
// then raised as an exception whose message is the error's text. The class
// raised is E_RAISE unless the caller of RaiseError names another one.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <stdexcept>
#include <string>

namespace arc {

/// Raised by fatal archive errors; what() is the text of the error code.
class E_RAISE : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// The class of exception RaiseError throws, given as a function that throws
/// it with the message: `RaiseError(ThrowAs<EFOpenError>, ...)`.
using TExceptionClass = void (*)(const std::string& message);

template <class E>
[[noreturn]] void ThrowAs(const std::string& message) {
  throw E(message);
}

}  // namespace arc
