//===-- app/form1.h - The main window ---------------------------*- C++ -*-===//
//
// The program's only window: the company's name, the backup and restore
// buttons, a close button and the progress gauges, right to left. The window
// owns every component the operations use: the two database connections, the
// alias table, the two message components and the settings of the file
// dialogs. Controls and components keep their design names and are public, as
// the operations work on them directly.
//
// On showing, LoadAliasDef picks the company: the id in DefAlias.dat is looked
// up in the alias table, and the row found (or the first row) gives
// DatabaseName and the caption of Label2.
//
// The backup and restore buttons run their operations (TBackupRestore) on the
// window's components; the window lends them its gauges and cursor, and its
// dialogs through the TDialogs it was given (Qt's own unless a test gives
// scripted ones).
//
//===----------------------------------------------------------------------===//
#pragma once

#include <QFrame>
#include <QLabel>
#include <QToolButton>
#include <QWidget>
#include <memory>
#include <string>

#include "app/backup_restore.h"
#include "app/db/alias_table.h"
#include "app/db/database.h"
#include "app/dialogs.h"
#include "app/gauge.h"
#include "msg/bit_btn.h"
#include "msg/msg_form.h"

namespace arc {
class TZip;
class TUnZip;
}  // namespace arc

namespace app {

/// What the window is built on.
struct TFormEnvironment {
  std::string ExeDir;                           ///< the data folder, with a trailing '/'
  std::unique_ptr<TDbConnection> Master;        ///< becomes ADOConnection1
  std::unique_ptr<TDbConnection> Company;       ///< becomes ADOConnection2
  std::unique_ptr<TDialogs> Dialogs = nullptr;  ///< empty: Qt dialogs over the window
  TOperationSettings Settings = {};             ///< from P_Restore.ini
};

class TForm1 : public QWidget {
 public:
  /// Builds the window and its components; connects ADOConnection1 and opens
  /// ADOTable1, so a server that cannot be reached throws EDatabaseError here.
  explicit TForm1(TFormEnvironment environment, QWidget* parent = nullptr);
  ~TForm1() override;

  QFrame* Panel1;
  QLabel* Label1;
  QLabel* Label2;             ///< the company's description
  msg::TBitBtn* BitBtn2;      ///< restore
  msg::TBitBtn* BitBtn1;      ///< backup
  QToolButton* SpeedButton1;  ///< closes the window; disabled while an operation runs
  QLabel* Label3;             ///< shown while the program connects to the server
  TGauge* GaugeShow1;
  TGauge* GaugeShow2;  ///< kept up to date but never shown

  std::unique_ptr<TDbConnection> ADOConnection1;  ///< catalog master; connected
  std::unique_ptr<TDbConnection> ADOConnection2;  ///< the company database; never opened
  std::unique_ptr<TAliasTable> ADOTable1;         ///< Alias_Zelvo on ADOConnection1
  msg::TMsgForm* MsgForm1;                        ///< the confirmation before a restore
  msg::TMsgForm* MsgForm2;                        ///< results and failures
  TFileDialogSettings OpenDialog1;
  TFileDialogSettings SaveDialog1;
  std::unique_ptr<arc::TUnZip> UnZip1;
  std::unique_ptr<arc::TZip> Zip1;

  /// The company database's name; empty until LoadAliasDef has run.
  const std::string& DatabaseName() const { return databaseName_; }
  /// The data folder with a trailing '/' (the executable's in a build tree).
  const std::string& ExeDir() const { return exeDir_; }

  void FormShow();
  void LoadAliasDef();
  /// Replaces DefAlias.dat with `id`; throws std::system_error.
  void SaveAliasDef(const std::string& id);
  void SpeedButton1Click();
  /// The backup; a click while an operation runs is ignored.
  void BitBtn1Click();
  /// The restore; a click while an operation runs is ignored.
  void BitBtn2Click();

  /// The operations and the handlers of Zip1's and UnZip1's events.
  TBackupRestore& Operations() { return *operations_; }
  /// True once an operation has told the application to end.
  bool TerminateRequested() const { return terminateRequested_; }

 protected:
  void showEvent(QShowEvent* event) override;
  /// Refused while an operation runs: the program never ends with one half
  /// done. An operation that closes the window at its end is let close it
  /// once it is over.
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void createControls();
  void createMessages();
  void createArchiveComponents();
  void setLabel2Caption(const std::string& caption);
  /// Runs an operation of Operations(), then closes the window if the
  /// operation asked for it.
  template <typename Operation>
  void runOperation(Operation operation);

  class THost;

  std::string exeDir_;
  std::string databaseName_;
  TOperationSettings settings_;
  bool closeRequested_ = false;
  std::unique_ptr<TDialogs> dialogs_;
  std::unique_ptr<THost> host_;
  std::unique_ptr<TBackupRestore> operations_;
  bool terminateRequested_ = false;
};

/// The two message components as the window is designed with them, owned by
/// `owner`.
struct TMessageForms {
  msg::TMsgForm* MsgForm1 = nullptr;  ///< the confirmation before a restore (Yes, No)
  msg::TMsgForm* MsgForm2 = nullptr;  ///< results and failures (OK)
};
TMessageForms CreateMessageForms(QObject* owner);

/// Gives a label the width of its text, keeping the edge its reading starts
/// from where it is: a right-to-left label grows to the left, a left-to-right
/// one to the right.
void AutoSizeFromReadingEdge(QLabel& label);

}  // namespace app
