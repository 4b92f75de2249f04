#ifndef TESSALY_SERVICES_COMMAND_LINE_H_
#define TESSALY_SERVICES_COMMAND_LINE_H_

#include "services/text.h"

namespace tessaly {

/// The process command line. The real one is Win32CommandLine, which reads
/// GetCommandLineW each time it is asked.
class CommandLine {
 public:
  virtual ~CommandLine() = default;

  /// What follows the program's own name and the spaces after it.
  virtual Text ArgumentText() = 0;
};

}  // namespace tessaly

#endif  // TESSALY_SERVICES_COMMAND_LINE_H_
