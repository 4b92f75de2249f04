#include "services/text_encoding.h"

#include <cstdint>
#include <cstring>

namespace tessaly {
namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

EncodingChoice ChooseEncoding(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) return {TextEncoding::kUtf8, 3};
  if (bytes.starts_with("\xFF\xFE")) return {TextEncoding::kUtf16Le, 2};
  if (bytes.starts_with("\xFE\xFF")) return {TextEncoding::kUtf16Be, 2};
  return {IsValidUtf8(bytes) ? TextEncoding::kUtf8 : TextEncoding::kAnsi, 0};
}

bool IsValidUtf8(std::string_view bytes) {
  const auto* byte = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* const end = byte + bytes.size();
  while (byte < end) {
    // Runs of ASCII, eight bytes at a time: most text is mostly ASCII.
    while (end - byte >= 8) {
      std::uint64_t word;
      std::memcpy(&word, byte, 8);
      if ((word & 0x8080808080808080ULL) != 0) break;
      byte += 8;
    }
    if (byte == end) break;
    const unsigned char lead = *byte;
    if (lead < 0x80) {
      ++byte;
      continue;
    }
    // The allowed range of the second byte narrows for E0, ED, F0 and F4,
    // which is what rules out overlong forms, surrogates and values past
    // U+10FFFF.
    std::size_t length;
    unsigned char second_low = 0x80, second_high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) second_low = 0xA0;
      if (lead == 0xED) second_high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) second_low = 0x90;
      if (lead == 0xF4) second_high = 0x8F;
    } else {
      return false;
    }
    if (static_cast<std::size_t>(end - byte) < length) return false;
    if (byte[1] < second_low || byte[1] > second_high) return false;
    for (std::size_t i = 2; i < length; ++i) {
      if (!IsContinuation(byte[i])) return false;
    }
    byte += length;
  }
  return true;
}

}  // namespace tessaly
