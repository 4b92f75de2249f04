// UTF-8: checking it as it streams past, and decoding the well-formed kind.
#ifndef TESSALY_TEXT_UTF8_H_
#define TESSALY_TEXT_UTF8_H_

#include <cstddef>
#include <optional>
#include <string_view>

namespace tessaly {

/// What a lead byte starts in well-formed UTF-8: how many bytes the
/// sequence has (0 for a byte that starts none) and the range its second
/// byte must be in, which narrows after E0, ED, F0 and F4 to rule out
/// overlong forms, surrogates and values past U+10FFFF. Later bytes are
/// 80-BF.
struct Utf8Lead {
  int length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
};

constexpr Utf8Lead ReadUtf8Lead(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return {2};
  if (lead >= 0xE0 && lead <= 0xEF) {
    return {3, static_cast<unsigned char>(lead == 0xE0 ? 0xA0 : 0x80),
            static_cast<unsigned char>(lead == 0xED ? 0x9F : 0xBF)};
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    return {4, static_cast<unsigned char>(lead == 0xF0 ? 0x90 : 0x80),
            static_cast<unsigned char>(lead == 0xF4 ? 0x8F : 0xBF)};
  }
  return {};
}

/// Checks UTF-8 as it streams past, in chunks cut anywhere, and counts the
/// UTF-16 units it decodes to.
class Utf8Scan {
 public:
  void Add(std::string_view bytes);
  /// True for well-formed UTF-8 so far. No overlong forms, no surrogates,
  /// nothing past U+10FFFF; a sequence still open counts as well-formed
  /// until Complete() is asked.
  bool Valid() const { return valid_; }
  /// Valid, and no sequence left open at the end.
  bool Complete() const { return valid_ && needed_ == 0; }
  /// UTF-16 units of what was added, while it is valid.
  std::size_t Units() const { return units_; }

 private:
  bool valid_ = true;
  int needed_ = 0;                          // Continuation bytes still to come.
  unsigned char low_ = 0x80, high_ = 0xBF;  // Range of the next one.
  std::size_t units_ = 0;
};

/// True for well-formed UTF-8: no overlong forms, no surrogates, nothing
/// past U+10FFFF, no sequence cut short.
bool IsValidUtf8(std::string_view bytes);

/// Decodes well-formed UTF-8 into units, as every conforming decoder does,
/// and faster than a general one: runs of ASCII go sixteen bytes at a time.
/// Gives nothing for bytes that are not well-formed UTF-8, a sequence cut
/// off at the end included, and for units that would not fit in `room`.
std::optional<std::size_t> DecodeWellFormedUtf8(std::string_view bytes,
                                                char16_t* out,
                                                std::size_t room);

}  // namespace tessaly

#endif  // TESSALY_TEXT_UTF8_H_
