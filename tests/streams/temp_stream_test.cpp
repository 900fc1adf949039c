#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <arc/support/error_codes.h>
#include "common/test_temp_dir.h"
#include "stream_test_util.h"
#include "support/stream_temp.h"

namespace arc {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// What the writer does to move a finished temporary file: rename on one file
// system, else copy from the stream into a new archive file.
void MoveLikeTheWriter(TStream32& stream, const std::string& archive, bool same,
                       const std::string& temp) {
  if (same) {
    ASSERT_EQ(::rename(temp.c_str(), archive.c_str()), 0);
    return;
  }
  TFileStream32 out(archive, fmCreate);
  stream.SetPosition(0);
  out.CopyFrom(stream, stream.Size());
}

// Records the owner's side of the move protocol.
struct Owner {
  std::vector<std::string> calls;
  std::vector<int32_t> errors;
  bool handle_open_at_move = false;
  bool same_drive = false;
  int64_t size = -1;
  int64_t remaining = 0;
  int read_progress = 0;

  template <class S>
  void Attach(S& s) {
    s.remaining = &remaining;
    s.ReadProgress = [this](TStream32&) { ++read_progress; };
    s.MoveBegin = [this](const std::string& archive, const std::string& temp) {
      calls.push_back("begin " + fs::path(archive).filename().string() + " " +
                      (temp.empty() ? "-" : fs::path(temp).filename().string().substr(0, 3)));
    };
    s.MoveEnd = [this] { calls.push_back("end"); };
    s.ReportError = [this](int32_t code, const std::string&) { errors.push_back(code); };
  }
  void AttachFile(TTempFileStream& s) {
    Attach(s);
    s.MoveIntoPlace = [this](TStream32& st, const std::string& a, int64_t sz, bool same,
                             const std::string& t) {
      calls.push_back("move");
      handle_open_at_move = static_cast<TTempFileStream&>(st).Valid();
      same_drive = same;
      size = sz;
      remaining = sz;
      MoveLikeTheWriter(st, a, same, t);
    };
  }
};

TEST(TempFileStream, MovesIntoPlaceByRenameOnOneFileSystem) {
  TempDir dir;
  Owner owner;
  const std::string archive = dir / "backup.zip";
  const std::vector<uint8_t> data = test::Sample(150'000);
  std::string temp;
  {
    TTempFileStream s(fmCreate, archive, dir.slashed());
    ASSERT_TRUE(s.Valid());
    ASSERT_TRUE(s.TempMode());
    temp = s.TempFileName();
    EXPECT_EQ(fs::path(temp).parent_path(), fs::path(dir.slashed()).parent_path());
    EXPECT_EQ(fs::path(temp).filename().string().substr(0, 3), "arc");
    owner.AttachFile(s);
    s.WriteBuffer(data.data(), static_cast<int32_t>(data.size()));
    EXPECT_FALSE(fs::exists(archive));
  }
  EXPECT_EQ(owner.calls, (std::vector<std::string>{"begin backup.zip arc", "move", "end"}));
  EXPECT_TRUE(owner.same_drive);
  EXPECT_FALSE(owner.handle_open_at_move) << "the handle is closed before a rename";
  EXPECT_EQ(owner.size, 150'000);
  EXPECT_EQ(test::ReadFile(archive), data);
  EXPECT_FALSE(fs::exists(temp));
  EXPECT_TRUE(owner.errors.empty());
}

TEST(TempFileStream, CopiesAcrossFileSystemsThroughItsOwnReads) {
  TempDir dir;
  std::string shm = "/dev/shm/arctest-XXXXXX";
  if (::mkdtemp(shm.data()) == nullptr) GTEST_SKIP() << "no /dev/shm";
  struct Cleanup {
    std::string d;
    ~Cleanup() { fs::remove_all(d); }
  } cleanup{shm};
  if (SameFileSystem(dir.Write("probe"), shm + "/x")) GTEST_SKIP() << "one file system only";

  Owner owner;
  const std::string archive = shm + "/backup.zip";
  const std::vector<uint8_t> data = test::Sample(150'000);
  {
    TTempFileStream s(fmCreate, archive, dir.slashed());
    owner.AttachFile(s);
    s.WriteBuffer(data.data(), static_cast<int32_t>(data.size()));
  }
  EXPECT_FALSE(owner.same_drive);
  EXPECT_TRUE(owner.handle_open_at_move);
  EXPECT_EQ(test::ReadFile(archive), data);
  EXPECT_EQ(owner.remaining, 0) << "each read lowers the owner's count";
  EXPECT_EQ(owner.read_progress, 3);  // 61,440-byte chunks
  EXPECT_FALSE(SameFileSystem(dir / "x", "no/such/dir/a.zip"));
}

TEST(TempFileStream, FullDiskIsReportedForTheArchiveAndRaisedAfterCleanUp) {
  TempDir dir;
  for (const int error : {ENOSPC, EACCES}) {
    Owner owner;
    TTempFileStream s(fmCreate, dir / "a.zip", dir.slashed());
    const std::string temp = s.TempFileName();
    owner.Attach(s);
    s.MoveIntoPlace = [error](TStream32&, const std::string&, int64_t, bool, const std::string&) {
      throw EStreamWrite(error);
    };
    EXPECT_THROW(s.Destroy(), EStreamWrite);
    EXPECT_EQ(owner.calls.back(), "end") << "MoveEnd also after a failed move";
    EXPECT_EQ(owner.errors,
              error == ENOSPC ? std::vector<int32_t>{ec::DiskFull} : std::vector<int32_t>{});
    EXPECT_FALSE(fs::exists(temp));
    EXPECT_FALSE(fs::exists(dir / "a.zip"));
  }
}

TEST(TempFileStream, AbandonedOrDirectStreamsMoveNothing) {
  TempDir dir;
  Owner owner;
  std::string temp;
  {
    TTempFileStream s(fmCreate, dir / "a.zip", dir.slashed());
    owner.Attach(s);
    s.WriteBuffer("data", 4);
    temp = s.TempFileName();
    s.SetMode(0);  // the owner had nothing to write
  }
  EXPECT_TRUE(owner.calls.empty());
  EXPECT_FALSE(fs::exists(temp));
  EXPECT_FALSE(fs::exists(dir / "a.zip"));

  const std::string existing = dir.Write("old.zip", "old archive");
  {
    TTempFileStream s(fmOpenReadWrite, existing, dir.slashed());
    ASSERT_TRUE(s.Valid());
    EXPECT_FALSE(s.TempMode());
    EXPECT_TRUE(s.TempFileName().empty());
    owner.Attach(s);
  }
  EXPECT_TRUE(owner.calls.empty());
  EXPECT_EQ(test::ReadFile(existing).size(), 11u);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.slashed()), fs::directory_iterator()), 1);
}

TEST(TempMemStream, WritesTheArchiveFileWhenDestroyed) {
  TempDir dir;
  Owner owner;
  int64_t totals = -1;
  const std::vector<uint8_t> data = test::Sample(130'000);
  {
    TTempMemStream s(fmCreate, dir / "mem.zip");
    owner.Attach(s);
    s.storeTotals = [&](int64_t size) {
      totals = size;
      owner.remaining = size;
    };
    s.WriteBuffer(data.data(), static_cast<int32_t>(data.size()));
    EXPECT_FALSE(fs::exists(dir / "mem.zip"));
    s.Destroy();
    EXPECT_EQ(s.Size(), 0) << "memory freed";
  }
  EXPECT_EQ(owner.calls, (std::vector<std::string>{"begin mem.zip -", "end"}));
  EXPECT_EQ(totals, 130'000);
  EXPECT_EQ(owner.remaining, 0);
  EXPECT_EQ(owner.read_progress, 3);
  EXPECT_EQ(test::ReadFile(dir / "mem.zip"), data);
}

TEST(TempMemStream, FailuresRaiseAndFreeTheMemory) {
  TempDir dir;
  {
    Owner owner;
    TTempMemStream s(fmCreate, dir / "no/such/dir/a.zip");
    owner.Attach(s);
    s.WriteBuffer("abc", 3);
    try {
      s.Destroy();
      FAIL() << "no exception";
    } catch (const EFOpenError& e) {
      EXPECT_STREQ(e.what(), "Error opening file");
    }
    EXPECT_EQ(s.Memory(), nullptr);
    EXPECT_TRUE(owner.calls.empty());
    EXPECT_TRUE(owner.errors.empty());
  }
  if (::access("/dev/full", W_OK) == 0) {
    Owner owner;
    TTempMemStream s(fmCreate, "/dev/full");
    owner.Attach(s);
    s.WriteBuffer("abc", 3);
    EXPECT_THROW(s.Destroy(), EStreamWrite);
    EXPECT_EQ(owner.errors, std::vector<int32_t>{ec::DiskFull});
    EXPECT_EQ(owner.calls.back(), "end");
    EXPECT_EQ(s.Memory(), nullptr);
  }
  {
    Owner owner;
    TTempMemStream s(fmOpenRead, dir / "b.zip");
    owner.Attach(s);
    EXPECT_EQ(s.OpenedName(), dir / "b.zip");
    s.WriteBuffer("abc", 3);
  }
  EXPECT_FALSE(fs::exists(dir / "b.zip"));
}

}  // namespace
}  // namespace arc
