//===-- arc/core/zip_common.h - Shared core of writer and reader --*- C++ -*-===//
//
// TZipCommon is what the writer (TZip) and the reader (TUnZip) share: the
// file lists, the cancel flag, the error path, progress reporting and the
// stopwatch. It is a thin facade; the work sits in small collaborators
// (TArcTimer, TDiskManager, the progress dispatcher) and in the writer and
// reader classes.
//
// Error path. Every error goes through ReportError (the operation goes on) or
// RaiseError (fatal: an exception follows). Both pause the stopwatch, turn any
// code into 25443 once the cancel flag is set, and pass the report to
// OnError. RaiseError then throws, unless the cancel flag is set by then: a
// handler that cancels takes the exception back. Reports follow one
// convention: FileName is the archive (or the directory or volume concerned),
// ExtendedMsg the current entry name or the name of a missing event or
// property, VolumeID "0" unless a volume number applies.
//
// Cancel flag. Read through a pointer so that a companion object and its
// owner can share one flag (ShareCancelFlag). Setting it to true reports
// 25443 once.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <arc/core/arc_error.h>
#include <arc/core/arc_events.h>
#include <arc/core/arc_root.h>
#include <arc/core/arc_timer.h>
#include <arc/core/arc_types.h>
#include <arc/support/prompts.h>

namespace arc {

class TDiskManager;
class TStream32;
class TradCipher;

/// What a block writer does to a block before it goes out.
enum class BlockCipher : uint8_t {
  None,
  Decipher,  // an encrypted entry's data on its way out of the archive
  Encipher,  // data on its way into an encrypted entry
};

/// Byte counts behind the archive-wide progress figure.
struct ProgressTotals {
  int64_t fileSize = 0;   // size of the current file
  int64_t total = 0;      // all bytes the operation will handle
  int64_t remaining = 0;  // bytes still to handle; falls by each block
};

class TZipCommon : public TArcRoot {
 public:
  using TStrings = std::vector<std::string>;
  /// Receives both percentages; the default lets the application process its
  /// pending messages and then raises OnProgress.
  using ProgressDispatcher = std::function<void(uint8_t byFile, uint8_t byArchive)>;

  explicit TZipCommon(TComponent* owner = nullptr);
  ~TZipCommon() override;

  /// Setting the archive clears the cancel flag.
  void SetArchiveFile(const std::string& value) override;

  // --- Properties ---------------------------------------------------------

  /// Entry names are converted between the OEM code page and the local one.
  bool TranslateOemChar() const { return translateOemChar_; }
  void SetTranslateOemChar(bool value) { translateOemChar_ = value; }

  /// Masks selecting what to take; assignment copies the lines.
  TStrings& FileSpec() { return fileSpec_; }
  const TStrings& FileSpec() const { return fileSpec_; }
  void SetFileSpec(const TStrings& value) { fileSpec_ = value; }

  /// Masks of files not to take; assignment copies the lines.
  TStrings& ExcludeSpec() { return excludeSpec_; }
  const TStrings& ExcludeSpec() const { return excludeSpec_; }
  void SetExcludeSpec(const TStrings& value) { excludeSpec_ = value; }

  /// Passwords the reader tries before asking.
  TStrings& Passwords() { return passwords_; }
  const TStrings& Passwords() const { return passwords_; }
  void SetPasswords(const TStrings& value) { passwords_ = value; }

  /// Lower-case extensions (".tmp") of files the writer leaves out,
  /// reporting each through OnSkipFile.
  TStrings& SkipExtList() { return skipExtList_; }
  const TStrings& SkipExtList() const { return skipExtList_; }
  virtual void ClearSkipExtList() { skipExtList_.clear(); }

  bool RecurseDirs() const { return recurseDirs_; }
  void SetRecurseDirs(bool value) { recurseDirs_ = value; }

  TDateAttribute DateAttribute() const { return dateAttribute_; }
  void SetDateAttribute(TDateAttribute value) { dateAttribute_ = value; }

  bool UseStoredDirs() const { return useStoredDirs_; }
  void SetUseStoredDirs(bool value) { useStoredDirs_ = value; }

  int32_t PasswordAttempts() const { return passwordAttempts_; }
  void SetPasswordAttempts(int32_t value) { passwordAttempts_ = value; }

  TOverwriteMode OverwriteMode() const { return overwriteMode_; }
  void SetOverwriteMode(TOverwriteMode value) { overwriteMode_ = value; }

  bool ConfirmOverwrites() const { return confirmOverwrites_; }
  void SetConfirmOverwrites(bool value) { confirmOverwrites_ = value; }

  /// Base directory of the sdExplorer_UserDefineDefaultDir naming.
  const std::string& DefaultDir() const { return defaultDir_; }
  void SetDefaultDir(const std::string& value) { defaultDir_ = value; }

  // --- Cancel flag --------------------------------------------------------

  virtual bool Cancel() const { return *cancel_; }
  /// Stores the flag; a change to true reports 25443 with the archive and
  /// the current entry.
  virtual void SetCancel(bool value);
  /// The flag as companion objects and streams watch it.
  bool* CancelFlag() const { return cancel_; }
  /// Reads and writes the flag at `flag` from now on (nullptr: the
  /// component's own flag again).
  void ShareCancelFlag(bool* flag) { cancel_ = flag ? flag : &ownCancel_; }

  // --- Error path ---------------------------------------------------------

  /// A non-fatal error: reported through OnError, never raises by itself
  /// (an exception thrown by the handler does pass through).
  virtual void ReportError(const std::string& FileName, const std::string& ExtendedMsg,
                           const std::string& VolumeID, int32_t ECode);
  /// A fatal error: reported like ReportError, then an exception of
  /// `ExceptionClass` with the text of ECode is thrown, unless the cancel
  /// flag is set by then; in that case this returns normally.
  virtual void RaiseError(TExceptionClass ExceptionClass, const std::string& FileName,
                          const std::string& ExtendedMsg, const std::string& VolumeID,
                          int32_t ECode);
  /// RaiseError with E_RAISE.
  void RaiseError(const std::string& FileName, const std::string& ExtendedMsg,
                  const std::string& VolumeID, int32_t ECode) {
    RaiseError(ThrowAs<E_RAISE>, FileName, ExtendedMsg, VolumeID, ECode);
  }

  // --- Progress -----------------------------------------------------------

  /// Part * 100 / Total to the nearest integer (a half goes to the even
  /// neighbour), within 0..100; 0 when Total <= 0.
  static uint8_t Percent(int64_t Total, int64_t Part);

  /// Reports the position `FilePos` in a file of `FileSize` bytes and the
  /// share of `Total` already handled (Total - Totals().Remaining). Any
  /// exception from the dispatcher or the handlers it calls is swallowed.
  void DoProgress(int64_t Total, int64_t FileSize, int64_t filePos);

  /// Hands two percentages to the progress dispatcher (exceptions
  /// swallowed as in DoProgress).
  void DispatchProgress(uint8_t byFile, uint8_t byArchive);

  /// The replaceable dispatcher; every run starts with the default.
  ProgressDispatcher progressDispatcher;
  void ResetProgressDispatcher();

  /// Message boxes and the message pump of this component: the pump runs
  /// before each progress report and during long copies. Headless by
  /// default (no pump, questions answered No or Cancel).
  Prompts dialogs;

  ProgressTotals& Totals() { return totals_; }
  const ProgressTotals& Totals() const { return totals_; }

  // --- Run state ----------------------------------------------------------

  /// Name of the entry being handled; the ExtendedMsg of most reports.
  const std::string& EntryName() const { return entryName_; }
  void SetEntryName(const std::string& value) { entryName_ = value; }

  /// Volume being read or written.
  const std::string& VolumeName() const { return volumeName_; }
  void SetVolumeName(const std::string& value) { volumeName_ = value; }

  int32_t ProcessedCount() const { return processedCount_; }
  int32_t DeletedCount() const { return deletedCount_; }

  TArcTimer& Timer() { return timer_; }

  /// The drive check run before writing and before reading volume sets.
  TDiskManager& DiskManager() { return *diskManager_; }

  // --- Operations descendants specialise ----------------------------------

  /// The entry name that reports and events show for a name as stored in
  /// the archive.
  virtual std::string EntryNameFromStored(const std::string& stored) { return stored; }

  /// DOS date-time to a date-time value; 0 or a value whose date or time
  /// does not convert gives 1 January 1980, 00:01.
  virtual TDateTime DosDateToDateTime(uint32_t dos) const;

  /// Size of the buffers blocks are moved in.
  virtual int32_t BufferSize() const { return 65536; }

  // --- Blocks between the archive and the files ---------------------------
  //
  // The block reader and writer keep the running CRC-32 of the current entry
  // and apply the cipher of an encrypted entry with the component's own key
  // state (set up by the password check or the entry writer).

  /// Reads up to `count` bytes; deciphers them when asked and feeds them
  /// into the running CRC when asked. A read error counts as 0 bytes read.
  /// Decoders of compressed data pass `update_crc` false: the CRC belongs
  /// to what they write out.
  virtual int32_t ReadBlock(TStream32& in, uint8_t* buffer, int32_t count, bool decipher,
                            bool updateCrc = true);
  /// Writes a block of entry data: deciphered first (or enciphered after)
  /// as asked, the plain bytes fed into the running CRC, then written
  /// through WriteRoutine. Returns the bytes written.
  virtual int32_t WriteBlock(TStream32& out, uint8_t* buffer, int32_t count, BlockCipher cipher);
  /// Deciphers a block in place with the component's key state.
  virtual void DecipherBlock(uint8_t* buffer, int32_t count);

  /// The running CRC-32 register (callers set the start value and invert the
  /// result).
  uint32_t RunningCrc() const { return runningCrc_; }
  void SetRunningCrc(uint32_t value) { runningCrc_ = value; }

  /// Key state of the entry being ciphered.
  TradCipher& Cipher() { return *cipher_; }

  /// Moves a finished temporary archive over the archive file: a rename when
  /// `sameDrive` (the stream's handle is closed by then), else a copy from
  /// the stream. Nothing here; the writer supplies it.
  virtual void MoveIntoPlace(TStream32& stream, const std::string& archive, int64_t size,
                             bool sameDrive, const std::string& tempFileName);

  /// File name of volume `index` (0-based) of a multi-part archive.
  virtual std::string VolumeFileName(int32_t index);
  /// Opens volume `index` as the archive stream; false when it cannot be
  /// had (the user cancelled or a required event is missing).
  virtual bool RequestVolume(int32_t index);

  // --- Events -------------------------------------------------------------

  TOnError OnError;
  TOnProgress OnProgress;
  TOnElapsedTime OnElapsedTime;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TOnBegin OnBegin;
  TOnEnd OnEnd;
  TOnGetPassword OnGetPassword;
  TOnRenameFile OnRenameFile;
  TOnSkipFile OnSkipFile;

 protected:
  /// The one way out for blocks: writes them and reports a short write, a
  /// full disk as the fatal 25160 (raised), anything else as 25136 (the
  /// caller decides whether to go on). Returns the bytes written.
  int32_t WriteRoutine(TStream32& out, const uint8_t* buffer, int32_t count);
  /// The report of a short write; `error_number` is the system's error.
  void ReportShortWrite(int errorNumber);

  int32_t processedCount_ = 0;
  int32_t deletedCount_ = 0;

 private:
  void DefaultDispatch(uint8_t byFile, uint8_t byArchive);

  bool translateOemChar_ = true;
  TStrings fileSpec_;
  TStrings excludeSpec_;
  TStrings passwords_;
  TStrings skipExtList_;
  bool recurseDirs_ = true;
  TDateAttribute dateAttribute_ = daFileDate;
  bool useStoredDirs_ = true;
  int32_t passwordAttempts_ = 3;
  TOverwriteMode overwriteMode_ = omOverwrite;
  bool confirmOverwrites_ = false;
  std::string defaultDir_;

  bool ownCancel_ = false;
  bool* cancel_ = &ownCancel_;

  uint32_t runningCrc_ = 0xFFFFFFFF;  // kCrc32Init
  std::unique_ptr<TradCipher> cipher_;

  TArcTimer timer_;
  std::unique_ptr<TDiskManager> diskManager_;
  ProgressTotals totals_;
  std::string entryName_;
  std::string volumeName_;
};

}  // namespace arc
