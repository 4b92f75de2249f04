#include <gtest/gtest.h>

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
}

}  // namespace
}  // namespace tessaly::testing
