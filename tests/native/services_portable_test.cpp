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

TEST(ByteOrderMarkTest, MarksAreFoundOnlyAtTheStart) {
  using namespace std::string_view_literals;
  struct Case {
    std::string_view bytes;
    ByteOrderMark mark;
    std::size_t length;
  };
  const Case cases[] = {
      {""sv, ByteOrderMark::kNone, 0},
      {"\xEF\xBB\xBF"sv, ByteOrderMark::kUtf8, 3},
      {"\xEF\xBB\xBFtext"sv, ByteOrderMark::kUtf8, 3},
      {"\xEF\xBB"sv, ByteOrderMark::kNone, 0},
      {"\xFF\xFEt\0"sv, ByteOrderMark::kUtf16Le, 2},
      {"\xFE\xFF\0t"sv, ByteOrderMark::kUtf16Be, 2},
      {"\xFF"sv, ByteOrderMark::kNone, 0},
      {"x\xEF\xBB\xBF"sv, ByteOrderMark::kNone, 0},
  };
  for (const Case& c : cases) {
    const DetectedEncoding found = DetectByteOrderMark(c.bytes);
    EXPECT_EQ(found.mark, c.mark) << c.bytes.size() << " bytes";
    EXPECT_EQ(found.mark_length, c.length) << c.bytes.size() << " bytes";
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
