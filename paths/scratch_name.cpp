#include "paths/scratch_name.h"

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
    if (AsciiLower(text[position + i]) != kExtension[i]) return false;
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

// Where a name's part before its first dot, blanks and dots after it
// dropped, is a device's, Windows opens the device: "nul.txt" and
// "NUL .tar.gz" are NUL, "com1.log" a serial port, and "conout$.log" the
// console on Windows 8 to 10. Returns where that part ends, or nothing for
// any other name.
std::optional<std::size_t> DeviceStemEnd(const Text& name) {
  std::size_t end = std::min(name.find(u'.'), name.size());
  while (end > 0 && (name[end - 1] == u' ' || name[end - 1] == u'.')) --end;
  if (end < 3 || end > 7) return std::nullopt;
  Text stem;
  for (std::size_t i = 0; i < end; ++i) stem += AsciiLower(name[i]);
  if (stem == u"con" || stem == u"prn" || stem == u"aux" || stem == u"nul" ||
      stem == u"conin$" || stem == u"conout$") {
    return end;
  }
  // COM0 to COM9 and LPT0 to LPT9, and with a superscript 1, 2 or 3.
  const char16_t digit = end == 4 ? stem[3] : u'\0';
  const bool port_number = (digit >= u'0' && digit <= u'9') ||
                           digit == u'\u00B9' || digit == u'\u00B2' ||
                           digit == u'\u00B3';
  if (port_number && (stem.starts_with(u"com") || stem.starts_with(u"lpt"))) {
    return end;
  }
  return std::nullopt;
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
  AppendHex(name, process_id, HexCase::kLower);
  name += u'-';
  AppendHex(name, random, HexCase::kLower);
  name += kExtension;
  return name;
}

Text ScratchFileName(const Text& word, const Text& shown_name,
                     std::uint32_t process_id, std::uint32_t random,
                     std::size_t longest) {
  Text suffix = u" (" + word + u' ';
  AppendHex(suffix, random, HexCase::kLower);
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
  name.reserve(kept + 1 + suffix.size());
  for (std::size_t i = 0; i < kept; ++i) name += FileNameUnit(shown_name[i]);
  if (const std::optional<std::size_t> end = DeviceStemEnd(name + suffix)) {
    // "nul.txt" becomes "nul_.txt", which names no device; the name's last
    // character makes room where there is none.
    name.insert(*end, 1, u'_');
    if (name.size() + suffix.size() > limit) {
      name.pop_back();
      if (!name.empty() && IsHighSurrogate(name.back())) name.pop_back();
    }
  }
  return name + suffix;
}

std::optional<Text> ScratchFileWord(const Text& file_name) {
  if (std::optional<Text> word = NamedWord(file_name)) return word;
  return PlainWord(file_name);
}

}  // namespace tessaly
