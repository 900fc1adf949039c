//===-- app/texts.h - The program's own texts -------------------*- C++ -*-===//
//
// The Persian texts of the main window and its messages, UTF-8. They are
// written in the Arabic-script letters the product has always used (ك, ي);
// trailing blanks are part of the texts.
//
//===----------------------------------------------------------------------===//
#pragma once

namespace app::texts {

inline constexpr const char* kFormCaption = "تهيه كپي و بازگرداندن اطلاعات";
inline constexpr const char* kTitle = "تهيه نسخه كپي و يا بازگرداندن اطلاعات از بانك اطلاعاتي ";
inline constexpr const char* kCompanyName = "نام شركت";
inline constexpr const char* kRestoreButton = "بازگرداندن اطلاعات";
inline constexpr const char* kBackupButton = "كپي از اطلاعات";

/// The confirmation before a restore (three lines).
inline constexpr const char* kConfirmRestore[] = {
    "لطفا قبل از هر گونه عمليات بازگرداني اطلاعات ، يك كپي پشتيبان از اطلاعات برنامه",
    ".تهيه نماييد",
    "آيا از ادامه عمليات اطمينان داريد؟ ",
};
inline constexpr const char* kSuccess = "عمليات انتخابي با موفقيت انجام شد";
inline constexpr const char* kDuplicateName = "نام انتخابي براي نسخه پشتيبان تكراري است ";

/// The failure of a restore, in place of the duplicate-name line.
inline constexpr const char* kProbablyInUse = ".احتمالا اين بانك توسط كاربر ديگري در حال استفاده ميباشد";
/// A second operation on a company while one runs: it is refused.
inline constexpr const char* kOperationRunning =
    "عمليات ديگري روي اين بانك اطلاعاتي در حال انجام است؛ لطفا پس از پايان آن دوباره سعي كنيد";
/// A backup that does not read back; the cause follows on a line of its own.
inline constexpr const char* kBackupNotVerified = "كپي تهيه شده قابل بازخواني نيست و پذيرفته نشد";
/// Followed by the name the damaged archive was given.
inline constexpr const char* kDamagedSetAside = "فايل خراب با اين نام كنار گذاشته شد:";
/// While the program waits for the database server to take its login.
inline constexpr const char* kConnecting = "در حال اتصال به سرور ...";

/// Every error the writer or the reader reports.
inline constexpr const char* kArchiveError = "خطا در فشرده سازي اطلاعات";

/// The prompts for the disks of an archive spanned over removable disks; the
/// next-disk text is followed directly by the number of the disk.
inline constexpr const char* kInsertFirstDisk = "لطفا ديسكت شماره  1  را در دستگاه قرار دهيد";
inline constexpr const char* kInsertLastDisk = "لطفا آخرين ديسكت را در دستگاه قرار دهيد";
inline constexpr const char* kInsertNextDisk = "لطفا ديسكت بعدي را در دستگاه قرار دهيد disk# : ";

/// The box that asks where a missing volume of a split archive is.
inline constexpr const char* kNextVolumeCaption = "Enter new drv:\\directory...";
inline constexpr const char* kNextVolumePrompt = "Filename: ";

}  // namespace app::texts
