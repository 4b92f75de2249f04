#include "text/encoding.h"

namespace tessaly {

std::optional<EncodingChoice> ByteOrderMark(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    return EncodingChoice{TextEncoding::kUtf8, 3};
  }
  if (bytes.starts_with("\xFF\xFE")) {
    return EncodingChoice{TextEncoding::kUtf16Le, 2};
  }
  if (bytes.starts_with("\xFE\xFF")) {
    return EncodingChoice{TextEncoding::kUtf16Be, 2};
  }
  return std::nullopt;
}

}  // namespace tessaly
