//===-- app/backup_restore.h - The backup and restore operations -*- C++ -*-===//
//
// The two operations of the program and the handlers of the archive
// components' events. Each operation runs whole inside one call on the GUI
// thread: the archive components call back into the progress handlers, which
// let the application process its messages, so the window stays painted.
//
// A backup: the save dialog names the archive (and, with BackupPasswordFile=
// ask, the window asks for the password twice); the server writes a full
// backup of the company database into the work file Temp/<database> and
// checks it (RESTORE VERIFYONLY); the writer packs that one file into the
// archive, under a temporary name beside it (staged_archive.h); the archive is
// read back, every entry decoded and its CRC checked; only then does it take
// its name, the work file is erased and the window closed. An archive that
// does not read back is renamed <archive>.damaged and the backup has failed;
// an archive the backup was to add to stays as it was.
// With a backup password (app/backup_password.h) the entry is AES-256 and is
// read back with the password.
//
// A restore: after a confirmation the open dialog picks a ZIP archive
// (unpacked into Temp/) or a plain backup file (copied there; a safety backup
// from TempBackup/ is one); the server writes a safety backup of the current
// database into a new file TempBackup/<database>-<time>.Bak and checks it,
// the oldest safety backups beyond what P_Restore.ini keeps are removed, and
// the server restores the database from the file in Temp/, which is then
// erased; the program ends after its message. An encrypted archive is tried
// with the password of BackupPasswordFile, then the reader asks for one
// (UnZip1GetPassword).
//
// Only one operation runs on a company at a time, in this process or any
// other: each takes the company's lock (operation_lock.h) once its file is
// chosen, and is refused at once when another holds it. Every operation that
// gets that far writes a line to the log (operation_log.h). Files the
// operations create are readable by their owner only.
//
// The operations do not know whether a window shows them: what they change
// in their surroundings goes through TOperationHost, what they show the user
// through TDialogs.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <arc/core/arc_events.h>
#include "app/backup_password.h"
#include "app/config.h"
#include "app/dialogs.h"
#include "app/operation_log.h"

namespace arc {
class TZip;
class TUnZip;
}  // namespace arc

namespace msg {
class TMsgForm;
}

namespace app {

class TAliasTable;
class TDbConnection;

/// What the operations change around them.
class TOperationHost {
 public:
  virtual ~TOperationHost() = default;
  /// GaugeShow1 and GaugeShow2, 0..100.
  virtual void SetGauge1(int32_t progress) = 0;
  virtual void SetGauge2(int32_t progress) = 0;
  /// The hourglass (true) or the default cursor (false); not nested.
  virtual void SetBusyCursor(bool busy) = 0;
  /// Paints the window at once.
  virtual void Repaint() = 0;
  /// Closes the main window, which ends the program once the operation is over.
  virtual void CloseMainWindow() = 0;
  /// Tells the application to end once the operation is over.
  virtual void Terminate() = 0;
  /// Shows, at once, that the program waits for the database server to take
  /// its login (true) or no longer does (false). The wait blocks the thread.
  virtual void SetConnecting(bool connecting) = 0;
  /// The text of an error behind a fixed message; only a terminal shows it.
  virtual void NoteError(const std::string& text) = 0;
};

/// What the operations work on; all of it belongs to the caller and outlives
/// the operations.
struct TOperationParts {
  const std::string& ExeDir;        ///< with a trailing '/'
  const std::string& DatabaseName;  ///< read afresh by every operation
  TDbConnection& ADOConnection1;    ///< master
  TDbConnection& ADOConnection2;    ///< the company database
  TAliasTable& ADOTable1;
  msg::TMsgForm& MsgForm1;  ///< the confirmation before a restore
  msg::TMsgForm& MsgForm2;  ///< results and failures
  TFileDialogSettings& OpenDialog1;
  TFileDialogSettings& SaveDialog1;
  arc::TZip& Zip1;
  arc::TUnZip& UnZip1;
  const TOperationSettings& Settings;
};

/// How the last operation ended.
enum class TOutcome : uint8_t {
  None,       ///< nothing has run, or a click was ignored
  Cancelled,  ///< the user said no or cancelled the file dialog
  Refused,    ///< another operation held the company; nothing was done
  Failed,
  Succeeded,
};

class TBackupRestore {
 public:
  /// Binds the handlers below to the events of Zip1 and UnZip1 and points
  /// both components' message boxes and message pump at `dialogs`.
  TBackupRestore(const TOperationParts& parts, TOperationHost& host, TDialogs& dialogs);
  TBackupRestore(const TBackupRestore&) = delete;
  TBackupRestore& operator=(const TBackupRestore&) = delete;

  /// The backup, whole. Ignored while an operation runs.
  void BitBtn1Click();
  /// The restore, whole. Ignored while an operation runs.
  void BitBtn2Click();

  /// Packs `SourceFile` into `ArchiveName` with Zip1; true when the writer
  /// processed a file. An existing `ArchiveName` is left alone: the user is
  /// told, the work file goes to the trash and the window closes. With
  /// `WriteAs`, the writer writes into the name it returns for the archive's
  /// (after the writer's default extension) instead.
  bool PrepareZipFile(const std::string& ArchiveName, const std::string& SourceFile,
                      const std::function<std::string(const std::string&)>& WriteAs = {});

  /// Extracts the entries of `ArchiveName` matching `Spec` into Temp/ (made
  /// when missing); `ExtractedName` is the stored name of the last entry
  /// handled. Returns the number of files written.
  int32_t UnzipFile(const std::string& ArchiveName, const std::string& Spec,
                    std::string& ExtractedName);

  // Handlers of the archive components' events.
  void Zip1Progress(arc::TObject* Sender, uint8_t ProgressByFile, uint8_t ProgressByArchive);
  void Zip1Error(arc::TObject* Sender, const std::string& FileName, const std::string& ExtendedMsg,
                 const std::string& VolumeID, int32_t ECode);
  void UnZip1Progress(arc::TObject* Sender, uint8_t ProgressByFile, uint8_t ProgressByArchive);
  void UnZip1Error(arc::TObject* Sender, const std::string& FileName,
                   const std::string& ExtendedMsg, const std::string& VolumeID, int32_t ECode);
  void UnZip1GetZipFirstDisk(arc::TObject* Sender, bool& Cancel);
  void UnZip1GetZipNextDisk(arc::TObject* Sender, const std::string& VolumeName, bool& Cancel);
  void UnZip1GetZipLastDisk(arc::TObject* Sender, bool& Cancel);
  void UnZip1NextVolume(arc::TObject* Sender, std::string& VolumeName, const std::string& VolumeID,
                        bool fExists, bool& Cancel);
  /// The password of an encrypted archive, asked in a box that hides it; an
  /// empty or cancelled answer gives up.
  void UnZip1GetPassword(arc::TObject* Sender, const std::string& FileName, std::string& Password,
                         bool& TryAgain);

  /// True while an operation runs.
  bool Busy() const { return busy_; }
  TOutcome LastOutcome() const { return outcome_; }
  /// The archive of the last backup that succeeded (after the writer's
  /// default extension), or the damaged one's new name after a failed read-back.
  const std::string& LastArchive() const { return lastArchive_; }

 private:
  class TLockedRun;

  void runBackup();
  void runRestore();
  /// The parts of the operations that hold the company's lock.
  void backUpLocked(const std::string& ArchiveName, const std::string& database);
  void restoreLocked(const std::string& chosen, const std::string& database);
  /// Packs the verified work file into `ArchiveName` under a temporary name,
  /// reads it back, then gives it its name; throws EOperationError when it
  /// does not read back.
  void packAndCheck(const std::string& ArchiveName, const std::string& SourceFile);
  /// The file to restore from, in Temp/: unpacked or copied from `chosen`.
  std::string bringIntoTemp(const std::string& chosen);
  /// Writes, checks and prunes the safety backups of `database`; returns the
  /// new one.
  std::string takeSafetyBackup(const std::string& database);
  /// Connects `connection` when it is closed, showing that it does.
  void connect(TDbConnection& connection);
  /// Runs `command` on the master connection.
  void runOnMaster(const std::string& command);
  /// Both gauges at `progress`, painted before the next blocking call.
  void showStep(int32_t progress);
  /// MsgForm2 shows `lines` as its fourth message.
  void showNotice(const std::vector<std::string>& lines);
  /// Tells that another operation (`holder`) runs on the company.
  void refuse(const std::string& holder);
  void reportArchiveError(const std::string& FileName, const std::string& ExtendedMsg,
                          const std::string& VolumeID, int32_t ECode);
  void askForDisk(const std::string& text, bool& Cancel);
  /// The backup password into password_: none, read from the file, or asked
  /// for twice. False when the user cancelled; EPasswordFileError for a file
  /// that cannot serve.
  bool obtainBackupPassword();
  /// Wipes every password the operation held or the reader learnt.
  void forgetPasswords();

  TOperationParts parts_;
  TOperationHost& host_;
  TDialogs& dialogs_;
  bool busy_ = false;
  TOutcome outcome_ = TOutcome::None;
  int32_t extractErrors_ = 0;  ///< errors the reader reported in this restore
  std::string extractCause_;   ///< the first of them, in the reader's words
  std::string lastArchive_;
  TLogRecord log_;             ///< the line the running operation will log
  TSecret password_;           ///< the backup password of the running operation
  TLockedRun* run_ = nullptr;  ///< the running operation's hold on the company
};

/// The line of an error text that tells a user what went wrong: its first
/// line without the driver's bracketed prefixes ("[42000] [FreeTDS][SQL
/// Server]").
std::string CauseLine(const std::string& text);

/// True when `name` can stand in a file name inside Temp/ and TempBackup/:
/// not empty, not "." or "..", no separator ('/' or '\'), no NUL and no
/// wildcard ('*', '?').
bool IsUsableDatabaseName(const std::string& name);

/// The extension of the last component of `path`, from its last dot; empty
/// when it has none.
std::string FileExtension(const std::string& path);

}  // namespace app
