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

}  // namespace tessaly
