#ifndef TESSALY_WIN32_ENVIRONMENT_H_
#define TESSALY_WIN32_ENVIRONMENT_H_

#include <cstdint>
#include <functional>
#include <memory>

#include "services/environment_helper.h"
#include "services/text.h"
#include "win32/scratch_files.h"

namespace tessaly {

/// Paths from the system: the shell's special folders, the path the
/// command line names, and scratch copies created in the user's temp
/// folder, named after the file they show.
class Win32EnvironmentHelper : public EnvironmentHelper {
 public:
  using RandomSource = std::function<std::uint32_t()>;

  /// `random` gives the random part of scratch file names; by default one
  /// mixed from clocks and ids. The scratch files made are held in
  /// `scratch_files`. Once PathFromCommandLine has resolved a path, scratch
  /// files are named after the file it names.
  explicit Win32EnvironmentHelper(RandomSource random = nullptr,
                                  std::shared_ptr<ScratchFiles> scratch_files =
                                      std::make_shared<ScratchFiles>());

  Text SpecialFolderPath(std::int32_t folder_id, std::int32_t user_token,
                         std::int32_t flags) override;
  Variant ScratchFilePath(const Text& word) override;
  Text PathFromCommandLine(const Text& command_text) override;

 private:
  Text ResolvedPath(const Text& command_text);
  /// The scratch file `path` as the editor can open it.
  Text PathForEditor(const Text& path);

  RandomSource random_;
  std::shared_ptr<ScratchFiles> scratch_files_;
  /// The name of the file last resolved, after which scratch files are
  /// named; empty until then.
  Text shown_name_;
};

}  // namespace tessaly

#endif  // TESSALY_WIN32_ENVIRONMENT_H_
