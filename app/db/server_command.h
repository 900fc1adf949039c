//===-- app/db/server_command.h - Statements the embedded server runs -*- C++ -*-===//
//
// The embedded server runs exactly three statement forms:
//
//   BACKUP  DATABASE name TO   DISK = 'file'
//   RESTORE DATABASE name FROM DISK = 'file'
//   RESTORE VERIFYONLY    FROM DISK = 'file'
//
// Keywords in any letter case, separated by white space; `name` bare (letters,
// digits, _ @ # $, not starting with a digit or $) or in square brackets with
// every ] inside doubled; 'file' in single quotes with every quote inside
// doubled. Nothing may follow. Anything else is a syntax error.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <string>
#include <string_view>

namespace app {

struct TServerCommand {
  enum class Kind { Backup, Restore, Verify };
  Kind kind = Kind::Backup;
  std::string database;  ///< unquoted; empty for Verify
  std::string device;    ///< the file, unquoted
};

/// Parses one statement; throws EDatabaseError naming where the text went wrong.
TServerCommand ParseServerCommand(std::string_view text);

}  // namespace app
