//===-- app/language.h - The language of the windows ------------*- C++ -*-===//
//
// The program speaks Persian, right to left. A user whose language is English
// (LANG=en_US.UTF-8, say) or who starts it with `--lang en` gets the English
// version of its texts, left to right; `--lang fa` keeps Persian whatever the
// locale. In Persian, Qt's own dialogs and buttons (the file dialogs, the
// input box) come in Persian too, from Qt's translation qtbase_fa (Debian
// package qt6-translations-l10n).
//
//===----------------------------------------------------------------------===//
#pragma once

#include <QStringList>
#include <Qt>
#include <cstdint>
#include <string>
#include <vector>

namespace app {

enum class TLanguage : uint8_t { Persian, English };

struct TLanguageChoice {
  TLanguage Language = TLanguage::Persian;
  std::string Error;  ///< not empty when the option was given wrong
};

/// Takes `--lang LANG` or `--lang=LANG` (fa or en) out of `arguments`. Without
/// it the first of the user's languages (QLocale::uiLanguages()) decides:
/// English for "en" and its regional forms, Persian for everything else.
TLanguageChoice TakeLanguageOption(std::vector<std::string>& arguments,
                                   const QStringList& uiLanguages);

/// The lines --help adds for the option.
std::string LanguageUsageText();

/// The reading direction of the texts in the language of the run: right to
/// left unless a left-to-right translation is loaded.
Qt::LayoutDirection ReadingDirection();

/// Loads the translations of `language` into the application object and sets
/// its reading direction. Returns false when a translation file could not be
/// loaded (the texts then stay as they are).
bool InstallTranslations(TLanguage language);

}  // namespace app
