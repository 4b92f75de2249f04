#include "text/utf8.h"

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#elif defined(__i386__)
// The x86 build ships with SSE2 (-msse2, cmake/windows.cmake). Without it,
// this decoder and the line-end conversion would quietly fall back to
// their plain loops, which only other processors are meant to take.
#error "x86 builds need SSE2: compile with -msse2"
#endif

namespace tessaly {

bool IsValidUtf8(std::string_view bytes) {
  Utf8Scan scan;
  scan.Add(bytes);
  return scan.Complete();
}

void Utf8Scan::Add(std::string_view bytes) {
  const auto* byte = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* const end = byte + bytes.size();
  while (valid_ && byte < end) {
    if (needed_ > 0) {
      if (*byte < low_ || *byte > high_) {
        valid_ = false;
        break;
      }
      low_ = 0x80;
      high_ = 0xBF;
      --needed_;
      ++byte;
      continue;
    }
    // Runs of ASCII, eight bytes at a time: most text is mostly ASCII.
    const auto* const run_start = byte;
    while (end - byte >= 8) {
      std::uint64_t word;
      std::memcpy(&word, byte, 8);
      if ((word & 0x8080808080808080ULL) != 0) break;
      byte += 8;
    }
    while (byte < end && *byte < 0x80) ++byte;
    units_ += static_cast<std::size_t>(byte - run_start);
    if (byte == end) break;
    const Utf8Lead sequence = ReadUtf8Lead(*byte++);
    if (sequence.length == 0) {
      valid_ = false;
      break;
    }
    needed_ = sequence.length - 1;
    low_ = sequence.low;
    high_ = sequence.high;
    // A four-byte sequence is a surrogate pair in UTF-16.
    units_ += needed_ == 3 ? 2 : 1;
  }
}

std::optional<std::size_t> DecodeWellFormedUtf8(std::string_view bytes,
                                                char16_t* out,
                                                std::size_t room) {
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* const end = in + bytes.size();
  char16_t* const out_begin = out;
  char16_t* const out_end = out + room;
  constexpr std::size_t kBlock = 16;
  while (in != end) {
#if defined(__SSE2__)
    // Each block is widened whole; where it holds a non-ASCII byte, only
    // the ASCII before it counts, and the rest is written over.
    while (static_cast<std::size_t>(end - in) >= kBlock &&
           static_cast<std::size_t>(out_end - out) >= kBlock) {
      const __m128i block =
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
      const __m128i zero = _mm_setzero_si128();
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                       _mm_unpacklo_epi8(block, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8),
                       _mm_unpackhi_epi8(block, zero));
      const auto high_bits = static_cast<unsigned>(_mm_movemask_epi8(block));
      const std::size_t ascii =
          high_bits == 0 ? kBlock : std::countr_zero(high_bits);
      in += ascii;
      out += ascii;
      if (ascii != kBlock) break;
    }
    if (in == end) break;
#endif
    const unsigned char lead = *in;
    if (lead < 0x80) {
      if (out == out_end) return std::nullopt;
      *out++ = lead;
      ++in;
      continue;
    }
    const Utf8Lead sequence = ReadUtf8Lead(lead);
    const auto length = static_cast<std::size_t>(sequence.length);
    if (length == 0 || static_cast<std::size_t>(end - in) < length ||
        in[1] < sequence.low || in[1] > sequence.high) {
      return std::nullopt;
    }
    std::uint32_t code_point = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
      if ((in[i] & 0xC0) != 0x80) return std::nullopt;
      code_point = code_point << 6 | (in[i] & 0x3F);
    }
    in += length;
    if (code_point < 0x10000) {
      if (out == out_end) return std::nullopt;
      *out++ = static_cast<char16_t>(code_point);
      continue;
    }
    if (out_end - out < 2) return std::nullopt;
    code_point -= 0x10000;
    *out++ = static_cast<char16_t>(0xD800 + (code_point >> 10));
    *out++ = static_cast<char16_t>(0xDC00 + (code_point & 0x3FF));
  }
  return static_cast<std::size_t>(out - out_begin);
}

}  // namespace tessaly
