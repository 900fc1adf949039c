//===-- app/db/server_command.cpp - Statements the embedded server runs -*- C++ -*-===//
#include "server_command.h"

#include <cctype>

#include <arc/support/ascii_case.h>
#include "database.h"

namespace app {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Bytes of multi-byte UTF-8 sequences count as letters, so names may be Persian.
bool IsNameStart(char c) {
  const auto u = static_cast<unsigned char>(c);
  return std::isalpha(u) || c == '_' || c == '@' || c == '#' || u >= 0x80;
}

bool IsNamePart(char c) {
  return IsNameStart(c) || std::isdigit(static_cast<unsigned char>(c)) || c == '$';
}

class TCursor {
 public:
  explicit TCursor(std::string_view text) : text_(text) {}

  [[noreturn]] void Fail(std::string_view what) const {
    std::string near(text_.substr(at_, 20));
    throw EDatabaseError("Incorrect syntax near '" + near + "' (offset " + std::to_string(at_) +
                         "): " + std::string(what) +
                         ". The embedded server runs only BACKUP DATABASE <name> TO DISK = "
                         "'<file>', RESTORE DATABASE <name> FROM DISK = '<file>' and RESTORE "
                         "VERIFYONLY FROM DISK = '<file>'.");
  }

  void SkipBlanks() {
    while (at_ < text_.size() && IsBlank(text_[at_])) ++at_;
  }

  void NeedBlanks() {
    if (at_ >= text_.size() || !IsBlank(text_[at_])) Fail("white space expected");
    SkipBlanks();
  }

  bool TryKeyword(std::string_view word) {
    if (text_.size() - at_ < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
      if (arc::ToUpperAscii(text_[at_ + i]) != word[i]) return false;
    }
    const size_t end = at_ + word.size();
    if (end < text_.size() && IsNamePart(text_[end])) return false;
    at_ = end;
    return true;
  }

  void Keyword(std::string_view word) {
    if (!TryKeyword(word)) Fail(std::string(word) + " expected");
  }

  void Char(char c) {
    if (at_ >= text_.size() || text_[at_] != c) Fail(std::string("'") + c + "' expected");
    ++at_;
  }

  std::string Name() {
    std::string name;
    if (at_ < text_.size() && text_[at_] == '[') {
      ++at_;
      for (;;) {
        if (at_ >= text_.size()) Fail("unclosed [");
        const char c = text_[at_++];
        if (c != ']') {
          name += c;
        } else if (at_ < text_.size() && text_[at_] == ']') {
          name += ']';
          ++at_;
        } else {
          break;
        }
      }
    } else {
      if (at_ >= text_.size() || !IsNameStart(text_[at_])) Fail("database name expected");
      while (at_ < text_.size() && IsNamePart(text_[at_])) name += text_[at_++];
    }
    if (name.empty()) Fail("empty database name");
    return name;
  }

  std::string QuotedString() {
    Char('\'');
    std::string value;
    for (;;) {
      if (at_ >= text_.size()) Fail("unclosed quotation mark");
      const char c = text_[at_++];
      if (c != '\'') {
        value += c;
      } else if (at_ < text_.size() && text_[at_] == '\'') {
        value += '\'';
        ++at_;
      } else {
        return value;
      }
    }
  }

  void End() {
    SkipBlanks();
    if (at_ != text_.size()) Fail("end of statement expected");
  }

 private:
  std::string_view text_;
  size_t at_ = 0;
};

}  // namespace

TServerCommand ParseServerCommand(std::string_view text) {
  TCursor cursor(text);
  TServerCommand command;
  cursor.SkipBlanks();
  if (cursor.TryKeyword("BACKUP")) {
    command.kind = TServerCommand::Kind::Backup;
  } else if (cursor.TryKeyword("RESTORE")) {
    command.kind = TServerCommand::Kind::Restore;
  } else {
    cursor.Fail("BACKUP or RESTORE expected");
  }
  cursor.NeedBlanks();
  if (command.kind == TServerCommand::Kind::Restore && cursor.TryKeyword("VERIFYONLY")) {
    command.kind = TServerCommand::Kind::Verify;
  } else {
    cursor.Keyword("DATABASE");
    cursor.NeedBlanks();
    command.database = cursor.Name();
  }
  cursor.NeedBlanks();
  cursor.Keyword(command.kind == TServerCommand::Kind::Backup ? "TO" : "FROM");
  cursor.NeedBlanks();
  cursor.Keyword("DISK");
  cursor.SkipBlanks();
  cursor.Char('=');
  cursor.SkipBlanks();
  command.device = cursor.QuotedString();
  cursor.End();
  return command;
}

}  // namespace app
