//===-- app/backup_restore.cpp - The backup and restore operations -*- C++ -*-===//
#include "backup_restore.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <system_error>

#include <arc/support/ascii_case.h>
#include <arc/support/erase.h>
#include <arc/support/error_codes.h>
#include <arc/support/errors.h>
#include <arc/unzip/unzip.h>
#include <arc/zip/zip.h>
#include "app/archive_check.h"
#include "app/backup_history.h"
#include "app/commands.h"
#include "app/db/alias_table.h"
#include "app/db/database.h"
#include "app/operation_lock.h"
#include "app/staged_archive.h"
#include "app/texts.h"
#include "msg/msg_form.h"

namespace app {

namespace fs = std::filesystem;

namespace {

/// A failure of the program's own, caught with the server's errors by the
/// operation's guarded block.
class EOperationError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// Marks an operation as running for as long as it lives.
class TRunning {
 public:
  explicit TRunning(bool& flag) : flag_(flag) { flag_ = true; }
  ~TRunning() { flag_ = false; }
  TRunning(const TRunning&) = delete;
  TRunning& operator=(const TRunning&) = delete;

 private:
  bool& flag_;
};

void CheckDatabaseName(const std::string& name) {
  if (!IsUsableDatabaseName(name)) {
    throw EOperationError("The database name '" + name + "' cannot name a file in Temp.");
  }
}

/// Creates one folder level when it is missing; the outcome shows later, when
/// the folder is written to.
void CreateFolder(const std::string& folder) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) fs::create_directory(folder, ec);
}

/// True for a path below the extraction folder: relative, and no component
/// empty, "." or "..".
bool IsPlainRelativePath(std::string_view path) {
  if (path.empty() || path.front() == '/') return false;
  size_t at = 0;
  while (at <= path.size()) {
    size_t end = path.find('/', at);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view part = path.substr(at, end - at);
    if (part.empty() || part == "." || part == "..") return false;
    at = end + 1;
  }
  return true;
}

/// A backup that was written but does not read back.
class EUnreadableBackup : public EOperationError {
 public:
  explicit EUnreadableBackup(const std::string& what, std::string setAsideAs = {})
      : EOperationError(what), setAsideAs_(std::move(setAsideAs)) {}
  /// The damaged archive's new name; empty when there was no archive.
  const std::string& SetAsideAs() const { return setAsideAs_; }

 private:
  std::string setAsideAs_;
};

/// Removes what a run killed half-way leaves of `database` in Temp/ and
/// TempBackup/: the files the embedded server writes under a temporary name,
/// the journals beside them, the writer's temporary archives and the backup
/// archives that had not read back (`leftInLock`: what the killed run noted
/// in the lock file). The caller holds the company's lock, so no run is
/// writing them.
void SweepLeftovers(const std::string& exeDir, const std::string& database,
                    const std::string& leftInLock) {
  SweepArchiveTemp(exeDir, database);
  SweepNoted(leftInLock, database);
  std::error_code ec;
  const std::string work = BackupWorkFile(exeDir, database);
  fs::remove(work + ".part", ec);
  fs::remove(work + ".part-journal", ec);
  for (const char* ext : {".Bak.part", ".Bak.part-journal"}) {
    for (const TStampedFile& file : FindStamped(TempBackupFolder(exeDir), database, ext)) {
      fs::remove(file.Path, ec);
    }
  }
}

}  // namespace

std::string CauseLine(const std::string& text) {
  std::string_view line = std::string_view(text).substr(0, text.find('\n'));
  for (;;) {
    while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    const size_t close = line.find(']');
    if (line.empty() || line.front() != '[' || close == std::string_view::npos) break;
    line.remove_prefix(close + 1);
  }
  return std::string(line);
}

bool IsUsableDatabaseName(const std::string& name) {
  // The name becomes a file name in Temp/ and TempBackup/: it must not climb
  // out of them, name the folder itself, or be taken as a mask by the trash.
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\\*?\0", 5)) == std::string::npos;
}

std::string FileExtension(const std::string& path) {
  const size_t start = path.find_last_of('/') + 1;  // npos + 1 == 0
  const size_t dot = path.find_last_of('.');
  return dot != std::string::npos && dot >= start ? path.substr(dot) : std::string();
}

TBackupRestore::TBackupRestore(const TOperationParts& parts, TOperationHost& host,
                               TDialogs& dialogs)
    : parts_(parts), host_(host), dialogs_(dialogs) {
  arc::TZip& zip = parts_.Zip1;
  zip.OnProgress = [this](arc::TObject* s, uint8_t f, uint8_t a) { Zip1Progress(s, f, a); };
  zip.OnError = [this](arc::TObject* s, const std::string& n, const std::string& m,
                       const std::string& v, int32_t e) { Zip1Error(s, n, m, v, e); };

  arc::TUnZip& unzip = parts_.UnZip1;
  unzip.OnProgress = [this](arc::TObject* s, uint8_t f, uint8_t a) { UnZip1Progress(s, f, a); };
  unzip.OnError = [this](arc::TObject* s, const std::string& n, const std::string& m,
                         const std::string& v, int32_t e) { UnZip1Error(s, n, m, v, e); };
  unzip.OnGetZipFirstDisk = [this](arc::TObject* s, bool& c) { UnZip1GetZipFirstDisk(s, c); };
  unzip.OnGetZipNextDisk = [this](arc::TObject* s, const std::string& v, bool& c) {
    UnZip1GetZipNextDisk(s, v, c);
  };
  unzip.OnGetZipLastDisk = [this](arc::TObject* s, bool& c) { UnZip1GetZipLastDisk(s, c); };
  unzip.OnNextVolume = [this](arc::TObject* s, std::string& v, const std::string& id, bool e,
                              bool& c) { UnZip1NextVolume(s, v, id, e, c); };
  unzip.OnGetPassword = [this](arc::TObject* s, const std::string& f, std::string& p, bool& t) {
    UnZip1GetPassword(s, f, p, t);
  };

  for (arc::TZipCommon* component :
       {static_cast<arc::TZipCommon*>(&zip), static_cast<arc::TZipCommon*>(&unzip)}) {
    arc::Prompts& prompts = component->dialogs;
    prompts.yesNo = [this](std::string_view caption, std::string_view text) {
      return dialogs_.MessageDlg(std::string(caption), std::string(text), TMsgDlgType::Question,
                                 TMsgDlgButtons::YesNo) == msg::mrYes;
    };
    prompts.retryCancel = [this](std::string_view caption, std::string_view text) {
      return dialogs_.MessageDlg(std::string(caption), std::string(text), TMsgDlgType::Error,
                                 TMsgDlgButtons::RetryCancel) == mrRetry;
    };
    prompts.okCancel = [this](std::string_view caption, std::string_view text) {
      return dialogs_.MessageDlg(std::string(caption), std::string(text), TMsgDlgType::Information,
                                 TMsgDlgButtons::OkCancel) == msg::mrOk;
    };
    prompts.processMessages = [this] { dialogs_.ProcessMessages(); };
  }
}

// --- What every operation holds --------------------------------------------

// From the moment its file is chosen to its end, an operation holds the
// company's lock, creates files for their owner only, and owes the log a
// line. A run that ends without Finish has failed.
class TBackupRestore::TLockedRun {
 public:
  TLockedRun(TBackupRestore& owner, const char* operation, const std::string& file)
      : owner_(owner), oldMask_(::umask(077)) {
    TLogRecord& log = owner_.log_;
    log = TLogRecord{};
    log.Operation = operation;
    log.Database = owner_.parts_.DatabaseName;
    log.Archive = file;
    log.Start = std::chrono::system_clock::now();
    owner_.run_ = this;
    locked_ = lock_.TryLock(LockFile(owner_.parts_.ExeDir, log.Database),
                            std::string(operation) + " of " + log.Database + " by process " +
                                std::to_string(::getpid()) + " since " +
                                DisplayTime(std::chrono::system_clock::to_time_t(log.Start)));
  }

  ~TLockedRun() {
    if (!finished_) Finish(locked_ ? "failed" : "refused", owner_.log_.Cause);
    ::umask(oldMask_);
    owner_.run_ = nullptr;
  }

  TLockedRun(const TLockedRun&) = delete;
  TLockedRun& operator=(const TLockedRun&) = delete;

  bool Locked() const { return locked_; }
  const std::string& Holder() const { return lock_.Holder(); }
  const std::string& LeftByKilledRun() const { return lock_.LeftByKilledRun(); }
  /// Notes a file under a temporary name for whoever finds this run killed.
  void Note(const std::string& line) { lock_.Note(line); }

  void Finish(const char* result, const std::string& cause = {}) {
    finished_ = true;
    TLogRecord& log = owner_.log_;
    log.End = std::chrono::system_clock::now();
    log.Result = result;
    log.Cause = cause;
    std::error_code ec;
    const uintmax_t size = fs::file_size(log.Archive, ec);
    log.Size = ec ? 0 : size;
    const std::string& configured = owner_.parts_.Settings.LogFile;
    const std::string file = configured.empty() ? owner_.parts_.ExeDir + kLogName : configured;
    if (!AppendLogLine(file, FormatLogLine(log))) {
      owner_.host_.NoteError("Cannot write the log '" + file + "'.");
    }
  }

 private:
  static constexpr const char* kLogName = "P_Restore.log";

  TBackupRestore& owner_;
  mode_t oldMask_;
  TOperationLock lock_;
  bool locked_ = false;
  bool finished_ = false;
};

void TBackupRestore::connect(TDbConnection& connection) {
  if (connection.Connected()) return;
  host_.SetConnecting(true);
  try {
    connection.Open();
  } catch (...) {
    host_.SetConnecting(false);
    throw;
  }
  host_.SetConnecting(false);
}

void TBackupRestore::runOnMaster(const std::string& command) {
  connect(parts_.ADOConnection1);
  parts_.ADOConnection1.Execute(command);
}

void TBackupRestore::showStep(int32_t progress) {
  host_.SetGauge1(progress);
  host_.SetGauge2(progress);
  // The server's step blocks the thread: what is not painted now is not seen.
  host_.Repaint();
}

void TBackupRestore::showNotice(const std::vector<std::string>& lines) {
  parts_.MsgForm2.SetMessageList4(lines);
  dialogs_.ShowMessageIndex(parts_.MsgForm2, 4);
  parts_.MsgForm2.SetMessageList4({});
}

// --- Backup ------------------------------------------------------------------

void TBackupRestore::BitBtn1Click() {
  // The progress handlers let the window take clicks; a second operation
  // inside the first would share its components.
  if (busy_) return;
  TRunning running(busy_);
  outcome_ = TOutcome::None;
  runBackup();
}

void TBackupRestore::runBackup() {
  host_.SetBusyCursor(true);
  try {
    parts_.SaveDialog1.FileName.clear();
    if (!dialogs_.ExecuteFileDialog(TFileDialogKind::Save, parts_.SaveDialog1) ||
        !obtainBackupPassword()) {
      outcome_ = TOutcome::Cancelled;
    } else {
      const std::string ArchiveName = parts_.SaveDialog1.FileName;
      const std::string& database = parts_.DatabaseName;
      CheckDatabaseName(database);
      backUpLocked(ArchiveName, database);
      // Told once the company is free again: the message waits for the user.
      if (outcome_ == TOutcome::Succeeded) {
        dialogs_.ShowMessageIndex(parts_.MsgForm2, 2);
        host_.CloseMainWindow();
      }
    }
  } catch (const EUnreadableBackup& e) {
    outcome_ = TOutcome::Failed;
    host_.NoteError(e.what());
    std::vector<std::string> lines = {Tr(texts::kBackupNotVerified), CauseLine(e.what())};
    if (!e.SetAsideAs().empty())
      lines.push_back(Tr(texts::kDamagedSetAside) + " " + e.SetAsideAs());
    showNotice(lines);
  } catch (const EPasswordFileError& e) {
    // Nothing was started: the settings are to be put right first.
    outcome_ = TOutcome::Failed;
    host_.NoteError(e.what());
    showNotice({Tr(texts::kPasswordFileUnusable), e.what()});
  } catch (const std::exception& e) {
    outcome_ = TOutcome::Failed;
    host_.NoteError(e.what());
    dialogs_.ShowMessageIndex(parts_.MsgForm2, 4);
  }
  forgetPasswords();
  host_.SetBusyCursor(false);
  host_.SetGauge1(0);
  host_.SetGauge2(0);
}

bool TBackupRestore::obtainBackupPassword() {
  password_.Clear();
  const std::string& setting = parts_.Settings.BackupPasswordFile;
  if (setting.empty()) return true;
  if (!AsksForPassword(setting)) {
    ReadPasswordFile(setting, password_);
    return true;
  }
  // Typed twice: a backup under a mistyped password could never be restored.
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::string first;
    std::string second;
    if (!dialogs_.PasswordQuery(Tr(texts::kBackupPasswordCaption), Tr(texts::kBackupPasswordPrompt),
                                first)) {
      return false;
    }
    if (first.empty()) continue;  // nothing typed: asked again
    if (!dialogs_.PasswordQuery(Tr(texts::kBackupPasswordCaption), Tr(texts::kBackupPasswordRepeat),
                                second)) {
      WipeString(first);
      return false;
    }
    const bool same = first == second;
    WipeString(second);
    if (same) {
      password_.Take(first);
      return true;
    }
    WipeString(first);
    dialogs_.MessageDlg("", Tr(texts::kPasswordsDiffer), TMsgDlgType::Error, TMsgDlgButtons::Ok);
  }
  return false;
}

void TBackupRestore::forgetPasswords() {
  password_.Clear();
  parts_.Zip1.SetPassword({});
  for (std::string& known : parts_.UnZip1.Passwords()) WipeString(known);
  parts_.UnZip1.Passwords().clear();
}

void TBackupRestore::backUpLocked(const std::string& ArchiveName, const std::string& database) {
  TLockedRun run(*this, "backup", ArchiveName);
  if (!run.Locked()) {
    refuse(run.Holder());
    return;
  }
  try {
    const std::string SourceFile = BackupWorkFile(parts_.ExeDir, database);
    host_.Repaint();
    showStep(10);
    SweepLeftovers(parts_.ExeDir, database, run.LeftByKilledRun());

    // The server cannot write into a missing folder, and it adds a backup set
    // to an existing file instead of replacing it: a work file left by an
    // earlier run would bring its older set along into the archive.
    CreateFolder(TempFolder(parts_.ExeDir));
    std::error_code ec;
    fs::remove(SourceFile, ec);
    if (ec) throw EOperationError("Cannot erase '" + SourceFile + "': " + ec.message());

    runOnMaster(DatabaseBackupCommand(parts_.ExeDir, database));
    try {
      runOnMaster(VerifyBackupCommand(SourceFile));
    } catch (const EDatabaseError& e) {
      arc::EraseFile(SourceFile, false);
      throw EUnreadableBackup(e.what());
    }
    host_.Repaint();
    host_.SetGauge1(30);
    host_.SetGauge2(30);
    host_.Repaint();
    packAndCheck(ArchiveName, SourceFile);
    if (outcome_ == TOutcome::Succeeded) run.Finish("succeeded");
  } catch (const std::exception& e) {
    log_.Cause = e.what();
    throw;
  }
}

void TBackupRestore::refuse(const std::string& holder) {
  outcome_ = TOutcome::Refused;
  host_.NoteError("Another operation on " + parts_.DatabaseName + " is running" +
                  (holder.empty() ? "" : " (" + holder + ")") + "; nothing was done.");
  showNotice({Tr(texts::kOperationRunning)});
}

void TBackupRestore::packAndCheck(const std::string& ArchiveName, const std::string& SourceFile) {
  // Written and read back under a temporary name: the archive's own name
  // never holds an archive that has not read back.
  std::optional<TStagedArchive> staged;
  const bool packed = PrepareZipFile(ArchiveName, SourceFile, [&](const std::string& archive) {
    staged.emplace(archive, parts_.DatabaseName);
    if (run_ != nullptr) run_->Note(StagingNote(staged->Name()));
    staged->Prepare();
    return staged->Name();
  });
  if (!packed) {
    // The writer has reported its errors, or the name was taken and the user
    // told so; the work file stays for another try.
    if (outcome_ == TOutcome::None) {
      outcome_ = TOutcome::Failed;
      log_.Cause = "No file was written into '" +
                   (staged ? staged->Archive() : parts_.Zip1.ArchiveFile()) + "'.";
    } else {
      log_.Cause = "'" + ArchiveName + "' exists already.";
    }
    host_.NoteError(log_.Cause);
    return;
  }
  // The writer has added its default extension to a name without one.
  const std::string written = staged->Archive();
  const TArchiveCheck check = CheckArchive(
      staged->Name(),
      [this](uint8_t byFile, uint8_t byArchive) {
        host_.SetGauge1(byFile);
        host_.SetGauge2(byArchive);
      },
      [this] { dialogs_.ProcessMessages(); }, password_.Value());
  if (!check.Ok()) {
    arc::EraseFile(SourceFile, false);
    const std::string aside = staged->SetAside();
    lastArchive_ = aside;
    throw EUnreadableBackup("The archive '" + written + "' does not read back: " + check.Cause,
                            aside);
  }
  staged->Commit();
  arc::EraseFile(SourceFile, false);
  lastArchive_ = written;
  outcome_ = TOutcome::Succeeded;
}

bool TBackupRestore::PrepareZipFile(const std::string& ArchiveName, const std::string& SourceFile,
                                    const std::function<std::string(const std::string&)>& WriteAs) {
  bool Result = false;
  host_.SetBusyCursor(true);
  std::error_code ec;
  if (fs::exists(ArchiveName, ec) && !fs::is_directory(ArchiveName, ec)) {
    dialogs_.ShowMessageIndex(parts_.MsgForm2, 3);
    arc::EraseFile(SourceFile, true);
    outcome_ = TOutcome::Failed;
    host_.NoteError("'" + ArchiveName + "' exists already.");
    host_.CloseMainWindow();
    return false;
  }
  arc::TZip& zip = parts_.Zip1;
  zip.SetArchiveFile(ArchiveName);
  zip.SetDateAttribute(arc::daFileDate);
  zip.SetStoredDirNames(arc::sdRelative);
  zip.SetCompressMethod(arc::cmDeflate);
  zip.SetRecurseDirs(true);
  zip.SetSwitch(arc::swAdd);
  zip.SetStoreEmptySubDirs(false);
  zip.SetEncryptHeaders(false);
  zip.ExcludeSpec().clear();
  zip.FileSpec().clear();
  zip.FileSpec().push_back(SourceFile);
  // With a backup password the entry is AES-256.
  zip.SetPassword(password_.Value());
  zip.SetEncryptionMethod(password_.Empty() ? arc::emTraditional : arc::emAes256);
  // Hidden, system and read-only work files are taken as well.
  constexpr arc::TArcFileAttr kTaken[] = {arc::fsZeroAttr, arc::fsArchive,  arc::fsDirectory,
                                          arc::fsHidden,   arc::fsReadOnly, arc::fsSysFile};
  for (arc::TArcFileAttr a : kTaken) zip.SetAttribute(a, true);
  for (arc::TArcFileAttr a : kTaken) zip.SetAttributeEx(a, false);
  // The new archive is built where the next operation on the company finds
  // what a killed run left of it, not in the system's temporary folder.
  const std::string tempDir = ArchiveTempFolder(parts_.ExeDir, parts_.DatabaseName);
  CreateFolder(tempDir);
  if (fs::is_directory(tempDir, ec)) zip.SetTempDir(tempDir);
  if (WriteAs) zip.SetArchiveFile(WriteAs(zip.ArchiveFile()));
  Result = zip.Compress() > 0;
  host_.SetBusyCursor(false);
  return Result;
}

void TBackupRestore::Zip1Progress(arc::TObject*, uint8_t ProgressByFile,
                                  uint8_t ProgressByArchive) {
  host_.SetGauge1(ProgressByFile);
  host_.SetGauge2(ProgressByArchive);
  dialogs_.ProcessMessages();
}

void TBackupRestore::Zip1Error(arc::TObject*, const std::string& FileName,
                               const std::string& ExtendedMsg, const std::string& VolumeID,
                               int32_t ECode) {
  reportArchiveError(FileName, ExtendedMsg, VolumeID, ECode);
}

void TBackupRestore::reportArchiveError(const std::string& FileName, const std::string& ExtendedMsg,
                                        const std::string& VolumeID, int32_t ECode) {
  std::string detail =
      std::to_string(ECode) + " " + std::string(arc::ErrorText(ECode)) + ": " + FileName;
  if (!ExtendedMsg.empty()) detail += " (" + ExtendedMsg + ")";
  if (!VolumeID.empty() && VolumeID != "0") detail += ", volume " + VolumeID;
  host_.NoteError(detail);
  dialogs_.MessageDlg("", Tr(texts::kArchiveError), TMsgDlgType::None, TMsgDlgButtons::Ok);
}

// --- Restore -----------------------------------------------------------------

void TBackupRestore::BitBtn2Click() {
  if (busy_) return;
  TRunning running(busy_);
  outcome_ = TOutcome::None;
  runRestore();
}

void TBackupRestore::runRestore() {
  if (dialogs_.ShowMessageIndex(parts_.MsgForm1, 1) != msg::mrYes) {
    outcome_ = TOutcome::Cancelled;
    host_.SetGauge1(0);
    return;
  }
  host_.SetBusyCursor(true);
  extractErrors_ = 0;
  extractCause_.clear();
  try {
    if (!dialogs_.ExecuteFileDialog(TFileDialogKind::Open, parts_.OpenDialog1)) {
      outcome_ = TOutcome::Cancelled;
    } else {
      host_.Repaint();
      const std::string& database = parts_.DatabaseName;
      CheckDatabaseName(database);
      restoreLocked(parts_.OpenDialog1.FileName, database);
      // Told once the company is free again: the message waits for the user.
      if (outcome_ == TOutcome::Succeeded) {
        dialogs_.ShowMessageIndex(parts_.MsgForm2, 2);
        host_.Terminate();
      }
    }
  } catch (const std::exception& e) {
    outcome_ = TOutcome::Failed;
    forgetPasswords();
    host_.NoteError(e.what());
    // The fixed line, then what went wrong: the reader's first error when
    // the archive did not unpack, else the server's.
    parts_.MsgForm2.SetMessageList3(
        {Tr(texts::kProbablyInUse), extractCause_.empty() ? CauseLine(e.what()) : extractCause_});
    dialogs_.ShowMessageIndex(parts_.MsgForm2, 3);
    host_.Terminate();
  }
  forgetPasswords();
  host_.SetBusyCursor(false);
  host_.SetGauge1(0);
}

void TBackupRestore::restoreLocked(const std::string& chosen, const std::string& database) {
  TLockedRun run(*this, "restore", chosen);
  if (!run.Locked()) {
    refuse(run.Holder());
    return;
  }
  try {
    SweepLeftovers(parts_.ExeDir, database, run.LeftByKilledRun());
    CreateFolder(TempBackupFolder(parts_.ExeDir));
    const std::string N = bringIntoTemp(chosen);
    showStep(98);
    log_.SafetyBackup = takeSafetyBackup(database);
    host_.Repaint();
    showStep(99);
    RunRestoreOnMaster(parts_.ADOConnection2, parts_.ADOConnection1, parts_.ADOTable1,
                       DatabaseRestoreCommand(parts_.ExeDir, database, N),
                       [this](TDbConnection& master) { connect(master); });
    host_.SetGauge1(100);
    host_.SetGauge2(100);
    arc::EraseFile(RestoreSourceFile(parts_.ExeDir, N), false);
    outcome_ = TOutcome::Succeeded;
    run.Finish("succeeded");
  } catch (const std::exception& e) {
    log_.Cause = extractCause_.empty() ? e.what() : extractCause_ + "\n" + e.what();
    throw;
  }
}

std::string TBackupRestore::takeSafetyBackup(const std::string& database) {
  const std::string safety = NewSafetyBackupFile(parts_.ExeDir, database, std::time(nullptr));
  runOnMaster(SafetyBackupCommand(database, safety));
  // A restore never runs without a safety backup that would restore.
  runOnMaster(VerifyBackupCommand(safety));
  // A server of its own writes with its own file modes.
  std::error_code ec;
  fs::permissions(safety, fs::perms::owner_read | fs::perms::owner_write, ec);
  const TOperationSettings& settings = parts_.Settings;
  const std::vector<TStampedFile> kept =
      FindStamped(TempBackupFolder(parts_.ExeDir), database, ".Bak");
  for (const std::string& old : Expired(kept, settings.SafetyBackupsKept,
                                        settings.SafetyBackupsMaxAgeDays, std::time(nullptr))) {
    if (old != safety) fs::remove(old, ec);
  }
  return safety;
}

std::string TBackupRestore::bringIntoTemp(const std::string& chosen) {
  if (arc::SameTextIgnoringCase(FileExtension(chosen), ".zip")) {
    host_.SetGauge1(0);
    std::string N;
    extractErrors_ = 0;
    extractCause_.clear();
    // The password of the backups is tried first; the reader asks when it
    // does not open the archive. A file that cannot serve is said, and the
    // archive may still need no password.
    const std::string& setting = parts_.Settings.BackupPasswordFile;
    if (!setting.empty() && !AsksForPassword(setting)) {
      try {
        ReadPasswordFile(setting, password_);
        parts_.UnZip1.Passwords().insert(parts_.UnZip1.Passwords().begin(), password_.Value());
      } catch (const EPasswordFileError& e) {
        host_.NoteError(e.what());
      }
    }
    const int32_t written = UnzipFile(chosen, "*.*", N);
    // Restoring after a failed extraction would take whatever lies in Temp/
    // under that name: a partial file, or one left there by an earlier run.
    if (written == 0 || extractErrors_ > 0 || !IsPlainRelativePath(N)) {
      if (extractCause_.empty()) extractCause_ = "Nothing usable was extracted from the archive.";
      throw EOperationError("Nothing usable was extracted from '" + chosen + "'.");
    }
    extractCause_.clear();  // a wrong password typed before the right one
    return N;
  }
  // A plain backup file is copied; Temp/ may not exist yet on a fresh
  // installation, and a failed copy must not let an older file of the same
  // name be restored.
  const std::string N = fs::path(chosen).filename().string();
  CreateFolder(TempFolder(parts_.ExeDir));
  std::error_code ec;
  fs::copy_file(chosen, RestoreSourceFile(parts_.ExeDir, N), fs::copy_options::overwrite_existing,
                ec);
  if (ec) throw EOperationError("Cannot copy '" + chosen + "' into Temp: " + ec.message());
  return N;
}

int32_t TBackupRestore::UnzipFile(const std::string& ArchiveName, const std::string& Spec,
                                  std::string& ExtractedName) {
  ExtractedName.clear();
  arc::TUnZip& unzip = parts_.UnZip1;
  unzip.SetArchiveFile(ArchiveName);
  unzip.SetConfirmOverwrites(false);
  unzip.SetRecurseDirs(false);
  unzip.FileSpec().clear();
  unzip.FileSpec().push_back(Spec);
  const std::string folder = TempFolder(parts_.ExeDir);
  CreateFolder(folder);
  unzip.SetExtractDir(folder);
  const int32_t written = unzip.Extract();
  ExtractedName = unzip.StoredEntryName();
  return written;
}

void TBackupRestore::UnZip1Progress(arc::TObject*, uint8_t ProgressByFile,
                                    uint8_t ProgressByArchive) {
  host_.SetGauge1(ProgressByFile);
  host_.SetGauge2(ProgressByArchive);
  dialogs_.ProcessMessages();
}

void TBackupRestore::UnZip1Error(arc::TObject*, const std::string& FileName,
                                 const std::string& ExtendedMsg, const std::string& VolumeID,
                                 int32_t ECode) {
  const bool wrongPassword = ECode == arc::ec::InvalidPassword;
  if (extractErrors_ == 0 && (extractCause_.empty() || !wrongPassword)) {
    extractCause_ = std::string(arc::ErrorText(ECode)) + ": " + FileName;
    if (!ExtendedMsg.empty()) extractCause_ += " (" + ExtendedMsg + ")";
  }
  if (wrongPassword) {
    // The question comes again, or the entry is given up and nothing usable
    // is extracted: the restore fails then with this as its cause.
    host_.NoteError(std::to_string(ECode) + " " + std::string(arc::ErrorText(ECode)) + ": " +
                    FileName);
    return;
  }
  ++extractErrors_;
  reportArchiveError(FileName, ExtendedMsg, VolumeID, ECode);
}

void TBackupRestore::askForDisk(const std::string& text, bool& Cancel) {
  dialogs_.ProcessMessages();
  // The reader has preset Cancel to true: only OK goes on.
  if (dialogs_.MessageDlg("", text, TMsgDlgType::Information, TMsgDlgButtons::OkCancel) ==
      msg::mrOk) {
    Cancel = false;
  }
}

void TBackupRestore::UnZip1GetZipFirstDisk(arc::TObject*, bool& Cancel) {
  askForDisk(Tr(texts::kInsertFirstDisk), Cancel);
}

void TBackupRestore::UnZip1GetZipNextDisk(arc::TObject*, const std::string& VolumeName,
                                          bool& Cancel) {
  askForDisk(Tr(texts::kInsertNextDisk) + VolumeName, Cancel);
}

void TBackupRestore::UnZip1GetZipLastDisk(arc::TObject*, bool& Cancel) {
  askForDisk(Tr(texts::kInsertLastDisk), Cancel);
}

void TBackupRestore::UnZip1GetPassword(arc::TObject*, const std::string&, std::string& Password,
                                       bool& TryAgain) {
  dialogs_.ProcessMessages();
  std::string typed;
  TryAgain = dialogs_.PasswordQuery(Tr(texts::kBackupPasswordCaption),
                                    Tr(texts::kArchivePasswordPrompt), typed) &&
             !typed.empty();
  WipeString(Password);
  Password = typed;
  WipeString(typed);
}

void TBackupRestore::UnZip1NextVolume(arc::TObject*, std::string& VolumeName, const std::string&,
                                      bool fExists, bool& Cancel) {
  if (fExists) return;
  std::string typed;
  if (!dialogs_.InputQuery(texts::kNextVolumeCaption, texts::kNextVolumePrompt, typed)) {
    Cancel = true;
    return;
  }
  // Confirmed: the reader looks for the volume again. A folder typed into the
  // box is where it looks; any other text is taken as the volume's file name.
  if (typed.empty()) return;
  std::error_code ec;
  if (fs::is_directory(typed, ec)) {
    VolumeName = (fs::path(typed) / fs::path(VolumeName).filename()).string();
  } else {
    VolumeName = typed;
  }
}

}  // namespace app
