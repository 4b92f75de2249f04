#ifndef TESSALY_TEXT_TEXT_SCAN_H_
#define TESSALY_TEXT_TEXT_SCAN_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "text/encoding.h"
#include "text/stream_hash.h"
#include "text/utf8.h"

namespace tessaly {

/// What a first pass over a file's bytes finds: the encoding, how much room
/// its text needs, and a hash to tell a second read of the same bytes.
class TextScan {
 public:
  /// Takes the file's next bytes. Cutting the file into chunks differently
  /// gives the same results.
  void Add(std::string_view chunk);
  /// After the last chunk, before any of the results.
  void Finish();

  /// A byte order mark decides, and is to be skipped. Without one, bytes
  /// that are well-formed UTF-8 are UTF-8, and anything else is in the
  /// ANSI code page.
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

}  // namespace tessaly

#endif  // TESSALY_TEXT_TEXT_SCAN_H_
