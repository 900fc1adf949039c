// What guards a running operation: the company's lock against a second
// operation, the window against closing, and the gauge's steps painted before
// the server blocks the thread.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QTest>
#include <sstream>

#include "app/commands.h"
#include "app/headless.h"
#include "app/operation_lock.h"
#include "fake_connection.h"
#include "operation_fixture.h"

namespace app::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class OperationGuard : public OperationTest {};

TEST_F(OperationGuard, ASecondOperationOnTheCompanyIsRefusedAtOnceAndTouchesNothing) {
  const std::string chosen = ZipOfBackup("x.zip");
  Change("DELETE FROM VoucherItems");

  // A scheduled backup while the window restores: refused with its own
  // status, and the restore goes on to its end.
  std::ostringstream out, err;
  int status = -1;
  Dialogs().onPump = [&] {
    if (status != -1) return;
    status = RunHeadless(ParseCommandLine({"--backup", files + "night.zip"}), exeDir, out, err);
  };
  Dialogs().Answer(msg::mrYes);
  Dialogs().Pick(chosen);
  Form().BitBtn2->click();
  EXPECT_EQ(status, kExitBusy);
  EXPECT_THAT(out.str(), HasSubstr(texts::kOperationRunning));
  EXPECT_THAT(err.str(), HasSubstr("restore of Zelvo10 by process"));
  EXPECT_FALSE(fs::exists(files + "night.zip"));
  EXPECT_EQ(Form().Operations().LastOutcome(), TOutcome::Succeeded);

  // The window while another process holds the company: told so, nothing
  // written, and the program stays open.
  TOperationLock other;
  ASSERT_TRUE(other.TryLock(LockFile(exeDir, "Zelvo10"), "backup by another process"));
  fs::remove_all(exeDir + "Temp");
  form.reset();
  Dialogs().Pick(files + "b.zip");
  Form().BitBtn1->click();
  EXPECT_EQ(Dialogs().shown.back(), Shown("MsgForm2", 4, texts::kOperationRunning));
  EXPECT_EQ(Form().Operations().LastOutcome(), TOutcome::Refused);
  EXPECT_TRUE(Form().isVisible());
  EXPECT_FALSE(fs::exists(files + "b.zip"));
  EXPECT_FALSE(fs::exists(exeDir + "Temp"));
  EXPECT_THAT(ReadFile(exeDir + "P_Restore.log"), HasSubstr("operation=backup"));
  EXPECT_THAT(ReadFile(exeDir + "P_Restore.log"), HasSubstr("result=refused"));
}

TEST_F(OperationGuard, TheWindowDoesNotCloseWhileAnOperationRuns) {
  bool closedDuring = true;
  bool closeButtonEnabled = true;
  Dialogs().onPump = [&] {
    closedDuring = Form().close();
    closeButtonEnabled = Form().SpeedButton1->isEnabled();
  };
  Dialogs().Pick(files + "b.zip");
  Form().BitBtn1->click();

  EXPECT_FALSE(closedDuring);
  EXPECT_FALSE(closeButtonEnabled);
  EXPECT_THAT(Dialogs().shown.back(), Shown("MsgForm2", 2, texts::kSuccess));
  EXPECT_FALSE(Form().isVisible());  // the backup's own close, once it is over
  EXPECT_TRUE(Form().SpeedButton1->isEnabled());
}

TEST_F(OperationGuard, TheGaugeShowsEachServerStepBeforeTheServerRunsIt) {
  auto master = std::make_unique<AppendingServer>("master");
  master->rows = {{"1", "Zelvo10", "company", "", "1"}};
  AppendingServer& server = *master;
  FormOn({exeDir, std::move(master), std::make_unique<FakeConnection>("company")});
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  int32_t painted = -1;
  PaintWatch watch(*form->GaugeShow1, [&] { painted = form->GaugeShow1->Progress(); });
  std::vector<std::string> seen;
  server.onCommand = [&](const std::string& command) {
    seen.push_back(command.substr(0, command.find(' ')) + " " + std::to_string(painted));
  };
  std::ofstream(files + "x.bak") << "a backup";
  Dialogs().Answer(msg::mrYes);
  Dialogs().Pick(files + "x.bak");
  form->BitBtn2->click();
  Dialogs().Pick(files + "b.zip");
  form->BitBtn1->click();

  // restore: the safety backup and its check at 98, the restore at 99;
  // backup: its set and its check at 10.
  EXPECT_THAT(seen,
              ElementsAre("BACKUP 98", "RESTORE 98", "RESTORE 99", "BACKUP 10", "RESTORE 10"));
}

}  // namespace
}  // namespace app::testing
