#include "services/text_pieces.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tessaly {
namespace {

using namespace std::string_literals;

TEST(PieceEndTest, Utf8EndsWhereNoSequenceAnnouncesMoreBytes) {
  const PieceRule utf8{PieceRule::Kind::kUtf8};
  const struct {
    std::string bytes;
    std::size_t end;
  } cases[] = {
      {"abc", 3},
      {"a\xE2\x82\xAC", 4},     // A whole euro sign.
      {"a\xE2\x82", 1},         // Half of one: it waits.
      {"a\xF0\x9F\x98", 1},     // Three quarters of an emoji.
      {"ab\xE0\x41", 2},        // A broken lead still announces three.
      {"\x80\x80\x80\x80", 4},  // Stray continuation bytes end anywhere.
      {"\xE0\xE0\xE0", 0},      // Nothing can end yet.
      {"x\xC2\xA9\xF4", 3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PieceEnd(c.bytes, utf8), c.end) << c.bytes;
  }
}

TEST(PieceEndTest, DoubleByteEndsAfterTwoSingleBytesOrOneAtTheStart) {
  PieceRule rule{PieceRule::Kind::kDoubleByte};
  for (int byte = 0x81; byte <= 0x9F; ++byte) rule.lead_bytes[byte] = true;
  const struct {
    std::string bytes;
    std::size_t end;
  } cases[] = {
      {"ab", 2},           {"a\x83\x5C", 1},  // The backslash may end a pair:
                                              // not after it.
      {"a\x83\n", 1},  // A lead byte may swallow the line feed after it.
      {"a\x83\x5C\nb", 5}, {"\x83\x5C\x83\x5C", 0}, {"x\x83", 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PieceEnd(c.bytes, rule), c.end) << c.bytes;
  }
}

TEST(DecodeInPiecesTest, CarriesPartsOfCharactersAndGrowsForLongOnes) {
  const std::string bytes = "a\xE2\x82\xAC\xF0\x9F\x98\x80z";
  std::size_t position = 0;
  const ByteSource source = [&](char* buffer, std::size_t size) {
    const std::size_t count = std::min(size, bytes.size() - position);
    bytes.copy(buffer, count, position);
    position += count;
    return count;
  };
  std::vector<std::string> pieces;
  const PieceDecoder record =
      [&](std::string_view piece, char16_t* out,
          std::size_t room) -> std::optional<std::size_t> {
    pieces.emplace_back(piece);
    if (room < piece.size()) return std::nullopt;
    for (const char byte : piece) *out++ = static_cast<unsigned char>(byte);
    return piece.size();
  };
  std::vector<char> buffer(3);
  std::u16string out(bytes.size(), u'\0');
  EXPECT_EQ(DecodeInPieces(source, buffer, PieceRule{PieceRule::Kind::kUtf8},
                           record, out.data(), out.size()),
            bytes.size());
  EXPECT_EQ(pieces, (std::vector<std::string>{"a", "\xE2\x82\xAC",
                                              "\xF0\x9F\x98\x80z"}));
  EXPECT_EQ(buffer.size(), 6u) << "grew once, to hold the emoji";

  position = 0;
  EXPECT_EQ(DecodeInPieces(source, buffer, PieceRule{PieceRule::Kind::kUtf8},
                           record, out.data(), 4),
            std::nullopt)
      << "text beyond the room it was given";
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

TEST(StreamHashTest, SameForAnyCutDifferentForOtherBytes) {
  std::string bytes;
  for (int i = 0; i < 300; ++i) bytes += static_cast<char>(i * 7);
  StreamHash whole;
  whole.Add(bytes);
  for (std::size_t chunk = 1; chunk < 70; chunk += 3) {
    StreamHash cut;
    for (std::size_t at = 0; at < bytes.size(); at += chunk) {
      cut.Add(std::string_view(bytes).substr(at, chunk));
    }
    EXPECT_EQ(cut.Value(), whole.Value()) << chunk;
  }
  for (const std::size_t changed : {0u, 31u, 32u, 150u, 299u}) {
    std::string other = bytes;
    other[changed] ^= 1;
    StreamHash hash;
    hash.Add(other);
    EXPECT_NE(hash.Value(), whole.Value()) << changed;
  }
  StreamHash shorter;
  shorter.Add(std::string_view(bytes).substr(0, 299));
  EXPECT_NE(shorter.Value(), whole.Value());
}

}  // namespace
}  // namespace tessaly
