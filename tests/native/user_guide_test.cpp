// The user's guide, README.txt in the release, quotes the program's
// messages; a change to either must show here, not in a user's question.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "app/mod_ascii_convert.h"
#include "resources/names.h"

namespace tessaly::ModAsciiConvert {
namespace {

std::string ReadGuide() {
  std::ifstream file(TESSALY_USER_GUIDE, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// The messages are ASCII, as the guide is.
std::string Quoted(const char16_t* message) {
  std::string quoted = "\"";
  for (; *message != u'\0'; ++message) {
    EXPECT_LT(*message, 0x80) << "not ASCII";
    quoted += static_cast<char>(*message);
  }
  return quoted + '"';
}

TEST(UserGuideTest, QuotesTheCaptionAndBothMessagesAsShown) {
  const std::string guide = ReadGuide();
  ASSERT_FALSE(guide.empty()) << TESSALY_USER_GUIDE;
  for (const std::string& quoted :
       {std::string("\"" TESSALY_APP_TITLE "\""),
        Quoted(kMissingArgumentMessage), Quoted(kFileNotFoundMessage)}) {
    EXPECT_NE(guide.find(quoted), std::string::npos) << quoted;
  }
}

}  // namespace
}  // namespace tessaly::ModAsciiConvert
