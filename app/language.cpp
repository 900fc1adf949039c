//===-- app/language.cpp - The language of the windows ----------*- C++ -*-===//
#include "language.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "app/texts.h"

namespace app {

namespace {

// The English texts are built into the program (app/CMakeLists.txt).
constexpr const char* kEnglishTranslation = ":/i18n/P_Restore_en.qm";

bool IsEnglish(const QString& language) {
  return language == "en" || language.startsWith("en-") || language.startsWith("en_");
}

bool Install(const QString& file, const QString& folder = {}) {
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (!translator->load(file, folder)) {
    delete translator;
    return false;
  }
  QCoreApplication::installTranslator(translator);
  return true;
}

}  // namespace

std::string Tr(const char* text) {
  return QCoreApplication::translate("texts", text).toStdString();
}

Qt::LayoutDirection ReadingDirection() {
  return Tr(texts::kLayoutDirection) == "LTR" ? Qt::LeftToRight : Qt::RightToLeft;
}

TLanguageChoice TakeLanguageOption(std::vector<std::string>& arguments,
                                   const QStringList& uiLanguages) {
  TLanguageChoice choice;
  choice.Language = !uiLanguages.isEmpty() && IsEnglish(uiLanguages.first()) ? TLanguage::English
                                                                             : TLanguage::Persian;
  for (size_t i = 0; i < arguments.size(); ++i) {
    std::string value;
    size_t taken = 1;
    if (arguments[i] == "--lang") {
      if (i + 1 >= arguments.size()) {
        choice.Error = "--lang needs a language (fa or en)";
        arguments.erase(arguments.begin() + static_cast<std::ptrdiff_t>(i));
        return choice;
      }
      value = arguments[i + 1];
      taken = 2;
    } else if (arguments[i].starts_with("--lang=")) {
      value = arguments[i].substr(7);
    } else {
      continue;
    }
    if (value == "fa") {
      choice.Language = TLanguage::Persian;
    } else if (value == "en") {
      choice.Language = TLanguage::English;
    } else {
      choice.Error = "unknown language '" + value + "' (fa or en)";
    }
    const auto first = arguments.begin() + static_cast<std::ptrdiff_t>(i);
    arguments.erase(first, first + static_cast<std::ptrdiff_t>(taken));
    --i;
  }
  return choice;
}

std::string LanguageUsageText() {
  return "\n"
         "--lang fa|en (before or after the others) chooses the language of the window\n"
         "and the messages: Persian, the default, or English, which is also chosen by\n"
         "an English locale (LANG=en_US.UTF-8).\n";
}

bool InstallTranslations(TLanguage language) {
  bool loaded = true;
  if (language == TLanguage::Persian) {
    loaded = Install("qtbase_fa", QLibraryInfo::path(QLibraryInfo::TranslationsPath));
  } else {
    loaded = Install(kEnglishTranslation);
  }
  QGuiApplication::setLayoutDirection(ReadingDirection());
  return loaded;
}

}  // namespace app
