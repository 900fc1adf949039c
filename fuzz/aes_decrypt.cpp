//===-- fuzz/aes_decrypt.cpp - Fuzz target: AES entries -------------------===//
//
// Input layout: byte 0 picks the strength (bits 0-1: 1..3) and the piece size
// of the decryption (bits 2-7: 1..64 bytes, each piece handed over with the
// bytes behind it, as the decompress adapter reads ahead); byte 1 is the
// length L of an extra field that follows; then L bytes of extra field; the
// rest is the entry's data: salt | verifier | encrypted data | code.
//
// The extra field goes through the 0x9901 parser. The data is decrypted
// under a fixed password; where the verifier refuses it (nearly always) the
// keys are derived from the same salt anyway, so the decryption path runs on
// every input. It must take exactly the entry's encrypted bytes and leave
// everything behind them alone, and encrypting the result again under the
// same salt must give back the same bytes and the same code.
//
//===----------------------------------------------------------------------===//
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include <arc/codec/aes_crypt.h>
#include <arc/codec/aes_extra.h>

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

constexpr char kPassword[] = "fuzz";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace arc;
  if (size < 2) return 0;
  const auto strength = static_cast<AesStrength>(1 + (data[0] & 3) % 3);
  const size_t piece = 1 + (data[0] >> 2);
  const size_t extraLen = data[1];
  if (size < 2 + extraLen) return 0;
  AesExtra extra;
  const AesExtraStatus status = FindAesExtra({data + 2, extraLen}, extra);
  if (status == AesExtraStatus::Found) Check(IsAesStrength(static_cast<uint8_t>(extra.strength)));

  const uint8_t* entry = data + 2 + extraLen;
  const size_t entrySize = size - 2 - extraLen;
  const size_t header = AesHeaderLen(strength);
  if (entrySize < AesOverhead(strength)) return 0;
  const size_t length = entrySize - AesOverhead(strength);

  AesCipher aes;
  if (!aes.VerifyPassword(kPassword, strength, {entry, header})) {
    std::vector<uint8_t> ignored(header);
    Check(aes.StartWithSalt(kPassword, strength, {entry, AesSaltLen(strength)}, ignored));
  }
  aes.SetDataLength(length);
  std::vector<uint8_t> rest(entry + header, entry + entrySize);
  size_t at = 0;
  while (at < length) {
    const size_t took = aes.Decrypt(std::span(rest).subspan(at, std::min(piece, rest.size() - at)));
    Check(took > 0 && took <= piece);
    at += took;
  }
  Check(at == length && aes.Processed() == length && aes.Remaining() == 0);
  Check(aes.Decrypt(std::span(rest).subspan(length)) == 0);
  Check(std::memcmp(rest.data() + length, entry + header + length, kAesCodeLen) == 0);
  const bool authentic = aes.CheckCode({entry + header + length, kAesCodeLen});
  const auto code = aes.FinishCode();

  AesCipher again;
  std::vector<uint8_t> header2(header);
  Check(again.StartWithSalt(kPassword, strength, {entry, AesSaltLen(strength)}, header2));
  std::vector<uint8_t> reencrypted(rest.begin(),
                                   rest.begin() + static_cast<std::ptrdiff_t>(length));
  again.Encrypt(reencrypted);
  Check(std::memcmp(reencrypted.data(), entry + header, length) == 0);
  Check(again.FinishCode() == code);
  Check(authentic == (std::memcmp(code.data(), entry + header + length, kAesCodeLen) == 0));
  return 0;
}
