#include <system_error>

#include <gtest/gtest.h>

#include "common/test_temp_dir.h"
#include "stream_test_util.h"
#include "support/stream32.h"
#include "support/stream_memory.h"

namespace arc {
namespace {

using test::TempDir;

TEST(FileStream, OpenModesGiveTheAccessAskedAndNeverRaise) {
  TempDir dir;
  const std::string path = dir.Write("a.bin", "old contents");
  {
    TFileStream32 c(path, fmCreate);  // emptied, then read-write
    EXPECT_EQ(c.Size(), 0);
    c.WriteBuffer("0123456789", 10);
  }
  {
    TFileStream32 r(path, fmOpenRead | fmShareDenyWrite);  // 32: reading an archive
    ASSERT_TRUE(r.Valid());
    EXPECT_EQ(r.Write("x", 1), 0) << "a failed write returns 0";
    EXPECT_EQ(r.Seek(-3, TSeekOrigin::soEnd), 7);
  }
  {
    TFileStream32 w(path, fmOpenWrite);
    ASSERT_TRUE(w.Valid());
    char c;
    EXPECT_EQ(w.Read(&c, 1), 0) << "a failed read returns 0, never -1";
    EXPECT_EQ(w.Write("AB", 2), 2);
  }
  {
    TFileStream32 rw(path, fmOpenReadWrite | fmShareExclusive);
    ASSERT_TRUE(rw.Valid());
    EXPECT_EQ(rw.Size(), 10);
    rw.SetSize(4);  // truncates and leaves the pointer at the new end
    EXPECT_EQ(rw.Position(), 4);
  }
  EXPECT_EQ(test::ReadFile(path), (std::vector<uint8_t>{'A', 'B', '2', '3'}));
  TFileStream32 read_only(path, fmOpenRead);
  EXPECT_THROW(read_only.SetSize(1), std::system_error) << "a refused truncation raises";

  for (const std::string& bad : {dir / "missing.bin", dir.slashed(), std::string()}) {
    TFileStream32 f(bad, fmOpenRead);
    EXPECT_EQ(f.Handle(), kInvalidHandle) << bad;
  }
  TFileStream32 no_access(path, 3);
  EXPECT_FALSE(no_access.Valid());
  TFileStream32 in_missing_dir(dir / "no/such/dir.bin", fmCreate);
  EXPECT_FALSE(in_missing_dir.Valid());
}

TEST(FileStream, BufferFormsRaiseOnShortTransfersWithTheirTexts) {
  TempDir dir;
  TFileStream32 f(dir.Write("a.bin", "abc"), fmOpenRead);
  char buf[4];
  try {
    f.ReadBuffer(buf, 4);
    FAIL() << "no exception";
  } catch (const EStreamRead& e) {
    EXPECT_STREQ(e.what(), "Stream read error");
  }
  try {
    f.WriteBuffer("x", 1);
    FAIL() << "no exception";
  } catch (const EStreamWrite& e) {
    EXPECT_STREQ(e.what(), "Stream write error");
  }
  // A full device: the write error keeps the system's reason.
  TFileStream32 full("/dev/full", fmOpenWrite);
  if (full.Valid()) {
    try {
      full.WriteBuffer("x", 1);
      FAIL() << "no exception";
    } catch (const EStreamWrite& e) {
      EXPECT_TRUE(IsDiskFullError(std::current_exception(), 0));
    }
  }
  EXPECT_NO_THROW(f.ReadBuffer(buf, 0));
}

// --- CopyFrom ------------------------------------------------------------------

struct CopyFrom : ::testing::Test {
  std::vector<uint8_t> data = test::Sample(200'000);
  TMemoryStream32 source;
  TMemoryStream32 dest;
  void SetUp() override { test::Fill(source, data); }
};

TEST_F(CopyFrom, CountZeroCopiesTheWholeSourceFromItsBeginning) {
  source.SetPosition(123'456);
  EXPECT_EQ(dest.CopyFrom(source, 0), 200'000);
  EXPECT_EQ(test::Contents(dest), data);
  // A given count copies from where the source stands.
  TMemoryStream32 part;
  source.SetPosition(10);
  EXPECT_EQ(part.CopyFrom(source, 5), 5);
  EXPECT_EQ(test::Contents(part), std::vector<uint8_t>(data.begin() + 10, data.begin() + 15));
  source.SetPosition(0);
  EXPECT_THROW(part.CopyFrom(source, 300'000), EStreamRead) << "a short source raises";
}

TEST_F(CopyFrom, CancelStopsBeforeTheNextChunkAndTheCountAskedIsReturned) {
  bool cancel = false;
  int pumps = 0;
  dest.Cancel = &cancel;
  // The pump runs before every chunk; cancelling there stops before the read.
  dest.processMessages = [&] {
    if (++pumps == 3) cancel = true;
  };
  EXPECT_EQ(dest.CopyFrom(source, 0), 200'000);
  EXPECT_EQ(dest.Size(), 2 * kCopyChunk);
  EXPECT_EQ(source.Position(), 2 * kCopyChunk);

  TMemoryStream32 never;
  never.Cancel = &cancel;
  EXPECT_EQ(never.CopyFrom(source, 1000), 1000);
  EXPECT_EQ(never.Size(), 0);
}

}  // namespace
}  // namespace arc
