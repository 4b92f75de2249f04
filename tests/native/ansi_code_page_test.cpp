#include "text/ansi_code_page.h"

#include <gtest/gtest.h>

namespace tessaly::testing {
namespace {

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
