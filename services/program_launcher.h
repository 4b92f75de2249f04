#ifndef TESSALY_SERVICES_PROGRAM_LAUNCHER_H_
#define TESSALY_SERVICES_PROGRAM_LAUNCHER_H_

#include <cstdint>

#include "services/text.h"

namespace tessaly {

/// Where a started program begins: its current folder.
enum class StartFolder : std::int32_t {
  kOurs = 0,           // The folder this process is in.
  kProgramFolder = 1,  // The folder that holds the program.
  kTempFolder = 2,     // The user's temp folder.
  kWindowsFolder = 3,  // The system's Windows folder.
  kUserProfile = 4,    // The user's profile folder.
};

/// The scheduling priority of a started program.
enum class LaunchPriority : std::int32_t {
  kIdle = 0,
  kBelowNormal = 1,
  kNormal = 2,
  kAboveNormal = 3,
  kHigh = 4,
};

/// Starts programs. The real one is Win32ProgramLauncher.
class ProgramLauncher {
 public:
  virtual ~ProgramLauncher() = default;

  /// Starts the program at the full path `program_path`, never searching for
  /// it. Its command line is the quoted program path, a blank and
  /// `arguments`. `inherit_handles` (0/1) lets it inherit this process's
  /// inheritable handles, `show_command` is the SW_ value for its first
  /// window, `new_console` (0/1) gives a console program a console of its
  /// own, `start_folder` is a StartFolder value, `priority` a LaunchPriority
  /// value, and `wait_milliseconds` how long to wait for it to end (0: not at
  /// all, -1: for ever). Returns the new process's id. Throws ServiceError if
  /// the program cannot be started.
  virtual std::int32_t Launch(const Text& program_path,
                              std::int32_t inherit_handles,
                              std::int32_t show_command,
                              std::int32_t new_console, const Text& arguments,
                              std::int32_t start_folder, std::int32_t priority,
                              std::int32_t wait_milliseconds) = 0;
};

}  // namespace tessaly

#endif  // TESSALY_SERVICES_PROGRAM_LAUNCHER_H_
