#ifndef TESSALY_SERVICES_ENVIRONMENT_HELPER_H_
#define TESSALY_SERVICES_ENVIRONMENT_HELPER_H_

#include <cstdint>

#include "services/text.h"

namespace tessaly {

/// Paths from the system: special folders, scratch files and the path named
/// on the command line. Every operation throws ServiceError on failure. The
/// real one is Win32EnvironmentHelper.
class EnvironmentHelper {
 public:
  virtual ~EnvironmentHelper() = default;

  /// The path of a shell special folder with no trailing separator.
  /// `folder_id` is a CSIDL value, `user_token` 0 for the current user and
  /// `flags` 0 for the folder's current rather than its default location.
  virtual Text SpecialFolderPath(std::int32_t folder_id,
                                 std::int32_t user_token,
                                 std::int32_t flags) = 0;

  /// Creates a new, empty file in the user's temp folder whose name holds
  /// `word`, is unique to this run and ends in ".txt", and returns its full
  /// path as text, in a form that Notepad can open (at most MAX_PATH - 1
  /// characters). Where a path has been resolved, the name starts with that
  /// file's name. Never reuses or follows anything already there.
  virtual Variant ScratchFilePath(const Text& word) = 0;

  /// The absolute path named by a command line's argument text: spaces and
  /// tabs around it are ignored; a leading double quote takes what stands up
  /// to the next one; otherwise the whole text is the path, unless it names
  /// nothing and the text up to its first blank names a file, as when
  /// Windows passes several files.
  virtual Text PathFromCommandLine(const Text& command_text) = 0;
};

}  // namespace tessaly

#endif  // TESSALY_SERVICES_ENVIRONMENT_HELPER_H_
