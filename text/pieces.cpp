#include "text/pieces.h"

#include <cstring>

namespace tessaly {
namespace {

// How many bytes the sequence a byte starts says it has. Every byte from C0
// up counts as a lead, also those no valid sequence starts with (C0, C1,
// F5-FF): some decoders take them for one.
std::size_t AnnouncedLength(char byte) {
  const auto value = static_cast<unsigned char>(byte);
  if (value >= 0xF0) return 4;
  if (value >= 0xE0) return 3;
  if (value >= 0xC0) return 2;
  return 1;
}

// A decoder that meets the end of its input inside a sequence may take all
// the rest as one broken character, so a UTF-8 piece may end only where no
// sequence that starts before the end announces bytes after it. In valid
// text that is every sequence boundary.
bool Utf8MayEndAt(std::string_view bytes, std::size_t end) {
  for (std::size_t start = end > 3 ? end - 3 : 0; start < end; ++start) {
    if (start + AnnouncedLength(bytes[start]) > end) return false;
  }
  return true;
}

std::size_t Utf8PieceEnd(std::string_view bytes) {
  // Valid text can end within its last four bytes; a run of broken lead
  // bytes may give no end for a while, and then waits for more.
  constexpr std::size_t kLookBack = 64;
  const std::size_t lowest =
      bytes.size() > kLookBack ? bytes.size() - kLookBack : 1;
  for (std::size_t end = bytes.size(); end >= lowest && end > 0; --end) {
    if (Utf8MayEndAt(bytes, end)) return end;
  }
  return 0;
}

// Decoders differ on a lead byte followed by a byte that cannot end a pair:
// some pair them anyway, some take the lead alone. Neither can join a byte
// that is no lead byte to the one after it, so a piece ends after two such
// bytes in a row, or after one at its start, which is where a character
// starts.
std::size_t DoubleBytePieceEnd(std::string_view bytes,
                               const std::array<bool, 256>& lead_bytes) {
  const auto is_lead = [&](std::size_t i) {
    return lead_bytes[static_cast<unsigned char>(bytes[i])];
  };
  for (std::size_t end = bytes.size(); end > 0; --end) {
    if (!is_lead(end - 1) && (end == 1 || !is_lead(end - 2))) return end;
  }
  return 0;
}

}  // namespace

std::size_t PieceEnd(std::string_view bytes, const PieceRule& rule) {
  switch (rule.kind) {
    case PieceRule::Kind::kUtf8:
      return Utf8PieceEnd(bytes);
    case PieceRule::Kind::kUtf16:
      // Units are copied one by one, so a surrogate pair may be split.
      return bytes.size() / 2 * 2;
    case PieceRule::Kind::kSingleByte:
      return bytes.size();
    case PieceRule::Kind::kDoubleByte:
      return DoubleBytePieceEnd(bytes, rule.lead_bytes);
  }
  return 0;
}

std::optional<std::size_t> DecodeInPieces(const ByteSource& source,
                                          std::vector<char>& buffer,
                                          const PieceRule& rule,
                                          const PieceDecoder& decode,
                                          char16_t* out, std::size_t room) {
  std::size_t written = 0;
  std::size_t kept = 0;  // Bytes left from the piece before, at the front.
  for (;;) {
    const std::size_t filled =
        kept + source(buffer.data() + kept, buffer.size() - kept);
    const bool at_end = filled < buffer.size();
    const std::string_view bytes(buffer.data(), filled);
    const std::size_t piece = at_end ? filled : PieceEnd(bytes, rule);
    if (piece > 0) {
      const std::optional<std::size_t> units =
          decode(bytes.substr(0, piece), out + written, room - written);
      if (!units) return std::nullopt;
      written += *units;
    }
    if (at_end) return written;
    kept = filled - piece;
    if (piece > 0) {
      std::memmove(buffer.data(), buffer.data() + piece, kept);
    } else {
      buffer.resize(buffer.size() * 2);  // No whole piece yet.
    }
  }
}

}  // namespace tessaly
