#include "zip/file_scan.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <arc/support/paths.h>
#include "common/test_temp_dir.h"

namespace arc {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// What a scan handed to its per-entry handler, as paths relative to the scratch folder.
std::set<std::string> Found(const TArcFileScan& scan, const TempDir& tmp) {
  std::set<std::string> r;
  for (int32_t i = 0; i < scan.Files().Count(); ++i) {
    const TFileObject& f = scan.Files()[i];
    r.insert((f.FilePath + f.FileName).substr(tmp.slashed().size()));
  }
  return r;
}

using Set = std::set<std::string>;

class FileScan : public ::testing::Test {
 protected:
  FileScan() {
    tmp.Write("data/a.txt", "aaaa");
    tmp.Write("data/b.doc", "bb");
    tmp.Write("data/README");
    tmp.Write("data/.profile");
    tmp.Write("data/sub/c.txt", "c");
    tmp.Write("data/.cache/d.txt");
    scan.OnRootDirChange = [this](TObject*, const std::string& dir) { roots.push_back(dir); };
    scan.OnFinished = [this](TObject*, int32_t count, int64_t size) {
      finished.emplace_back(count, size);
    };
  }
  std::string Data() const { return tmp / "data/"; }

  TempDir tmp;
  TArcFileScan scan;
  std::vector<std::string> roots;
  std::vector<std::pair<int32_t, int64_t>> finished;
};

TEST_F(FileScan, LinesOfOneFolderAreScannedOnceWithMergedMasks) {
  std::vector<std::pair<std::string, std::vector<std::string>>> groups;
  scan.SetRootScanHandler([&](const std::string& dir, const MultiMasks& masks) {
    std::vector<std::string> texts;
    for (const TMultiMask& m : masks) texts.push_back(m.Text());
    groups.emplace_back(dir, texts);
  });
  scan.SetRootDir("/r");
  scan.SetFileSpec({Data() + "*.txt", "  ", Data() + "*", "*.txt", "/other/a*.txt", "/other/*.txt",
                    "*.doc", "/other/b*.txt", "/other/*.*", Data() + "x.*"});
  scan.Scan();
  ASSERT_EQ(groups.size(), 4u);
  EXPECT_EQ(groups[0].first, Data());
  EXPECT_EQ(groups[0].second, std::vector<std::string>{"*"});
  // A line without a folder takes RootDir but never joins another line.
  EXPECT_EQ(groups[1].first, "/r/");
  EXPECT_EQ(groups[1].second, std::vector<std::string>{"*.txt"});
  EXPECT_EQ(groups[2].first, "/other/");
  EXPECT_EQ(groups[2].second, std::vector<std::string>{"*"});  // "*.*" covers them all
  EXPECT_EQ(groups[3].first, "/r/");
  EXPECT_EQ(groups[3].second, std::vector<std::string>{"*.doc"});
  EXPECT_EQ(roots, (std::vector<std::string>{Data(), "/r/", "/other/", "/r/"}));
  EXPECT_TRUE(scan.FileSpec().empty());
  EXPECT_EQ(finished.size(), 1u);
}

TEST_F(FileScan, FolderNamesDifferingInCaseAreTwoGroups) {
  int groups = 0;
  scan.SetRootScanHandler([&](const std::string&, const MultiMasks&) { ++groups; });
  scan.SetFileSpec({"/x/data/*.txt", "/x/DATA/*"});
  scan.Scan();
  EXPECT_EQ(groups, 2);
}

TEST_F(FileScan, RecursesAndSkipsHiddenFoldersByDefault) {
  scan.SetFileSpec({Data() + "*.txt"});
  scan.Scan();
  EXPECT_EQ(Found(scan, tmp), (Set{"data/a.txt", "data/sub/c.txt"}));
  EXPECT_EQ(scan.FilesCount(), 2);
  EXPECT_EQ(scan.FilesSize(), 5);
  EXPECT_EQ(finished, (std::vector<std::pair<int32_t, int64_t>>{{2, 5}}));

  // Accepting hidden entries takes the hidden folder as an entry but does
  // not open it.
  scan.SetAttribute(fsHidden, true);
  scan.SetFileSpec({Data() + "*.txt"});
  scan.Scan();
  EXPECT_EQ(Found(scan, tmp), (Set{"data/a.txt", "data/sub/c.txt", "data/.cache/"}));

  scan.SetIncludeHiddenDirs(true);
  scan.SetFileSpec({Data() + "*.txt"});
  scan.Scan();
  EXPECT_EQ(Found(scan, tmp),
            (Set{"data/a.txt", "data/sub/c.txt", "data/.cache/", "data/.cache/d.txt"}));

  scan.SetAttribute(fsHidden, false);
  scan.SetRecurseDirs(false);
  scan.SetFileSpec({Data() + "*.txt"});
  scan.Scan();
  EXPECT_EQ(Found(scan, tmp), (Set{"data/a.txt"}));
}

TEST_F(FileScan, StarDotStarTakesDotlessNamesAndDirectoriesComeWithTheirAttribute) {
  scan.SetRecurseDirs(false);
  scan.SetFileSpec({Data() + "*.*"});
  scan.Scan();
  EXPECT_EQ(Found(scan, tmp), (Set{"data/a.txt", "data/b.doc", "data/README", "data/.profile"}));

  scan.SetAttribute(fsDirectory, true);
  scan.SetAttributesEx({fsHidden});
  scan.SetFileSpec({Data() + "*.txt"});
  scan.Scan();
  // Folders are taken whatever the masks say; hidden entries are kept out.
  EXPECT_EQ(Found(scan, tmp), (Set{"data/a.txt", "data/sub/"}));
  for (int32_t i = 0; i < scan.Files().Count(); ++i) {
    if (scan.Files()[i].FileName.empty()) {
      EXPECT_EQ(scan.Files()[i].FilePath, Data() + "sub/");
    }
  }
}

TEST_F(FileScan, WithoutFileSpecTheRootFolderIsScannedWithStar) {
  scan.SetRootDir(Data() + "sub");
  EXPECT_EQ(scan.RootDir(), Data() + "sub/");
  scan.Scan();
  EXPECT_EQ(Found(scan, tmp), (Set{"data/sub/c.txt"}));
  EXPECT_EQ(finished.size(), 1u);

  scan.SetRootDir(tmp / "missing");
  scan.Scan();
  EXPECT_EQ(scan.Files().Count(), 0);
  EXPECT_EQ(finished.size(), 1u);  // nothing scanned, nothing finished
}

TEST_F(FileScan, EventsHandlersAndMissingFolders) {
  std::vector<std::string> entered;
  std::vector<std::string> scanned;
  int pumps = 0;
  scan.OnRecurseDir = [&](TObject*, const std::string& dir) { entered.push_back(dir); };
  scan.OnScanFile = [&](TObject* sender, const std::string& name, int32_t count, int64_t) {
    EXPECT_EQ(sender, &scan);
    scanned.push_back(name + ":" + std::to_string(count));
  };
  scan.processMessages = [&] { ++pumps; };
  std::vector<std::string> paths;
  scan.SetEntryHandler(
      [&](const std::string& path, const SearchRec& rec) { paths.push_back(path + rec.name); });
  scan.SetFileSpec({tmp / "nowhere/*", Data() + "sub/*"});
  scan.Scan();
  EXPECT_EQ(entered, (std::vector<std::string>{tmp / "nowhere/", Data() + "sub/"}));
  EXPECT_EQ(scanned, std::vector<std::string>{"c.txt:1"});
  EXPECT_EQ(paths, std::vector<std::string>{Data() + "sub/c.txt"});
  EXPECT_EQ(scan.Files().Count(), 0);  // the replaced handler collects instead
  EXPECT_GE(pumps, 1);

  paths.clear();
  scan.SetUpdateList(false);
  scan.SetFileSpec({Data() + "sub/*"});
  scan.Scan();
  EXPECT_TRUE(paths.empty());
  EXPECT_EQ(scan.FilesCount(), 1);
}

TEST_F(FileScan, CancelStopsTheScanButStillFinishes) {
  bool ownerCancel = false;
  scan.SetCancelFlag(&ownerCancel);
  scan.OnScanFile = [&](TObject*, const std::string&, int32_t, int64_t) { scan.Cancel(); };
  scan.SetRecurseDirs(false);
  scan.SetFileSpec({Data() + "*", tmp / "other/*"});
  scan.Scan();
  EXPECT_TRUE(ownerCancel);
  EXPECT_EQ(scan.FilesCount(), 1);
  EXPECT_EQ(finished.size(), 1u);
  EXPECT_EQ(scan.FileSpec(), std::vector<std::string>{tmp / "other/*"});
}

TEST_F(FileScan, LinksToFoldersAreNotFollowedAndSpecialFilesAreSkipped) {
  fs::create_directory_symlink(Data(), Data() + "sub/loop");
  tmp.Write("data/sub/target.bin", "12345");
  fs::create_symlink(Data() + "sub/target.bin", Data() + "link.bin");
  ASSERT_EQ(mkfifo((Data() + "pipe.bin").c_str(), 0600), 0);  // reading it would block
  scan.SetFileSpec({Data() + "*.bin"});
  scan.Scan();
  EXPECT_EQ(Found(scan, tmp), (Set{"data/link.bin", "data/sub/target.bin"}));
  EXPECT_EQ(scan.FilesSize(), 10);
}

TEST_F(FileScan, CollectedEntriesCarrySizeAttributesAndDosTime) {
  std::string ro = Data() + "sub/c.txt";
  ASSERT_TRUE(SetFileReadOnly(ro, true));
  scan.SetFileSpec({Data() + "sub/*"});
  scan.Scan();
  ASSERT_EQ(scan.Files().Count(), 1);
  const TFileObject& f = scan.Files()[0];
  EXPECT_EQ(f.FileName, "c.txt");
  EXPECT_EQ(f.FilePath, Data() + "sub/");
  EXPECT_EQ(f.Size(), 1);
  EXPECT_EQ(f.Attributes, faArchive | faReadOnly);
  EXPECT_NE(f.DateTime, 0u);

  // Re-sorting a filled list tells the owner again.
  scan.SetSorted(soByName);
  EXPECT_EQ(finished.size(), 2u);
}

TEST(ScanFilters, HowAttributesSelectFiles) {
  const TArcFileAttrs defaults{fsZeroAttr, fsReadOnly, fsArchive, fsCompressed, fsEncrypted};
  auto pass = [&](uint32_t attr, TArcFileAttrs ex = {}) {
    return TArcFileScan::PassesFilters(defaults, ex, attr);
  };
  EXPECT_TRUE(pass(0));
  EXPECT_TRUE(pass(faNormal));
  EXPECT_TRUE(pass(faArchive));
  EXPECT_FALSE(pass(faHidden));
  EXPECT_FALSE(pass(faDirectory));
  EXPECT_FALSE(pass(faSysFile));
  for (uint32_t extra : {faReadOnly, faArchive, faCompressed, faEncrypted, faNotContentIndexed})
    EXPECT_TRUE(pass(faHidden | extra)) << extra;
  EXPECT_FALSE(pass(faSysFile | faArchive, {fsSysFile}));
  EXPECT_FALSE(pass(faArchive | faNotContentIndexed, {fsArchive}));
  EXPECT_FALSE(AttributesMatch({fsVolumeID}, kFaVolumeId));  // a volume label is never selected
}

std::unique_ptr<TFileObject> Obj(const std::string& name, const std::string& path,
                                 uint64_t size = 0, uint32_t dos = 0) {
  auto o = std::make_unique<TFileObject>();
  o->FileName = name;
  o->FilePath = path;
  o->SizeLow = uint32_t(size);
  o->SizeHigh = uint32_t(size >> 32);
  o->DateTime = dos;
  return o;
}

std::vector<std::string> Names(const TFilesList& l) {
  std::vector<std::string> r;
  for (int32_t i = 0; i < l.Count(); ++i) r.push_back(l[i].FilePath + l[i].FileName);
  return r;
}

TEST(FilesList, InsertionOrderAndSortOptions) {
  TFilesList l;
  l.SetSorted(soByName);
  l.Add(Obj("same", "/first/"));
  l.Add(Obj("b.txt", "/"));
  l.Add(Obj("same", "/second/"));  // equal names: the newer goes first
  l.Add(Obj("A.doc", "/"));
  EXPECT_EQ(Names(l),
            (std::vector<std::string>{"/A.doc", "/b.txt", "/second/same", "/first/same"}));

  l.SetCaseSensitive(true);
  l.Add(Obj("a.zip", "/"));
  EXPECT_EQ(Names(l)[0], "/A.doc");

  l.SetSorted(soByType);
  EXPECT_EQ(Names(l).front().substr(Names(l).front().size() - 4), "same");  // no extension first
  EXPECT_EQ(Names(l).back(), "/a.zip");

  TFilesList s;
  s.SetSorted(soBySize);
  s.Add(Obj("big", "/", 0x1'0000'0010ull));  // over 4 GiB: low word is small
  s.Add(Obj("huge", "/", 0x8000'0000ull));   // 2 GiB: negative as a signed low word
  s.Add(Obj("small", "/", 100));
  EXPECT_EQ(Names(s), (std::vector<std::string>{"/small", "/huge", "/big"}));

  TFilesList t;
  t.Add(Obj("2050", "/", 0, 70u << 25));  // DOS year 2050 has the top bit set
  t.Add(Obj("1999", "/", 0, 19u << 25));
  t.SetSorted(soByTime);
  EXPECT_EQ(Names(t), (std::vector<std::string>{"/1999", "/2050"}));

  t.Delete(5);
  t.Delete(-1);
  EXPECT_EQ(t.Count(), 2);
  t.Delete(0);
  EXPECT_EQ(Names(t), std::vector<std::string>{"/2050"});
  t.Clear();
  EXPECT_EQ(t.Count(), 0);
}

}  // namespace
}  // namespace arc
