#include "services/text_encoding.h"

#include <cstdint>
#include <cstring>

namespace tessaly {

std::optional<EncodingChoice> ByteOrderMark(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    return EncodingChoice{TextEncoding::kUtf8, 3};
  }
  if (bytes.starts_with("\xFF\xFE")) {
    return EncodingChoice{TextEncoding::kUtf16Le, 2};
  }
  if (bytes.starts_with("\xFE\xFF")) {
    return EncodingChoice{TextEncoding::kUtf16Be, 2};
  }
  return std::nullopt;
}

EncodingChoice ChooseEncoding(std::string_view bytes) {
  if (const std::optional<EncodingChoice> mark = ByteOrderMark(bytes)) {
    return *mark;
  }
  return {IsValidUtf8(bytes) ? TextEncoding::kUtf8 : TextEncoding::kAnsi, 0};
}

bool IsValidUtf8(std::string_view bytes) {
  Utf8Scan scan;
  scan.Add(bytes);
  return scan.Complete();
}

void Utf8Scan::Add(std::string_view bytes) {
  const auto* byte = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* const end = byte + bytes.size();
  while (valid_ && byte < end) {
    if (needed_ > 0) {
      if (*byte < low_ || *byte > high_) {
        valid_ = false;
        break;
      }
      low_ = 0x80;
      high_ = 0xBF;
      --needed_;
      ++byte;
      continue;
    }
    // Runs of ASCII, eight bytes at a time: most text is mostly ASCII.
    const auto* const run_start = byte;
    while (end - byte >= 8) {
      std::uint64_t word;
      std::memcpy(&word, byte, 8);
      if ((word & 0x8080808080808080ULL) != 0) break;
      byte += 8;
    }
    while (byte < end && *byte < 0x80) ++byte;
    units_ += static_cast<std::size_t>(byte - run_start);
    if (byte == end) break;
    const Utf8Lead sequence = ReadUtf8Lead(*byte++);
    if (sequence.length == 0) {
      valid_ = false;
      break;
    }
    needed_ = sequence.length - 1;
    low_ = sequence.low;
    high_ = sequence.high;
    // A four-byte sequence is a surrogate pair in UTF-16.
    units_ += needed_ == 3 ? 2 : 1;
  }
}

}  // namespace tessaly
