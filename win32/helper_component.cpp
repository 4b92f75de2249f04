#include "win32/helper_component.h"

#include "win32/environment.h"
#include "win32/file_helper.h"
#include "win32/program_launcher.h"

namespace tessaly {

std::unique_ptr<EnvironmentHelper>
Win32HelperComponent::CreateEnvironmentHelper() {
  return std::make_unique<Win32EnvironmentHelper>(nullptr, scratch_files_);
}

std::unique_ptr<FileHelper> Win32HelperComponent::CreateFileHelper() {
  return std::make_unique<Win32FileHelper>(Win32FileHelper::kPieceBytes, 0,
                                           scratch_files_);
}

std::unique_ptr<ProgramLauncher> Win32HelperComponent::CreateProgramLauncher() {
  return std::make_unique<Win32ProgramLauncher>(scratch_files_);
}

}  // namespace tessaly
