#include "services/text_pieces.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#elif defined(__i386__)
// Every x86 build that ships is made with SSE2; without it, the scans here
// and in the line-end conversion fall back to slower loops.
#error "x86 builds need SSE2: compile with -msse2"
#endif

namespace tessaly {
namespace {

// Counted in blocks small enough for an 8-bit counter, which compilers turn
// into wide vector compares; std::count is several times slower.
std::size_t CountLineFeeds(std::string_view bytes) {
  std::size_t count = 0;
  while (!bytes.empty()) {
    const std::size_t block = std::min<std::size_t>(bytes.size(), 255);
    std::uint8_t block_count = 0;
    for (std::size_t i = 0; i < block; ++i) block_count += bytes[i] == '\n';
    count += block_count;
    bytes.remove_prefix(block);
  }
  return count;
}

std::uint64_t Rotate(std::uint64_t value, int bits) {
  return value << bits | value >> (64 - bits);
}

// How many bytes the sequence a byte starts says it has. Every byte from C0
// up counts as a lead, also those no valid sequence starts with (C0, C1,
// F5-FF): some decoders take them for one.
std::size_t AnnouncedLength(char byte) {
  const auto value = static_cast<unsigned char>(byte);
  if (value >= 0xF0) return 4;
  if (value >= 0xE0) return 3;
  if (value >= 0xC0) return 2;
  return 1;
}

// A decoder that meets the end of its input inside a sequence may take all
// the rest as one broken character, so a UTF-8 piece may end only where no
// sequence that starts before the end announces bytes after it. In valid
// text that is every sequence boundary.
bool Utf8MayEndAt(std::string_view bytes, std::size_t end) {
  for (std::size_t start = end > 3 ? end - 3 : 0; start < end; ++start) {
    if (start + AnnouncedLength(bytes[start]) > end) return false;
  }
  return true;
}

std::size_t Utf8PieceEnd(std::string_view bytes) {
  // Valid text can end within its last four bytes; a run of broken lead
  // bytes may give no end for a while, and then waits for more.
  constexpr std::size_t kLookBack = 64;
  const std::size_t lowest =
      bytes.size() > kLookBack ? bytes.size() - kLookBack : 1;
  for (std::size_t end = bytes.size(); end >= lowest && end > 0; --end) {
    if (Utf8MayEndAt(bytes, end)) return end;
  }
  return 0;
}

// Decoders differ on a lead byte followed by a byte that cannot end a pair:
// some pair them anyway, some take the lead alone. Neither can join a byte
// that is no lead byte to the one after it, so a piece ends after two such
// bytes in a row, or after one at its start, which is where a character
// starts.
std::size_t DoubleBytePieceEnd(std::string_view bytes,
                               const std::array<bool, 256>& lead_bytes) {
  const auto is_lead = [&](std::size_t i) {
    return lead_bytes[static_cast<unsigned char>(bytes[i])];
  };
  for (std::size_t end = bytes.size(); end > 0; --end) {
    if (!is_lead(end - 1) && (end == 1 || !is_lead(end - 2))) return end;
  }
  return 0;
}

}  // namespace

void StreamHash::Add(std::string_view bytes) {
  length_ += bytes.size();
  if (pending_size_ > 0) {
    const std::size_t taken = std::min(kBlock - pending_size_, bytes.size());
    std::memcpy(pending_.data() + pending_size_, bytes.data(), taken);
    pending_size_ += taken;
    bytes.remove_prefix(taken);
    if (pending_size_ < kBlock) return;
    Mix(pending_.data(), 1);
    pending_size_ = 0;
  }
  const std::size_t blocks = bytes.size() / kBlock;
  Mix(bytes.data(), blocks);
  bytes.remove_prefix(blocks * kBlock);
  std::memcpy(pending_.data(), bytes.data(), bytes.size());
  pending_size_ = bytes.size();
}

void StreamHash::Mix(const char* blocks, std::size_t count) {
  // Eight independent 32-bit lanes keep the multiplier busy, also in a
  // 32-bit program; held in locals, which the bytes cannot alias.
  std::array<std::uint32_t, kLanes> lanes = lanes_;
  for (std::size_t block = 0; block < count; ++block) {
    for (std::size_t lane = 0; lane < kLanes; ++lane) {
      std::uint32_t word;
      std::memcpy(&word, blocks + block * kBlock + 4 * lane, sizeof word);
      const std::uint32_t mixed = (lanes[lane] ^ word) * 0x9E3779B1U;
      lanes[lane] = mixed << 13 | mixed >> 19;
    }
  }
  lanes_ = lanes;
}

std::uint64_t StreamHash::Value() const {
  StreamHash last = *this;
  std::array<char, kBlock> tail = {};
  std::memcpy(tail.data(), pending_.data(), pending_size_);
  last.Mix(tail.data(), 1);
  std::uint64_t value = length_;
  for (const std::uint32_t lane : last.lanes_) {
    value = Rotate((value ^ lane) * 0xC2B2AE3D27D4EB4FULL, 31);
  }
  return value;
}

void TextScan::Add(std::string_view chunk) {
  hash_.Add(chunk);
  bytes_ += chunk.size();
  if (!mark_) {
    // The mark is clear once three bytes are in; the rest goes on as text.
    const std::size_t taken = std::min(3 - head_.size(), chunk.size());
    head_.append(chunk.substr(0, taken));
    chunk.remove_prefix(taken);
    if (head_.size() < 3) return;
    TakeHead();
  }
  AddText(chunk);
}

void TextScan::Finish() {
  // A file shorter than a mark may still be one.
  if (!mark_) TakeHead();
}

void TextScan::TakeHead() {
  mark_ = ByteOrderMark(head_).value_or(EncodingChoice{TextEncoding::kAnsi, 0});
  AddText(std::string_view(head_).substr(mark_->mark_length));
}

void TextScan::AddText(std::string_view bytes) {
  text_bytes_ += bytes.size();
  const bool utf16 = mark_->encoding == TextEncoding::kUtf16Le ||
                     mark_->encoding == TextEncoding::kUtf16Be;
  if (!utf16) {
    line_feeds_ += CountLineFeeds(bytes);
    if (utf8_.Valid()) utf8_.Add(bytes);
    return;
  }
  // A line feed unit is 0A 00 or 00 0A, at an even offset after the mark.
  const bool big_endian = mark_->encoding == TextEncoding::kUtf16Be;
  const char low = big_endian ? '\0' : '\n';
  const char high = big_endian ? '\n' : '\0';
  if (odd_byte_ && !bytes.empty()) {
    line_feeds_ +=
        *odd_byte_ == static_cast<unsigned char>(low) && bytes.front() == high;
    odd_byte_.reset();
    bytes.remove_prefix(1);
  }
  const std::size_t whole = bytes.size() / 2 * 2;
  for (std::size_t i = 0; i < whole; i += 2) {
    line_feeds_ += bytes[i] == low && bytes[i + 1] == high;
  }
  if (whole < bytes.size())
    odd_byte_ = static_cast<unsigned char>(bytes.back());
}

EncodingChoice TextScan::Choice() const {
  if (mark_->mark_length != 0) return *mark_;
  // Without a mark: UTF-8 when the bytes are valid UTF-8.
  return {utf8_.Complete() ? TextEncoding::kUtf8 : TextEncoding::kAnsi, 0};
}

std::size_t TextScan::Units() const {
  switch (Choice().encoding) {
    case TextEncoding::kUtf16Le:
    case TextEncoding::kUtf16Be:
      return static_cast<std::size_t>((text_bytes_ + 1) / 2);
    case TextEncoding::kUtf8:
      if (utf8_.Complete()) return utf8_.Units();
      break;
    case TextEncoding::kAnsi:
      break;
  }
  return static_cast<std::size_t>(text_bytes_);
}

std::size_t PieceEnd(std::string_view bytes, const PieceRule& rule) {
  switch (rule.kind) {
    case PieceRule::Kind::kUtf8:
      return Utf8PieceEnd(bytes);
    case PieceRule::Kind::kUtf16:
      // Units are copied one by one, so a surrogate pair may be split.
      return bytes.size() / 2 * 2;
    case PieceRule::Kind::kSingleByte:
      return bytes.size();
    case PieceRule::Kind::kDoubleByte:
      return DoubleBytePieceEnd(bytes, rule.lead_bytes);
  }
  return 0;
}

std::optional<std::size_t> DecodeInPieces(const ByteSource& source,
                                          std::vector<char>& buffer,
                                          const PieceRule& rule,
                                          const PieceDecoder& decode,
                                          char16_t* out, std::size_t room) {
  std::size_t written = 0;
  std::size_t kept = 0;  // Bytes left from the piece before, at the front.
  for (;;) {
    const std::size_t filled =
        kept + source(buffer.data() + kept, buffer.size() - kept);
    const bool at_end = filled < buffer.size();
    const std::string_view bytes(buffer.data(), filled);
    const std::size_t piece = at_end ? filled : PieceEnd(bytes, rule);
    if (piece > 0) {
      const std::optional<std::size_t> units =
          decode(bytes.substr(0, piece), out + written, room - written);
      if (!units) return std::nullopt;
      written += *units;
    }
    if (at_end) return written;
    kept = filled - piece;
    if (piece > 0) {
      std::memmove(buffer.data(), buffer.data() + piece, kept);
    } else {
      buffer.resize(buffer.size() * 2);  // No whole piece yet.
    }
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

std::optional<std::size_t> DecodeUtf16(std::string_view bytes, bool big_endian,
                                       char16_t* out, std::size_t room) {
  const std::size_t whole_units = bytes.size() / 2;
  const std::size_t units = whole_units + bytes.size() % 2;
  if (units > room) return std::nullopt;
  const int high = big_endian ? 0 : 1;
  for (std::size_t i = 0; i < whole_units; ++i) {
    const auto first = static_cast<unsigned char>(bytes[2 * i + high]);
    const auto second = static_cast<unsigned char>(bytes[2 * i + 1 - high]);
    out[i] = static_cast<char16_t>(first << 8 | second);
  }
  if (units != whole_units) out[whole_units] = u'\xFFFD';
  return units;
}

}  // namespace tessaly
