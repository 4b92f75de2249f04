#include "win32/support.h"

#include <shlobj.h>

#include "paths/long_path.h"
#include "win32/operation_texts.h"

namespace tessaly {
namespace {

// Whether the system redirects this process's access to the system folder:
// a 32-bit process on 64-bit Windows.
bool SystemFolderIsRedirected() {
  BOOL wow64 = FALSE;
  return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

}  // namespace

FileSystemPath::FileSystemPath(const Text& path) {
  wchar_t system[MAX_PATH];
  wchar_t windows[MAX_PATH];
  const UINT system_length =
      SystemFolderIsRedirected() ? ::GetSystemDirectoryW(system, MAX_PATH) : 0;
  const UINT windows_length = ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
  if (system_length == 0 || system_length >= MAX_PATH || windows_length == 0 ||
      windows_length >= MAX_PATH) {
    path_ = ExtendedLengthPath(path);
    return;
  }
  Text native = FromWide(std::wstring_view(windows, windows_length));
  if (!native.empty() && native.back() != u'\\') native += u'\\';
  native += u"Sysnative";
  UnredirectedPath unredirected = PathPastRedirection(
      path, FromWide(std::wstring_view(system, system_length)), native);
  path_ = std::move(unredirected.path);
  if (unredirected.redirection_off) {
    if (!::Wow64DisableWow64FsRedirection(&redirection_)) {
      FailLastError(operation_texts::kReachSystemFolder, path);
    }
    redirection_off_ = true;
  }
}

FileSystemPath::~FileSystemPath() {
  if (!redirection_off_) return;
  // The call's own error code is still to be read.
  const DWORD error = ::GetLastError();
  ::Wow64RevertWow64FsRedirection(redirection_);
  ::SetLastError(error);
}

UniqueModule LoadSystemLibrary(std::wstring_view name,
                               std::u16string_view operation) {
  std::wstring path = CallWithGrowingBuffer(
      [](DWORD size, wchar_t* buffer) {
        return ::GetSystemDirectoryW(buffer, size);
      },
      operation);
  path += L'\\';
  path += name;
  UniqueModule module(::LoadLibraryExW(path.c_str(), nullptr, 0));
  if (!module) {
    // Read before the path's text is made, which allocates.
    const DWORD error = ::GetLastError();
    Fail(error, operation, FromWide(path));
  }
  return module;
}

std::wstring ShellFolderPath(int csidl, HANDLE user_token, DWORD flags,
                             std::u16string_view operation) {
  if (csidl == CSIDL_WINDOWS) {
    // On a terminal server a program that is not marked terminal-server
    // aware gets a private Windows folder per user, from
    // GetWindowsDirectoryW and CSIDL_WINDOWS alike; this names the shared
    // one, where Notepad is, in any case.
    return CallWithGrowingBuffer(
        [](DWORD size, wchar_t* buffer) {
          return ::GetSystemWindowsDirectoryW(buffer, size);
        },
        operation);
  }
  if (csidl == CSIDL_PROFILE && user_token == nullptr &&
      flags == SHGFP_TYPE_CURRENT) {
    // Windows sets USERPROFILE from the profile's path when the user logs
    // on; it spares loading SHELL32 and the COM libraries behind it. A value
    // that is not a folder's path from a drive's root is not trusted.
    std::wstring profile(MAX_PATH, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(
        L"USERPROFILE", profile.data(), static_cast<DWORD>(profile.size()));
    profile.resize(length < profile.size() ? length : 0);
    const DWORD attributes = profile.empty()
                                 ? INVALID_FILE_ATTRIBUTES
                                 : ::GetFileAttributesW(profile.c_str());
    if (StartsAtDriveRoot(FromWide(profile)) &&
        attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return profile;
    }
  }
  using GetFolderPath = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);
  const UniqueModule shell = LoadSystemLibrary(L"shell32.dll", operation);
  const auto get_folder_path =
      SystemFunction<GetFolderPath>(shell.get(), "SHGetFolderPathW", operation);
  std::wstring path(MAX_PATH, L'\0');
  const HRESULT result =
      get_folder_path(nullptr, csidl, user_token, flags, path.data());
  if (FAILED(result)) Fail(static_cast<DWORD>(result), operation);
  path.resize(path.find(L'\0'));
  return path;
}

Text TempFolderPath(std::u16string_view operation) {
  return FromWide(CallWithGrowingBuffer(
      [](DWORD size, wchar_t* buffer) { return ::GetTempPathW(size, buffer); },
      operation));
}

}  // namespace tessaly
