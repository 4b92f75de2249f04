#include "text/text_scan.h"

#include <algorithm>

#include "services/text.h"

namespace tessaly {

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

}  // namespace tessaly
