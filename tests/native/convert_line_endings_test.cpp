#include <gtest/gtest.h>

#include <algorithm>

#include "app/mod_ascii_convert.h"
#include "tests/native/fake_platform.h"

namespace tessaly::testing {
namespace {

using ModAsciiConvert::ConvertLineEndings;

TEST(ConvertLineEndingsTest, TurnsEachLineFeedIntoCarriageReturnLineFeed) {
  struct Case {
    Text input;
    Text expected;
  };
  const Case cases[] = {
      {u"", u""},
      {u"plain", u"plain"},
      {u"a\rb\r", u"a\rb\r"},
      {u"a\nb", u"a\r\nb"},
      {u"a\r\nb", u"a\r\r\nb"},
      {u"\n\n", u"\r\n\r\n"},
      {u"\nstart", u"\r\nstart"},
      {u"end\n", u"end\r\n"},
      {u"\n", u"\r\n"},
      {u"\u00FC\n\U0001F600\n\u4E2D", u"\u00FC\r\n\U0001F600\r\n\u4E2D"},
      {Text(u"nul\0\nx", 6), Text(u"nul\0\r\nx", 7)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Printable(ConvertLineEndings(c.input)), Printable(c.expected))
        << "for \"" << Printable(c.input) << '"';
  }
}

TEST(ConvertLineEndingsTest, WidensInPlaceWhenThereIsRoomAndCopiesOtherwise) {
  Text input;
  for (int line = 0; line < 300; ++line) {
    input += Text(static_cast<std::size_t>(line % 13), u'x') + u"\r\n";
  }
  input += u"no line feed at the end";
  Text expected;
  for (char16_t unit : input) {
    if (unit == u'\n') expected += u'\r';
    expected += unit;
  }

  Text roomy = input;
  roomy.reserve(expected.size());
  const char16_t* buffer = roomy.data();
  const Text widened = ConvertLineEndings(std::move(roomy));
  EXPECT_EQ(widened.data(), buffer) << "the text was copied";
  EXPECT_EQ(Printable(widened), Printable(expected));

  Text tight = input;
  tight.shrink_to_fit();
  EXPECT_EQ(Printable(ConvertLineEndings(std::move(tight))),
            Printable(expected));
}

TEST(ConvertLineEndingsTest, GrowsByOneUnitPerLineFeedAndKeepsTheRest) {
  Text input;
  for (int i = 0; i < 5000; ++i) {
    input += static_cast<char16_t>(i % 7 == 0 ? u'\n' : u'a' + i % 26);
    if (i % 11 == 0) input += u'\r';
  }
  const Text output = ConvertLineEndings(input);
  const auto line_feeds = std::count(input.begin(), input.end(), u'\n');
  EXPECT_EQ(output.size(), input.size() + line_feeds);

  // Dropping the one CR in front of each LF gives back the input, original
  // CRs included.
  Text restored;
  for (std::size_t i = 0; i < output.size(); ++i) {
    if (output[i] == u'\r' && i + 1 < output.size() && output[i + 1] == u'\n') {
      continue;
    }
    restored += output[i];
  }
  EXPECT_EQ(Printable(restored), Printable(input));
}

}  // namespace
}  // namespace tessaly::testing
