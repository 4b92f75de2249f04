// Checks ConvertLineEndings against the plainest possible conversion and
// the length law, on text made of the input's byte pairs.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "app/mod_ascii_convert.h"

namespace {

tessaly::Text Reference(const tessaly::Text& text) {
  tessaly::Text converted;
  for (char16_t unit : text) {
    if (unit == u'\n') converted += u'\r';
    converted += unit;
  }
  return converted;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  tessaly::Text text;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    text += static_cast<char16_t>(data[i] | data[i + 1] << 8);
  }
  std::size_t line_feeds = 0;
  for (char16_t unit : text) line_feeds += unit == u'\n';

  const tessaly::Text expected = Reference(text);
  const tessaly::Text converted =
      tessaly::ModAsciiConvert::ConvertLineEndings(text);
  if (converted.size() != text.size() + line_feeds) std::abort();
  if (converted != expected) std::abort();

  // The same with room to widen in place.
  tessaly::Text roomy = text;
  roomy.reserve(expected.size());
  if (tessaly::ModAsciiConvert::ConvertLineEndings(std::move(roomy)) !=
      expected) {
    std::abort();
  }
  return 0;
}
