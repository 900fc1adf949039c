//===-- tests/zip/zip_test_util.h - Folders, files and peer tools -*- C++ -*-===//
//
// The writer's tests build their sources and archives at run time in a
// temporary folder of their own and check the archives with other ZIP tools:
// `unzip -t`, `7z t`, `python3 -m zipfile -t`, and extraction with unzip
// compared byte for byte with the sources.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <arc/core/arc_events.h>
#include <arc/support/byte_source.h>
#include <arc/unzip/unzip.h>
#include <arc/zip/zip.h>
#include "common/test_as_nobody.h"
#include "common/test_peers.h"
#include "common/test_temp_dir.h"
#include "unzip/arc_detect.h"
#include "unzip/end_record.h"
#include "unzip/zip_records.h"

namespace arc::test {

namespace fs = std::filesystem;

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteText(const std::string& path, const std::string& bytes) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

/// `n` bytes from a seeded generator: incompressible, the same on every run.
inline std::string RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(gen() & 0xFF);
  return s;
}

/// Text that deflates well.
inline std::string Text(size_t n, uint32_t seed = 1) {
  static const char* const kWords[] = {"ledger ",  "invoice ", "balance ",
                                       "account ", "2024 ",    "\n"};
  std::mt19937 gen(seed);
  std::string s;
  while (s.size() < n) s += kWords[gen() % 6];
  s.resize(n);
  return s;
}

/// Sets the modification time of `path` (seconds since the epoch).
inline void SetMtime(const std::string& path, time_t when) {
  struct utimbuf t {
    when, when
  };
  utime(path.c_str(), &t);
}

struct ToolResult {
  int status = -1;
  std::string output;
};

/// Runs a shell command; its exit status and what it printed.
inline ToolResult Run(const std::string& command) {
  ToolResult r;
  FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (p == nullptr) return r;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
  const int status = pclose(p);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

inline std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

/// Every file below `root` (relative path -> content); directories end in
/// '/' and map to an empty string.
inline std::map<std::string, std::string> Tree(const std::string& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    std::string rel = fs::relative(entry.path(), root).string();
    if (entry.is_directory()) {
      files[rel + "/"] = "";
    } else {
      files[rel] = ReadText(entry.path().string());
    }
  }
  return files;
}

/// What differs between two trees, by name; empty when they are equal.
inline std::string TreeDiff(const std::map<std::string, std::string>& got,
                            const std::map<std::string, std::string>& want) {
  std::string diff;
  for (const auto& [name, content] : want) {
    auto it = got.find(name);
    if (it == got.end()) {
      diff += "missing " + name + "\n";
    } else if (it->second != content) {
      diff += "differs " + name + "\n";
    }
  }
  for (const auto& [name, content] : got)
    if (want.count(name) == 0) diff += "extra " + name + "\n";
  return diff;
}

/// A component with every report collected.
struct Recorder {
  struct Report {
    std::string file;
    std::string ext;
    int32_t code;
  };
  std::vector<Report> reports;
  void Attach(TZip& zip) {
    zip.OnError = [this](TObject*, const std::string& f, const std::string& x, const std::string&,
                         int32_t c) {
      reports.push_back({f, x, c});
    };
  }
  int Count(int32_t code) const {
    int n = 0;
    for (const Report& r : reports) n += r.code == code;
    return n;
  }
};

/// One central record of an archive as read back.
struct ListedEntry {
  std::string name;  ///< the stored bytes
  CentralHeader header;
  EntryExtent extent;
  std::vector<uint8_t> extra;  ///< the central extra field
};

/// The central directory of `archive`, read with the library's records.
inline std::vector<ListedEntry> ListCentral(const std::string& archive) {
  std::vector<ListedEntry> out;
  FileSource file(archive);
  ArcOpenState open;
  const int64_t at = SearchEndRecord(file, open);
  if (!HasHeader(open.headerState, htCentral)) return out;
  int64_t pos = at;
  while (const auto rec = ReadCentralRecord(file, pos)) {
    out.push_back({std::string(rec->storedName.begin(), rec->storedName.end()), rec->header,
                   rec->extent, rec->extra});
    pos += static_cast<int64_t>(rec->recordLength);
  }
  return out;
}

/// Our own reader's test of every entry; empty when it reported nothing.
inline std::string OurReaderFailures(const std::string& archive, const std::string& password) {
  TUnZip z;
  std::string failures;
  z.OnError = [&](TObject*, const std::string& f, const std::string& x, const std::string&,
                  int32_t c) {
    failures += "our reader: " + std::to_string(c) + " " + f + " " + x + "\n";
  };
  z.SetArchiveFile(archive);
  if (!IsZipType(z.ArcType())) return "our reader: not a ZIP archive\n";
  z.SetFileSpec({"*"});
  z.SetRecurseDirs(true);
  if (!password.empty()) z.SetPasswords({password});
  z.Test();
  return failures;
}

/// The verdicts on an archive of unzip -t, 7z t, Python's zipfile (those that
/// are installed) and our own reader (with the password when one is given).
/// An archive with AES entries goes to 7z and bsdtar instead: unzip and
/// Python's zipfile do not read AES. Empty when all pass; otherwise what the
/// failing ones printed.
inline std::string PeerFailures(const std::string& archive, const std::string& password = "") {
  std::string failures;
  const std::string q = Quote(archive);
  const std::string pw_unzip = password.empty() ? "" : " -P " + Quote(password);
  const std::string pw_7z = password.empty() ? "" : " -p" + Quote(password);
  const std::vector<ListedEntry> entries = ListCentral(archive);
  const bool aes = std::any_of(entries.begin(), entries.end(),
                               [](const ListedEntry& e) { return e.header.method == 99; });
  ToolResult r;
  if (Have("7z") && (r = Run("7z t" + pw_7z + " " + q)).status != 0)
    failures += "7z t: " + r.output;
  if (aes) {
    if (Have("bsdtar") &&
        (r = Run("bsdtar -xOf " + q + " --passphrase " + Quote(password) + " >/dev/null")).status !=
            0)
      failures += "bsdtar: " + r.output;
    return failures + OurReaderFailures(archive, password);
  }
  if (Have("unzip") && (r = Run("unzip -t" + pw_unzip + " " + q)).status != 0)
    failures += "unzip -t: " + r.output;
  if (!Have("python3")) {
    r.status = 0;
  } else if (password.empty()) {
    r = Run("python3 -m zipfile -t " + q);
  } else {
    r = Run("python3 -c " +
            Quote("import sys, zipfile\n"
                  "z = zipfile.ZipFile(sys.argv[1])\n"
                  "z.setpassword(sys.argv[2].encode())\n"
                  "sys.exit(z.testzip() is not None)") +
            " " + q + " " + Quote(password));
  }
  if (r.status != 0) failures += "python zipfile: " + r.output;
  return failures + OurReaderFailures(archive, password);
}

/// Extracts `archive` with unzip into a new folder `into`; its tree.
inline std::map<std::string, std::string> UnzipTree(const std::string& archive,
                                                    const std::string& into,
                                                    const std::string& password = "") {
  fs::create_directories(into);
  const std::string pw = password.empty() ? "" : " -P " + Quote(password);
  Run("unzip -qq -o" + pw + " " + Quote(archive) + " -d " + Quote(into));
  return Tree(into);
}

}  // namespace arc::test
