#include "services/scratch_name.h"

#include <algorithm>

namespace tessaly {
namespace {

constexpr char16_t kExtension[] = u".txt";
constexpr std::size_t kHexDigits = 8;
// "-" + 8 hex + "-" + 8 hex + ".txt"
constexpr std::size_t kSuffixLength = 1 + kHexDigits + 1 + kHexDigits + 4;

void AppendHex(Text& text, std::uint32_t value) {
  constexpr char16_t kDigits[] = u"0123456789abcdef";
  for (int shift = 28; shift >= 0; shift -= 4) {
    text += kDigits[(value >> shift) & 0xF];
  }
}

bool IsHexDigits(const Text& text, std::size_t position) {
  return std::all_of(text.begin() + position,
                     text.begin() + position + kHexDigits, [](char16_t unit) {
                       return (unit >= u'0' && unit <= u'9') ||
                              (unit >= u'a' && unit <= u'f') ||
                              (unit >= u'A' && unit <= u'F');
                     });
}

bool IsExtension(const Text& text, std::size_t position) {
  for (std::size_t i = 0; i < 4; ++i) {
    char16_t unit = text[position + i];
    if (unit >= u'A' && unit <= u'Z') unit = unit - u'A' + u'a';
    if (unit != kExtension[i]) return false;
  }
  return true;
}

}  // namespace

Text ScratchFileName(const Text& word, std::uint32_t process_id,
                     std::uint32_t random) {
  Text name = word;
  name += u'-';
  AppendHex(name, process_id);
  name += u'-';
  AppendHex(name, random);
  name += kExtension;
  return name;
}

std::optional<Text> ScratchFileWord(const Text& file_name) {
  if (file_name.size() <= kSuffixLength) return std::nullopt;
  const std::size_t suffix = file_name.size() - kSuffixLength;
  const std::size_t second_dash = suffix + 1 + kHexDigits;
  if (file_name[suffix] != u'-' || !IsHexDigits(file_name, suffix + 1) ||
      file_name[second_dash] != u'-' ||
      !IsHexDigits(file_name, second_dash + 1) ||
      !IsExtension(file_name, second_dash + 1 + kHexDigits)) {
    return std::nullopt;
  }
  return file_name.substr(0, suffix);
}

}  // namespace tessaly
