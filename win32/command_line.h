#ifndef TESSALY_WIN32_COMMAND_LINE_H_
#define TESSALY_WIN32_COMMAND_LINE_H_

#include "services/command_line.h"
#include "services/text.h"

namespace tessaly {

/// The argument text of a full process command line: what follows the
/// program's name, as Windows delimits it, and the blanks after the name.
Text ArgumentTextOf(const Text& full_command_line);

/// The command line of this process, read from GetCommandLineW each time.
class Win32CommandLine : public CommandLine {
 public:
  Text ArgumentText() override;
};

}  // namespace tessaly

#endif  // TESSALY_WIN32_COMMAND_LINE_H_
