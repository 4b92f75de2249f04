#include "text/pieces.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "text/utf16.h"

namespace tessaly {
namespace {

using namespace std::string_literals;

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
      {"ab", 2},
      {"a\x83\x5C", 1},  // The backslash may end a pair:
                         // not after it.
      {"a\x83\n", 1},    // A lead byte may swallow the line feed after it.
      {"a\x83\x5C\nb", 5},
      {"\x83\x5C\x83\x5C", 0},
      {"x\x83", 1},
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

}  // namespace
}  // namespace tessaly
