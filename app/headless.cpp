//===-- app/headless.cpp - Backup and restore from the command line -*- C++ -*-===//
#include "headless.h"

#include <QCoreApplication>
#include <QObject>
#include <algorithm>
#include <charconv>
#include <ctime>
#include <exception>
#include <filesystem>
#include <ostream>

#include <arc/unzip/unzip.h>
#include <arc/zip/zip.h>
#include "app/alias_file.h"
#include "app/archive_components.h"
#include "app/backup_history.h"
#include "app/backup_list.h"
#include "app/backup_password.h"
#include "app/backup_restore.h"
#include "app/commands.h"
#include "app/db/alias_table.h"
#include "app/form1.h"
#include "app/operation_lock.h"
#include "app/staged_archive.h"
#include "app/startup.h"
#include "msg/msg_form.h"

namespace app {

namespace {

/// The answers of a user who has said everything on the command line: the
/// file dialog gives the file named there, the confirmation is yes, and
/// whatever else would need a person (a disk to insert, a missing volume)
/// is cancelled.
class TTerminalDialogs : public TDialogs {
 public:
  TTerminalDialogs(std::string file, std::ostream& out, std::ostream& err)
      : file_(std::move(file)), out_(out), err_(err) {}

  bool ExecuteFileDialog(TFileDialogKind, TFileDialogSettings& dialog) override {
    if (fileGiven_) return false;
    fileGiven_ = true;
    dialog.FileName = file_;
    return true;
  }

  msg::TModalResult ShowMessageIndex(msg::TMsgForm& form, int32_t index) override {
    if (form.MsgBtn() == msg::TMsgBtn::Yes_No) return msg::mrYes;
    const msg::TStringList& lines = index == 1   ? form.MessageList1()
                                    : index == 2 ? form.MessageList2()
                                    : index == 3 ? form.MessageList3()
                                                 : form.MessageList4();
    for (const std::string& line : lines) out_ << line << '\n';
    out_.flush();
    return msg::mrOk;
  }

  msg::TModalResult MessageDlg(const std::string&, const std::string& text, TMsgDlgType,
                               TMsgDlgButtons buttons) override {
    err_ << text << '\n';
    switch (buttons) {
      case TMsgDlgButtons::Ok:
        return msg::mrOk;
      case TMsgDlgButtons::YesNo:
        return msg::mrNo;
      default:
        return msg::mrCancel;
    }
  }

  bool InputQuery(const std::string& caption, const std::string& prompt, std::string&) override {
    err_ << caption << ' ' << prompt << "(cancelled: no one to answer)\n";
    return false;
  }

  void ProcessMessages() override { QCoreApplication::processEvents(); }

 private:
  std::string file_;
  std::ostream& out_;
  std::ostream& err_;
  bool fileGiven_ = false;
};

/// Progress as lines of whole tens (and the last steps of a restore); errors
/// on standard error.
class TTerminalHost : public TOperationHost {
 public:
  TTerminalHost(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

  void SetGauge1(int32_t progress) override {
    const bool worth = progress / 10 != shown_ / 10 || (progress >= 98 && progress != shown_);
    if (progress <= 0 || !worth) {
      if (progress <= 0) shown_ = 0;
      return;
    }
    shown_ = progress;
    out_ << progress << "%\n";
    out_.flush();
  }
  void SetGauge2(int32_t) override {}
  void SetBusyCursor(bool) override {}
  void Repaint() override {}
  void CloseMainWindow() override {}
  void Terminate() override {}
  void SetConnecting(bool connecting) override {
    if (!connecting) return;
    out_ << "Connecting to the database server...\n";
    out_.flush();
  }
  void NoteError(const std::string& text) override { err_ << "P_Restore: " << text << '\n'; }

 private:
  std::ostream& out_;
  std::ostream& err_;
  int32_t shown_ = 0;
};

}  // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  using Mode = TCommandLine::Mode;
  TCommandLine command;
  if (arguments.empty()) return command;
  const std::string& option = arguments[0];
  const auto invalid = [&command](std::string why) {
    command.mode = Mode::Invalid;
    command.error = std::move(why);
    return command;
  };
  if (option == "--help" || option == "-h") {
    if (arguments.size() > 1) return invalid("--help takes no argument");
    command.mode = Mode::Help;
    return command;
  }
  if (option == "--backup" || option == "--restore") {
    if (arguments.size() != 2 || arguments[1].empty()) {
      return invalid(option + " needs exactly one file name");
    }
    command.mode = option == "--backup" ? Mode::Backup : Mode::Restore;
    command.file = arguments[1];
    return command;
  }
  if (option == "--backup-dir") {
    if (arguments.size() < 2 || arguments[1].empty()) return invalid("--backup-dir needs a folder");
    command.mode = Mode::BackupDir;
    command.file = arguments[1];
    if (arguments.size() == 2) return command;
    int32_t keep = 0;
    const std::string& number = arguments.size() == 4 ? arguments[3] : std::string();
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), keep);
    if (arguments.size() != 4 || arguments[2] != "--keep" || number.empty() ||
        error != std::errc() || end != number.data() + number.size() || keep < 1) {
      return invalid("--backup-dir DIR takes only --keep N, N a whole number of 1 or more");
    }
    command.keep = keep;
    return command;
  }
  if (option == "--list-backups") {
    if (arguments.size() > 2) return invalid("--list-backups takes at most one folder");
    command.mode = Mode::List;
    if (arguments.size() == 2) command.file = arguments[1];
    return command;
  }
  return invalid("unknown option '" + option + "'");
}

std::string UsageText() {
  return "Usage: P_Restore                            open the window\n"
         "       P_Restore --backup FILE.zip           back up the company database into a\n"
         "                                             new ZIP archive (a name without\n"
         "                                             extension gets .zip)\n"
         "       P_Restore --backup-dir DIR [--keep N] back up into DIR/<database>-YYYYMMDD-\n"
         "                                             HHMMSS.zip, then remove the oldest\n"
         "                                             such archives beyond the N newest\n"
         "                                             (default 14)\n"
         "       P_Restore --restore FILE              restore the company database from a\n"
         "                                             ZIP archive (.zip in any letter case)\n"
         "                                             or from a plain backup file, a safety\n"
         "                                             backup from TempBackup/ among them\n"
         "       P_Restore --list-backups [DIR]        list the safety backups in TempBackup/\n"
         "                                             and the archives of --backup-dir in\n"
         "                                             DIR, newest first, each read back\n"
         "       P_Restore --help                      show this text\n"
         "\n"
         "--backup, --backup-dir and --restore run the window's operations without a\n"
         "window, for scheduled backups: the command itself is the confirmation. The\n"
         "company is the one the window would show (DefAlias.dat). Messages and progress\n"
         "go to standard output, the errors behind them (the database server's too) to\n"
         "standard error, and one line per operation to P_Restore.log in the data folder.\n"
         "A backup is read back before it counts: the server checks its backup, and the\n"
         "archive is opened again and every entry tested; an archive that fails is\n"
         "renamed FILE.damaged. A restore first writes a safety backup of the current\n"
         "database into TempBackup/<database>-YYYYMMDD-HHMMSS.Bak beside the program.\n"
         "With BackupPasswordFile=FILE under [Backups] in P_Restore.ini, backups are\n"
         "AES-256 archives with the password on the first line of FILE, which only its\n"
         "owner may read (chmod 600); restores and --list-backups use it too.\n"
         "BackupPasswordFile=ask makes the window ask, and is refused here.\n"
         "\n"
         "Exit status: 0 success; 1 failure (for --list-backups: a backup that does not\n"
         "read back); 2 wrong arguments; 3 another backup or restore of the company was\n"
         "running (in the window or another command), so nothing was done.\n";
}

namespace {

int ListHeadless(const std::string& folder, const std::string& exeDir,
                 const std::string& databaseName, TDbConnection& master,
                 const std::string& password, std::ostream& out, std::ostream& err) {
  TOperationLock lock;
  if (!lock.TryLock(LockFile(exeDir, databaseName), "listing of " + databaseName)) {
    err << "P_Restore: another operation on " << databaseName << " is running (" << lock.Holder()
        << "); try again when it is over\n";
    return kExitBusy;
  }
  // The lock file forgets what a killed backup noted once it is taken.
  SweepNoted(lock.LeftByKilledRun(), databaseName);
  const std::vector<TListedBackup> backups =
      ListBackups(exeDir, databaseName, folder, master, password);
  out << "Backups of " << databaseName << ", newest first:\n";
  if (backups.empty()) out << "(none)\n";
  out << FormatBackupList(backups);
  const bool allRead = std::all_of(backups.begin(), backups.end(),
                                   [](const TListedBackup& b) { return b.ReadsBack; });
  return allRead ? kExitSuccess : kExitFailure;
}

/// Removes the oldest archives of --backup-dir beyond the `keep` newest; the
/// one just written is the newest and stays.
void PruneBackupDir(const std::string& folder, const std::string& databaseName, int32_t keep,
                    const std::string& written, std::ostream& out, std::ostream& err) {
  for (const std::string& old :
       Expired(FindStamped(folder, databaseName, ".zip"), keep, 0, std::time(nullptr))) {
    if (old == written) continue;
    std::error_code ec;
    if (std::filesystem::remove(old, ec)) {
      out << "Removed the older backup " << old << '\n';
    } else if (ec) {
      err << "P_Restore: cannot remove " << old << ": " << ec.message() << '\n';
    }
  }
}

}  // namespace

int RunHeadless(const TCommandLine& command, const std::string& exeDir, std::ostream& out,
                std::ostream& err) {
  using Mode = TCommandLine::Mode;
  const bool backup = command.mode == Mode::Backup || command.mode == Mode::BackupDir;
  if (!backup && command.mode != Mode::Restore && command.mode != Mode::List) return kExitUsage;
  // The file named on the command line, wherever the program was started from.
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(command.file, ec);
  std::string file = ec || command.file.empty() ? command.file : absolute.string();
  if (command.mode == Mode::BackupDir || command.mode == Mode::List) {
    if (!file.empty() && file.back() != '/') file += '/';
    if (!file.empty() && !std::filesystem::is_directory(file, ec)) {
      err << "P_Restore: the folder " << file << " does not exist\n";
      return kExitFailure;
    }
  }
  try {
    TFormEnvironment environment = LoadEnvironment(exeDir);
    // Nobody is there to type a password: it comes from a file or not at all.
    const std::string& passwordSetting = environment.Settings.BackupPasswordFile;
    if (AsksForPassword(passwordSetting)) {
      err << "P_Restore: BackupPasswordFile=ask needs the window to ask for the password; without "
             "a window name a file that only its owner may read (BackupPasswordFile=FILE in "
             "P_Restore.ini)\n";
      return kExitFailure;
    }
    TDbConnection& master = *environment.Master;
    master.Open();
    TAliasTable aliasTable(master, "Alias_Zelvo");
    aliasTable.Open();
    const std::string databaseName = SelectCompany(exeDir, aliasTable).DatabaseName;
    if (command.mode == Mode::List) {
      TSecret password;
      if (!passwordSetting.empty()) ReadPasswordFile(passwordSetting, password);
      return ListHeadless(file, exeDir, databaseName, master, password.Value(), out, err);
    }
    const std::string folder = file;
    if (command.mode == Mode::BackupDir) {
      file = UnusedStampedName(folder, databaseName, std::time(nullptr), ".zip");
    }

    QObject owner;
    const TMessageForms messages = CreateMessageForms(&owner);
    TFileDialogSettings openDialog{"Zip Files|*.zip|All Files|*.*", "", ""};
    TFileDialogSettings saveDialog{"*.Zip", "", ""};
    arc::TUnZip unzip;
    ConfigureUnZip1(unzip);
    arc::TZip zip;
    ConfigureZip1(zip);
    TTerminalDialogs dialogs(file, out, err);
    TTerminalHost host(out, err);
    TBackupRestore operations(
        TOperationParts{exeDir, databaseName, master, *environment.Company, aliasTable,
                        *messages.MsgForm1, *messages.MsgForm2, openDialog, saveDialog, zip, unzip,
                        environment.Settings},
        host, dialogs);

    out << (backup ? "Backup of " : "Restore of ") << databaseName << (backup ? " into " : " from ")
        << file << '\n';
    if (backup) {
      operations.BitBtn1Click();
    } else {
      operations.BitBtn2Click();
    }
    switch (operations.LastOutcome()) {
      case TOutcome::Succeeded:
        if (command.mode == Mode::BackupDir) {
          PruneBackupDir(folder, databaseName, command.keep, operations.LastArchive(), out, err);
        }
        return kExitSuccess;
      case TOutcome::Refused:
        return kExitBusy;
      default:
        err << "P_Restore: the " << (backup ? "backup" : "restore") << " failed\n";
        return kExitFailure;
    }
  } catch (const std::exception& e) {
    err << "P_Restore: " << e.what() << '\n';
    return kExitFailure;
  }
}

}  // namespace app
