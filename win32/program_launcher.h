#ifndef TESSALY_WIN32_PROGRAM_LAUNCHER_H_
#define TESSALY_WIN32_PROGRAM_LAUNCHER_H_

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "services/program_launcher.h"
#include "services/text.h"
#include "win32/scratch_files.h"

namespace tessaly {

/// Lets the started process bring its window to the front, as this program
/// may, having been started by the one in front, but has no window to do it
/// with. Where the system refuses, or anything else fails, nothing is lost.
void HandOverForeground(DWORD process_id) noexcept;

/// Starts a program by CreateProcessW, with its full path as the
/// application name, so that nothing is searched for.
class Win32ProgramLauncher : public ProgramLauncher {
 public:
  /// What is done with a started process before it may run.
  using BeforeResume = std::function<void(DWORD process_id)>;

  /// The scratch files in `scratch_files` are checked before a program
  /// starts, and handed to it. The program is created suspended and let run
  /// after `before_resume` (by default HandOverForeground); if anything
  /// fails before, it is ended and the files handed to it are removed.
  explicit Win32ProgramLauncher(
      std::shared_ptr<ScratchFiles> scratch_files = nullptr,
      BeforeResume before_resume = nullptr);

  std::int32_t Launch(const Text& program_path, std::int32_t inherit_handles,
                      std::int32_t show_command, std::int32_t new_console,
                      const Text& arguments, std::int32_t start_folder,
                      std::int32_t priority,
                      std::int32_t wait_milliseconds) override;

 private:
  std::shared_ptr<ScratchFiles> scratch_files_;
  BeforeResume before_resume_;
};

}  // namespace tessaly

#endif  // TESSALY_WIN32_PROGRAM_LAUNCHER_H_
