#include <algorithm>
#include <array>
#include <exception>
#include <limits>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "services/services_win32.h"
#include "services/text_encoding.h"
#include "services/text_pieces.h"
#include "services/win32_support_win32.h"

namespace tessaly {
namespace {

// Reads and writes go in pieces of this size, well inside a DWORD.
constexpr DWORD kChunkBytes = 16 << 20;
// A file that changes between the two passes is read again from the start,
// this many times in all, and then reported.
constexpr int kReadAttempts = 3;

[[noreturn]] void FailOutOfMemory(const Text& path) {
  Fail(ERROR_NOT_ENOUGH_MEMORY, u"Datei lesen", path);
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
      const DWORD error = ::GetLastError();
      Fail(error, u"Datei lesen", path_);
    }
  }

  // Fills `buffer` with up to `size` bytes; fewer only at the end.
  std::size_t Read(char* buffer, std::size_t size) {
    std::size_t filled = 0;
    while (filled < size && position_ < limit_) {
      const auto chunk = static_cast<DWORD>(std::min<std::uint64_t>(
          {size - filled, limit_ - position_, kChunkBytes}));
      DWORD read = 0;
      if (!::ReadFile(file_, buffer + filled, chunk, &read, nullptr)) {
        const DWORD error = ::GetLastError();
        Fail(error, u"Datei lesen", path_);
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
    const DWORD error = ::GetLastError();
    Fail(error, u"Text umwandeln", path);
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
    Fail(error, u"Text umwandeln", path);
  }
  return static_cast<std::size_t>(length);
}

void WriteAll(HANDLE file, const char* data, std::size_t size,
              const Text& path) {
  while (size > 0) {
    const DWORD chunk =
        static_cast<DWORD>(std::min<std::size_t>(size, kChunkBytes));
    DWORD written = 0;
    if (!::WriteFile(file, data, chunk, &written, nullptr)) {
      const DWORD error = ::GetLastError();
      Fail(error, u"Datei schreiben", path);
    }
    if (written == 0) Fail(ERROR_WRITE_FAULT, u"Datei schreiben", path);
    data += written;
    size -= written;
  }
}

// Errors that say the path names nothing: no such file, folder, drive,
// server or share, a share or device that holds no files, or a name that
// cannot be one. Any other error, access denied say, means something may be
// there that could not be looked at.
bool NamesNothing(DWORD error) {
  switch (error) {
    case ERROR_BAD_DEV_TYPE:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
      return true;
    default:
      return false;
  }
}

// Opens `path` following every link, for its attributes alone, sharing
// everything so that no one else's access is in the way.
FoundEntry FollowLink(const Text& path) {
  const UniqueHandle target = OwnHandle(::CreateFileW(
      FileSystemPath(path).get(), FILE_READ_ATTRIBUTES,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!target) return {::GetLastError(), 0};
  BY_HANDLE_FILE_INFORMATION information;
  if (!::GetFileInformationByHandle(target.get(), &information)) {
    return {::GetLastError(), 0};
  }
  return {ERROR_SUCCESS, information.dwFileAttributes};
}

}  // namespace

std::int32_t Win32FileHelper::FileExists(const Text& path) {
  // Device names resolve into the device namespace ("\\.\NUL"); a trailing
  // separator names a folder; wildcards name no one file.
  const std::size_t after_prefix = path.starts_with(u"\\\\?\\") ? 4 : 0;
  if (path.empty() || path.starts_with(u"\\\\.\\") || path.back() == u'\\' ||
      path.back() == u'/' ||
      path.find_first_of(u"*?", after_prefix) != Text::npos) {
    return 0;
  }
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(FileSystemPath(path).get(), GetFileExInfoStandard,
                              &data)) {
    const DWORD error = ::GetLastError();
    if (NamesNothing(error)) return 0;
    Fail(error, u"Datei prüfen", path);
  }
  return JudgeFoundFile(
      data.dwFileAttributes, [&path] { return FollowLink(path); }, path);
}

std::int32_t JudgeFoundFile(DWORD attributes,
                            const std::function<FoundEntry()>& follow,
                            const Text& path) {
  // The attributes are the link's own; what counts is what it leads to.
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    const FoundEntry target = follow();
    if (target.error != ERROR_SUCCESS) {
      if (NamesNothing(target.error)) return 0;
      Fail(target.error, u"Datei prüfen", path);
    }
    attributes = target.attributes;
  }
  return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

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
    const DWORD error = ::GetLastError();
    Fail(error, u"Datei öffnen", path);
  }
  // Never read from a device: a serial port or console could block for ever.
  if (::GetFileType(file.get()) != FILE_TYPE_DISK) {
    Fail(ERROR_NOT_SUPPORTED, u"Datei öffnen", path);
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
  Fail(ERROR_SHARING_VIOLATION, u"Datei lesen", path);
}

std::optional<Text> Win32FileHelper::ReadUnchangedText(
    HANDLE file, std::vector<char>& buffer, const Text& path) const {
  LARGE_INTEGER file_size;
  if (!::GetFileSizeEx(file, &file_size)) {
    const DWORD error = ::GetLastError();
    Fail(error, u"Dateigröße ermitteln", path);
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

void Win32FileHelper::WriteTextFile(const Text& path, const Text& text) {
  // A scratch file of this run is written through the handle that made it,
  // never reopened by its name, which may name something else by now.
  HANDLE scratch = scratch_files_ ? scratch_files_->Held(path) : nullptr;
  UniqueHandle opened;
  if (scratch == nullptr) {
    opened = OwnHandle(::CreateFileW(FileSystemPath(path).get(), GENERIC_WRITE,
                                     FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!opened) {
      const DWORD error = ::GetLastError();
      Fail(error, u"Datei anlegen", path);
    }
  }
  HANDLE file = scratch != nullptr ? scratch : opened.get();
  const LARGE_INTEGER start = {};
  if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) {
    const DWORD error = ::GetLastError();
    Fail(error, u"Datei schreiben", path);
  }
  constexpr char kUtf16LeMark[] = "\xFF\xFE";
  WriteAll(file, kUtf16LeMark, 2, path);
  WriteAll(file, reinterpret_cast<const char*>(text.data()),
           text.size() * sizeof(char16_t), path);
  if (!::SetEndOfFile(file)) {
    const DWORD error = ::GetLastError();
    Fail(error, u"Datei schreiben", path);
  }
  // A scratch copy is read-only once written: the editor then has the user
  // save elsewhere, rather than into a file that a later run sweeps away.
  if (scratch != nullptr) {
    if (const DWORD error = SetReadOnly(scratch, true);
        error != ERROR_SUCCESS) {
      Fail(error, u"Datei schreiben", path);
    }
  }
}

}  // namespace tessaly
