#ifndef TESSALY_SERVICES_TEXT_ENCODING_H_
#define TESSALY_SERVICES_TEXT_ENCODING_H_

#include <cstddef>
#include <string_view>

namespace tessaly {

/// How a file's bytes are to be read, as its byte order mark says.
enum class ByteOrderMark {
  kNone,     // No mark: UTF-8 if valid, else the ANSI code page.
  kUtf8,     // EF BB BF
  kUtf16Le,  // FF FE
  kUtf16Be,  // FE FF
};

struct DetectedEncoding {
  ByteOrderMark mark;
  std::size_t mark_length;  // Bytes to skip before the text.
};

/// Looks at the first bytes of a file for a byte order mark.
DetectedEncoding DetectByteOrderMark(std::string_view bytes);

}  // namespace tessaly

#endif  // TESSALY_SERVICES_TEXT_ENCODING_H_
