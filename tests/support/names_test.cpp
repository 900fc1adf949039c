#include <arc/support/names.h>

#include <iconv.h>

#include <gtest/gtest.h>

#include "support/cp437.h"

namespace arc {
namespace {

// glibc's converter is an independent reference for our table.
TEST(Cp437, EveryHighByteAgreesWithTheSystemConverter) {
  iconv_t cd = iconv_open("UTF-8", "CP437");
  if (cd == iconv_t(-1)) GTEST_SKIP() << "no CP437 converter installed";
  for (int b = 0x80; b <= 0xFF; ++b) {
    char in[1] = {char(b)};
    char out[8] = {};
    char* ip = in;
    char* op = out;
    size_t il = 1, ol = sizeof out;
    ASSERT_NE(iconv(cd, &ip, &il, &op, &ol), size_t(-1)) << b;
    EXPECT_EQ(Cp437ToUtf8(std::string(1, char(b))), std::string(out, op)) << "byte " << b;
  }
  iconv_close(cd);
}

TEST(Cp437, RoundTripOfEveryByteAndUnmappableCharacters) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += char(b);
  EXPECT_EQ(Utf8ToCp437(Cp437ToUtf8(all)), all);
  EXPECT_EQ(Cp437ToUtf8("\x80\xE1\xFF"), "Çß\u00A0");
  EXPECT_EQ(Utf8ToCp437("Grüße"),
            "Gr\x81\xE1"
            "e");
  // Arabic script, a four-byte character and broken UTF-8 have no CP437 form.
  EXPECT_EQ(Utf8ToCp437("پ😀"), "__");
  EXPECT_EQ(Utf8ToCp437("a\xC3"), "a_");
  EXPECT_EQ(Utf8ToCp437("\xC0\xAF"), "__");  // overlong '/' must not turn into a separator
  EXPECT_TRUE(IsAscii("plain/name.txt"));
  EXPECT_FALSE(IsAscii("\x80"));
}

TEST(StoredNames, SeparatorsAndCodePage) {
  EXPECT_EQ(StoredToLocalName("C:\\data\\x.bin", false), "C:/data/x.bin");
  EXPECT_EQ(StoredToLocalName("dir/sub\\f\x81r.txt", true), "dir/sub/für.txt");
  EXPECT_EQ(StoredToLocalName("dir/f\x81r.txt", false), "dir/f\x81r.txt");
  EXPECT_EQ(LocalToStoredName("dir/für.txt", true), "dir/f\x81r.txt");
  EXPECT_EQ(LocalToStoredName("dir\\für.txt", false), "dir/für.txt");
  EXPECT_EQ(LocalToOem("a\\für", true), "a\\f\x81r");
  EXPECT_EQ(LocalToOem("für", false), "für");
}

TEST(MethodNames, LevelBitsPickTheName) {
  EXPECT_EQ(DeflateDisplayName(0, false), "DeflateN");
  EXPECT_EQ(DeflateDisplayName(2, false), "DeflateX");
  EXPECT_EQ(DeflateDisplayName(4, false), "DeflateF");
  EXPECT_EQ(DeflateDisplayName(6, false), "DeflateS");
  EXPECT_EQ(DeflateDisplayName(6, true), "Def-64S");
  EXPECT_EQ(DeflateDisplayName(0, true), "Def-64N");
  // Encryption (bit 0), a data descriptor (bit 3) and UTF-8 (bit 11) leave the level alone.
  EXPECT_EQ(DeflateDisplayName(0x0001 | 2, false), "DeflateX");
  EXPECT_EQ(DeflateDisplayName(0x0808 | 4, false), "DeflateF");
}

}  // namespace
}  // namespace arc
