//===-- app/db/sample_data.h - The embedded server's first start -*- C++ -*-===//
#pragma once

#include <filesystem>

namespace app {

/// The company database that the sample alias row names.
inline constexpr const char* kSampleDatabase = "Zelvo10";

/// Makes the data folder ready on first start: when `dataDir` holds no
/// master.db, creates the folder, a sample company database with a few
/// accounting tables and rows, and master.db with the alias table naming it.
/// An existing master.db is left alone. Throws EDatabaseError.
void EnsureSampleData(const std::filesystem::path& dataDir);

}  // namespace app
