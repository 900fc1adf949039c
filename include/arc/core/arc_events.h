//===-- arc/core/arc_events.h - Event types of the components ---*- C++ -*-===//
//
// An event is a std::function member of a component; an empty function
// means "not assigned". Sender comes first: the component itself, except for
// the disk-spanning prompts (the spanning object) and the drive-check prompts
// (the drive-check object). Parameters passed by non-const reference are
// in-out: the component presets them right before the call (a disk prompt
// presets Cancel to true, so a handler must clear it to go on) and reads them
// back afterwards.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include <arc/core/arc_types.h>
#include <arc/core/component.h>

namespace arc {

/// A date-time value: days since 1899-12-30, the fraction is the time of day.
using TDateTime = double;

using TNotifyEvent = std::function<void(TObject* Sender)>;

using TOnBegin =
    std::function<void(TObject* Sender, const std::string& FileName, int32_t Count, bool& Extract)>;
using TOnEnd = std::function<void(TObject* Sender, const std::string& FileName, bool CRC_PASS)>;
using TOnError =
    std::function<void(TObject* Sender, const std::string& FileName, const std::string& ExtendedMsg,
                       const std::string& VolumeID, int32_t ECode)>;
using TOnProgress =
    std::function<void(TObject* Sender, uint8_t ProgressByFile, uint8_t ProgressByArchive)>;
/// ElapsedTime in seconds.
using TOnElapsedTime = std::function<void(TObject* Sender, float ElapsedTime)>;
using TOnDeleteFile = std::function<void(TObject* Sender, const std::string& FileName,
                                         int32_t Count, int32_t MaxCount)>;
using TOnScanFileEvent = std::function<void(TObject* Sender, const std::string& FileName,
                                            int32_t FilesCount, int64_t FilesSize)>;
using TOnRecurseDir = std::function<void(TObject* Sender, const std::string& Directory)>;
using TOnGetPassword = std::function<void(TObject* Sender, const std::string& FileName,
                                          std::string& Password, bool& TryAgain)>;
using TOnClearDisk =
    std::function<void(TObject* Sender, const std::string& Drive, int64_t RequiredSpace,
                       int64_t FreeSpace, int64_t TotalSpace, bool& Cancel)>;
using TOnDiskError = std::function<void(TObject* Sender, bool& Abort)>;
using TOnFileExists = std::function<void(TObject* Sender, const std::string& FileName,
                                         TDateTime FileDate, TOverwriteMode& OverwriteMode)>;
using TOnInsertDisk =
    std::function<void(TObject* Sender, const std::string& VolumeName, bool& Cancel)>;
using TOnNonWriteableArchive =
    std::function<void(TObject* Sender, const std::string& ArchiveFile, bool& WriteToFile)>;
using TOnRead = std::function<void(TObject* Sender, int64_t Offset, int32_t Filenum)>;
using TOnRenameDupeFile = std::function<void(TObject* Sender, const std::string& FileName,
                                             std::string& NewFileName, bool& Rename)>;
using TOnReplaceFile =
    std::function<void(TObject* Sender, const std::string& FileName, const std::string& NewFileName,
                       TDateTime Date, TDateTime NewDate, int64_t FileSize, int64_t NewFileSize,
                       int32_t Attr, int32_t NewAttr, bool& Replace)>;
using TTempFileMoveBegin = std::function<void(TObject* Sender, const std::string& Archive,
                                              const std::string& TempFileName)>;
using TOnNextVolume = std::function<void(TObject* Sender, std::string& VolumeName,
                                         const std::string& VolumeID, bool fExists, bool& Cancel)>;
using TOnGetZipFirstDisk = std::function<void(TObject* Sender, bool& Cancel)>;
using TOnGetZipLastDisk = std::function<void(TObject* Sender, bool& Cancel)>;
using TOnGetZipNextDisk =
    std::function<void(TObject* Sender, const std::string& VolumeName, bool& Cancel)>;
using TOnRenameFile =
    std::function<void(TObject* Sender, const std::string& FileName, std::string& NewFileName)>;
using TOnCorruptZipHeader =
    std::function<void(TObject* Sender, THeaderTypeState HeadFlag, bool& Cancel)>;
using TUnBase_OnFileExists =
    std::function<void(TObject* Sender, const std::string& FileName, std::string& NewFileName,
                       TOverwriteMode& OverwriteMode)>;
/// A file left out because its extension is on the skip list.
using TOnSkipFile = std::function<void(TObject* Sender, const std::string& FileName)>;

/// Calls `handler` when it is assigned; false when it is not, so that a caller
/// can report a required event that is missing.
template <class Handler, class... Args>
bool Fire(const Handler& handler, Args&&... args) {
  if (!handler) return false;
  handler(std::forward<Args>(args)...);
  return true;
}

}  // namespace arc
