//===-- arc/core/arc_types.h - Enumerations of the components ---*- C++ -*-===//
//
// The ordinal of every value is its position in the declaration, from 0.
// Ordinals are stored and compared (attribute bits, archive types), so new
// values may only ever be appended.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <initializer_list>

#include <arc/codec/deflate_type.h>  // TDeflateType

namespace arc {

enum TArcFileAttr : uint8_t {
  fsZeroAttr,  // stands for a file without any attribute
  fsReadOnly,
  fsHidden,
  fsSysFile,
  fsVolumeID,
  fsDirectory,
  fsArchive,
  fsCompressed,
  fsEncrypted,
};

/// A set of TArcFileAttr kept in 16 bits: bit n is the value of ordinal n.
class TArcFileAttrs {
 public:
  constexpr TArcFileAttrs() = default;
  constexpr TArcFileAttrs(std::initializer_list<TArcFileAttr> attrs) {
    for (TArcFileAttr a : attrs) Include(a);
  }
  static constexpr TArcFileAttrs FromBits(uint16_t bits) {
    TArcFileAttrs s;
    s.bits_ = bits;
    return s;
  }

  constexpr uint16_t Bits() const { return bits_; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr bool Contains(TArcFileAttr a) const { return a < 16 && (bits_ >> a) & 1u; }
  /// Values beyond bit 15 have no place in the set and are ignored.
  constexpr void Include(TArcFileAttr a) {
    if (a < 16) bits_ = static_cast<uint16_t>(bits_ | (1u << a));
  }
  constexpr void Exclude(TArcFileAttr a) {
    if (a < 16) bits_ = static_cast<uint16_t>(bits_ & ~(1u << a));
  }
  friend constexpr bool operator==(TArcFileAttrs, TArcFileAttrs) = default;

 private:
  uint16_t bits_ = 0;
};

enum TCompressionMethod : uint8_t { cmInMemory, cmTempFile };

enum TCompressMethod : uint8_t {
  cmStore,
  cmDeflate,
  cmFuse,
  cmFrozen5,
  cmFrozen6,
  cmMsZip,
  cmLzx,
  cmQuantum,
  cmUUEncode,
  cmXXEncode,
  cmBase64,
  cmTarred,
  cmTarGzip,
};

enum TDateAttribute : uint8_t { daFileDate, daSysDate, daMaxFileDate };

enum TDeleteOptions : uint8_t { doFinal, doAllowUndo };

enum TOverwriteMode : uint8_t { omOverwrite, omSkip };

enum TStoredDirNames : uint8_t {
  sdNone,
  sdAbsolute,
  sdAbsoluteNoDrv,
  sdAbsoluteNoRoot,
  sdRelative,
  sdRelativeStoreStart,
  sdExplorer_Auto,
  sdExplorer_UserDefineDefaultDir,
};

enum TSwitch : uint8_t { swAdd, swRefresh, swMove, swDelete, swRead };

enum TCpuType : uint8_t { cptAuto, cpt80286, cpt80386, cpt80486 };

/// How the writer encrypts entries when it has a password: the traditional
/// ZIP cipher, or AES (method 99 with the 0x9901 block) with a 128, 192 or
/// 256-bit key.
enum TEncryptionMethod : uint8_t { emTraditional, emAes128, emAes192, emAes256 };

/// Kind of archive found in a file. The first four values are the invalid
/// types; names ending in Exe are archives inside an executable. atZipDS is
/// a ZIP archive spanned over removable disks, atZipMV one split into volume
/// files on one drive.
enum TArcType : uint8_t {
  atNA,
  atUnsupported,
  atFileOpenErr,
  atUnknown,
  atAce,
  atAceExe,
  atArc,
  atArcExe,
  atArj,
  atArjExe,
  atBh,
  atBhExe,
  atCab,
  atCabExe,
  atGZip,
  atHA,
  atJar,
  atJarExe,
  atLha,
  atLhaExe,
  atLzh,
  atLzhExe,
  atMsGZ,
  atPak,
  atPakExe,
  atRar,
  atRarExe,
  atTar,
  atTarGZip,
  atUUE,
  atZip,
  atZipExe,
  atZipDS,
  atZipMV,
  atZoo,
};

/// True for every type but the four invalid ones.
constexpr bool IsValidArcType(TArcType t) { return t > atUnknown; }

/// The types whose entries the ZIP reader lists and extracts.
constexpr bool IsZipType(TArcType t) {
  return t == atZip || t == atZipExe || t == atZipDS || t == atZipMV || t == atJar || t == atJarExe;
}

/// What the end-record search found in an archive: a combination of the
/// THeaderType flags.
using THeaderTypeState = uint8_t;

enum THeaderType : uint8_t {
  htLocal = 1,         // a local header where one is expected
  htCentral = 2,       // the central directory
  htEnding = 4,        // the end record
  htZip64Locator = 8,  // the Zip64 end record locator
  htZip64Ending = 16,  // the Zip64 end record
};

}  // namespace arc
