//===-- app/texts.h - The program's own texts -------------------*- C++ -*-===//
//
// The Persian texts of the main window and its messages, UTF-8. They are
// written in the Arabic-script letters the product has always used (ك, ي);
// trailing blanks are part of the texts. An '&' marks a button's keyboard
// accelerator (Alt and the letter after it).
//
// Each is marked for Qt's translation tools in the context "texts": the
// English version lives in i18n/P_Restore_en.ts, and Tr() gives the text in
// the language of the run (the Persian one when no translation is loaded).
//
//===----------------------------------------------------------------------===//
#pragma once

#include <QtGlobal>
#include <string>

namespace app::texts {

inline constexpr const char* kFormCaption =
    QT_TRANSLATE_NOOP("texts", "تهيه كپي و بازگرداندن اطلاعات");
inline constexpr const char* kTitle =
    QT_TRANSLATE_NOOP("texts", "تهيه نسخه كپي و يا بازگرداندن اطلاعات از بانك اطلاعاتي ");
inline constexpr const char* kCompanyName = QT_TRANSLATE_NOOP("texts", "نام شركت");
inline constexpr const char* kRestoreButton = QT_TRANSLATE_NOOP("texts", "&بازگرداندن اطلاعات");
inline constexpr const char* kBackupButton = QT_TRANSLATE_NOOP("texts", "ك&پي از اطلاعات");

/// The confirmation before a restore (three lines).
inline constexpr const char* kConfirmRestore[] = {
    QT_TRANSLATE_NOOP(
        "texts", "لطفا قبل از هر گونه عمليات بازگرداني اطلاعات ، يك كپي پشتيبان از اطلاعات برنامه"),
    QT_TRANSLATE_NOOP("texts", ".تهيه نماييد"),
    QT_TRANSLATE_NOOP("texts", "آيا از ادامه عمليات اطمينان داريد؟ "),
};
inline constexpr const char* kSuccess =
    QT_TRANSLATE_NOOP("texts", "عمليات انتخابي با موفقيت انجام شد");
inline constexpr const char* kDuplicateName =
    QT_TRANSLATE_NOOP("texts", "نام انتخابي براي نسخه پشتيبان تكراري است ");

/// The failure of a restore, in place of the duplicate-name line.
inline constexpr const char* kProbablyInUse =
    QT_TRANSLATE_NOOP("texts", ".احتمالا اين بانك توسط كاربر ديگري در حال استفاده ميباشد");
/// A second operation on a company while one runs: it is refused.
inline constexpr const char* kOperationRunning = QT_TRANSLATE_NOOP(
    "texts",
    "عمليات ديگري روي اين بانك اطلاعاتي در حال انجام است؛ لطفا پس از پايان آن دوباره سعي كنيد");
/// A backup that does not read back; the cause follows on a line of its own.
inline constexpr const char* kBackupNotVerified =
    QT_TRANSLATE_NOOP("texts", "كپي تهيه شده قابل بازخواني نيست و پذيرفته نشد");
/// Followed by the name the damaged archive was given.
inline constexpr const char* kDamagedSetAside =
    QT_TRANSLATE_NOOP("texts", "فايل خراب با اين نام كنار گذاشته شد:");
/// While the program waits for the database server to take its login: at
/// start-up in a window of its own, during an operation in the main window.
inline constexpr const char* kConnecting = QT_TRANSLATE_NOOP("texts", "در حال اتصال به سرور ...");

/// Every error the writer or the reader reports.
inline constexpr const char* kArchiveError =
    QT_TRANSLATE_NOOP("texts", "خطا در فشرده سازي اطلاعات");

/// The prompts for the disks of an archive spanned over removable disks; the
/// next-disk text is followed directly by the number of the disk.
inline constexpr const char* kInsertFirstDisk =
    QT_TRANSLATE_NOOP("texts", "لطفا ديسكت شماره  1  را در دستگاه قرار دهيد");
inline constexpr const char* kInsertLastDisk =
    QT_TRANSLATE_NOOP("texts", "لطفا آخرين ديسكت را در دستگاه قرار دهيد");
inline constexpr const char* kInsertNextDisk =
    QT_TRANSLATE_NOOP("texts", "لطفا ديسكت بعدي را در دستگاه قرار دهيد disk# : ");

/// The tip of the close button of the main window.
inline constexpr const char* kCloseButtonTip = QT_TRANSLATE_NOOP("texts", "خروج");
/// The reading direction of the program's windows, as Qt writes it: "RTL", or
/// "LTR" in a left-to-right translation.
inline constexpr const char* kLayoutDirection = QT_TRANSLATE_NOOP("texts", "RTL");

/// The password of backups (BackupPasswordFile=ask) and of an encrypted
/// archive to restore from.
inline constexpr const char* kBackupPasswordCaption =
    QT_TRANSLATE_NOOP("texts", "رمز عبور نسخه پشتيبان");
inline constexpr const char* kBackupPasswordPrompt =
    QT_TRANSLATE_NOOP("texts", "رمز عبور را وارد كنيد:");
inline constexpr const char* kBackupPasswordRepeat =
    QT_TRANSLATE_NOOP("texts", "رمز عبور را دوباره وارد كنيد:");
inline constexpr const char* kPasswordsDiffer =
    QT_TRANSLATE_NOOP("texts", "دو رمز عبور وارد شده يكسان نيستند");
inline constexpr const char* kArchivePasswordPrompt =
    QT_TRANSLATE_NOOP("texts", "رمز عبور فايل فشرده را وارد كنيد:");
/// The password file of P_Restore.ini cannot be used; the cause follows.
inline constexpr const char* kPasswordFileUnusable =
    QT_TRANSLATE_NOOP("texts", "فايل رمز عبور نسخه پشتيبان قابل استفاده نيست");

/// The box that asks where a missing volume of a split archive is.
inline constexpr const char* kNextVolumeCaption = "Enter new drv:\\directory...";
inline constexpr const char* kNextVolumePrompt = "Filename: ";

}  // namespace app::texts

namespace app {

/// `text`, one of the texts above, in the language of the run.
std::string Tr(const char* text);

}  // namespace app
