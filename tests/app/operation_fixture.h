// A program folder with the embedded database and its sample company, a
// window on it with scripted dialogs, and helpers to look at the company's
// data and at archives.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "app/backup_history.h"
#include "app/db/embedded_server.h"
#include "app/db/sample_data.h"
#include "app/db/sqlite_util.h"
#include "app/form1.h"
#include "app/startup.h"
#include "app/texts.h"
#include "scripted_dialogs.h"

namespace app::testing {

namespace fs = std::filesystem;

/// GLib reads HOME and XDG_DATA_HOME once per process, so every test shares
/// one home, made before the first file goes to the trash.
inline const std::string& TestHome() {
  static QTemporaryDir* home = [] {
    auto* dir = new QTemporaryDir;
    setenv("HOME", dir->path().toLocal8Bit().constData(), 1);
    setenv("XDG_DATA_HOME", (dir->path() + "/data").toLocal8Bit().constData(), 1);
    return dir;
  }();
  static const std::string path = home->path().toStdString() + "/";
  return path;
}

/// The number of files in the trash whose names begin with `name` (the trash
/// renames a second file of a name).
inline int TrashedCount(const std::string& name) {
  const fs::path trash = TestHome() + "data/Trash/files";
  int count = 0;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(trash, ec)) {
    count += entry.path().filename().string().starts_with(name);
  }
  return count;
}

/// Every row of every table of a SQLite file, as text.
inline std::string Dump(const std::string& file) {
  TSqliteDb db = OpenSqlite(file, SQLITE_OPEN_READONLY);
  std::vector<std::string> tables;
  {
    TSqliteStatement list =
        PrepareSqlite(db.get(), "SELECT name FROM sqlite_master WHERE type='table' ORDER BY name");
    while (sqlite3_step(list.get()) == SQLITE_ROW) {
      tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(list.get(), 0)));
    }
  }
  std::string out;
  for (const std::string& table : tables) {
    out += table + ":\n";
    TSqliteStatement rows = PrepareSqlite(db.get(), "SELECT * FROM \"" + table + "\"");
    while (sqlite3_step(rows.get()) == SQLITE_ROW) {
      for (int i = 0; i < sqlite3_column_count(rows.get()); ++i) {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(rows.get(), i));
        out.append(bytes ? bytes : "NULL", bytes ? sqlite3_column_bytes(rows.get(), i) : 4);
        out += '|';
      }
      out += '\n';
    }
  }
  return out;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

/// Runs a shell command (a peer tool) and returns its exit status.
inline int Shell(const std::string& command) { return std::system(command.c_str()); }

inline std::string Quoted(const std::string& path) { return "'" + path + "'"; }

/// What a shell command writes on its standard output.
inline std::string ShellOutput(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

/// Runs `onPaint` whenever `widget` is painted.
class PaintWatch : public QObject {
 public:
  PaintWatch(QWidget& widget, std::function<void()> onPaint) : onPaint_(std::move(onPaint)) {
    widget.installEventFilter(this);
  }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) onPaint_();
    return false;
  }

 private:
  std::function<void()> onPaint_;
};

class OperationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestHome();
    ASSERT_TRUE(dir_.isValid());
    exeDir = dir_.path().toStdString() + "/exe/";
    files = dir_.path().toStdString() + "/files/";
    fs::create_directories(exeDir);
    fs::create_directories(files);
  }

  void TearDown() override {
    if (dialogs_) {
      EXPECT_TRUE(dialogs_->AllAnswered()) << "the script had answers left";
    }
    form.reset();
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
  }

  /// The window, made and shown on first use (which makes the sample company).
  TForm1& Form() {
    if (!form) FormOn(LoadEnvironment(exeDir));
    return *form;
  }
  /// The window on the connections of `environment`.
  TForm1& FormOn(TFormEnvironment environment) {
    auto scripted = std::make_unique<TScriptedDialogs>();
    dialogs_ = scripted.get();
    environment.Dialogs = std::move(scripted);
    form = std::make_unique<TForm1>(std::move(environment));
    form->show();
    return *form;
  }
  TScriptedDialogs& Dialogs() {
    Form();
    return *dialogs_;
  }

  std::string DataDir() { return exeDir + "Data/"; }
  std::string Company() { return DataDir() + "Zelvo10.db"; }
  std::string WorkFile() { return exeDir + "Temp/Zelvo10"; }
  /// The safety backups the restores left, newest first.
  std::vector<TStampedFile> SafetyBackups() {
    return FindStamped(exeDir + "TempBackup/", "Zelvo10", ".Bak");
  }
  /// The newest safety backup; empty when there is none.
  std::string SafetyBackup() {
    const auto all = SafetyBackups();
    return all.empty() ? std::string() : all.front().Path;
  }

  /// Changes the company's data.
  void Change(const std::string& sql) {
    EnsureSampleData(DataDir());
    TSqliteDb db = OpenSqlite(Company(), SQLITE_OPEN_READWRITE);
    ExecSqlite(db.get(), sql);
  }

  /// A server backup of the company as it is now, in `path`.
  void BackupInto(const std::string& path) {
    EnsureSampleData(DataDir());
    TEmbeddedServer(DataDir()).Backup("Zelvo10", path);
  }

  /// An archive `name` in `files` holding a server backup of the company as
  /// the entry Zelvo10, made by zip with `options`.
  std::string ZipOfBackup(const std::string& name, const std::string& options = "") {
    const std::string stage = files + "stage/";
    fs::create_directories(stage);
    BackupInto(stage + "Zelvo10");
    EXPECT_EQ(Shell("cd " + Quoted(stage) + " && zip -q " + options + " " + Quoted(files + name) +
                    " Zelvo10"),
              0);
    fs::remove_all(stage);
    return files + name;
  }

  std::string Shown(const char* form, int index, const std::string& text) {
    return std::string(form) + " " + std::to_string(index) + ": " + text;
  }

  std::string exeDir;
  std::string files;  ///< where the user's archives and backup files lie
  std::unique_ptr<TForm1> form;

 private:
  QTemporaryDir dir_;
  TScriptedDialogs* dialogs_ = nullptr;
};

}  // namespace app::testing
