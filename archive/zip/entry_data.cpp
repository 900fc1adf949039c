//===-- zip/entry_data.cpp - The data of one new entry --------------------===//
//
// The file is measured when it is opened and exactly that many bytes go into
// the entry, whatever another program does to it meanwhile: the source
// stream gives no more, and a pass that gets fewer ends the entry. AES
// entries need no CRC pass: the CRC is kept as the data go by.
//
//===----------------------------------------------------------------------===//
#include "zip/entry_data.h"

#include <array>
#include <span>

#include <arc/support/error_codes.h>
#include <arc/zip/zip.h>
#include "support/stream_adapters.h"
#include "support/stream_errors.h"
#include "support/stream_ops.h"
#include "zip/archive_output.h"
#include "zip/entry_prefetch.h"
#include "zip/source_stream.h"

namespace arc {
namespace {

/// An encrypted entry's CRC is taken in a pass of its own before its data;
/// when the data pass reads other bytes the entry is written again, this
/// many times at most.
constexpr int kMaxDataPasses = 3;

class EntryDataWriter {
 public:
  EntryDataWriter(TZipBase& zip, ArchiveOutput& output, SourceFileStream& source, EntryPlan& plan,
                  const PrefetchedFile* ahead);

  bool Write();

 private:
  /// One pass at the data; false when the entry ends here (`done` then
  /// tells nothing). `done` false: the pass must be made again.
  bool Pass(bool& done);
  /// Starts the data afresh at dataStart: for an encrypted entry a new
  /// encryption header, which also restarts the cipher (AES: a new salt, so
  /// that no key stream is ever used twice).
  void BeginData();
  /// Deflates the whole source after the encryption header; false when the
  /// engine could not be started or made no progress, or on a cancel.
  bool Deflate();
  /// Stores the whole source after the encryption header.
  void Store();
  /// The pass of a file read and deflated ahead: its bytes, with the pump
  /// and progress events that reading it in one chunk gives.
  bool WriteAhead(bool& done);
  /// One chunk of it: false when cancelled.
  bool AheadChunk(const std::vector<uint8_t>& bytes, bool progressFirst);
  /// The AES authentication code after the data; false (reported) when the
  /// cipher failed at any point of the entry.
  bool FinishAes();
  /// Reports a failure of this entry; false.
  bool Fail(int32_t code);

  TZipBase& z_;
  ArchiveOutput& output_;
  TStream32& out_;
  SourceFileStream& source_;
  EntryPlan& plan_;
  const PrefetchedFile* ahead_;
  const int64_t remainingBefore_;
  /// Salt and verifier, or the traditional header: in front of the data.
  const int64_t headerLen_;
  /// The keys and salt of the latest pass; wiped when the entry is done.
  AesCipher aesCipher_;
  bool cipherFailed_ = false;
  TransferControl control_;
  ProgressHandler progress_;
  std::function<void()> pump_;
};

EntryDataWriter::EntryDataWriter(TZipBase& zip, ArchiveOutput& output, SourceFileStream& source,
                                 EntryPlan& plan, const PrefetchedFile* ahead)
    : z_(zip),
      output_(output),
      out_(output.Stream()),
      source_(source),
      plan_(plan),
      ahead_(ahead),
      remainingBefore_(zip.Totals().remaining),
      headerLen_(!plan.encrypt ? 0
                 : plan.aes    ? static_cast<int64_t>(AesHeaderLen(*plan.aes))
                               : static_cast<int64_t>(kEncryptionHeaderLen)) {
  // The source keeps the CRC of what it gives (PassCrc): no adapter need.
  control_.sourceKeepsCrc = true;
  control_.encrypted = plan.encrypt;
  control_.crc = kCrc32Init;
  control_.remaining = &zip.Totals().remaining;
  control_.Cancel = zip.CancelFlag();
  if (plan.aes) {
    control_.cipher = [this](uint8_t* data, uint32_t count) {
      aesCipher_.Encrypt(std::span<uint8_t>(data, count));
    };
  } else {
    control_.cipher = [this](uint8_t* data, uint32_t count) {
      z_.Cipher().Encipher(std::span<uint8_t>(data, count));
    };
  }
  progress_ = [this](TStream32&) {
    z_.DoProgress(z_.Totals().total, plan_.size, remainingBefore_ - z_.Totals().remaining);
  };
  pump_ = [this] { z_.dialogs.PumpMessages(); };
}

bool EntryDataWriter::Fail(int32_t code) {
  z_.ReportError(plan_.sourcePath, plan_.storedName, "0", code);
  return false;
}

void EntryDataWriter::BeginData() {
  output_.CutBack(plan_.dataStart);
  z_.Totals().remaining = remainingBefore_;
  if (!plan_.encrypt) return;
  if (plan_.aes) {
    std::array<uint8_t, kAesMaxSaltLen + kAesVerifierLen> header{};
    const std::span<uint8_t> used = std::span(header).first(static_cast<size_t>(headerLen_));
    if (!aesCipher_.StartEncryption(z_.Password(), *plan_.aes, used)) cipherFailed_ = true;
    out_.WriteBuffer(used.data(), static_cast<int32_t>(used.size()));
    return;
  }
  std::array<uint8_t, kEncryptionHeaderLen> header{};
  z_.Cipher().MakeEncryptionHeader(z_.Password(), plan_.crc, header);
  out_.WriteBuffer(header.data(), static_cast<int32_t>(header.size()));
}

bool EntryDataWriter::Deflate() {
  // A file of fewer than two pieces gains nothing from the workers: it is
  // deflated as one stream, as with one thread.
  const bool large = plan_.size >= 2 * static_cast<int64_t>(kParallelPieceSize);
  uint32_t unusedCrc = 0;
  return DeflateStream(source_, out_, control_, kDeflateWindowBits, progress_, z_.DeflateType(),
                       unusedCrc, pump_, large ? z_.Threads() : 1);
}

void EntryDataWriter::Store() {
  TStoreStream adapter(out_, progress_, z_.CancelFlag(), control_, kCrcKind32);
  adapter.processMessages = pump_;
  adapter.StoreFrom(source_);
}

bool EntryDataWriter::AheadChunk(const std::vector<uint8_t>& bytes, bool progressFirst) {
  if (z_.Cancel()) return false;
  pump_();
  if (z_.Cancel()) return false;
  z_.Totals().remaining -= plan_.size;
  // Deflated, the progress comes as the input is taken and the bytes when
  // the stream ends; stored, each chunk is written and then reported.
  if (progressFirst) progress_(source_);
  out_.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  if (!progressFirst) progress_(source_);
  return !z_.Cancel();
}

bool EntryDataWriter::WriteAhead(bool& done) {
  plan_.stored = false;
  BeginData();
  if (!AheadChunk(ahead_->deflated, true)) return false;
  if (ahead_->deflated.size() > ahead_->data.size()) {
    plan_.stored = true;
    BeginData();
    if (!AheadChunk(ahead_->data, false)) return false;
  }
  plan_.crc = source_.PassCrc();
  done = true;
  return true;
}

bool EntryDataWriter::Pass(bool& done) {
  if (ahead_ != nullptr) return WriteAhead(done);
  const bool traditional = plan_.encrypt && !plan_.aes;
  if (traditional) {
    TransferControl pre;
    pre.Cancel = z_.CancelFlag();
    const uint32_t reg = StreamCrc32(source_, pre, z_.CancelFlag(), nullptr, 0, pump_);
    if (z_.Cancel()) return false;
    plan_.crc = reg ^ 0xFFFFFFFFu;
  }
  plan_.stored = plan_.storeAsked;
  BeginData();
  bool dataOk = true;
  if (!plan_.stored) {
    dataOk = Deflate();
    if (dataOk && out_.Seek(0, TSeekOrigin::soEnd) - plan_.dataStart - headerLen_ > plan_.size) {
      // Deflating enlarged the data: stored, it takes less room.
      plan_.stored = true;
      BeginData();
    }
  }
  if (dataOk && plan_.stored && plan_.size > 0) Store();
  if (z_.Cancel()) return false;
  // Not cancelled: the engine could not be started or made no progress.
  if (!dataOk) return Fail(ec::OutOfMemory);
  if (!source_.PassComplete()) throw EStreamRead();
  if (!traditional) plan_.crc = source_.PassCrc();
  if (traditional && source_.PassCrc() != plan_.crc) {
    // The file changed between the CRC pass and the data: the encryption
    // header would promise another CRC than the data has.
    plan_.rereadOtherBytes = true;
    done = false;
    return true;
  }
  done = true;
  return true;
}

bool EntryDataWriter::FinishAes() {
  // The code closes the data; an entry the cipher failed on (no random
  // salt, a library call refused) is not written at all.
  const std::array<uint8_t, kAesCodeLen> code = aesCipher_.FinishCode();
  if (cipherFailed_ || aesCipher_.Failed()) return Fail(ec::UnknownError);
  out_.Seek(0, TSeekOrigin::soEnd);
  out_.WriteBuffer(code.data(), static_cast<int32_t>(code.size()));
  return true;
}

bool EntryDataWriter::Write() {
  bool done = false;
  try {
    for (int pass = 0; pass < kMaxDataPasses && !done; ++pass)
      if (!Pass(done)) return false;
  } catch (const EStreamRead&) {
    // The file shrank while it was read: the bytes measured are gone.
    return Fail(ec::FileSizeDifferent);
  }
  if (!done) return Fail(ec::FileSizeDifferent);
  if (plan_.aes && !FinishAes()) return false;
  const int64_t end = out_.Seek(0, TSeekOrigin::soEnd);
  plan_.compressed = static_cast<uint64_t>(end - plan_.dataStart);
  return true;
}

}  // namespace

std::vector<uint8_t> EntryPlan::AesBlockBytes(bool storedData) const {
  if (!aes) return {};
  AesExtra block = aesBlock;
  block.method = storedData ? kMethodStored : kMethodDeflated;
  const auto bytes = BuildAesExtra(block);
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

bool WriteEntryData(TZipBase& zip, ArchiveOutput& output, SourceFileStream& source, EntryPlan& plan,
                    const PrefetchedFile* ahead) {
  EntryDataWriter writer(zip, output, source, plan, ahead);
  return writer.Write();
}

}  // namespace arc
