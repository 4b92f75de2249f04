#include "services/text_encoding.h"

namespace tessaly {

DetectedEncoding DetectByteOrderMark(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) return {ByteOrderMark::kUtf8, 3};
  if (bytes.starts_with("\xFF\xFE")) return {ByteOrderMark::kUtf16Le, 2};
  if (bytes.starts_with("\xFE\xFF")) return {ByteOrderMark::kUtf16Be, 2};
  return {ByteOrderMark::kNone, 0};
}

}  // namespace tessaly
