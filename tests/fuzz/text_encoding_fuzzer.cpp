// Checks the encoding decision: the UTF-8 check against a decoder that
// works code point by code point, and the byte order marks against their
// definition.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "text/encoding.h"
#include "text/text_scan.h"
#include "text/utf8.h"

namespace {

// Decodes each sequence and checks what it decodes to, rather than which
// bytes may follow which.
bool ReferenceIsValidUtf8(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    std::size_t length;
    std::uint32_t code_point;
    if (lead < 0x80) {
      length = 1;
      code_point = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2;
      code_point = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
      code_point = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
      code_point = lead & 0x07;
    } else {
      return false;
    }
    if (i + length > bytes.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code_point = code_point << 6 | (next & 0x3F);
    }
    const std::uint32_t shortest_from[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code_point < shortest_from[length]) return false;  // Overlong.
    if (code_point >= 0xD800 && code_point <= 0xDFFF) return false;
    if (code_point > 0x10FFFF) return false;
    i += length;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const bool valid = tessaly::IsValidUtf8(bytes);
  if (valid != ReferenceIsValidUtf8(bytes)) std::abort();

  tessaly::TextScan scan;
  scan.Add(bytes);
  scan.Finish();
  const tessaly::EncodingChoice choice = scan.Choice();
  using tessaly::TextEncoding;
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    if (choice.encoding != TextEncoding::kUtf8 || choice.mark_length != 3) {
      std::abort();
    }
  } else if (bytes.starts_with("\xFF\xFE")) {
    if (choice.encoding != TextEncoding::kUtf16Le || choice.mark_length != 2) {
      std::abort();
    }
  } else if (bytes.starts_with("\xFE\xFF")) {
    if (choice.encoding != TextEncoding::kUtf16Be || choice.mark_length != 2) {
      std::abort();
    }
  } else if (choice.mark_length != 0 ||
             choice.encoding !=
                 (valid ? TextEncoding::kUtf8 : TextEncoding::kAnsi)) {
    std::abort();
  }
  return 0;
}
