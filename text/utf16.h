// UTF-16 of either byte order, as a file holds it.
#ifndef TESSALY_TEXT_UTF16_H_
#define TESSALY_TEXT_UTF16_H_

#include <cstddef>
#include <optional>
#include <string_view>

namespace tessaly {

/// Decodes UTF-16 bytes of either order into units; nothing when they
/// would not fit in `room`. A lone last byte is half a character: it
/// becomes U+FFFD, to show that something is there.
std::optional<std::size_t> DecodeUtf16(std::string_view bytes, bool big_endian,
                                       char16_t* out, std::size_t room);

}  // namespace tessaly

#endif  // TESSALY_TEXT_UTF16_H_
