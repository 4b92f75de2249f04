// What the Win32 code shares besides handles and failures: our Text as the
// API's wide strings, paths as file system calls must be given them, and
// system DLLs and folders.
#ifndef TESSALY_WIN32_SUPPORT_H_
#define TESSALY_WIN32_SUPPORT_H_

#include <windows.h>

#include <string>
#include <string_view>

#include "services/text.h"
#include "win32/failure.h"
#include "win32/handles.h"

namespace tessaly {

static_assert(sizeof(wchar_t) == sizeof(char16_t),
              "Win32 wide strings are UTF-16");

inline const wchar_t* Wide(const Text& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline Text FromWide(std::wstring_view wide) {
  return Text(reinterpret_cast<const char16_t*>(wide.data()), wide.size());
}

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
    if (length == 0) FailLastError(operation, subject);
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
  if (address == nullptr) FailLastError(operation);
  return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}

/// The path of a shell special folder (a CSIDL value) for the current user
/// as the system has it, with its trailing separator if the system gives
/// one. SHELL32 is loaded only for folders that the system names otherwise.
std::wstring ShellFolderPath(int csidl, HANDLE user_token, DWORD flags,
                             std::u16string_view operation);

/// The user's temp folder, with its trailing separator, as GetTempPathW
/// gives it.
Text TempFolderPath(std::u16string_view operation);

}  // namespace tessaly

#endif  // TESSALY_WIN32_SUPPORT_H_
