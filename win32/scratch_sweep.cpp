// The housekeeping after a run: scratch copies of earlier runs, which their
// editors have long let go of, are removed from the temp folder, but only
// those that are still as this program left them: read-only, of one name,
// and the user's own where the volume keeps owners (or, where the file
// system refused the user, of the owner that this run's copy was given and
// with the user's own entry, as that owner may be many people's).
#include <memory>
#include <optional>
#include <vector>

#include "paths/long_path.h"
#include "paths/scratch_name.h"
#include "services/service_error.h"
#include "win32/file_helper.h"
#include "win32/operation_texts.h"
#include "win32/private_security.h"
#include "win32/scratch_files.h"
#include "win32/support.h"

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
          return ::GetLongPathNameW(FileSystemPath(path).get(), buffer, size);
        },
        operation_texts::kFindScratchFiles)));
  } catch (const ServiceError&) {
    return path;
  }
}

// Removes the old copy at `path` if it is one that this program wrote and
// nobody changed since: still read-only, not written to in `max_age`, the
// user's own (PrivateSecurity::CountsAsUsersOwn, with `run_owner`), and of
// one name. A file of more names may be another file, which one of its
// names only makes look like a copy: the attribute is the file's, not the
// name's, so clearing it would leave that file writable. Returns the
// system's error code where it could not be looked at or removed, 0
// otherwise; `removed` says whether it went.
DWORD RemoveOldCopy(const Text& path, const PrivateSecurity& user,
                    const std::vector<BYTE>& run_owner, ULONGLONG now,
                    ULONGLONG max_age, bool& removed) {
  removed = false;
  // Shared with nobody: while it is judged, nobody else can open it to
  // read, write or remove it, and it is not opened where anybody already
  // has. Opens for its attributes or its security alone are not governed
  // by sharing.
  const UniqueHandle file = OwnHandle(::CreateFileW(
      FileSystemPath(path).get(),
      DELETE | READ_CONTROL | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, 0,
      nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) return ::GetLastError();
  BY_HANDLE_FILE_INFORMATION information;
  if (!::GetFileInformationByHandle(file.get(), &information)) {
    return ::GetLastError();
  }
  const ULONGLONG written = Ticks(information.ftLastWriteTime);
  if ((information.dwFileAttributes & FILE_ATTRIBUTE_READONLY) == 0 ||
      (information.dwFileAttributes &
       (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
      information.nNumberOfLinks != 1 || written > now ||
      now - written <= max_age ||
      !user.CountsAsUsersOwn(file.get(), run_owner)) {
    return ERROR_SUCCESS;
  }
  const DWORD error = RemoveOpenFile(file.get());
  removed = error == ERROR_SUCCESS;
  return error;
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
  const HANDLE first = ::FindFirstFileW(FileSystemPath(pattern).get(), &found);
  if (first == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) {
      failure = DescribeFailure(operation_texts::kFindScratchFiles, error);
    }
    return 0;
  }
  UniqueFindHandle search(first);
  // The run's own security where it made copies; made here only when a
  // candidate is found, so that most runs load nothing for it.
  std::unique_ptr<PrivateSecurity> own_security;
  const auto user = [&]() -> const PrivateSecurity& {
    if (scratch_files_) return scratch_files_->Security();
    if (!own_security) own_security = std::make_unique<PrivateSecurity>();
    return *own_security;
  };
  const std::vector<BYTE> run_owner =
      scratch_files_ ? scratch_files_->OwnerGiven() : std::vector<BYTE>{};
  do {
    if (max_removals >= 0 && removed >= max_removals) break;
    const Text name = FromWide(found.cFileName);
    // Folders and links are not ours to remove, and neither is the copy the
    // editor has just been given. A copy that is no longer read-only was
    // made writable, and may hold what the user saved: it is the user's.
    if ((found.dwFileAttributes &
         (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
        (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) == 0 ||
        ScratchFileWord(name) != word ||
        ::CompareStringOrdinal(Wide(name), -1, Wide(given_name), -1, TRUE) ==
            CSTR_EQUAL) {
      continue;
    }
    const ULONGLONG written = Ticks(found.ftLastWriteTime);
    if (written > now || now - written <= max_age) continue;
    bool gone = false;
    DWORD error = ERROR_SUCCESS;
    try {
      error = RemoveOldCopy(folder + u'\\' + name, user(), run_owner, now,
                            max_age, gone);
    } catch (const ServiceError& failed) {
      error = failed.system_code();
    }
    if (gone) ++removed;
    if (error != ERROR_SUCCESS) {
      failure = DescribeFailure(operation_texts::kRemoveScratchFile, error);
    }
  } while (::FindNextFileW(search.get(), &found));
  return removed;
}

}  // namespace tessaly
