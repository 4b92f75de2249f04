#ifndef TESSALY_SERVICES_TEXT_H_
#define TESSALY_SERVICES_TEXT_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>

namespace tessaly {

/// A counted sequence of UTF-16 code units: paths, messages, the command line
/// and a file's content. The empty string stands for the null text too.
using Text = std::u16string;

/// A value that carries its own type, as some helper operations return it.
using Variant = std::variant<std::monostate, std::int32_t, Text>;

/// Makes `text` `size` units long and lets `write(data, size)` fill them,
/// keeping what was there before; `write` returns how many it filled. Where
/// the library allows it (C++23), the new units are not zeroed first: on big
/// files that would touch every page twice.
template <typename Writer>
void OverwriteText(Text& text, std::size_t size, Writer write) {
#if defined(__cpp_lib_string_resize_and_overwrite)
  text.resize_and_overwrite(size, std::move(write));
#else
  text.resize(size);
  text.resize(write(text.data(), size));
#endif
}

/// Converts a variant to text: text as it is, a number in decimal, and the
/// empty variant as the empty text.
Text ToText(const Variant& value);

/// The line feeds in a file's bytes or in a text's units. Counted in blocks
/// small enough for a counter as wide as a unit, which compilers turn into
/// wide vector compares; std::count, and wider counters, are several times
/// slower.
template <typename Unit>
std::size_t CountLineFeeds(std::basic_string_view<Unit> units) {
  using BlockCount = std::make_unsigned_t<Unit>;
  constexpr std::size_t kBlock = std::numeric_limits<BlockCount>::max();
  std::size_t count = 0;
  while (!units.empty()) {
    const std::size_t block = std::min(units.size(), kBlock);
    BlockCount block_count = 0;
    for (std::size_t i = 0; i < block; ++i) block_count += units[i] == '\n';
    count += block_count;
    units.remove_prefix(block);
  }
  return count;
}

/// `value` as eight hex digits, in lower case or in upper case.
enum class HexCase { kLower, kUpper };
void AppendHex(Text& text, std::uint32_t value, HexCase letters);

/// A unit with the letters A to Z in lower case; every other unit as it is.
constexpr char16_t AsciiLower(char16_t unit) {
  return unit >= u'A' && unit <= u'Z' ? unit - u'A' + u'a' : unit;
}

}  // namespace tessaly

#endif  // TESSALY_SERVICES_TEXT_H_
