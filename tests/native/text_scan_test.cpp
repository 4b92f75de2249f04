#include "text/text_scan.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "text/encoding.h"

namespace tessaly {
namespace {

using namespace std::string_literals;

TEST(TextScanTest, MarkDecidesElseUtf8ValidityDoes) {
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
    TextScan scan;
    scan.Add(c.bytes);
    scan.Finish();
    const EncodingChoice choice = scan.Choice();
    EXPECT_EQ(choice.encoding, c.encoding) << c.bytes.size() << " bytes";
    EXPECT_EQ(choice.mark_length, c.mark_length) << c.bytes.size() << " bytes";
  }
}

TEST(TextScanTest, CountsTheSameHoweverTheFileIsCut) {
  const struct {
    std::string bytes;
    TextEncoding encoding;
    std::size_t mark, units, line_feeds;
  } cases[] = {
      {"", TextEncoding::kUtf8, 0, 0, 0},
      {"a\n", TextEncoding::kUtf8, 0, 2, 1},
      {"\xEF\xBB\xBF", TextEncoding::kUtf8, 3, 0, 0},
      {"\xD0\x96\n\xF0\x9F\x98\x80\n", TextEncoding::kUtf8, 0, 5, 2},
      {"\xEF\xBB\xBF\xE0\x41\n", TextEncoding::kUtf8, 3, 3, 1},
      {"Gr\xFC\xDF\n", TextEncoding::kAnsi, 0, 5, 1},
      {"\xFF\xFE"
       "a\0\n\0\x0A\x01z"s,
       TextEncoding::kUtf16Le, 2, 4, 1},
      {"\xFE\xFF\0\n\n\0"s, TextEncoding::kUtf16Be, 2, 2, 1},
  };
  for (const auto& c : cases) {
    for (std::size_t chunk = 1; chunk <= c.bytes.size() + 1; ++chunk) {
      TextScan scan;
      for (std::size_t at = 0; at < c.bytes.size(); at += chunk) {
        scan.Add(std::string_view(c.bytes).substr(at, chunk));
      }
      scan.Finish();
      EXPECT_EQ(scan.Choice().encoding, c.encoding) << c.bytes;
      EXPECT_EQ(scan.Choice().mark_length, c.mark) << c.bytes;
      EXPECT_EQ(scan.Units(), c.units) << c.bytes << ", chunks of " << chunk;
      EXPECT_EQ(scan.LineFeeds(), c.line_feeds) << c.bytes;
      EXPECT_EQ(scan.Bytes(), c.bytes.size());
    }
  }
}

}  // namespace
}  // namespace tessaly
