//===-- support/drive_linux.cpp - The drives of this machine ----*- C++ -*-===//
#include "support/drive_linux.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

#include <arc/support/paths.h>

extern char** environ;

namespace arc {
namespace {

namespace fs = std::filesystem;

struct MountEntry {
  std::string mountPoint;  // without trailing '/', except for "/"
  std::string fsType;
  std::string source;
  unsigned devMajor = 0;
  unsigned devMinor = 0;
};

// mountinfo escapes space, tab, newline and backslash as \ooo.
std::string UnescapeOctal(std::string_view s) {
  std::string r;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '3' && s[i + 2] >= '0' &&
        s[i + 2] <= '7' && s[i + 3] >= '0' && s[i + 3] <= '7') {
      r += char((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
      i += 3;
    } else {
      r += s[i];
    }
  }
  return r;
}

std::vector<MountEntry> ReadMounts() {
  std::vector<MountEntry> mounts;
  std::ifstream in("/proc/self/mountinfo");
  std::string line;
  while (std::getline(in, line)) {
    // id parent major:minor root mountpoint options [optional...] - fstype source superopts
    std::istringstream f(line);
    std::string id, parent, devno, mroot, point;
    if (!(f >> id >> parent >> devno >> mroot >> point)) continue;
    std::string word;
    while (f >> word && word != "-") {
    }
    MountEntry m;
    if (!(f >> m.fsType >> m.source)) continue;
    m.mountPoint = UnescapeOctal(point);
    m.source = UnescapeOctal(m.source);
    std::sscanf(devno.c_str(), "%u:%u", &m.devMajor, &m.devMinor);
    mounts.push_back(std::move(m));
  }
  return mounts;
}

bool Covers(const std::string& mountPoint, const std::string& path) {
  if (mountPoint == "/") return true;
  return path.compare(0, mountPoint.size(), mountPoint) == 0 &&
         (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}

// The innermost mount holding `canonical`; a later mount on the same point
// hides an earlier one.
bool FindMount(const std::string& canonical, MountEntry& found) {
  bool any = false;
  for (MountEntry& m : ReadMounts()) {
    if (Covers(m.mountPoint, canonical) &&
        (!any || m.mountPoint.size() >= found.mountPoint.size())) {
      found = std::move(m);
      any = true;
    }
  }
  return any;
}

// The real path of the deepest existing ancestor of `path` (the archive a
// writer is about to create does not exist yet).
std::string ExistingCanonical(const std::string& path) {
  fs::path p = ExpandPath(path);
  std::error_code ec;
  while (true) {
    fs::path c = fs::canonical(p, ec);
    if (!ec) return c.string();
    if (!p.has_relative_path()) return "/";
    p = p.parent_path();
  }
}

std::string RootKey(const std::string& root) { return root.size() > 1 ? RemoveSlash(root) : root; }

bool MountAt(const std::string& root, MountEntry& m) {
  std::string key = RootKey(root);
  return FindMount(key, m) && m.mountPoint == key;
}

std::string ReadFirstLine(const std::string& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

bool IsRemovableDevice(unsigned major, unsigned minor) {
  std::error_code ec;
  fs::path dev =
      fs::canonical("/sys/dev/block/" + std::to_string(major) + ":" + std::to_string(minor), ec);
  if (ec) return false;
  if (fs::exists(dev / "partition", ec)) dev = dev.parent_path();
  return ReadFirstLine((dev / "removable").string()) == "1";
}

int32_t DriveTypeOf(const MountEntry& m) {
  static constexpr std::string_view kRemote[] = {
      "nfs", "nfs4", "cifs",      "smb3",       "smbfs", "ncpfs",       "9p",
      "afs", "ceph", "glusterfs", "fuse.sshfs", "sshfs", "fuse.davfs2", "davfs"};
  for (std::string_view t : kRemote) {
    if (m.fsType == t) return KDriveRemote;
  }
  if (m.fsType == "iso9660" || m.fsType == "udf") return KDriveCdRom;
  if (m.fsType == "tmpfs" || m.fsType == "ramfs") return KDriveRamDisk;
  if (m.source.rfind("/dev/sr", 0) == 0) return KDriveCdRom;
  if (m.devMajor != 0 && IsRemovableDevice(m.devMajor, m.devMinor)) return KDriveRemovable;
  return KDriveFixed;
}

// udev writes unsafe bytes of link names as \xHH.
std::string UnescapeHex(std::string_view s) {
  std::string r;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x' &&
        std::isxdigit(static_cast<unsigned char>(s[i + 2])) &&
        std::isxdigit(static_cast<unsigned char>(s[i + 3]))) {
      r += char(std::stoi(std::string(s.substr(i + 2, 2)), nullptr, 16));
      i += 3;
    } else {
      r += s[i];
    }
  }
  return r;
}

// The name of the link in `dir` that points at `device`, or empty.
std::string LinkNameFor(const std::string& dir, const std::string& device) {
  std::error_code ec;
  for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    std::error_code ec2;
    if (fs::canonical(it->path(), ec2) == device && !ec2)
      return UnescapeHex(it->path().filename().string());
  }
  return {};
}

// Runs a program (no shell) and collects its standard output; false unless it
// exits with 0.
bool Run(const std::vector<std::string>& argv, std::string* out) {
  int pipefd[2];
  if (pipe2(pipefd, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipefd[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipefd[1]);
  if (rc != 0) {
    close(pipefd[0]);
    return false;
  }
  std::string text;
  char buf[4096];
  for (;;) {
    ssize_t n = read(pipefd[0], buf, sizeof buf);
    if (n > 0) {
      if (text.size() < (1u << 16)) text.append(buf, size_t(n));
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  close(pipefd[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (out != nullptr) *out = std::move(text);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// LABEL=... and UUID=... from `blkid -o export`, which escapes with '\'.
void LabelAndUuidFromBlkid(const std::string& device, std::string& label, std::string& uuid) {
  std::string out;
  if (!Run({"blkid", "-o", "export", "--", device}, &out)) return;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    std::string value;
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    for (size_t i = eq + 1; i < line.size(); ++i) {
      if (line[i] == '\\' && i + 1 < line.size()) ++i;
      value += line[i];
    }
    std::string key = line.substr(0, eq);
    if (key == "LABEL") label = value;
    if (key == "UUID") uuid = value;
  }
}

}  // namespace

uint32_t SerialFromUuid(std::string_view uuid) {
  std::string hex;
  for (char c : uuid) {
    if (std::isxdigit(static_cast<unsigned char>(c))) hex += c;
  }
  if (hex.empty()) return 0;
  if (hex.size() == 16)
    hex = hex.substr(8);
  else if (hex.size() > 8)
    hex = hex.substr(0, 8);
  return uint32_t(std::stoul(hex, nullptr, 16));
}

std::string LinuxDriveService::DriveRoot(const std::string& path) {
  MountEntry m;
  if (!FindMount(ExistingCanonical(path.empty() ? std::string(".") : path), m)) return {};
  return AppendSlash(m.mountPoint);
}

bool LinuxDriveService::IsReady(const std::string& root) {
  struct statvfs sv {};
  return statvfs(root.c_str(), &sv) == 0;
}

bool LinuxDriveService::IsWriteProtected(const std::string& root) {
  struct statvfs sv {};
  return statvfs(root.c_str(), &sv) == 0 && (sv.f_flag & ST_RDONLY) != 0;
}

bool LinuxDriveService::ReadVolume(const std::string& root, DriveInfo& info, std::string& error) {
  struct statvfs sv {};
  if (statvfs(root.c_str(), &sv) != 0) {
    error = std::strerror(errno);
    return false;
  }
  MountEntry m;
  if (!MountAt(root, m)) {
    info.driveType = KDriveNoRootDir;
    return true;
  }
  info.maxComponentLength = uint32_t(sv.f_namemax);
  info.fileSystemFlags = uint32_t(sv.f_flag);
  info.fileSystemName = m.fsType;
  info.driveType = DriveTypeOf(m);
  if (m.source.rfind("/dev/", 0) == 0) {
    std::error_code ec;
    std::string device = fs::canonical(m.source, ec).string();
    if (ec) device = m.source;
    std::string label = LinkNameFor("/dev/disk/by-label", device);
    std::string uuid = LinkNameFor("/dev/disk/by-uuid", device);
    if (label.empty() || uuid.empty()) {
      std::string l, u;
      LabelAndUuidFromBlkid(device, l, u);
      if (label.empty()) label = l;
      if (uuid.empty()) uuid = u;
    }
    info.volumeLabel = label;
    info.serialNumber = SerialFromUuid(uuid);
  }
  return true;
}

bool LinuxDriveService::ReadSpace(const std::string& root, int64_t& freeBytes,
                                  int64_t& totalBytes) {
  struct statvfs sv {};
  if (statvfs(root.c_str(), &sv) != 0) return false;
  freeBytes = int64_t(sv.f_bavail) * int64_t(sv.f_frsize);
  totalBytes = int64_t(sv.f_blocks) * int64_t(sv.f_frsize);
  return true;
}

bool LinuxDriveService::SetVolumeLabel(const std::string& root, const std::string& label) {
  MountEntry m;
  if (!MountAt(root, m) || m.source.rfind("/dev/", 0) != 0) return false;
  if (m.fsType == "vfat" || m.fsType == "msdos")
    return Run({"fatlabel", "--", m.source, label}, nullptr);
  if (m.fsType == "exfat") return Run({"exfatlabel", m.source, label}, nullptr);
  return false;
}

bool LinuxDriveService::ClearDisk(const std::string& root) {
  MountEntry m;
  // Never on a fixed disk: this removes everything below the mount point.
  if (!MountAt(root, m) || DriveTypeOf(m) != KDriveRemovable) return false;
  std::error_code ec;
  bool ok = true;
  for (auto it = fs::directory_iterator(root, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    std::error_code ec2;
    fs::remove_all(it->path(), ec2);
    ok = ok && !ec2;
  }
  return ok && !ec;
}

std::vector<std::string> LocalDriveRoots() {
  static constexpr std::string_view kKernelTypes[] = {
      "proc",      "sysfs",   "cgroup",      "cgroup2",  "devpts",     "devtmpfs", "mqueue",
      "debugfs",   "tracefs", "securityfs",  "pstore",   "bpf",        "configfs", "fusectl",
      "hugetlbfs", "autofs",  "binfmt_misc", "efivarfs", "rpc_pipefs", "nsfs",     "selinuxfs"};
  static constexpr std::string_view kSystemTrees[] = {"/dev", "/proc", "/sys", "/run"};
  std::vector<std::string> roots;
  for (const MountEntry& m : ReadMounts()) {
    bool kernel = false;
    for (std::string_view t : kKernelTypes) kernel = kernel || m.fsType == t;
    for (std::string_view t : kSystemTrees) kernel = kernel || Covers(std::string(t), m.mountPoint);
    if (kernel) continue;
    int32_t type = DriveTypeOf(m);
    if (type == KDriveFixed || type == KDriveRemote || type == KDriveCdRom || type == KDriveRamDisk)
      roots.push_back(AppendSlash(m.mountPoint));
  }
  std::sort(roots.begin(), roots.end());
  roots.erase(std::unique(roots.begin(), roots.end()), roots.end());
  return roots;
}

DriveService& DefaultDriveService() {
  static LinuxDriveService service;
  return service;
}

}  // namespace arc
