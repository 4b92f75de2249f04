#include "win32/program_launcher.h"

#include <shlobj.h>

#include "paths/long_path.h"
#include "win32/operation_texts.h"
#include "win32/support.h"

namespace tessaly {
namespace {

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
  Fail(ERROR_INVALID_PARAMETER, operation_texts::kStartProgramPriority);
}

// The current folder for the new process; empty for our own.
Text StartFolderPath(std::int32_t start_folder, const Text& program_path) {
  switch (static_cast<StartFolder>(start_folder)) {
    case StartFolder::kOurs:
      return Text();
    case StartFolder::kProgramFolder:
      return program_path.substr(0, program_path.find_last_of(u"\\/") + 1);
    case StartFolder::kTempFolder:
      return TempFolderPath(operation_texts::kFindStartFolder);
    case StartFolder::kWindowsFolder:
      return FromWide(ShellFolderPath(CSIDL_WINDOWS, nullptr,
                                      SHGFP_TYPE_CURRENT,
                                      operation_texts::kFindStartFolder));
    case StartFolder::kUserProfile:
      return FromWide(ShellFolderPath(CSIDL_PROFILE, nullptr,
                                      SHGFP_TYPE_CURRENT,
                                      operation_texts::kFindStartFolder));
  }
  Fail(ERROR_INVALID_PARAMETER, operation_texts::kStartProgramFolder);
}

// How long to wait for a process that was never let run to be ended.
constexpr DWORD kEndWaitMilliseconds = 5000;

// A process created suspended. Unless it is let run, it is ended when this
// object goes, on whatever way out, and the scratch files handed to it are
// removed: no suspended editor and no copy are left behind.
class SuspendedProcess {
 public:
  explicit SuspendedProcess(const PROCESS_INFORMATION& process)
      : process_(process.hProcess), thread_(process.hThread) {}
  ~SuspendedProcess() {
    if (running_) return;
    ::TerminateProcess(process_.get(), ERROR_CANCELLED);
    ::WaitForSingleObject(process_.get(), kEndWaitMilliseconds);
    ScratchFiles::RemoveHandedOver(files_);
  }
  SuspendedProcess(const SuspendedProcess&) = delete;
  SuspendedProcess& operator=(const SuspendedProcess&) = delete;

  void Give(std::vector<Text> files) { files_ = std::move(files); }

  // The system's error code, 0 once it runs.
  DWORD Resume() {
    if (::ResumeThread(thread_.get()) == static_cast<DWORD>(-1)) {
      return ::GetLastError();
    }
    running_ = true;
    return ERROR_SUCCESS;
  }

  HANDLE process() const { return process_.get(); }

 private:
  UniqueHandle process_;
  UniqueHandle thread_;
  std::vector<Text> files_;
  bool running_ = false;
};

}  // namespace

void HandOverForeground(DWORD process_id) noexcept {
  using AllowForeground = BOOL(WINAPI*)(DWORD);
  constexpr auto& kOperation = operation_texts::kHandOverForeground;
  try {
    // Never unloaded: the call makes this thread one that USER32 knows.
    const HMODULE user = LoadSystemLibrary(L"user32.dll", kOperation).release();
    SystemFunction<AllowForeground>(user, "AllowSetForegroundWindow",
                                    kOperation)(process_id);
  } catch (...) {
    // Only the window's place is at stake.
  }
}

Win32ProgramLauncher::Win32ProgramLauncher(
    std::shared_ptr<ScratchFiles> scratch_files, BeforeResume before_resume)
    : scratch_files_(std::move(scratch_files)),
      before_resume_(before_resume ? std::move(before_resume)
                                   : HandOverForeground) {}

std::int32_t Win32ProgramLauncher::Launch(
    const Text& program_path, std::int32_t inherit_handles,
    std::int32_t show_command, std::int32_t new_console, const Text& arguments,
    std::int32_t start_folder, std::int32_t priority,
    std::int32_t wait_milliseconds) {
  // A relative name would be looked up in the current folder: never that.
  if (!IsFullPath(program_path)) {
    Fail(ERROR_BAD_PATHNAME, operation_texts::kStartProgram, program_path);
  }
  Text command_line = u'"' + program_path + u"\" " + arguments;
  const Text folder = StartFolderPath(start_folder, program_path);
  // Created suspended, so that the scratch files are let go of before it
  // can open them, and still held if it cannot be created.
  const DWORD creation_flags = PriorityClass(priority) | CREATE_SUSPENDED |
                               (new_console != 0 ? CREATE_NEW_CONSOLE : 0);
  if (scratch_files_) scratch_files_->CheckNames();

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
    FailLastError(operation_texts::kStartProgram, program_path);
  }
  SuspendedProcess started(process);
  if (scratch_files_) started.Give(scratch_files_->HandOver());
  before_resume_(process.dwProcessId);
  if (const DWORD error = started.Resume(); error != ERROR_SUCCESS) {
    Fail(error, operation_texts::kStartProgram, program_path);
  }
  if (wait_milliseconds != 0) {
    ::WaitForSingleObject(started.process(),
                          wait_milliseconds < 0
                              ? INFINITE
                              : static_cast<DWORD>(wait_milliseconds));
  }
  return static_cast<std::int32_t>(process.dwProcessId);
}

}  // namespace tessaly
