#include "win32/environment.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "paths/long_path.h"
#include "paths/scratch_name.h"
#include "win32/operation_texts.h"
#include "win32/support.h"

namespace tessaly {
namespace {

// Scratch names are random, so a clash means someone planted names; give up
// after this many rather than loop.
constexpr int kScratchNameAttempts = 64;

// The random part of scratch names only has to keep runs from choosing the
// same names: CREATE_NEW, not the name, keeps anything planted from being
// opened, and a name that is taken is tried again. A name that others can
// guess does no harm, so it is mixed from the clocks, the ids and where the
// system placed the stack, and no cryptographic generator is needed.
Win32EnvironmentHelper::RandomSource MixedClockRandom() {
  LARGE_INTEGER counter;
  ::QueryPerformanceCounter(&counter);
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  const int on_stack = 0;
  std::uint64_t state =
      static_cast<std::uint64_t>(counter.QuadPart) ^
      (static_cast<std::uint64_t>(now.dwHighDateTime) << 32 |
       now.dwLowDateTime) ^
      static_cast<std::uint64_t>(::GetCurrentProcessId()) << 40 ^
      static_cast<std::uint64_t>(::GetCurrentThreadId()) << 20 ^
      reinterpret_cast<std::uintptr_t>(&on_stack);
  return [state]() mutable {
    LARGE_INTEGER later;
    ::QueryPerformanceCounter(&later);
    // SplitMix64's step, with the counter stirred in at every call.
    state += 0x9E3779B97F4A7C15ULL ^ static_cast<std::uint64_t>(later.QuadPart);
    std::uint64_t mixed = state;
    mixed = (mixed ^ (mixed >> 30)) * 0xBF58476D1CE4E5B9ULL;
    mixed = (mixed ^ (mixed >> 27)) * 0x94D049BB133111EBULL;
    return static_cast<std::uint32_t>(mixed ^ (mixed >> 31));
  };
}

Text FullPath(const Text& path) {
  return FromWide(CallWithGrowingBuffer(
      [&path](DWORD size, wchar_t* buffer) {
        return ::GetFullPathNameW(Wide(path), size, buffer, nullptr);
      },
      operation_texts::kResolvePath, path));
}

bool Exists(const Text& full_path) {
  return ::GetFileAttributesW(FileSystemPath(full_path).get()) !=
         INVALID_FILE_ATTRIBUTES;
}

bool IsFile(const Text& full_path) {
  const DWORD attributes =
      ::GetFileAttributesW(FileSystemPath(full_path).get());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Whether creating a file in `folder` failed for its name: one that is
// not valid there, too long, or, as file systems that count a name's bytes
// say, not found in a folder that is there; or one that reached a device
// rather than a file, which ScratchFiles refuses as not supported, and
// Wine, for a console's name, with an invalid handle.
bool NameRefused(DWORD error, const Text& folder) {
  if (error == ERROR_INVALID_NAME || error == ERROR_FILENAME_EXCED_RANGE ||
      error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_HANDLE) {
    return true;
  }
  if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
    return false;
  }
  const DWORD attributes = ::GetFileAttributesW(FileSystemPath(folder).get());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

Text TrimBlanks(const Text& text) {
  const std::size_t first = text.find_first_not_of(u" \t");
  if (first == Text::npos) return Text();
  const std::size_t last = text.find_last_not_of(u" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace

Win32EnvironmentHelper::Win32EnvironmentHelper(
    RandomSource random, std::shared_ptr<ScratchFiles> scratch_files)
    : random_(random ? std::move(random) : MixedClockRandom()),
      scratch_files_(std::move(scratch_files)) {}

Text Win32EnvironmentHelper::SpecialFolderPath(std::int32_t folder_id,
                                               std::int32_t user_token,
                                               std::int32_t flags) {
  std::wstring path = ShellFolderPath(
      folder_id, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(user_token)),
      static_cast<DWORD>(flags), operation_texts::kFindSystemFolder);
  // A drive's root keeps its backslash; any other path loses it.
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  return FromWide(path);
}

Variant Win32EnvironmentHelper::ScratchFilePath(const Text& word) {
  const Text temp_folder = TempFolderPath(operation_texts::kFindTempFolder);
  // Notepad opens paths of up to MAX_PATH - 1 characters: the file's name
  // in the copy's name is cut to fit where the temp folder leaves room.
  const std::size_t room = temp_folder.size() < kLongestPlainPath
                               ? kLongestPlainPath - temp_folder.size()
                               : 0;
  // Where the temp folder's file system refuses a name, it is cut harder,
  // and then the plain name is taken, which needs no room (0).
  const std::size_t longest[] = {room, std::min(room, kShortScratchNameLength),
                                 0};
  std::size_t cut = 0;
  const DWORD process_id = ::GetCurrentProcessId();
  DWORD error = ERROR_FILE_EXISTS;
  for (int attempt = 0; attempt < kScratchNameAttempts; ++attempt) {
    const Text path =
        temp_folder +
        ScratchFileName(word, shown_name_, process_id, random_(), longest[cut]);
    error = scratch_files_->Create(path);
    if (error == ERROR_SUCCESS) return PathForEditor(path);
    if (cut + 1 < std::size(longest) && NameRefused(error, temp_folder)) {
      ++cut;
    } else if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS &&
               error != ERROR_ACCESS_DENIED) {
      Fail(error, operation_texts::kCreateScratchFile, path);
    }
  }
  Fail(error, operation_texts::kCreateScratchFile, temp_folder);
}

Text Win32EnvironmentHelper::PathForEditor(const Text& path) {
  if (path.size() <= kLongestPlainPath) return path;
  // A temp folder too long for any name: the short form, though the
  // editor's title then shows a name of eight characters.
  const Text short_path = PlainPath(FromWide(CallWithGrowingBuffer(
      [&path](DWORD size, wchar_t* buffer) {
        return ::GetShortPathNameW(FileSystemPath(path).get(), buffer, size);
      },
      operation_texts::kCreateScratchFile, path)));
  if (short_path.size() > kLongestPlainPath) {
    Fail(ERROR_FILENAME_EXCED_RANGE, operation_texts::kCreateScratchFile, path);
  }
  scratch_files_->KnowAs(path, short_path);
  return short_path;
}

Text Win32EnvironmentHelper::PathFromCommandLine(const Text& command_text) {
  Text path = ResolvedPath(command_text);
  // The copy is named after the file it shows.
  shown_name_ = LastComponent(path);
  return path;
}

Text Win32EnvironmentHelper::ResolvedPath(const Text& command_text) {
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
