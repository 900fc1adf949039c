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
//===----------------------------------------------------------------------===//
#pragma once

#include <QFrame>
#include <QLabel>
#include <QToolButton>
#include <QWidget>
#include <memory>
#include <string>

#include "app/db/alias_table.h"
#include "app/db/database.h"
#include "app/gauge.h"
#include "msg/bit_btn.h"
#include "msg/msg_form.h"

namespace app {

/// The settings a file dialog is shown with. Filter holds description|pattern
/// pairs separated by '|'.
struct TFileDialogSettings {
  std::string Filter;
  std::string FileName;
  std::string DefaultExt;
};

/// What the window is built on.
struct TFormEnvironment {
  std::string ExeDir;                      ///< the executable's folder, with a trailing '/'
  std::unique_ptr<TDbConnection> Master;   ///< becomes ADOConnection1
  std::unique_ptr<TDbConnection> Company;  ///< becomes ADOConnection2
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
  QToolButton* SpeedButton1;  ///< closes the window
  TGauge* GaugeShow1;
  TGauge* GaugeShow2;  ///< kept up to date but never shown

  std::unique_ptr<TDbConnection> ADOConnection1;  ///< catalog master; connected
  std::unique_ptr<TDbConnection> ADOConnection2;  ///< the company database; never opened
  std::unique_ptr<TAliasTable> ADOTable1;         ///< Alias_Zelvo on ADOConnection1
  msg::TMsgForm* MsgForm1;                        ///< the confirmation before a restore
  msg::TMsgForm* MsgForm2;                        ///< results and failures
  TFileDialogSettings OpenDialog1;
  TFileDialogSettings SaveDialog1;

  /// The company database's name; empty until LoadAliasDef has run.
  const std::string& DatabaseName() const { return databaseName_; }
  /// The executable's folder with a trailing '/'.
  const std::string& ExeDir() const { return exeDir_; }

  void FormShow();
  void LoadAliasDef();
  /// Replaces DefAlias.dat with `id`; throws std::system_error.
  void SaveAliasDef(const std::string& id);
  void SpeedButton1Click();

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void createControls();
  void createMessages();
  void createArchiveComponents();
  void setLabel2Caption(const std::string& caption);

  std::string exeDir_;
  std::string databaseName_;
};

/// Gives a label the width of its text, keeping its right edge where it is
/// (a right-to-left label grows to the left).
void AutoSizeKeepingRight(QLabel& label);

}  // namespace app
