// Reading a file's text a piece at a time, so that the file's bytes are
// never all in memory at once: what a first pass over the bytes counts,
// where a piece may end, and the loop that decodes piece after piece
// straight into the text.
#ifndef TESSALY_SERVICES_TEXT_PIECES_H_
#define TESSALY_SERVICES_TEXT_PIECES_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "services/text_encoding.h"

namespace tessaly {

/// A 64-bit hash of a stream of bytes, the same however the stream is cut
/// into chunks. Not cryptographic: it tells whether two reads of a file
/// gave the same bytes.
class StreamHash {
 public:
  void Add(std::string_view bytes);
  std::uint64_t Value() const;

 private:
  static constexpr std::size_t kLanes = 8;
  static constexpr std::size_t kBlock = 4 * kLanes;
  void Mix(const char* blocks, std::size_t count);

  std::array<std::uint32_t, kLanes> lanes_ = {
      0x243F6A88U, 0x85A308D3U, 0x13198A2EU, 0x03707344U,
      0xA4093822U, 0x299F31D0U, 0x082EFA98U, 0xEC4E6C89U};
  std::array<char, kBlock> pending_ = {};
  std::size_t pending_size_ = 0;
  std::uint64_t length_ = 0;
};

/// What a first pass over a file's bytes finds: the encoding, how much room
/// its text needs, and a hash to tell a second read of the same bytes.
class TextScan {
 public:
  /// Takes the file's next bytes. Cutting the file into chunks differently
  /// gives the same results.
  void Add(std::string_view chunk);
  /// After the last chunk, before any of the results.
  void Finish();

  EncodingChoice Choice() const;
  std::uint64_t Bytes() const { return bytes_; }
  std::uint64_t Hash() const { return hash_.Value(); }
  /// The most UTF-16 units the text decodes to: exact for UTF-16 and
  /// well-formed UTF-8, one per byte otherwise, which no decoder exceeds.
  std::size_t Units() const;
  /// Line feeds, as bytes or as UTF-16 units: room for the line-end
  /// conversion to widen the text in place.
  std::size_t LineFeeds() const { return line_feeds_; }
  /// For a text not in UTF-16: whether it is well-formed UTF-8.
  bool WellFormedUtf8() const { return utf8_.Complete(); }

 private:
  void TakeHead();
  void AddText(std::string_view bytes);

  StreamHash hash_;
  std::uint64_t bytes_ = 0;
  std::string head_;  // The first bytes, until the byte order mark is clear.
  std::optional<EncodingChoice> mark_;
  Utf8Scan utf8_;
  std::uint64_t text_bytes_ = 0;  // After the mark.
  std::size_t line_feeds_ = 0;
  std::optional<unsigned char> odd_byte_;  // UTF-16: half a unit.
};

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

/// Decodes well-formed UTF-8 into units, as every conforming decoder does,
/// and faster than a general one: runs of ASCII go sixteen bytes at a time.
/// Gives nothing for bytes that are not well-formed UTF-8, a sequence cut
/// off at the end included, and for units that would not fit.
std::optional<std::size_t> DecodeWellFormedUtf8(std::string_view bytes,
                                                char16_t* out,
                                                std::size_t room);

/// Decodes UTF-16 bytes of either order into units. A lone last byte is half
/// a character: it becomes U+FFFD, to show that something is there.
std::optional<std::size_t> DecodeUtf16(std::string_view bytes, bool big_endian,
                                       char16_t* out, std::size_t room);

}  // namespace tessaly

#endif  // TESSALY_SERVICES_TEXT_PIECES_H_
