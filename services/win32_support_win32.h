// What the Win32 services share: owned handles, text conversion between our
// Text and the wide strings of the API, and the one way failures are raised.
#ifndef TESSALY_SERVICES_WIN32_SUPPORT_WIN32_H_
#define TESSALY_SERVICES_WIN32_SUPPORT_WIN32_H_

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include "services/text.h"

namespace tessaly {

static_assert(sizeof(wchar_t) == sizeof(char16_t),
              "Win32 wide strings are UTF-16");

struct HandleCloser {
  void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
struct FindCloser {
  void operator()(HANDLE handle) const { ::FindClose(handle); }
};
struct ModuleFreer {
  void operator()(HMODULE module) const { ::FreeLibrary(module); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;
using UniqueFindHandle = std::unique_ptr<void, FindCloser>;
using UniqueModule =
    std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFreer>;

/// Takes ownership of a handle from an API that reports failure either as
/// null or as INVALID_HANDLE_VALUE; both become an empty UniqueHandle.
inline UniqueHandle OwnHandle(HANDLE handle) {
  return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

inline const wchar_t* Wide(const Text& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline Text FromWide(std::wstring_view wide) {
  return Text(reinterpret_cast<const char16_t*>(wide.data()), wide.size());
}

/// "operation: the system's description of `error`", the description in
/// German where the system has it, trimmed of its line break, and the bare
/// number where the system has none.
std::wstring DescribeFailure(std::wstring_view operation, DWORD error);

/// Raises a failure. `error` must be the code saved straight after the call
/// that failed.
[[noreturn]] void Fail(DWORD error, std::u16string_view operation,
                       const Text& subject = Text());

/// The path that one file system call is given for the full path `path`:
/// past MAX_PATH, the extended form. In a 32-bit process on 64-bit Windows,
/// the system would redirect its own folder to the 32-bit one, and show
/// this program other files than its user and Notepad see under the same
/// name: the folder is reached through "Sysnative", or where that cannot be
/// (PathPastRedirection), with the redirection turned off while this object
/// lives. So make it in the call's arguments, as in
/// `CreateFileW(FileSystemPath(path).get(), ...)`, and nothing else, no DLL
/// above all, is loaded meanwhile.
class FileSystemPath {
 public:
  explicit FileSystemPath(const Text& path);
  ~FileSystemPath();
  FileSystemPath(const FileSystemPath&) = delete;
  FileSystemPath& operator=(const FileSystemPath&) = delete;

  const wchar_t* get() const { return Wide(path_); }

 private:
  Text path_;
  bool redirection_off_ = false;
  void* redirection_ = nullptr;
};

/// Calls an API of the GetTempPathW kind: given the buffer's size it returns
/// the length written, or the size needed when the buffer is too small, or 0
/// on failure.
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

/// Loads a system DLL, such as "user32.dll", by its full path in the system
/// folder, so that no other folder is ever searched for it. DLLs that the
/// normal run does not need are loaded this way, only when needed.
UniqueModule LoadSystemLibrary(std::wstring_view name,
                               std::u16string_view operation);

/// The function `name` of a loaded DLL, as a pointer of type `Function`.
template <typename Function>
Function SystemFunction(HMODULE module, const char* name,
                        std::u16string_view operation) {
  const FARPROC address = ::GetProcAddress(module, name);
  if (address == nullptr) {
    const DWORD error = ::GetLastError();
    Fail(error, operation);
  }
  return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}

/// The path of a shell special folder (a CSIDL value) for the current user
/// as the system has it, with its trailing separator if the system gives
/// one. SHELL32 is loaded only for folders that the system names otherwise.
std::wstring ShellFolderPath(int csidl, HANDLE user_token, DWORD flags,
                             std::u16string_view operation);

}  // namespace tessaly

#endif  // TESSALY_SERVICES_WIN32_SUPPORT_WIN32_H_
