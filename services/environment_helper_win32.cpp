// rand_s, the CRT's face of the system's cryptographic generator.
#define _CRT_RAND_S
#include <shlobj.h>
#include <stdlib.h>

#include "services/long_path.h"
#include "services/scratch_name.h"
#include "services/services_win32.h"
#include "services/win32_support_win32.h"

namespace tessaly {
namespace {

// Scratch names are random, so a clash means someone planted names; give up
// after this many rather than loop.
constexpr int kScratchNameAttempts = 64;

// Calls an API of the GetTempPathW kind: given the buffer's size it returns
// the length written, or the size needed when the buffer is too small, or 0
// on failure.
template <typename Call>
std::wstring CallWithGrowingBuffer(Call call, std::u16string_view operation,
                                   const Text& subject = Text()) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = call(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0) {
      const DWORD error = ::GetLastError();
      Fail(error, operation, subject);
    }
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    buffer.resize(length);
  }
}

std::uint32_t CryptoRandom() {
  unsigned int value = 0;
  if (rand_s(&value) != 0) Fail(ERROR_GEN_FAILURE, u"Zufallszahl erzeugen");
  return value;
}

Text FullPath(const Text& path) {
  return FromWide(CallWithGrowingBuffer(
      [&path](DWORD size, wchar_t* buffer) {
        return ::GetFullPathNameW(Wide(path), size, buffer, nullptr);
      },
      u"Pfad auflösen", path));
}

bool Exists(const Text& full_path) {
  return ::GetFileAttributesW(Wide(ExtendedLengthPath(full_path))) !=
         INVALID_FILE_ATTRIBUTES;
}

bool IsFile(const Text& full_path) {
  const DWORD attributes =
      ::GetFileAttributesW(Wide(ExtendedLengthPath(full_path)));
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

Text TrimBlanks(const Text& text) {
  const std::size_t first = text.find_first_not_of(u" \t");
  if (first == Text::npos) return Text();
  const std::size_t last = text.find_last_not_of(u" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace

Win32EnvironmentHelper::Win32EnvironmentHelper(RandomSource random)
    : random_(random ? std::move(random) : CryptoRandom) {}

Text Win32EnvironmentHelper::SpecialFolderPath(std::int32_t folder_id,
                                               std::int32_t user_token,
                                               std::int32_t flags) {
  std::wstring path;
  if (folder_id == CSIDL_WINDOWS) {
    // On a terminal server a program that is not marked terminal-server
    // aware gets a private Windows folder per user, from
    // GetWindowsDirectoryW and CSIDL_WINDOWS alike; this names the shared
    // one, where Notepad is, in any case.
    path = CallWithGrowingBuffer(
        [](DWORD size, wchar_t* buffer) {
          return ::GetSystemWindowsDirectoryW(buffer, size);
        },
        u"Systemordner ermitteln");
  } else {
    wchar_t buffer[MAX_PATH] = {};
    const HRESULT result = ::SHGetFolderPathW(
        nullptr, folder_id,
        reinterpret_cast<HANDLE>(static_cast<INT_PTR>(user_token)),
        static_cast<DWORD>(flags), buffer);
    if (FAILED(result)) {
      Fail(static_cast<DWORD>(result), u"Systemordner ermitteln");
    }
    path = buffer;
  }
  // A drive's root keeps its backslash; any other path loses it.
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  return FromWide(path);
}

Variant Win32EnvironmentHelper::ScratchFilePath(const Text& word) {
  const std::wstring temp_folder = CallWithGrowingBuffer(
      [](DWORD size, wchar_t* buffer) { return ::GetTempPathW(size, buffer); },
      u"Temporären Ordner ermitteln");
  const DWORD process_id = ::GetCurrentProcessId();
  DWORD error = ERROR_FILE_EXISTS;
  for (int attempt = 0; attempt < kScratchNameAttempts; ++attempt) {
    const Text path =
        FromWide(temp_folder) + ScratchFileName(word, process_id, random_());
    // CREATE_NEW fails on any name already there, a link included, so
    // nothing planted is ever opened; and a reparse point is never followed.
    UniqueHandle file = OwnHandle(::CreateFileW(
        Wide(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (file) return path;
    error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS &&
        error != ERROR_ACCESS_DENIED) {
      Fail(error, u"Hilfsdatei anlegen", path);
    }
  }
  Fail(error, u"Hilfsdatei anlegen", FromWide(temp_folder));
}

Text Win32EnvironmentHelper::PathFromCommandLine(const Text& command_text) {
  Text path = TrimBlanks(command_text);
  const bool quoted = !path.empty() && path.front() == u'"';
  if (quoted) {
    const std::size_t closing = path.find(u'"', 1);
    path = path.substr(1, closing == Text::npos ? Text::npos : closing - 1);
  }
  if (path.empty()) return path;
  const Text full_path = FullPath(path);
  const std::size_t blank = path.find_first_of(u" \t");
  if (quoted || blank == Text::npos || Exists(full_path)) return full_path;
  // Send To and dropping pass every file selected, quoting only paths with
  // a space in them. When the whole text names nothing, a first path that
  // names a file is the one meant.
  const Text first_path = FullPath(path.substr(0, blank));
  return IsFile(first_path) ? first_path : full_path;
}

}  // namespace tessaly
