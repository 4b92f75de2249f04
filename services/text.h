#ifndef TESSALY_SERVICES_TEXT_H_
#define TESSALY_SERVICES_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <string>
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

}  // namespace tessaly

#endif  // TESSALY_SERVICES_TEXT_H_
