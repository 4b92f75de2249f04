#include "services/scratch_name.h"

#include <algorithm>

namespace tessaly {
namespace {

constexpr char16_t kExtension[] = u".txt";
constexpr std::size_t kExtensionLength = 4;
constexpr std::size_t kHexDigits = 8;
// Plain: "-" + 8 hex + "-" + 8 hex + ".txt"
constexpr std::size_t kPlainSuffixLength =
    1 + kHexDigits + 1 + kHexDigits + kExtensionLength;
// Named: 8 hex + ").txt", after " (" + word + " ".
constexpr std::size_t kNamedTailLength = kHexDigits + 1 + kExtensionLength;

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
  for (std::size_t i = 0; i < kExtensionLength; ++i) {
    char16_t unit = text[position + i];
    if (unit >= u'A' && unit <= u'Z') unit = unit - u'A' + u'a';
    if (unit != kExtension[i]) return false;
  }
  return true;
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

// A stream name ("a.txt:notes") or a control character would make the
// copy's name one that cannot be created.
char16_t FileNameUnit(char16_t unit) {
  if (unit < 32) return u'_';
  switch (unit) {
    case u'<':
    case u'>':
    case u':':
    case u'"':
    case u'/':
    case u'\\':
    case u'|':
    case u'?':
    case u'*':
      return u'_';
    default:
      return unit;
  }
}

std::optional<Text> PlainWord(const Text& file_name) {
  if (file_name.size() <= kPlainSuffixLength) return std::nullopt;
  const std::size_t suffix = file_name.size() - kPlainSuffixLength;
  const std::size_t second_dash = suffix + 1 + kHexDigits;
  if (file_name[suffix] != u'-' || !IsHexDigits(file_name, suffix + 1) ||
      file_name[second_dash] != u'-' ||
      !IsHexDigits(file_name, second_dash + 1) ||
      !IsExtension(file_name, second_dash + 1 + kHexDigits)) {
    return std::nullopt;
  }
  return file_name.substr(0, suffix);
}

std::optional<Text> NamedWord(const Text& file_name) {
  // At least "x (w " before the tail.
  if (file_name.size() < kNamedTailLength + 5) return std::nullopt;
  const std::size_t digits = file_name.size() - kNamedTailLength;
  const std::size_t closing = digits + kHexDigits;
  if (file_name[digits - 1] != u' ' || !IsHexDigits(file_name, digits) ||
      file_name[closing] != u')' || !IsExtension(file_name, closing + 1)) {
    return std::nullopt;
  }
  const std::size_t opening = file_name.rfind(u" (", digits - 2);
  if (opening == Text::npos || opening == 0) return std::nullopt;
  const std::size_t word = opening + 2;
  if (word >= digits - 1) return std::nullopt;
  return file_name.substr(word, digits - 1 - word);
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

Text ScratchFileName(const Text& word, const Text& shown_name,
                     std::uint32_t process_id, std::uint32_t random,
                     std::size_t longest) {
  Text suffix = u" (" + word + u' ';
  AppendHex(suffix, random);
  suffix += u')';
  suffix += kExtension;
  const std::size_t limit = std::min(longest, kLongestFileName);
  const std::size_t room = limit > suffix.size() ? limit - suffix.size() : 0;
  std::size_t kept = std::min(shown_name.size(), room);
  if (kept > 0 && kept < shown_name.size() &&
      IsHighSurrogate(shown_name[kept - 1])) {
    --kept;
  }
  if (kept == 0) return ScratchFileName(word, process_id, random);
  Text name;
  name.reserve(kept + suffix.size());
  for (std::size_t i = 0; i < kept; ++i) name += FileNameUnit(shown_name[i]);
  return name + suffix;
}

std::optional<Text> ScratchFileWord(const Text& file_name) {
  if (std::optional<Text> word = NamedWord(file_name)) return word;
  return PlainWord(file_name);
}

}  // namespace tessaly
