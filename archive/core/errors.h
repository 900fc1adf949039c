//===-- core/errors.h - Error texts by code ---------------------*- C++ -*-===//
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "core/error_codes.h"

namespace arc {

/// The English text of an error code; empty for an identifier without text.
std::string_view ErrorText(int32_t code);

/// Every (code, text) pair of the table, in code order.
std::vector<std::pair<int32_t, std::string_view>> AllErrorTexts();

}  // namespace arc
