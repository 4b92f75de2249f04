#include "text/utf16.h"

namespace tessaly {

std::optional<std::size_t> DecodeUtf16(std::string_view bytes, bool big_endian,
                                       char16_t* out, std::size_t room) {
  const std::size_t whole_units = bytes.size() / 2;
  const std::size_t units = whole_units + bytes.size() % 2;
  if (units > room) return std::nullopt;
  const int high = big_endian ? 0 : 1;
  for (std::size_t i = 0; i < whole_units; ++i) {
    const auto first = static_cast<unsigned char>(bytes[2 * i + high]);
    const auto second = static_cast<unsigned char>(bytes[2 * i + 1 - high]);
    out[i] = static_cast<char16_t>(first << 8 | second);
  }
  if (units != whole_units) out[whole_units] = u'\xFFFD';
  return units;
}

}  // namespace tessaly
