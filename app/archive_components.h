//===-- app/archive_components.h - The window's ZIP writer and reader -*- C++ -*-===//
//
// Zip1 and UnZip1 as the window is designed with them. The writer: ZIP with
// Deflate, default extension ".zip", attributes zero/read-only/archive/
// compressed/encrypted, nothing excluded, erased files to the trash, no
// recursion until a backup asks for it, switch "add", and the library's list
// of extensions stored without compression. The reader: its defaults with the
// automatic CPU type. The event handlers are bound by TBackupRestore.
//
//===----------------------------------------------------------------------===//
#pragma once

namespace arc {
class TZip;
class TUnZip;
}  // namespace arc

namespace app {

void ConfigureZip1(arc::TZip& zip);
void ConfigureUnZip1(arc::TUnZip& unzip);

}  // namespace app
