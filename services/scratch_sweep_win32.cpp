// The housekeeping after a run: scratch copies of earlier runs, which their
// editors have long let go of, are removed from the temp folder.
#include <optional>

#include "services/long_path.h"
#include "services/scratch_name.h"
#include "services/service_error.h"
#include "services/services_win32.h"
#include "services/win32_support_win32.h"

namespace tessaly {
namespace {

constexpr std::int32_t kDefaultMaxAgeHours = 24;
constexpr ULONGLONG kFileTimeTicksPerHour = 36'000'000'000ULL;

ULONGLONG Ticks(const FILETIME& time) {
  return static_cast<ULONGLONG>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

// The long form of a path, as the folder lists its names: a scratch path
// may have been given in its short form, for a temp folder too long for any
// other. The path as it is where the system cannot tell.
Text LongFormOf(const Text& path) {
  try {
    return PlainPath(FromWide(CallWithGrowingBuffer(
        [&path](DWORD size, wchar_t* buffer) {
          return ::GetLongPathNameW(Wide(FileSystemPath(path)), buffer, size);
        },
        u"Hilfsdateien suchen")));
  } catch (const ServiceError&) {
    return path;
  }
}

}  // namespace

std::int32_t Win32FileHelper::FinishScratchFile(const Text& scratch_path,
                                                std::int32_t max_age_hours,
                                                std::int32_t max_removals,
                                                std::int32_t& removed,
                                                Text& failure) {
  removed = 0;
  failure.clear();
  Text given_path = scratch_path;
  std::optional<Text> word = ScratchFileWord(LastComponent(given_path));
  if (!word) {
    given_path = LongFormOf(scratch_path);
    word = ScratchFileWord(LastComponent(given_path));
  }
  if (!word) return 0;
  const Text given_name = LastComponent(given_path);

  const ULONGLONG max_age =
      (max_age_hours < 0 ? kDefaultMaxAgeHours : max_age_hours) *
      kFileTimeTicksPerHour;
  FILETIME now_time;
  ::GetSystemTimeAsFileTime(&now_time);
  const ULONGLONG now = Ticks(now_time);

  // Both forms of scratch name hold the word; each name found is then held
  // to the strict form.
  const Text folder = FolderOf(given_path);
  const Text pattern = folder + u"\\*" + *word + u"*.txt";
  WIN32_FIND_DATAW found;
  const HANDLE first = ::FindFirstFileW(Wide(FileSystemPath(pattern)), &found);
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
    if (::DeleteFileW(Wide(FileSystemPath(path)))) {
      ++removed;
    } else {
      const DWORD error = ::GetLastError();
      failure = FromWide(DescribeFailure(L"Hilfsdatei entfernen", error));
    }
  } while (::FindNextFileW(search.get(), &found));
  return removed;
}

}  // namespace tessaly
