//===-- arc/support/errors.h - Error texts by code --------------*- C++ -*-===//
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include <arc/support/error_codes.h>

namespace arc {

/// The English text of an error code; empty for an identifier without text.
std::string_view ErrorText(int32_t code);

/// The code that reports a write refused with the system's error `osError`:
/// a full disk (25160), a file grown beyond what the system allows the
/// process (25194), or any other write error (25136).
int32_t WriteFailureCode(int osError);

/// Every (code, text) pair of the table, in code order.
std::vector<std::pair<int32_t, std::string_view>> AllErrorTexts();

}  // namespace arc
