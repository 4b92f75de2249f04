// ConvertLineEndings: every LF becomes CR LF, at close to the speed of
// copying memory. It counts the line feeds, then moves the text eight units
// at a time, going unit by unit only through the blocks that hold a line
// feed. With room in the text it widens it in place, from the back.
#include <algorithm>
#include <cstddef>
#include <cstring>

#include "app/mod_ascii_convert.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tessaly::ModAsciiConvert {
namespace {

constexpr std::size_t kBlockUnits = 8;
constexpr std::size_t kBlockBytes = kBlockUnits * sizeof(char16_t);

#if defined(__SSE2__)
bool BlockHasLineFeed(const char16_t* block) {
  const __m128i units =
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
  return _mm_movemask_epi8(_mm_cmpeq_epi16(units, _mm_set1_epi16(u'\n'))) != 0;
}
#else
// Other processors than x86, which the native tests may run on.
bool BlockHasLineFeed(const char16_t* block) {
  return std::find(block, block + kBlockUnits, u'\n') != block + kBlockUnits;
}
#endif

// Converts [read, end) into `out`, forwards, and returns the end of the
// output.
char16_t* ConvertForwards(const char16_t* read, const char16_t* end,
                          char16_t* out) {
  while (static_cast<std::size_t>(end - read) >= kBlockUnits) {
    if (!BlockHasLineFeed(read)) {
      std::memcpy(out, read, kBlockBytes);
      read += kBlockUnits;
      out += kBlockUnits;
      continue;
    }
    for (std::size_t i = 0; i < kBlockUnits; ++i) {
      if (*read == u'\n') *out++ = u'\r';
      *out++ = *read++;
    }
  }
  while (read != end) {
    if (*read == u'\n') *out++ = u'\r';
    *out++ = *read++;
  }
  return out;
}

// Widens data[0, old_size) to data[0, new_size) in place. Going from the
// back, every unit is read before anything is written over it: the write
// position never falls below the read position.
void WidenBackwards(char16_t* data, std::size_t old_size,
                    std::size_t new_size) {
  char16_t* read = data + old_size;
  char16_t* write = data + new_size;
  while (write != read &&
         static_cast<std::size_t>(read - data) >= kBlockUnits) {
    if (!BlockHasLineFeed(read - kBlockUnits)) {
      char16_t block[kBlockUnits];
      std::memcpy(block, read - kBlockUnits, kBlockBytes);
      read -= kBlockUnits;
      write -= kBlockUnits;
      std::memcpy(write, block, kBlockBytes);
      continue;
    }
    for (std::size_t i = 0; i < kBlockUnits; ++i) {
      const char16_t unit = *--read;
      *--write = unit;
      if (unit == u'\n') *--write = u'\r';
    }
  }
  while (write != read) {
    const char16_t unit = *--read;
    *--write = unit;
    if (unit == u'\n') *--write = u'\r';
  }
}

}  // namespace

Text ConvertLineEndings(Text text) {
  const std::size_t old_size = text.size();
  const std::size_t line_feeds = CountLineFeeds(std::u16string_view(text));
  if (line_feeds == 0) return text;
  const std::size_t new_size = old_size + line_feeds;

  if (text.capacity() >= new_size) {
    OverwriteText(text, new_size, [&](char16_t* data, std::size_t) {
      WidenBackwards(data, old_size, new_size);
      return new_size;
    });
    return text;
  }
  Text converted;
  OverwriteText(converted, new_size, [&](char16_t* out, std::size_t) {
    ConvertForwards(text.data(), text.data() + old_size, out);
    return new_size;
  });
  return converted;
}

}  // namespace tessaly::ModAsciiConvert
