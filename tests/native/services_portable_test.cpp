#include <gtest/gtest.h>

#include "services/ansi_code_page.h"
#include "services/long_path.h"
#include "services/scratch_name.h"
#include "services/text.h"
#include "services/text_encoding.h"
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

TEST(ChooseEncodingTest, MarkDecidesElseUtf8ValidityDoes) {
  using namespace std::string_view_literals;
  struct Case {
    std::string_view bytes;
    TextEncoding encoding;
    std::size_t mark_length;
  };
  const Case cases[] = {
      {""sv, TextEncoding::kUtf8, 0},
      {"plain"sv, TextEncoding::kUtf8, 0},
      {"\xEF\xBB\xBF"sv, TextEncoding::kUtf8, 3},
      {"\xEF\xBB\xBF\xFF"sv, TextEncoding::kUtf8, 3},
      {"\xEF\xBB"sv, TextEncoding::kAnsi, 0},
      {"\xFF\xFEt\0"sv, TextEncoding::kUtf16Le, 2},
      {"\xFE\xFF\0t"sv, TextEncoding::kUtf16Be, 2},
      {"\xFF"sv, TextEncoding::kAnsi, 0},
      {"x\xEF\xBB\xBF"sv, TextEncoding::kUtf8, 0},
      {"caf\xE9"sv, TextEncoding::kAnsi, 0},
      {"caf\xC3\xA9"sv, TextEncoding::kUtf8, 0},
  };
  for (const Case& c : cases) {
    const EncodingChoice choice = ChooseEncoding(c.bytes);
    EXPECT_EQ(choice.encoding, c.encoding) << c.bytes.size() << " bytes";
    EXPECT_EQ(choice.mark_length, c.mark_length) << c.bytes.size() << " bytes";
  }
}

TEST(IsValidUtf8Test, AcceptsWellFormedAndRejectsTheRest) {
  using namespace std::string_view_literals;
  for (const std::string_view valid :
       {""sv, "ascii only, longer than eight bytes\n"sv, "\0"sv, "\xC2\x80"sv,
        "\xDF\xBF"sv, "\xE0\xA0\x80"sv, "\xED\x9F\xBF"sv, "\xEE\x80\x80"sv,
        "\xEF\xBF\xBF"sv, "\xF0\x90\x80\x80"sv, "\xF4\x8F\xBF\xBF"sv,
        "12345678\xF0\x9F\x98\x80"
        "abc"sv}) {
    EXPECT_TRUE(IsValidUtf8(valid)) << valid.size() << " bytes";
  }
  for (const std::string_view invalid :
       {"\x80"sv, "\xBF"sv, "\xC0\x80"sv, "\xC1\xBF"sv, "\xE0\x9F\xBF"sv,
        "\xED\xA0\x80"sv, "\xF0\x8F\xBF\xBF"sv, "\xF4\x90\x80\x80"sv,
        "\xF5\x80\x80\x80"sv, "\xFF"sv, "\xC3"sv, "\xE2\x82"sv,
        "\xF0\x9F\x98"sv, "\xC3\x28"sv, "12345678\xE9"sv}) {
    EXPECT_FALSE(IsValidUtf8(invalid)) << invalid.size() << " bytes";
  }
}

TEST(VariantTest, ConvertsToText) {
  EXPECT_EQ(ToText(Variant(Text(u"C:\\x.txt"))), Text(u"C:\\x.txt"));
  EXPECT_EQ(ToText(Variant(std::int32_t{-12})), Text(u"-12"));
  EXPECT_EQ(ToText(Variant()), Text());
}

TEST(ExtendedLengthPathTest, OnlyLongPlainPathsGetThePrefix) {
  const Text folder(300, u'f');
  const Text long_drive = u"C:\\" + folder + u"\\x.txt";
  const Text long_share = u"\\\\server\\share\\" + folder;
  EXPECT_EQ(ExtendedLengthPath(u"C:\\short.txt"), Text(u"C:\\short.txt"));
  EXPECT_EQ(ExtendedLengthPath(long_drive), u"\\\\?\\" + long_drive);
  EXPECT_EQ(ExtendedLengthPath(long_share),
            u"\\\\?\\UNC\\server\\share\\" + folder);
  EXPECT_EQ(ExtendedLengthPath(u"\\\\?\\" + long_drive),
            u"\\\\?\\" + long_drive);
  EXPECT_EQ(ExtendedLengthPath(Text(259, u'a')), Text(259, u'a'));
  EXPECT_EQ(PlainPath(ExtendedLengthPath(long_drive)), long_drive);
  EXPECT_EQ(PlainPath(ExtendedLengthPath(long_share)), long_share);
}

TEST(ReplaceLeadingFolderTest, ReplacesOnlyAWholeLeadingFolder) {
  const Text system = u"C:\\Windows\\system32";
  const Text native = u"C:\\Windows\\Sysnative";
  const auto mapped = [&](const Text& path) {
    return ReplaceLeadingFolder(path, system, native);
  };
  EXPECT_EQ(mapped(u"c:\\WINDOWS\\System32\\Tasks\\job"),
            Text(u"C:\\Windows\\Sysnative\\Tasks\\job"));
  EXPECT_EQ(mapped(system), native);
  EXPECT_EQ(mapped(u"\\\\?\\C:\\Windows\\System32\\x"),
            Text(u"\\\\?\\C:\\Windows\\Sysnative\\x"));
  for (const Text other :
       {u"C:\\Windows\\System32x\\a", u"C:\\Windows\\SysWOW64\\a",
        u"D:\\Windows\\System32", u"C:\\Windows", u""}) {
    EXPECT_EQ(mapped(other), other) << Printable(other);
  }
}

// In a 32-bit process on 64-bit Windows: Sysnative only in plain paths
// that fit, the system folder's own name with redirection off otherwise.
TEST(PathPastRedirectionTest, SysnativeOnlyWherePlainPathsFit) {
  const Text system = u"C:\\Windows\\System32";
  const Text native = u"C:\\Windows\\Sysnative";
  const Text near_limit(240, u'n');
  const Text long_name(300, u'n');
  const struct {
    Text path;
    Text given;
    bool redirection_off;
  } cases[] = {
      {system + u"\\a.txt", native + u"\\a.txt", false},
      {system + u"\\" + near_limit, u"\\\\?\\" + system + u"\\" + near_limit,
       true},
      {u"\\\\?\\" + system + u"\\a.txt", u"\\\\?\\" + system + u"\\a.txt",
       true},
      {u"C:\\Users\\a.txt", u"C:\\Users\\a.txt", false},
      {u"C:\\" + long_name, u"\\\\?\\C:\\" + long_name, false},
  };
  for (const auto& c : cases) {
    const UnredirectedPath chosen = PathPastRedirection(c.path, system, native);
    EXPECT_EQ(chosen.path, c.given) << Printable(c.path);
    EXPECT_EQ(chosen.redirection_off, c.redirection_off) << Printable(c.path);
  }
}

TEST(ClassicAnsiCodePageTest, FollowsLanguageAndScript) {
  const struct {
    std::uint16_t language_id;
    std::uint32_t code_page;
  } cases[] = {
      {0x041E, 874},  {0x0411, 932},  {0x0804, 936},  {0x0412, 949},
      {0x0404, 950},  {0x0C04, 950},  {0x1004, 936},  {0x0415, 1250},
      {0x041A, 1250}, {0x081A, 1250}, {0x0C1A, 1251}, {0x0419, 1251},
      {0x0408, 1253}, {0x041F, 1254}, {0x042C, 1254}, {0x082C, 1251},
      {0x040D, 1255}, {0x0401, 1256}, {0x0429, 1256}, {0x0426, 1257},
      {0x042A, 1258}, {0x0407, 1252}, {0x0409, 1252}, {0x0439, 1252},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ClassicAnsiCodePage(c.language_id), c.code_page)
        << std::hex << c.language_id;
  }
}

}  // namespace
}  // namespace tessaly::testing
