// How a file's bytes are to be turned into text.
#ifndef TESSALY_TEXT_ENCODING_H_
#define TESSALY_TEXT_ENCODING_H_

#include <cstddef>
#include <optional>
#include <string_view>

namespace tessaly {

enum class TextEncoding {
  kUtf8,
  kUtf16Le,
  kUtf16Be,
  kAnsi,  // The system's ANSI code page.
};

struct EncodingChoice {
  TextEncoding encoding;
  std::size_t mark_length;  // Bytes of byte order mark to skip.
};

/// The encoding that a byte order mark (EF BB BF, FF FE, FE FF) at the start
/// of `bytes` names, with the mark's length; nothing without one. Without
/// one, TextScan chooses by whether the bytes are well-formed UTF-8.
std::optional<EncodingChoice> ByteOrderMark(std::string_view bytes);

}  // namespace tessaly

#endif  // TESSALY_TEXT_ENCODING_H_
