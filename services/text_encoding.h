#ifndef TESSALY_SERVICES_TEXT_ENCODING_H_
#define TESSALY_SERVICES_TEXT_ENCODING_H_

#include <cstddef>
#include <string_view>

namespace tessaly {

/// How a file's bytes are to be turned into text.
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

/// A byte order mark (EF BB BF, FF FE, FE FF) decides, and is to be
/// skipped. Without one, bytes that are valid UTF-8 are UTF-8, and anything
/// else is in the ANSI code page.
EncodingChoice ChooseEncoding(std::string_view bytes);

/// True for well-formed UTF-8: no overlong forms, no surrogates, nothing
/// past U+10FFFF, no sequence cut short.
bool IsValidUtf8(std::string_view bytes);

}  // namespace tessaly

#endif  // TESSALY_SERVICES_TEXT_ENCODING_H_
