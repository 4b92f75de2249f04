#include <shlobj.h>

#include "services/services_win32.h"
#include "services/win32_support_win32.h"

namespace tessaly {
namespace {

bool IsFullPath(const Text& path) {
  const bool drive_root = path.size() >= 3 && path[1] == u':' &&
                          (path[2] == u'\\' || path[2] == u'/');
  return drive_root || path.starts_with(u"\\\\");
}

DWORD PriorityClass(std::int32_t priority) {
  switch (static_cast<LaunchPriority>(priority)) {
    case LaunchPriority::kIdle:
      return IDLE_PRIORITY_CLASS;
    case LaunchPriority::kBelowNormal:
      return BELOW_NORMAL_PRIORITY_CLASS;
    case LaunchPriority::kNormal:
      return NORMAL_PRIORITY_CLASS;
    case LaunchPriority::kAboveNormal:
      return ABOVE_NORMAL_PRIORITY_CLASS;
    case LaunchPriority::kHigh:
      return HIGH_PRIORITY_CLASS;
  }
  Fail(ERROR_INVALID_PARAMETER, u"Programm starten (Priorität)");
}

Text ShellFolder(int csidl) {
  wchar_t buffer[MAX_PATH] = {};
  const HRESULT result =
      ::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer);
  if (FAILED(result)) {
    Fail(static_cast<DWORD>(result), u"Startordner ermitteln");
  }
  return FromWide(buffer);
}

// The current folder for the new process; empty for our own.
Text StartFolderPath(std::int32_t start_folder, const Text& program_path) {
  switch (static_cast<StartFolder>(start_folder)) {
    case StartFolder::kOurs:
      return Text();
    case StartFolder::kProgramFolder:
      return program_path.substr(0, program_path.find_last_of(u"\\/") + 1);
    case StartFolder::kTempFolder: {
      wchar_t buffer[MAX_PATH + 1] = {};
      if (::GetTempPathW(MAX_PATH + 1, buffer) == 0) {
        const DWORD error = ::GetLastError();
        Fail(error, u"Startordner ermitteln");
      }
      return FromWide(buffer);
    }
    case StartFolder::kWindowsFolder:
      return ShellFolder(CSIDL_WINDOWS);
    case StartFolder::kUserProfile:
      return ShellFolder(CSIDL_PROFILE);
  }
  Fail(ERROR_INVALID_PARAMETER, u"Programm starten (Startordner)");
}

}  // namespace

std::int32_t Win32ProgramLauncher::Launch(
    const Text& program_path, std::int32_t inherit_handles,
    std::int32_t show_command, std::int32_t new_console, const Text& arguments,
    std::int32_t start_folder, std::int32_t priority,
    std::int32_t wait_milliseconds) {
  // A relative name would be looked up in the current folder: never that.
  if (!IsFullPath(program_path)) {
    Fail(ERROR_BAD_PATHNAME, u"Programm starten", program_path);
  }
  Text command_line = u'"' + program_path + u"\" " + arguments;
  const Text folder = StartFolderPath(start_folder, program_path);
  const DWORD creation_flags =
      PriorityClass(priority) | (new_console != 0 ? CREATE_NEW_CONSOLE : 0);

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(show_command);
  PROCESS_INFORMATION process = {};
  // The application name is the full path, so nothing is searched for.
  if (!::CreateProcessW(
          Wide(program_path), reinterpret_cast<wchar_t*>(command_line.data()),
          nullptr, nullptr, inherit_handles != 0, creation_flags, nullptr,
          folder.empty() ? nullptr : Wide(folder), &startup, &process)) {
    const DWORD error = ::GetLastError();
    Fail(error, u"Programm starten", program_path);
  }
  const UniqueHandle process_handle(process.hProcess);
  const UniqueHandle thread_handle(process.hThread);
  if (wait_milliseconds != 0) {
    ::WaitForSingleObject(process.hProcess,
                          wait_milliseconds < 0
                              ? INFINITE
                              : static_cast<DWORD>(wait_milliseconds));
  }
  return static_cast<std::int32_t>(process.dwProcessId);
}

}  // namespace tessaly
