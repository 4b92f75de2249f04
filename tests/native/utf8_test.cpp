#include "text/utf8.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {
namespace {

using namespace std::string_literals;

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

// Non-ASCII at every place of a sixteen-byte block, and as the last
// character, where there is exactly room for the text and where one unit
// less; and broken sequences, long after ASCII or at the end.
TEST(DecodeWellFormedUtf8Test, DecodesEveryPlaceAndRefusesBrokenBytes) {
  const std::string run(40, 'x');
  for (const auto& [character, units] :
       {std::pair{"\xC3\xA4"s, u"\u00E4"s},
        {"\xE2\x82\xAC"s, u"\u20AC"s},
        {"\xF0\x9F\x98\x80"s, u"\U0001F600"s}}) {
    for (std::size_t at = 0; at <= run.size(); ++at) {
      const std::string bytes = run.substr(0, at) + character + run.substr(at);
      std::u16string expected(run.begin(), run.end());
      expected.insert(at, units);
      std::u16string out(expected.size(), u'-');
      EXPECT_EQ(DecodeWellFormedUtf8(bytes, out.data(), out.size()),
                expected.size());
      EXPECT_EQ(out, expected) << at;
      EXPECT_EQ(DecodeWellFormedUtf8(bytes, out.data(), out.size() - 1),
                std::nullopt)
          << at;
    }
  }
  for (const std::string& broken :
       {"\xC0\xAF"s, "\xE0\x80\xAF"s, "\xED\xA0\x80"s, "\xF4\x90\x80\x80"s,
        "\xF8\x88\x80\x80\x80"s, "\x80"s, "\xC3"s, "\xE2\x82"s, "\xC3\x41"s}) {
    for (const std::string& bytes : {broken, run + broken, broken + run}) {
      std::u16string out(bytes.size(), u'-');
      EXPECT_EQ(DecodeWellFormedUtf8(bytes, out.data(), out.size()),
                std::nullopt)
          << bytes;
    }
  }
}

}  // namespace
}  // namespace tessaly
