// Stands in for Notepad in tests: records how it was started and what it was
// given, then ends. Into the folder named by TESSALY_RECORD_DIR it writes,
// named by its process id: <pid>.cmdline, its command line as UTF-16LE;
// <pid>.exe, the path it was started from; <pid>.cwd, its current folder;
// and <pid>.copy, a copy of the file named by its first argument, unless
// TESSALY_RECORD_NO_COPY is set (for big files).
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <string>

#include "win32/handles.h"

namespace {

bool WriteWide(const std::wstring& path, const std::wstring& text) {
  const tessaly::UniqueHandle file = tessaly::OwnHandle(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file == nullptr) return false;
  DWORD written = 0;
  const DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  const BOOL ok = ::WriteFile(file.get(), text.data(), size, &written, nullptr);
  return ok && written == size;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t folder[MAX_PATH];
  if (::GetEnvironmentVariableW(L"TESSALY_RECORD_DIR", folder, MAX_PATH) == 0) {
    return 2;
  }
  const std::wstring record =
      std::wstring(folder) + L'\\' + std::to_wstring(::GetCurrentProcessId());
  const wchar_t* command_line = ::GetCommandLineW();
  wchar_t current[MAX_PATH];
  ::GetCurrentDirectoryW(MAX_PATH, current);
  wchar_t module[MAX_PATH];
  ::GetModuleFileNameW(nullptr, module, MAX_PATH);
  if (!WriteWide(record + L".cmdline", command_line) ||
      !WriteWide(record + L".exe", module) ||
      !WriteWide(record + L".cwd", current)) {
    return 3;
  }
  int count = 0;
  wchar_t** arguments = ::CommandLineToArgvW(command_line, &count);
  const tessaly::UniqueLocal owned(arguments);
  int status = 0;
  const bool copy =
      ::GetEnvironmentVariableW(L"TESSALY_RECORD_NO_COPY", nullptr, 0) == 0;
  if (copy && arguments != nullptr && count >= 2 &&
      !::CopyFileW(arguments[1], (record + L".copy").c_str(), TRUE)) {
    status = 4;
  }
  return status;
}
