#ifndef TESSALY_SERVICES_TEXT_H_
#define TESSALY_SERVICES_TEXT_H_

#include <cstdint>
#include <string>
#include <variant>

namespace tessaly {

/// A counted sequence of UTF-16 code units: paths, messages, the command line
/// and a file's content. The empty string stands for the null text too.
using Text = std::u16string;

/// A value that carries its own type, as some helper operations return it.
using Variant = std::variant<std::monostate, std::int32_t, Text>;

/// Converts a variant to text: text as it is, a number in decimal, and the
/// empty variant as the empty text.
Text ToText(const Variant& value);

}  // namespace tessaly

#endif  // TESSALY_SERVICES_TEXT_H_
