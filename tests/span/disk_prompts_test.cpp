//===-- tests/span/disk_prompts_test.cpp - Asking for disks and failing ----===//
//
// Which disk is taken and when a prompt comes up: the disk written last put
// back in, a disk with files on it, the space kept on the first disk, an
// archive already on a disk, labels, and every way a run can fail without
// leaving anything moved.
//
//===----------------------------------------------------------------------===//
#include <algorithm>

#include <arc/support/error_codes.h>
#include "span_fixture.h"
#include "zip/disk_span.h"

namespace arc {
namespace {

using test::ReadText;
using test::WriteText;

namespace fs = std::filesystem;

/// Every report with its volume id.
struct Reports {
  struct Item {
    std::string file, ext, volume;
    int32_t code;
  };
  std::vector<Item> items;
  void Attach(TZip& zip) {
    zip.OnError = [this](TObject*, const std::string& f, const std::string& x, const std::string& v,
                         int32_t c) {
      items.push_back({f, x, v, c});
    };
  }
  int Count(int32_t code) const {
    return static_cast<int>(std::count_if(items.begin(), items.end(),
                                          [code](const Item& i) { return i.code == code; }));
  }
};

class DiskPrompts : public test::SpanFixture {
 protected:
  void SetUp() override {
    WriteSources(test::MixedSources());
    expected = sources.size();
  }
  /// Our reader gets every file back from the disks.
  void ExpectReadBack() {
    std::string errors;
    EXPECT_EQ(ExtractSet("out", errors), static_cast<int32_t>(expected));
    EXPECT_EQ(errors, "");
    EXPECT_EQ(test::TreeDiff(test::Tree(dir / "out"), test::Tree(dir / "src")), "");
  }
  bool NoTemporaryFilesLeft() const { return fs::is_empty(dir / "tmp"); }

  size_t expected = 0;
};

TEST_F(DiskPrompts, DiskWrittenLastIsAskedForAgainNeverOverwritten) {
  AddDisks(12, 100 * 1024);
  drives.Insert(0);
  TZip zip;
  Configure(zip);
  int exists = 0;
  zip.OnDiskSpanFileExists = [&](TObject*, const std::string&, TDateTime, TOverwriteMode&) {
    ++exists;
  };
  // Asked for disk 2, the user first leaves disk 1 in the drive.
  int askedForTwo = 0;
  auto insert = zip.OnInsertDisk;
  zip.OnInsertDisk = [&](TObject* sender, const std::string& volume, bool& cancel) {
    if (volume == "2" && ++askedForTwo == 1) {
      prompts.push_back(volume);
      cancel = false;
      return;
    }
    insert(sender, volume, cancel);
  };
  EXPECT_EQ(zip.Compress(), static_cast<int32_t>(expected));
  EXPECT_EQ(askedForTwo, 2);
  EXPECT_EQ(std::count(prompts.begin(), prompts.end(), "2"), 2);
  EXPECT_EQ(exists, 0);
  ExpectReadBack();
}

TEST_F(DiskPrompts, DiskWithFilesGoesThroughOnClearDisk) {
  AddDisks(12, 100 * 1024);
  WriteText(drives.DiskAt(1).folder + "notes.txt", std::string(1000, 'n'));  // room left
  WriteText(drives.DiskAt(2).folder + "old.bin", std::string(95000, 'o'));   // too full
  drives.Insert(0);
  TZip zip;
  Configure(zip);
  struct Call {
    std::string drive;
    int64_t required, free, total;
  };
  std::vector<Call> calls;
  zip.OnClearDisk = [&](TObject* sender, const std::string& drive, int64_t required, int64_t free,
                        int64_t total, bool& cancel) {
    EXPECT_TRUE(cancel);
    EXPECT_NE(dynamic_cast<TDiskSpanObj*>(sender), nullptr);
    calls.push_back({drive, required, free, total});
    // The first disk is used as it is; the second one is emptied.
    if (calls.size() == 2) drives.ClearDisk(drive);
    cancel = calls.size() > 5;
  };
  EXPECT_EQ(zip.Compress(), static_cast<int32_t>(expected));
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].drive, drives.DrivePath());
  EXPECT_EQ(calls[0].required, 10000);
  EXPECT_EQ(calls[0].free, 100 * 1024 - 1000);
  EXPECT_EQ(calls[0].total, 100 * 1024);
  EXPECT_EQ(calls[1].free, 100 * 1024 - 95000);
  EXPECT_TRUE(fs::exists(drives.DiskAt(1).folder + "notes.txt"));
  EXPECT_FALSE(fs::exists(drives.DiskAt(2).folder + "old.bin"));
  ExpectReadBack();
}

TEST_F(DiskPrompts, WithoutOnClearDiskADiskMustHaveRoom) {
  AddDisks(12, 100 * 1024);
  WriteText(drives.DiskAt(1).folder + "notes.txt", std::string(1000, 'n'));
  WriteText(drives.DiskAt(2).folder + "old.bin", std::string(95000, 'o'));
  drives.Insert(0);
  TZip zip;
  Configure(zip);
  Reports reports;
  reports.Attach(zip);
  EXPECT_EQ(zip.Compress(), 0);
  EXPECT_EQ(zip.ProcessedCount(), 0);
  ASSERT_EQ(reports.items.size(), 1u);
  EXPECT_EQ(reports.items[0].code, ec::RequiredEvent);
  EXPECT_EQ(reports.items[0].ext, "OnClearDisk");
  EXPECT_EQ(reports.items[0].volume, "3");
  EXPECT_TRUE(fs::exists(drives.DiskAt(2).folder + "old.bin"));
  EXPECT_TRUE(NoTemporaryFilesLeft());
}

TEST_F(DiskPrompts, FirstDiskNeedsAndKeepsTheSpaceToLeave) {
  drives.AddDisk(59999);
  drives.AddDisk(60000);
  AddDisks(12, 100 * 1024);
  // Disk 1 is asked for with the small disk still in; then the right one.
  plan = {{1, 0}};
  for (int32_t n = 2; n < drives.DiskCount(); ++n) plan[n] = n;
  drives.Insert(0);
  TZip zip;
  Configure(zip);
  zip.SetLeaveSpaceOnFirstDisk(50000);
  int askedForOne = 0;
  auto insert = zip.OnInsertDisk;
  zip.OnInsertDisk = [&](TObject* sender, const std::string& volume, bool& cancel) {
    if (volume == "1" && ++askedForOne == 2) plan[1] = 1;
    insert(sender, volume, cancel);
  };
  EXPECT_EQ(zip.Compress(), static_cast<int32_t>(expected));
  EXPECT_EQ(askedForOne, 2);
  EXPECT_FALSE(fs::exists(Volume(0)));
  EXPECT_EQ(drives.DiskAt(1).label, "PKBACK# 001");
  EXPECT_EQ(fs::file_size(Volume(1)), 10000u);
  EXPECT_EQ(drives.DiskAt(1).capacity - drives.UsedBytes(1), 50000);
  ExpectReadBack();
}

TEST_F(DiskPrompts, MissingOnInsertDiskIsReported) {
  AddDisks(2, 1536 * 1024);
  drives.Insert(0);
  TZip zip;
  Configure(zip);
  zip.OnInsertDisk = nullptr;
  Reports reports;
  reports.Attach(zip);
  EXPECT_EQ(zip.Compress(), 0);
  ASSERT_EQ(reports.items.size(), 1u);
  EXPECT_EQ(reports.items[0].code, ec::RequiredEvent);
  EXPECT_EQ(reports.items[0].ext, "OnInsertDisk");
  EXPECT_EQ(reports.items[0].volume, "1");
  EXPECT_TRUE(fs::is_empty(drives.DiskAt(0).folder));
  EXPECT_TRUE(NoTemporaryFilesLeft());
}

TEST_F(DiskPrompts, CancelledPromptLeavesTheArchiveOnTheDisk) {
  AddDisks(12, 100 * 1024);
  drives.Insert(0);
  TZip zip;
  Configure(zip);
  zip.SetFileSpec({dir / "src/text/t1.txt"});
  ASSERT_EQ(zip.Compress(), 1);
  const std::string before = ReadText(Volume(0));

  zip.SetFileSpec({dir / "src/*"});
  zip.OnInsertDisk = [&](TObject*, const std::string& volume, bool& cancel) {
    prompts.push_back(volume);
    EXPECT_TRUE(cancel);
  };
  EXPECT_EQ(zip.Compress(), 0);
  EXPECT_EQ(zip.ProcessedCount(), 0);
  EXPECT_EQ(prompts, (std::vector<std::string>{"1"}));
  EXPECT_EQ(ReadText(Volume(0)), before);
  EXPECT_TRUE(NoTemporaryFilesLeft());
  EXPECT_TRUE(rec.reports.empty());
}

TEST_F(DiskPrompts, CancelOnALaterDiskFailsTheRun) {
  AddDisks(12, 100 * 1024);
  drives.Insert(0);
  TZip zip;
  Configure(zip);
  // At a prompt, and by the cancel flag while the entries are copied.
  auto insert = zip.OnInsertDisk;
  zip.OnInsertDisk = [&](TObject* sender, const std::string& volume, bool& cancel) {
    if (volume != "3") insert(sender, volume, cancel);
  };
  EXPECT_EQ(zip.Compress(), 0);
  EXPECT_EQ(zip.ProcessedCount(), 0);
  EXPECT_TRUE(NoTemporaryFilesLeft());

  zip.OnInsertDisk = insert;
  bool spanning = false;
  zip.OnProgress = [&](TObject*, uint8_t, uint8_t) {
    if (spanning) zip.SetCancel(true);
  };
  zip.OnInsertDisk = [&](TObject* sender, const std::string& volume, bool& cancel) {
    spanning = true;
    insert(sender, volume, cancel);
  };
  for (int32_t i = 0; i < drives.DiskCount(); ++i) fs::remove(Volume(i));
  drives.Insert(0);
  EXPECT_EQ(zip.Compress(), 0);
  EXPECT_EQ(zip.ProcessedCount(), 0);
  EXPECT_TRUE(NoTemporaryFilesLeft());
}

TEST_F(DiskPrompts, ArchiveAlreadyOnADisk) {
  // A first backup that fits on disk 1, then a larger one onto the same disk.
  AddDisks(12, 100 * 1024);
  drives.Insert(0);
  const std::string extra = dir / "more/big.bin";
  WriteText(extra, test::RandomBytes(150000, 99));
  TZip zip;
  Configure(zip);
  zip.SetFileSpec({dir / "src/text/t1.txt"});
  ASSERT_EQ(zip.Compress(), 1);
  const std::string first = ReadText(Volume(0));

  // Without a handler, and with one that skips: the disk keeps its archive.
  zip.SetFileSpec({extra});
  Reports reports;
  reports.Attach(zip);
  EXPECT_EQ(zip.Compress(), 0);
  ASSERT_EQ(reports.items.size(), 1u);
  EXPECT_EQ(reports.items[0].code, ec::RequiredEvent);
  EXPECT_EQ(reports.items[0].ext, "OnFileExists");
  EXPECT_EQ(reports.items[0].volume, "1");
  std::string askedFor;
  zip.OnDiskSpanFileExists = [&](TObject* sender, const std::string& name, TDateTime date,
                                 TOverwriteMode& mode) {
    EXPECT_EQ(sender, &zip);
    EXPECT_EQ(mode, omOverwrite);
    EXPECT_GT(date, 40000.0);  // a date of this century, not the default
    askedFor = name;
    mode = omSkip;
  };
  reports.items.clear();
  EXPECT_EQ(zip.Compress(), 0);
  EXPECT_EQ(askedFor, Archive());
  EXPECT_TRUE(zip.Cancel());
  EXPECT_EQ(reports.Count(ec::UserCanceled), 1);
  EXPECT_EQ(ReadText(Volume(0)), first);

  // Overwritten: the old entry is kept and the new one added.
  zip.OnDiskSpanFileExists = [](TObject*, const std::string&, TDateTime, TOverwriteMode&) {};
  reports.items.clear();
  drives.Insert(0);
  EXPECT_EQ(zip.Compress(), 1);
  EXPECT_TRUE(reports.items.empty());
  EXPECT_GT(VolumeDisks().size(), 1u);
  std::string errors;
  EXPECT_EQ(ExtractSet("out", errors), 2);
  EXPECT_EQ(errors, "");
  EXPECT_EQ(ReadText(dir / "out/big.bin"), ReadText(extra));
  EXPECT_EQ(ReadText(dir / "out/t1.txt"), sources["text/t1.txt"]);
}

/// The simulated drives, with labels that cannot be changed.
class FixedLabels final : public DriveService {
 public:
  explicit FixedLabels(SimulatedDrives& d) : d_(d) {}
  std::string DriveRoot(const std::string& path) override { return d_.DriveRoot(path); }
  bool IsReady(const std::string& root) override { return d_.IsReady(root); }
  bool IsWriteProtected(const std::string& root) override { return d_.IsWriteProtected(root); }
  bool ReadVolume(const std::string& root, DriveInfo& info, std::string& error) override {
    return d_.ReadVolume(root, info, error);
  }
  bool ReadSpace(const std::string& root, int64_t& free, int64_t& total) override {
    return d_.ReadSpace(root, free, total);
  }
  bool SetVolumeLabel(const std::string&, const std::string& label) override {
    asked.push_back(label);
    return false;
  }
  bool ClearDisk(const std::string& root) override { return d_.ClearDisk(root); }
  std::vector<std::string> asked;

 private:
  SimulatedDrives& d_;
};

TEST_F(DiskPrompts, LabelThatCannotBeSetIsReportedAndTheRunGoesOn) {
  AddDisks(12, 300 * 1024);
  drives.DiskAt(0).label = "PKBACK# 001";  // already right: not set again
  drives.Insert(0);
  TZip zip;
  Configure(zip);
  FixedLabels fixed(drives);
  zip.SetDriveService(&fixed);
  Reports reports;
  reports.Attach(zip);
  EXPECT_EQ(zip.Compress(), static_cast<int32_t>(expected));
  ASSERT_GE(fixed.asked.size(), 1u);
  EXPECT_EQ(fixed.asked[0], "PKBACK# 002");
  ASSERT_EQ(reports.items.size(), fixed.asked.size());
  EXPECT_EQ(reports.items[0].code, ec::SpannedDiskLabel);
  EXPECT_EQ(reports.items[0].volume, "PKBACK# 002");
}

}  // namespace
}  // namespace arc
