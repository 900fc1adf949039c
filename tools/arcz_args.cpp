//===-- tools/arcz_args.cpp - Command line of arcz ------------------------===//
#include <cstdlib>
#include <cstring>
#include <string>

#include "arcz_cli.h"

namespace arcz {
namespace {

/// The options each command takes ("-0" stands for -0 .. -9).
bool Takes(const std::string& command, const std::string& option) {
  static const struct {
    const char* command;
    std::vector<std::string> options;
  } kTable[] = {
      {"l", {"-v"}},
      {"t", {"-p", "-q", "-j"}},
      {"x", {"-d", "-p", "-o", "-n", "-q", "-j"}},
      {"a", {"-r", "-0", "--store", "-p", "--zipcrypto", "-m", "-u", "-j", "-q"}},
      {"d", {"-q"}},
  };
  for (const auto& row : kTable) {
    if (command == row.command) {
      for (const std::string& o : row.options) {
        if (o == option) return true;
      }
    }
  }
  return false;
}

bool IsKnownOption(const std::string& option) {
  for (const char* c : {"l", "t", "x", "a", "d"}) {
    if (Takes(c, option)) return true;
  }
  return false;
}

bool IsLevel(const std::string& a) {
  return a.size() == 2 && a[0] == '-' && a[1] >= '0' && a[1] <= '9';
}

}  // namespace

bool ParseArgs(const std::vector<std::string>& args, Options& o, std::string& error) {
  if (args.empty()) {
    error = "no command given";
    return false;
  }
  const std::string& command = args[0];
  if (command != "l" && command != "t" && command != "x" && command != "a" && command != "d") {
    error = "unknown command '" + command + "'";
    return false;
  }
  o.command = command;
  bool namesOnly = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool option = !namesOnly && arg.size() > 1 && arg[0] == '-';
    if (!option) {
      (o.archive.empty() ? o.archive : o.names.emplace_back()) = arg;
      continue;
    }
    if (arg == "--") {
      namesOnly = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      o.help = true;
      return true;
    }
    const std::string key = IsLevel(arg) ? "-0" : arg;
    if (!Takes(o.command, key)) {
      error = IsKnownOption(key) ? "option " + arg + " does not go with '" + o.command + "'"
                                 : "unknown option " + arg;
      return false;
    }
    if (key == "-j") {
      // A count of threads: 0 (one per core) up to a sane bound.
      constexpr unsigned long kMaxThreads = 256;
      const std::string value = i + 1 < args.size() ? args[i + 1] : std::string();
      char* end = nullptr;
      const unsigned long n = std::strtoul(value.c_str(), &end, 10);
      if (value.empty() || value[0] < '0' || value[0] > '9' || *end != '\0' || n > kMaxThreads) {
        error = "option -j needs a number of threads from 0 (one per core) to " +
                std::to_string(kMaxThreads);
        return false;
      }
      o.threads = static_cast<unsigned>(n);
      ++i;
    } else if (key == "-d" || key == "-p") {
      if (i + 1 >= args.size()) {
        error = "option " + arg + " needs a value";
        return false;
      }
      (key == "-d" ? o.dir : o.password) = args[++i];
      o.havePassword = o.havePassword || key == "-p";
    } else if (key == "-0") {
      o.level = arg[1];
    } else if (key == "-o" || key == "-n") {
      const Overwrite wanted = key == "-o" ? Overwrite::All : Overwrite::Never;
      if (o.overwrite != Overwrite::Ask && o.overwrite != wanted) {
        error = "options -o and -n do not go together";
        return false;
      }
      o.overwrite = wanted;
    } else {
      bool& flag = key == "-v"            ? o.verbose
                   : key == "-q"          ? o.quiet
                   : key == "-r"          ? o.recurse
                   : key == "--store"     ? o.store
                   : key == "--zipcrypto" ? o.zipCrypto
                   : key == "-m"          ? o.move
                                          : o.refresh;
      flag = true;
    }
  }
  if (o.archive.empty()) {
    error = "no archive given";
    return false;
  }
  if (!o.names.empty() && (o.command == "l" || o.command == "t")) {
    error = "masks go only with 'x' and 'd'";
    return false;
  }
  if (o.names.empty() && o.command == "a") {
    error = "no file or folder to add";
    return false;
  }
  if (o.names.empty() && o.command == "d") {
    error = "no mask of entries to delete";
    return false;
  }
  if (o.zipCrypto && !o.havePassword) {
    error = "option --zipcrypto goes only with -p";
    return false;
  }
  if (o.move && o.refresh) {
    error = "options -m and -u do not go together";
    return false;
  }
  return true;
}

}  // namespace arcz
