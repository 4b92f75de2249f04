#ifndef TESSALY_SERVICES_HELPER_COMPONENT_H_
#define TESSALY_SERVICES_HELPER_COMPONENT_H_

#include <memory>

#include "services/environment_helper.h"
#include "services/file_helper.h"
#include "services/program_launcher.h"

namespace tessaly {

/// Creates the helper objects through which the program reaches files, paths
/// and other programs. The real one is Win32HelperComponent.
class HelperComponent {
 public:
  virtual ~HelperComponent() = default;

  virtual std::unique_ptr<EnvironmentHelper> CreateEnvironmentHelper() = 0;
  virtual std::unique_ptr<FileHelper> CreateFileHelper() = 0;
  virtual std::unique_ptr<ProgramLauncher> CreateProgramLauncher() = 0;
};

}  // namespace tessaly

#endif  // TESSALY_SERVICES_HELPER_COMPONENT_H_
