#ifndef TESSALY_APP_MOD_ASCII_CONVERT_H_
#define TESSALY_APP_MOD_ASCII_CONVERT_H_

#include <memory>

#include "resources/names.h"
#include "services/command_line.h"
#include "services/environment_helper.h"
#include "services/file_helper.h"
#include "services/helper_component.h"
#include "services/message_box.h"
#include "services/text.h"

namespace tessaly::ModAsciiConvert {

/// The helpers shared by the whole process: each is created on its first use
/// and lives until the program ends, so the run-time owns this.
struct SharedHelpers {
  std::unique_ptr<EnvironmentHelper> environment;
  std::unique_ptr<FileHelper> files;
};

/// Everything through which Main reaches the platform.
struct Platform {
  CommandLine& command_line;
  MessageBoxService& message_box;
  HelperComponent& component;
  SharedHelpers& shared;
};

inline constexpr char16_t kMissingArgumentMessage[] =
    u"You must call this tool with a command line argument!";
inline constexpr char16_t kFileNotFoundMessage[] = u"The file was not found:";
// The fixed word in the names of this program's scratch copies, by which
// the sweep knows them.
inline constexpr char16_t kScratchWord[] = u"" TESSALY_EXE_NAME;
inline constexpr char16_t kEditorName[] = u"\\notepad.exe";
inline constexpr std::int32_t kCsidlWindows = 36;

/// Which way a run ended, so that the process's exit status can tell a
/// script whether the file is shown.
enum class Outcome { kEditorStarted, kMissingArgument, kFileNotFound };

/// Shows the file named on the command line in Notepad: converts its line
/// ends into a scratch copy and starts the Windows folder's Notepad on it.
/// Without an argument, or for a missing file, shows a message instead.
/// Catches nothing: a ServiceError ends the run in the run-time's report.
Outcome Main(const Platform& platform);

/// Turns every LF into CR LF and copies everything else as it is, so a CR LF
/// becomes CR CR LF. The result is as long as the input plus its LFs.
Text ConvertLineEndings(Text text);

}  // namespace tessaly::ModAsciiConvert

#endif  // TESSALY_APP_MOD_ASCII_CONVERT_H_
