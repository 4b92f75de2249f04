// Whether a path names a file to read: the first thing a run asks of the
// file it was given.
#include <functional>

#include "win32/file_helper.h"
#include "win32/operation_texts.h"
#include "win32/support.h"

namespace tessaly {
namespace {

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
    Fail(error, operation_texts::kCheckFile, path);
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
      Fail(target.error, operation_texts::kCheckFile, path);
    }
    attributes = target.attributes;
  }
  return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

}  // namespace tessaly
