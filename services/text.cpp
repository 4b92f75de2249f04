#include "services/text.h"

#include <string>

namespace tessaly {

Text ToText(const Variant& value) {
  if (const Text* text = std::get_if<Text>(&value)) return *text;
  if (const std::int32_t* number = std::get_if<std::int32_t>(&value)) {
    const std::string digits = std::to_string(*number);
    return Text(digits.begin(), digits.end());
  }
  return Text();
}

void AppendHex(Text& text, std::uint32_t value, HexCase letters) {
  const char16_t* const digits =
      letters == HexCase::kLower ? u"0123456789abcdef" : u"0123456789ABCDEF";
  for (int shift = 28; shift >= 0; shift -= 4) {
    text += digits[(value >> shift) & 0xF];
  }
}

}  // namespace tessaly
