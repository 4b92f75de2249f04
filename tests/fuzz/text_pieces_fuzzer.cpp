// Checks reading in pieces against reading whole: for any bytes, piece size
// and cut of the stream into reads, decoding piece by piece gives what
// decoding the whole gives. The decoders here are models of the two ways
// real ones treat broken input, so the piece ends must suit both. The first
// pass's counts must not depend on how the stream is cut either, and the
// fast UTF-8 decoder must agree with the model.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "text/encoding.h"
#include "text/pieces.h"
#include "text/stream_hash.h"
#include "text/text_scan.h"
#include "text/utf16.h"
#include "text/utf8.h"

namespace tessaly {
namespace {

constexpr char16_t kBroken = u'\xFFFD';

std::size_t Announced(unsigned char lead) {
  if (lead >= 0xF8) return 1;
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

void AppendCodePoint(std::u16string& out, std::uint32_t code_point) {
  if (code_point >= 0x10000) {
    code_point -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (code_point >> 10));
    out += static_cast<char16_t>(0xDC00 + (code_point & 0x3FF));
  } else {
    out += static_cast<char16_t>(code_point);
  }
}

// UTF-8, two ways. `to_end`: a sequence that the input ends inside takes
// all the rest as one broken character. Otherwise a broken sequence ends at
// the first byte that does not continue it.
std::u16string DecodeUtf8(std::string_view bytes, bool to_end) {
  std::u16string out;
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const std::size_t length = Announced(lead);
    if (lead < 0x80) {
      out += lead;
      ++i;
      continue;
    }
    if (length == 1) {  // A stray continuation byte, or F8-FF.
      out += kBroken;
      ++i;
      continue;
    }
    if (to_end && i + length > bytes.size()) {
      out += kBroken;
      break;
    }
    std::uint32_t code_point = lead & (0x7F >> length);
    std::size_t next = i + 1;
    while (next < i + length && next < bytes.size() &&
           (static_cast<unsigned char>(bytes[next]) & 0xC0) == 0x80) {
      code_point = code_point << 6 | (bytes[next] & 0x3F);
      ++next;
    }
    if (next == i + length && code_point <= 0x10FFFF &&
        !(code_point >= 0xD800 && code_point <= 0xDFFF)) {
      AppendCodePoint(out, code_point);
    } else {
      out += kBroken;
    }
    i = next;
  }
  return out;
}

bool IsLead(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }
bool IsTrail(unsigned char byte) {
  return byte >= 0x40 && byte <= 0xFE && byte != 0x7F;
}

// A double-byte code page, two ways: `pair_any` joins a lead byte to
// whatever follows; otherwise only to a valid second byte, and a lead byte
// before anything else stands alone.
std::u16string DecodeDoubleByte(std::string_view bytes, bool pair_any) {
  std::u16string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (!IsLead(byte)) {
      out += byte;
      continue;
    }
    if (i + 1 < bytes.size()) {
      const auto trail = static_cast<unsigned char>(bytes[i + 1]);
      if (pair_any || IsTrail(trail)) {
        out += static_cast<char16_t>(0x4000 + (byte << 8 | trail) % 0x8000);
        ++i;
        continue;
      }
    }
    out += kBroken;
  }
  return out;
}

// The stream as a file gives it: as much as asked for, less only at the end.
ByteSource SourceOf(std::string_view bytes) {
  return [bytes, position = std::size_t{0}](char* buffer,
                                            std::size_t size) mutable {
    const std::size_t count = std::min(size, bytes.size() - position);
    std::copy_n(bytes.data() + position, count, buffer);
    position += count;
    return count;
  };
}

template <typename Decode>
void ExpectPiecesDecodeAsWhole(std::string_view bytes, std::size_t piece_bytes,
                               const PieceRule& rule, Decode decode) {
  const std::u16string whole = decode(bytes);
  std::vector<char> buffer(piece_bytes);
  std::u16string pieces(whole.size(), u'\0');
  const PieceDecoder piece_decoder =
      [&](std::string_view piece, char16_t* out,
          std::size_t room) -> std::optional<std::size_t> {
    const std::u16string text = decode(piece);
    if (text.size() > room) return std::nullopt;
    std::copy(text.begin(), text.end(), out);
    return text.size();
  };
  const std::optional<std::size_t> written =
      DecodeInPieces(SourceOf(bytes), buffer, rule, piece_decoder,
                     pieces.data(), pieces.size());
  if (!written || *written != whole.size() || pieces != whole) std::abort();
}

// `chunk_seed` picks the sizes of the chunks the second scan is given.
void ExpectScanIgnoresChunks(std::string_view bytes, unsigned chunk_seed) {
  TextScan whole;
  whole.Add(bytes);
  whole.Finish();
  TextScan chunked;
  std::string_view rest = bytes;
  for (unsigned turn = 0; !rest.empty(); ++turn) {
    const std::size_t size = 1 + (chunk_seed * (turn + 1)) % 7;
    chunked.Add(rest.substr(0, size));
    rest.remove_prefix(std::min(size, rest.size()));
  }
  chunked.Finish();
  const EncodingChoice choice = whole.Choice();
  const EncodingChoice scanned = chunked.Choice();
  if (scanned.encoding != choice.encoding ||
      scanned.mark_length != choice.mark_length ||
      chunked.Units() != whole.Units() ||
      chunked.LineFeeds() != whole.LineFeeds() ||
      chunked.Hash() != whole.Hash() || chunked.Bytes() != bytes.size()) {
    std::abort();
  }
  const std::string_view text = bytes.substr(choice.mark_length);
  if (choice.encoding == TextEncoding::kUtf8 && IsValidUtf8(text)) {
    if (whole.Units() != DecodeUtf8(text, false).size()) std::abort();
  }
  if (choice.encoding == TextEncoding::kUtf8 ||
      choice.encoding == TextEncoding::kAnsi) {
    // Room for what any decoder of the chosen kind makes of the bytes.
    std::size_t most =
        std::max(DecodeUtf8(text, false).size(), DecodeUtf8(text, true).size());
    if (choice.encoding == TextEncoding::kAnsi) {
      most = std::max({most, DecodeDoubleByte(text, false).size(),
                       DecodeDoubleByte(text, true).size()});
    }
    const auto line_feeds = std::count(text.begin(), text.end(), '\n');
    if (whole.Units() < most ||
        whole.LineFeeds() != static_cast<std::size_t>(line_feeds)) {
      std::abort();
    }
  }
}

}  // namespace
}  // namespace tessaly

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace tessaly;
  if (size < 2) return 0;
  const std::size_t piece_bytes = 1 + data[0] % 24;
  const unsigned chunk_seed = data[1];
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 2,
                               size - 2);

  const PieceRule utf8{PieceRule::Kind::kUtf8};
  for (const bool to_end : {false, true}) {
    ExpectPiecesDecodeAsWhole(
        bytes, piece_bytes, utf8,
        [to_end](std::string_view piece) { return DecodeUtf8(piece, to_end); });
  }
  PieceRule double_byte{PieceRule::Kind::kDoubleByte};
  for (int byte = 0; byte < 256; ++byte) {
    double_byte.lead_bytes[byte] = IsLead(static_cast<unsigned char>(byte));
  }
  for (const bool pair_any : {false, true}) {
    ExpectPiecesDecodeAsWhole(bytes, piece_bytes, double_byte,
                              [pair_any](std::string_view piece) {
                                return DecodeDoubleByte(piece, pair_any);
                              });
  }
  for (const bool big_endian : {false, true}) {
    ExpectPiecesDecodeAsWhole(
        bytes, piece_bytes, PieceRule{PieceRule::Kind::kUtf16},
        [big_endian](std::string_view piece) {
          std::u16string out(piece.size() / 2 + 1, u'\0');
          out.resize(*DecodeUtf16(piece, big_endian, out.data(), out.size()));
          return out;
        });
  }
  ExpectScanIgnoresChunks(bytes, chunk_seed);

  // The fast decoder gives the model's units for well-formed UTF-8 and
  // nothing for anything else.
  std::u16string fast(bytes.size(), u'\0');
  const std::optional<std::size_t> units =
      DecodeWellFormedUtf8(bytes, fast.data(), fast.size());
  if (IsValidUtf8(bytes) ? !units || fast.substr(0, *units) !=
                                         DecodeUtf8(bytes, /*to_end=*/false)
                         : units.has_value()) {
    std::abort();
  }
  return 0;
}
