#include "app/mod_ascii_convert.h"

#include <algorithm>
#include <utility>

namespace tessaly::ModAsciiConvert {
namespace {

// Only the space character counts as blank here: a command line of tabs is
// not empty and goes on to be resolved as a path.
bool IsBlank(const Text& text) {
  return std::all_of(text.begin(), text.end(),
                     [](char16_t unit) { return unit == u' '; });
}

EnvironmentHelper& SharedEnvironment(const Platform& platform) {
  if (!platform.shared.environment) {
    platform.shared.environment = platform.component.CreateEnvironmentHelper();
  }
  return *platform.shared.environment;
}

FileHelper& SharedFiles(const Platform& platform) {
  if (!platform.shared.files) {
    platform.shared.files = platform.component.CreateFileHelper();
  }
  return *platform.shared.files;
}

void StartEditor(const Platform& platform, EnvironmentHelper& environment,
                 const Text& scratch_path) {
  std::unique_ptr<ProgramLauncher> launcher =
      platform.component.CreateProgramLauncher();
  const Text windows_folder =
      environment.SpecialFolderPath(kCsidlWindows, 0, 0);
  const Text quoted_scratch_path = u'"' + scratch_path + u'"';
  launcher->Launch(windows_folder + kEditorName, /*inherit_handles=*/0,
                   /*show_command=*/1, /*new_console=*/0, quoted_scratch_path,
                   static_cast<std::int32_t>(StartFolder::kUserProfile),
                   static_cast<std::int32_t>(LaunchPriority::kNormal),
                   /*wait_milliseconds=*/0);
}

}  // namespace

Outcome Main(const Platform& platform) {
  if (IsBlank(platform.command_line.ArgumentText())) {
    platform.message_box.Show(kMissingArgumentMessage, MessageStyle::kWarning);
    return Outcome::kMissingArgument;
  }

  EnvironmentHelper& environment = SharedEnvironment(platform);
  const Text file_path =
      environment.PathFromCommandLine(platform.command_line.ArgumentText());

  FileHelper& files = SharedFiles(platform);
  if (files.FileExists(file_path) == 0) {
    platform.message_box.Show(kFileNotFoundMessage + Text(u"\r\n") + file_path,
                              MessageStyle::kOk);
    return Outcome::kFileNotFound;
  }

  const Text scratch_path = ToText(environment.ScratchFilePath(kScratchWord));
  Text file_text = files.ReadTextFile(file_path);
  file_text = ConvertLineEndings(std::move(file_text));
  files.WriteTextFile(scratch_path, file_text);

  StartEditor(platform, environment, scratch_path);

  std::int32_t removed = 0;
  Text failure;
  files.FinishScratchFile(scratch_path, /*max_age_hours=*/-1,
                          /*max_removals=*/-1, removed, failure);
  return Outcome::kEditorStarted;
}

}  // namespace tessaly::ModAsciiConvert
