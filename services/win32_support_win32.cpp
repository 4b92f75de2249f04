#include "services/win32_support_win32.h"

#include <shlobj.h>

#include "services/long_path.h"
#include "services/service_error.h"

namespace tessaly {
namespace {

// The message table text for `error` in `language`, without its trailing
// line break, or the empty string where the system has none.
std::wstring SystemText(DWORD error, DWORD language) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
          FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, language, reinterpret_cast<wchar_t*>(&buffer), 0,
      nullptr);
  std::wstring text;
  if (length != 0 && buffer != nullptr) text.assign(buffer, length);
  ::LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n')) {
    text.pop_back();
  }
  return text;
}

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
      const DWORD error = ::GetLastError();
      Fail(error, u"Systemordner erreichen", path);
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

std::wstring DescribeFailure(std::wstring_view operation, DWORD error) {
  std::wstring text =
      SystemText(error, MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN));
  if (text.empty()) text = SystemText(error, 0);
  if (text.empty()) text = std::to_wstring(error);
  return std::wstring(operation) + L": " + text;
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
    // that is not a full path to a folder is not trusted.
    std::wstring profile(MAX_PATH, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(
        L"USERPROFILE", profile.data(), static_cast<DWORD>(profile.size()));
    profile.resize(length < profile.size() ? length : 0);
    const DWORD attributes = profile.empty()
                                 ? INVALID_FILE_ATTRIBUTES
                                 : ::GetFileAttributesW(profile.c_str());
    const bool full_path =
        profile.size() >= 3 && profile[1] == L':' && profile[2] == L'\\';
    if (full_path && attributes != INVALID_FILE_ATTRIBUTES &&
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

void Fail(DWORD error, std::u16string_view operation, const Text& subject) {
  Text described(operation);
  if (!subject.empty()) described += u" \"" + subject + u'"';
  throw ServiceError(std::move(described), error);
}

}  // namespace tessaly
