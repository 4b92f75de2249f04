#include <algorithm>
#include <limits>
#include <memory>
#include <string_view>

#include "services/long_path.h"
#include "services/scratch_name.h"
#include "services/services_win32.h"
#include "services/text_encoding.h"
#include "services/win32_support_win32.h"

namespace tessaly {
namespace {

// Reads and writes go in pieces of this size, well inside a DWORD.
constexpr DWORD kChunkBytes = 16 << 20;
constexpr char16_t kReplacementCharacter = u'\xFFFD';
constexpr std::int32_t kDefaultMaxAgeHours = 24;
constexpr ULONGLONG kFileTimeTicksPerHour = 36'000'000'000ULL;

[[noreturn]] void FailOutOfMemory(const Text& path) {
  Fail(ERROR_NOT_ENOUGH_MEMORY, u"Datei lesen", path);
}

std::string_view::size_type CheckedSize(LONGLONG size, const Text& path) {
  // A 32-bit process cannot hold more; the text needs twice as much again.
  if (size > std::numeric_limits<int>::max()) FailOutOfMemory(path);
  return static_cast<std::string_view::size_type>(size);
}

char16_t Utf16Unit(std::string_view bytes, std::size_t index, bool big_endian) {
  const auto first = static_cast<unsigned char>(bytes[2 * index]);
  const auto second = static_cast<unsigned char>(bytes[2 * index + 1]);
  return big_endian ? static_cast<char16_t>(first << 8 | second)
                    : static_cast<char16_t>(second << 8 | first);
}

// Decoded text is given room for one more unit per line feed, so that the
// line-end conversion can widen it in place instead of copying it.
Text DecodeUtf16(std::string_view bytes, bool big_endian) {
  const std::size_t whole_units = bytes.size() / 2;
  // A lone last byte is half a character: show that something is there.
  const std::size_t units = whole_units + bytes.size() % 2;
  std::size_t line_feeds = 0;
  for (std::size_t i = 0; i < whole_units; ++i) {
    line_feeds += Utf16Unit(bytes, i, big_endian) == u'\n';
  }
  Text text;
  text.reserve(units + line_feeds);
  OverwriteText(text, units, [&](char16_t* out, std::size_t) {
    for (std::size_t i = 0; i < whole_units; ++i) {
      out[i] = Utf16Unit(bytes, i, big_endian);
    }
    if (units != whole_units) out[whole_units] = kReplacementCharacter;
    return units;
  });
  return text;
}

Text DecodeCodePage(std::string_view bytes, UINT code_page, const Text& path) {
  // A byte never gives more than one unit, in UTF-8 as in any ANSI code
  // page, and a line feed byte is always a line feed.
  const std::size_t line_feeds = std::count(bytes.begin(), bytes.end(), '\n');
  Text text;
  text.reserve(bytes.size() + line_feeds);
  DWORD error = ERROR_SUCCESS;
  OverwriteText(text, bytes.size(), [&](char16_t* out, std::size_t room) {
    const int length = ::MultiByteToWideChar(
        code_page, 0, bytes.data(), static_cast<int>(bytes.size()),
        reinterpret_cast<wchar_t*>(out), static_cast<int>(room));
    if (length == 0) error = ::GetLastError();
    return static_cast<std::size_t>(length);
  });
  if (text.empty()) Fail(error, u"Text umwandeln", path);
  return text;
}

Text Decode(std::string_view bytes, const Text& path) {
  const EncodingChoice choice = ChooseEncoding(bytes);
  bytes.remove_prefix(choice.mark_length);
  if (bytes.empty()) return Text();
  switch (choice.encoding) {
    case TextEncoding::kUtf16Le:
      return DecodeUtf16(bytes, /*big_endian=*/false);
    case TextEncoding::kUtf16Be:
      return DecodeUtf16(bytes, /*big_endian=*/true);
    case TextEncoding::kUtf8:
      return DecodeCodePage(bytes, CP_UTF8, path);
    case TextEncoding::kAnsi:
      return DecodeCodePage(bytes, CP_ACP, path);
  }
  return Text();
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

Text FolderOf(const Text& path) {
  const std::size_t separator = path.find_last_of(u"\\/");
  return separator == Text::npos ? Text(u".") : path.substr(0, separator);
}

Text NameOf(const Text& path) {
  const std::size_t separator = path.find_last_of(u"\\/");
  return separator == Text::npos ? path : path.substr(separator + 1);
}

ULONGLONG Ticks(const FILETIME& time) {
  return static_cast<ULONGLONG>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
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
  if (!::GetFileAttributesExW(Wide(ExtendedLengthPath(path)),
                              GetFileExInfoStandard, &data)) {
    return 0;
  }
  return (data.dwFileAttributes &
          (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

Text Win32FileHelper::ReadTextFile(const Text& path) {
  // Full sharing, so a log that another program is still writing, or about
  // to delete, can be viewed.
  UniqueHandle file = OwnHandle(::CreateFileW(
      Wide(ExtendedLengthPath(path)), GENERIC_READ,
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
  LARGE_INTEGER file_size;
  if (!::GetFileSizeEx(file.get(), &file_size)) {
    const DWORD error = ::GetLastError();
    Fail(error, u"Dateigröße ermitteln", path);
  }
  const std::size_t size = CheckedSize(file_size.QuadPart, path);

  std::unique_ptr<char[]> bytes;
  try {
    bytes = std::make_unique_for_overwrite<char[]>(size);
  } catch (const std::bad_alloc&) {
    FailOutOfMemory(path);
  }
  // What is there when the size was taken; a file that grows meanwhile is
  // read up to that size, one that shrinks up to its new end.
  std::size_t filled = 0;
  while (filled < size) {
    const DWORD chunk =
        static_cast<DWORD>(std::min<std::size_t>(size - filled, kChunkBytes));
    DWORD read = 0;
    if (!::ReadFile(file.get(), bytes.get() + filled, chunk, &read, nullptr)) {
      const DWORD error = ::GetLastError();
      Fail(error, u"Datei lesen", path);
    }
    if (read == 0) break;
    filled += read;
  }
  file.reset();
  try {
    return Decode(std::string_view(bytes.get(), filled), path);
  } catch (const std::bad_alloc&) {
    FailOutOfMemory(path);
  } catch (const std::length_error&) {
    FailOutOfMemory(path);
  }
}

void Win32FileHelper::WriteTextFile(const Text& path, const Text& text) {
  UniqueHandle file = OwnHandle(::CreateFileW(
      Wide(ExtendedLengthPath(path)), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD error = ::GetLastError();
    Fail(error, u"Datei anlegen", path);
  }
  constexpr char kUtf16LeMark[] = "\xFF\xFE";
  WriteAll(file.get(), kUtf16LeMark, 2, path);
  WriteAll(file.get(), reinterpret_cast<const char*>(text.data()),
           text.size() * sizeof(char16_t), path);
}

std::int32_t Win32FileHelper::FinishScratchFile(const Text& scratch_path,
                                                std::int32_t max_age_hours,
                                                std::int32_t max_removals,
                                                std::int32_t& removed,
                                                Text& failure) {
  removed = 0;
  failure.clear();
  const Text given_name = NameOf(scratch_path);
  const std::optional<Text> word = ScratchFileWord(given_name);
  if (!word) return 0;

  const ULONGLONG max_age =
      (max_age_hours < 0 ? kDefaultMaxAgeHours : max_age_hours) *
      kFileTimeTicksPerHour;
  FILETIME now_time;
  ::GetSystemTimeAsFileTime(&now_time);
  const ULONGLONG now = Ticks(now_time);

  const Text folder = FolderOf(scratch_path);
  const Text pattern = folder + u'\\' + *word + u"-*.txt";
  WIN32_FIND_DATAW found;
  const HANDLE first = ::FindFirstFileW(Wide(pattern), &found);
  if (first == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) {
      failure = FromWide(DescribeFailure(L"Hilfsdateien suchen", error));
    }
    return 0;
  }
  UniqueFindHandle search(first);
  do {
    if (max_removals >= 0 && removed >= max_removals) break;
    const Text name = FromWide(found.cFileName);
    // Folders and links are not ours to remove, and neither is the copy the
    // editor has just been given.
    if ((found.dwFileAttributes &
         (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
        ScratchFileWord(name) != word ||
        ::CompareStringOrdinal(Wide(name), -1, Wide(given_name), -1, TRUE) ==
            CSTR_EQUAL) {
      continue;
    }
    const ULONGLONG written = Ticks(found.ftLastWriteTime);
    if (written > now || now - written <= max_age) continue;
    const Text path = folder + u'\\' + name;
    if (::DeleteFileW(Wide(path))) {
      ++removed;
    } else {
      const DWORD error = ::GetLastError();
      failure = FromWide(DescribeFailure(L"Hilfsdatei entfernen", error));
    }
  } while (::FindNextFileW(search.get(), &found));
  return removed;
}

}  // namespace tessaly
