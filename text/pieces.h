// Reading a file's text a piece at a time, so that the file's bytes are
// never all in memory at once: where a piece may end, and the loop that
// decodes piece after piece straight into the text.
#ifndef TESSALY_TEXT_PIECES_H_
#define TESSALY_TEXT_PIECES_H_

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace tessaly {

/// Where a piece of bytes may end, for each kind of encoding. A piece must
/// decode on its own to exactly what it decodes to inside the whole file: no
/// character is split, and no decoder that takes the piece's end for the end
/// of its input swallows bytes of the next piece with a broken character.
struct PieceRule {
  enum class Kind { kUtf8, kUtf16, kSingleByte, kDoubleByte };
  Kind kind = Kind::kSingleByte;
  /// For kDoubleByte: the bytes that start a two-byte character.
  std::array<bool, 256> lead_bytes = {};
};

/// The length of the longest prefix of `bytes` that may be decoded as a
/// piece of its own while more bytes follow; 0 when there is none yet.
std::size_t PieceEnd(std::string_view bytes, const PieceRule& rule);

/// Reads the next bytes into `buffer`, at most `size`, and returns how many:
/// fewer than `size` only at the end.
using ByteSource = std::function<std::size_t(char* buffer, std::size_t size)>;

/// Decodes one piece into `out`, which has room for `room` units, and
/// returns how many it wrote; nothing when they would not fit.
using PieceDecoder = std::function<std::optional<std::size_t>(
    std::string_view piece, char16_t* out, std::size_t room)>;

/// Decodes all that `source` gives into `out`, which has room for `room`
/// units, piece by piece as `rule` allows. `buffer` holds one piece at a
/// time: the bytes after a piece's end move to its front for the next one,
/// and it grows only when it holds no whole piece. Returns the units
/// written, or nothing when they would not fit.
std::optional<std::size_t> DecodeInPieces(const ByteSource& source,
                                          std::vector<char>& buffer,
                                          const PieceRule& rule,
                                          const PieceDecoder& decode,
                                          char16_t* out, std::size_t room);

}  // namespace tessaly

#endif  // TESSALY_TEXT_PIECES_H_
