//===-- tests/common/test_as_nobody.h - Running a test step unprivileged -*- C++ -*-===//
//
// Permissions mean nothing to root, and the tests usually run as root. A step
// whose outcome depends on them runs in a forked child that has dropped to
// the unprivileged user 65534 (or, when the tests run unprivileged already,
// stays the user it is). The child reports through its exit status only.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include <gtest/gtest.h>

namespace arc::test {

inline constexpr uid_t kNobody = 65534;

/// Runs `body` in a child process as user and group 65534; its result is the
/// exit status (keep it below 126), -1 when the child could not run.
inline int RunAsNobody(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
      ::_exit(126);
    }
    ::_exit(body());
  }
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

/// Hands `path` and everything below it to user 65534, and lets others
/// pass through its parent folders (a scratch folder is its owner's only).
inline void GiveToNobody(const std::string& path) {
  namespace fs = std::filesystem;
  if (::geteuid() != 0) return;
  std::error_code ec;
  for (fs::path p = fs::path(path).parent_path(); p != p.root_path(); p = p.parent_path()) {
    fs::permissions(p, fs::perms::others_exec, fs::perm_options::add, ec);
  }
  for (auto it = fs::recursive_directory_iterator(path, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (::lchown(it->path().c_str(), kNobody, kNobody) != 0)
      ADD_FAILURE() << "chown " << it->path();
  }
  if (::lchown(path.c_str(), kNobody, kNobody) != 0) ADD_FAILURE() << "chown " << path;
}

}  // namespace arc::test
