// Reading a file's text whole, in two passes over its bytes, so that they
// are never all in memory at once: the first finds the encoding and the
// room the text needs, the second decodes piece by piece straight into it.
#include <algorithm>
#include <array>
#include <exception>
#include <limits>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "text/encoding.h"
#include "text/pieces.h"
#include "text/stream_hash.h"
#include "text/text_scan.h"
#include "text/utf16.h"
#include "text/utf8.h"
#include "win32/file_helper.h"
#include "win32/legacy_code_page.h"
#include "win32/operation_texts.h"
#include "win32/support.h"

namespace tessaly {
namespace {

// A file that changes between the two passes is read again from the start,
// this many times in all, and then reported.
constexpr int kReadAttempts = 3;

[[noreturn]] void FailOutOfMemory(const Text& path) {
  Fail(ERROR_NOT_ENOUGH_MEMORY, operation_texts::kReadFile, path);
}

std::size_t CheckedSize(LONGLONG size, const Text& path) {
  // A 32-bit process cannot hold more; the text needs twice as much again.
  if (size > std::numeric_limits<int>::max()) FailOutOfMemory(path);
  return static_cast<std::size_t>(size);
}

// Reads a file from its start, at most `limit` bytes, and hashes what it
// gives. A file that grows meanwhile is read up to the limit, one that
// shrinks up to its new end.
class FileReader {
 public:
  FileReader(HANDLE file, std::uint64_t limit, const Text& path)
      : file_(file), limit_(limit), path_(path) {
    const LARGE_INTEGER start = {};
    if (!::SetFilePointerEx(file_, start, nullptr, FILE_BEGIN)) {
      FailLastError(operation_texts::kReadFile, path_);
    }
  }

  // Fills `buffer` with up to `size` bytes; fewer only at the end.
  std::size_t Read(char* buffer, std::size_t size) {
    std::size_t filled = 0;
    while (filled < size && position_ < limit_) {
      const auto chunk = static_cast<DWORD>(std::min<std::uint64_t>(
          {size - filled, limit_ - position_, kFileChunkBytes}));
      DWORD read = 0;
      if (!::ReadFile(file_, buffer + filled, chunk, &read, nullptr)) {
        FailLastError(operation_texts::kReadFile, path_);
      }
      if (read == 0) break;
      hash_.Add(std::string_view(buffer + filled, read));
      filled += read;
      position_ += read;
    }
    return filled;
  }

  std::uint64_t position() const { return position_; }
  std::uint64_t hash() const { return hash_.Value(); }

 private:
  HANDLE file_;
  std::uint64_t limit_;
  const Text& path_;
  std::uint64_t position_ = 0;
  StreamHash hash_;
};

// Where pieces of text in a code page may end: anywhere in one of single
// bytes, only between whole characters in one of double-byte characters.
PieceRule CodePageRule(UINT code_page, const Text& path) {
  CPINFO info;
  if (!::GetCPInfo(code_page, &info)) {
    FailLastError(operation_texts::kDecodeText, path);
  }
  PieceRule rule;
  if (info.MaxCharSize == 1) return rule;
  if (info.MaxCharSize > 2) {
    // A UTF-8 system code page.
    rule.kind = PieceRule::Kind::kUtf8;
    return rule;
  }
  rule.kind = PieceRule::Kind::kDoubleByte;
  for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2) {
    for (int byte = info.LeadByte[i]; byte <= info.LeadByte[i + 1]; ++byte) {
      rule.lead_bytes[byte] = true;
    }
  }
  return rule;
}

// Decodes one piece in a code page. Text that does not fit where the first
// pass made room for it means the file changed: nothing is returned.
std::optional<std::size_t> DecodeCodePage(UINT code_page,
                                          std::string_view piece, char16_t* out,
                                          std::size_t room, const Text& path) {
  const int length = ::MultiByteToWideChar(
      code_page, 0, piece.data(), static_cast<int>(piece.size()),
      reinterpret_cast<wchar_t*>(out),
      static_cast<int>(std::min<std::size_t>(room, INT_MAX)));
  if (length == 0) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_INSUFFICIENT_BUFFER) return std::nullopt;
    Fail(error, operation_texts::kDecodeText, path);
  }
  return static_cast<std::size_t>(length);
}

}  // namespace

Win32FileHelper::Win32FileHelper(std::size_t piece_bytes,
                                 std::uint32_t ansi_code_page,
                                 std::shared_ptr<ScratchFiles> scratch_files)
    : piece_bytes_(std::max<std::size_t>(piece_bytes, 1)),
      ansi_code_page_(ansi_code_page),
      scratch_files_(std::move(scratch_files)) {}

Text Win32FileHelper::ReadTextFile(const Text& path) {
  // Full sharing, so a log that another program is still writing, or about
  // to delete, can be viewed.
  UniqueHandle file = OwnHandle(::CreateFileW(
      FileSystemPath(path).get(), GENERIC_READ,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) {
    FailLastError(operation_texts::kOpenFile, path);
  }
  // Never read from a device: a serial port or console could block for ever.
  if (::GetFileType(file.get()) != FILE_TYPE_DISK) {
    Fail(ERROR_NOT_SUPPORTED, operation_texts::kOpenFile, path);
  }
  try {
    std::vector<char> buffer(piece_bytes_);
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
      if (std::optional<Text> text =
              ReadUnchangedText(file.get(), buffer, path)) {
        return std::move(*text);
      }
    }
  } catch (const std::bad_alloc&) {
    FailOutOfMemory(path);
  } catch (const std::length_error&) {
    FailOutOfMemory(path);
  }
  // Another program keeps rewriting it.
  Fail(ERROR_SHARING_VIOLATION, operation_texts::kReadFile, path);
}

std::optional<Text> Win32FileHelper::ReadUnchangedText(
    HANDLE file, std::vector<char>& buffer, const Text& path) const {
  LARGE_INTEGER file_size;
  if (!::GetFileSizeEx(file, &file_size)) {
    FailLastError(operation_texts::kFileSize, path);
  }
  // What is there when the read begins; a log that grows meanwhile is read
  // up to that size.
  const std::size_t size = CheckedSize(file_size.QuadPart, path);

  // First pass: the encoding, the text's length and its line feeds, so
  // that the text is made once, with room to widen it in place.
  FileReader first(file, size, path);
  TextScan scan;
  for (;;) {
    const std::size_t read = first.Read(buffer.data(), buffer.size());
    scan.Add(std::string_view(buffer.data(), read));
    if (read < buffer.size()) break;
  }
  scan.Finish();
  const EncodingChoice choice = scan.Choice();
  const std::size_t units = scan.Units();
  if (units == 0) return Text();
  Text text;
  text.reserve(units + scan.LineFeeds());

  // Second pass: the same bytes again, decoded piece by piece straight
  // into the text.
  FileReader second(file, scan.Bytes(), path);
  std::array<char, 3> mark;
  second.Read(mark.data(), choice.mark_length);
  const ByteSource source = [&second](char* bytes, std::size_t count) {
    return second.Read(bytes, count);
  };
  PieceRule rule;
  PieceDecoder decode;
  switch (choice.encoding) {
    case TextEncoding::kUtf16Le:
    case TextEncoding::kUtf16Be: {
      rule.kind = PieceRule::Kind::kUtf16;
      const bool big_endian = choice.encoding == TextEncoding::kUtf16Be;
      decode = [big_endian](std::string_view piece, char16_t* out,
                            std::size_t room) {
        return DecodeUtf16(piece, big_endian, out, room);
      };
      break;
    }
    case TextEncoding::kUtf8:
      if (scan.WellFormedUtf8()) {
        // Well-formed, as the first pass found it: every decoder gives the
        // same units, and this one is the fastest. Bytes that are not are
        // other bytes than the first pass saw, and read again.
        rule.kind = PieceRule::Kind::kUtf8;
        decode = DecodeWellFormedUtf8;
        break;
      }
      [[fallthrough]];
    case TextEncoding::kAnsi: {
      const UINT code_page = choice.encoding == TextEncoding::kUtf8 ? CP_UTF8
                             : ansi_code_page_ != 0 ? ansi_code_page_
                                                    : LegacyAnsiCodePage();
      rule = choice.encoding == TextEncoding::kUtf8
                 ? PieceRule{PieceRule::Kind::kUtf8}
                 : CodePageRule(code_page, path);
      decode = [code_page, &path](std::string_view piece, char16_t* out,
                                  std::size_t room) {
        return DecodeCodePage(code_page, piece, out, room, path);
      };
      break;
    }
  }
  // Nothing may be thrown through the text's own writing; it is held and
  // thrown after.
  std::optional<std::size_t> written;
  std::exception_ptr failure;
  OverwriteText(text, units, [&](char16_t* out, std::size_t room) {
    try {
      written = DecodeInPieces(source, buffer, rule, decode, out, room);
    } catch (...) {
      failure = std::current_exception();
    }
    return written.value_or(0);
  });
  if (failure) std::rethrow_exception(failure);
  // Text that did not fit, or other bytes than the first pass saw: the
  // file changed in between, and the text might be of no state it was in.
  if (!written || second.position() != scan.Bytes() ||
      second.hash() != scan.Hash()) {
    return std::nullopt;
  }
  return text;
}

}  // namespace tessaly
