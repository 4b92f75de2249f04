#ifndef TESSALY_WIN32_HELPER_COMPONENT_H_
#define TESSALY_WIN32_HELPER_COMPONENT_H_

#include <memory>

#include "services/helper_component.h"
#include "win32/scratch_files.h"

namespace tessaly {

/// The helpers share one record of the scratch files they make, write and
/// hand to the editor.
class Win32HelperComponent : public HelperComponent {
 public:
  std::unique_ptr<EnvironmentHelper> CreateEnvironmentHelper() override;
  std::unique_ptr<FileHelper> CreateFileHelper() override;
  std::unique_ptr<ProgramLauncher> CreateProgramLauncher() override;

  /// Removes the scratch files that were made but never handed on: the run
  /// failed before the editor had them.
  void RemoveUnusedScratchFiles() noexcept { scratch_files_->RemoveHeld(); }

 private:
  std::shared_ptr<ScratchFiles> scratch_files_ =
      std::make_shared<ScratchFiles>();
};

}  // namespace tessaly

#endif  // TESSALY_WIN32_HELPER_COMPONENT_H_
