//===-- app/headless.cpp - Backup and restore from the command line -*- C++ -*-===//
#include "headless.h"

#include <QCoreApplication>
#include <QObject>
#include <exception>
#include <filesystem>
#include <ostream>

#include "app/alias_file.h"
#include "app/archive_components.h"
#include "app/backup_restore.h"
#include "app/db/alias_table.h"
#include "app/form1.h"
#include "app/startup.h"
#include "msg/msg_form.h"
#include "unzip/unzip.h"
#include "zip/zip.h"

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
      case TMsgDlgButtons::Ok: return msg::mrOk;
      case TMsgDlgButtons::YesNo: return msg::mrNo;
      default: return msg::mrCancel;
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
  void NoteError(const std::string& text) override { err_ << "P_Restore: " << text << '\n'; }

 private:
  std::ostream& out_;
  std::ostream& err_;
  int32_t shown_ = 0;
};

}  // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  TCommandLine command;
  if (arguments.empty()) return command;
  const std::string& option = arguments[0];
  if (option == "--help" || option == "-h") {
    command.mode = TCommandLine::Mode::Help;
    if (arguments.size() > 1) {
      command.mode = TCommandLine::Mode::Invalid;
      command.error = "--help takes no argument";
    }
    return command;
  }
  if (option == "--backup" || option == "--restore") {
    command.mode =
        option == "--backup" ? TCommandLine::Mode::Backup : TCommandLine::Mode::Restore;
    if (arguments.size() != 2 || arguments[1].empty()) {
      command.mode = TCommandLine::Mode::Invalid;
      command.error = option + " needs exactly one file name";
    } else {
      command.file = arguments[1];
    }
    return command;
  }
  command.mode = TCommandLine::Mode::Invalid;
  command.error = "unknown option '" + option + "'";
  return command;
}

std::string UsageText() {
  return "Usage: P_Restore                   open the window\n"
         "       P_Restore --backup FILE.zip  back up the company database into a new ZIP\n"
         "                                    archive (a name without extension gets .zip)\n"
         "       P_Restore --restore FILE     restore the company database from a ZIP\n"
         "                                    archive (.zip in any letter case) or from a\n"
         "                                    plain backup file\n"
         "       P_Restore --help             show this text\n"
         "\n"
         "--backup and --restore run the window's operations without a window, for\n"
         "scheduled backups: the command itself is the confirmation. The company is the\n"
         "one the window would show (DefAlias.dat). Messages and progress go to standard\n"
         "output, the errors behind them (the database server's too) to standard error.\n"
         "A restore first writes a safety backup of the current database into\n"
         "TempBackup/ beside the program. The exit status is 0 only on success.\n";
}

int RunHeadless(const TCommandLine& command, const std::string& exeDir, std::ostream& out,
                std::ostream& err) {
  const bool backup = command.mode == TCommandLine::Mode::Backup;
  if (!backup && command.mode != TCommandLine::Mode::Restore) return kExitUsage;
  // The file named on the command line, wherever the program was started from.
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(command.file, ec);
  const std::string file = ec ? command.file : absolute.string();
  try {
    TFormEnvironment environment = LoadEnvironment(exeDir);
    TDbConnection& master = *environment.Master;
    master.Open();
    TAliasTable aliasTable(master, "Alias_Zelvo");
    aliasTable.Open();
    const std::string databaseName = SelectCompany(exeDir, aliasTable).DatabaseName;

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
                        *messages.MsgForm1, *messages.MsgForm2, openDialog, saveDialog, zip,
                        unzip},
        host, dialogs);

    out << (backup ? "Backup of " : "Restore of ") << databaseName
        << (backup ? " into " : " from ") << file << '\n';
    if (backup) {
      operations.BitBtn1Click();
    } else {
      operations.BitBtn2Click();
    }
    if (operations.LastOutcome() == TOutcome::Succeeded) return kExitSuccess;
    err << "P_Restore: the " << (backup ? "backup" : "restore") << " failed\n";
    return kExitFailure;
  } catch (const std::exception& e) {
    err << "P_Restore: " << e.what() << '\n';
    return kExitFailure;
  }
}

}  // namespace app
