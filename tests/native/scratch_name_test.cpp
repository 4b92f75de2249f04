#include "paths/scratch_name.h"

#include <gtest/gtest.h>

#include <cstddef>

#include "services/text.h"
#include "tests/native/fake_platform.h"

namespace tessaly::testing {
namespace {

TEST(ScratchNameTest, NamesReadBackToTheirWord) {
  const Text name = ScratchFileName(u"Tessaly", 0xA2C, 0x5F3E9B10);
  EXPECT_EQ(Printable(name), "Tessaly-00000a2c-5f3e9b10.txt");
  EXPECT_EQ(ScratchFileWord(name), Text(u"Tessaly"));
  EXPECT_EQ(ScratchFileWord(u"Tessaly-00000A2C-5F3E9B10.TXT"),
            Text(u"Tessaly"));
  EXPECT_EQ(ScratchFileWord(ScratchFileName(u"a-b", 0, 0xFFFFFFFF)),
            Text(u"a-b"));
}

TEST(ScratchNameTest, OtherNamesAreNotScratchFiles) {
  for (const Text name : {
           u"",
           u"-00000a2c-5f3e9b10.txt",
           u"Tessaly-00000a2c-5f3e9b10.log",
           u"Tessaly-00000a2c-5f3e9b1g.txt",
           u"Tessaly-00000a2c_5f3e9b10.txt",
           u"Tessaly-0000a2c-5f3e9b10.txt",
           u"Tessaly.txt",
           u"notes.txt",
       }) {
    EXPECT_FALSE(ScratchFileWord(name).has_value()) << Printable(name);
  }
}

TEST(ScratchNameTest, CopiesAreNamedAfterTheFileShown) {
  const auto named = [](const Text& shown, std::size_t longest = 255) {
    return ScratchFileName(u"Tessaly", shown, 0xA2C, 0x5F3E9B10, longest);
  };
  for (const Text shown : {u"server.log", u"README", u"archive.tar.gz",
                           u"my notes. v2 .txt", u"\U0001F600 emoji.txt"}) {
    EXPECT_EQ(named(shown), shown + u" (Tessaly 5f3e9b10).txt");
    EXPECT_EQ(ScratchFileWord(named(shown)), Text(u"Tessaly"));
  }
  // Characters no file name may hold, as in a stream's name.
  EXPECT_EQ(Printable(named(u"a.txt:notes")),
            "a.txt_notes (Tessaly 5f3e9b10).txt");
  // No file to name it after, or no room for it: the plain name.
  EXPECT_EQ(named(u""), ScratchFileName(u"Tessaly", 0xA2C, 0x5F3E9B10));
  EXPECT_EQ(named(u"server.log", 23),
            ScratchFileName(u"Tessaly", 0xA2C, 0x5F3E9B10));
}

TEST(ScratchNameTest, LongNamesAreCutToFitNeverInsideASurrogatePair) {
  const Text suffix = u" (Tessaly 5f3e9b10).txt";
  const Text long_name = Text(230, u'x') + u".log";
  const Text cut =
      ScratchFileName(u"Tessaly", long_name, 1, 0x5F3E9B10, kLongestFileName);
  EXPECT_EQ(cut, long_name.substr(0, 255 - suffix.size()) + suffix);
  EXPECT_EQ(ScratchFileName(u"Tessaly", long_name, 1, 0x5F3E9B10, 30),
            u"xxxxxxx" + suffix);
  EXPECT_EQ(ScratchFileName(u"Tessaly", long_name, 1, 0x5F3E9B10, 1000), cut);
  // "ab" and a character beyond the BMP: cut after "ab\xD83D" it would keep
  // half a character, so the whole character goes.
  const Text pair = u"ab\U0001F600";
  EXPECT_EQ(ScratchFileName(u"Tessaly", pair, 1, 0x5F3E9B10, 26),
            u"ab" + suffix);
  EXPECT_EQ(ScratchFileName(u"Tessaly", pair, 1, 0x5F3E9B10, 27),
            pair + suffix);
}

// Windows opens the device for a name whose part before its first dot is a
// device's, blanks after it dropped; without a dot, that part runs on into
// " (Tessaly".
TEST(ScratchNameTest, NoCopyIsNamedAsADeviceIs) {
  const auto named = [](const Text& shown, std::size_t longest = 255) {
    return ScratchFileName(u"Tessaly", shown, 1, 0x5F3E9B10, longest);
  };
  const Text suffix = u" (Tessaly 5f3e9b10).txt";
  for (const auto& [shown, start] :
       std::initializer_list<std::pair<Text, Text>>{
           {u"nul.txt", u"nul_.txt"},
           {u"CON .tar.gz", u"CON_ .tar.gz"},
           {u"com1.c", u"com1_.c"},
           {u"lpt\u00B3.x", u"lpt\u00B3_.x"},
           {u"conout$.log", u"conout$_.log"},
           {u"CONIN$ .txt", u"CONIN$_ .txt"},
           {u"conin.txt", u"conin.txt"},
           {u"nul", u"nul"},
           {u"nullish.txt", u"nullish.txt"},
           {u"com10.txt", u"com10.txt"},
           {u"comX.txt", u"comX.txt"}}) {
    EXPECT_EQ(named(shown), start + suffix) << Printable(shown);
  }
  // Cut to fit, the '_' takes the place of the last whole character.
  EXPECT_EQ(named(u"nul.\U0001F600", 29), u"nul_." + suffix);
}

TEST(ScratchNameTest, OnlyTheStrictNamedFormIsAScratchName) {
  EXPECT_EQ(ScratchFileWord(u"a (Tessaly 5F3E9B10).TXT"), Text(u"Tessaly"));
  EXPECT_EQ(ScratchFileWord(u"x (1) (Tessaly 5f3e9b10).txt"), Text(u"Tessaly"));
  for (const Text name : {
           u"Tessaly notes.txt",
           u"report (Tessaly).txt",
           u" (Tessaly 5f3e9b10).txt",
           u"a (Tessaly 5f3e9b1).txt",
           u"a (Tessaly 5f3e9b1x).txt",
           u"a (Tessaly 5f3e9b10).log",
           u"a (Tessaly 5f3e9b10.txt",
           u"a (Tessaly5f3e9b10).txt",
           u"a ( 5f3e9b10).txt",
       }) {
    EXPECT_FALSE(ScratchFileWord(name).has_value()) << Printable(name);
  }
}

}  // namespace
}  // namespace tessaly::testing
