// The Win32 implementations of the service interfaces.
#ifndef TESSALY_SERVICES_SERVICES_WIN32_H_
#define TESSALY_SERVICES_SERVICES_WIN32_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "services/command_line.h"
#include "services/environment_helper.h"
#include "services/file_helper.h"
#include "services/helper_component.h"
#include "services/message_box.h"
#include "services/program_launcher.h"
#include "services/scratch_files_win32.h"

namespace tessaly {

/// The argument text of a full process command line: what follows the
/// program's name, as Windows delimits it, and the blanks after the name.
Text ArgumentTextOf(const Text& full_command_line);

class Win32CommandLine : public CommandLine {
 public:
  Text ArgumentText() override;
};

/// A modal message box captioned with the application title, with USER32
/// loaded for it from the system folder. Returns the button pressed; throws
/// ServiceError if no box could be shown.
int ShowSystemMessageBox(const wchar_t* text, unsigned int style);

class Win32MessageBox : public MessageBoxService {
 public:
  void Show(const Text& message, MessageStyle style) override;
};

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

class Win32FileHelper : public FileHelper {
 public:
  /// Big files are read and decoded in pieces of `piece_bytes`, in a buffer
  /// used again and again. Files in the system's ANSI code page are read in
  /// `ansi_code_page` (0: the system's own, or where that is UTF-8, the
  /// legacy one, LegacyAnsiCodePage). Scratch files held in `scratch_files`
  /// are written through the handle that made them.
  static constexpr std::size_t kPieceBytes = 2 << 20;

  explicit Win32FileHelper(
      std::size_t piece_bytes = kPieceBytes, std::uint32_t ansi_code_page = 0,
      std::shared_ptr<ScratchFiles> scratch_files = nullptr);

  std::int32_t FileExists(const Text& path) override;
  Text ReadTextFile(const Text& path) override;
  void WriteTextFile(const Text& path, const Text& text) override;
  std::int32_t FinishScratchFile(const Text& scratch_path,
                                 std::int32_t max_age_hours,
                                 std::int32_t max_removals,
                                 std::int32_t& removed, Text& failure) override;

 private:
  /// One read of the whole file in two passes; nothing if the file changed
  /// between them.
  std::optional<Text> ReadUnchangedText(void* file, std::vector<char>& buffer,
                                        const Text& path) const;

  std::size_t piece_bytes_;
  std::uint32_t ansi_code_page_;
  std::shared_ptr<ScratchFiles> scratch_files_;
};

/// What stands at a path that names something: its attributes, or the
/// system's error code where it could not be looked at.
struct FoundEntry {
  DWORD error;
  DWORD attributes;
};

/// Whether what FileExists found at `path`, with these attributes, is a
/// file to read. A link, or any other reparse point, is judged by what
/// `follow` finds where it leads: a dangling one names nothing.
std::int32_t JudgeFoundFile(DWORD attributes,
                            const std::function<FoundEntry()>& follow,
                            const Text& path);

/// The code page of text files without a mark that are not UTF-8: the
/// system's ANSI code page, or where that is UTF-8 (65001), the one the
/// system would have without that setting, as the system names it or else
/// as its language has it.
std::uint32_t LegacyAnsiCodePage();

/// Lets the started process bring its window to the front, as this program
/// may, having been started by the one in front, but has no window to do it
/// with. Where the system refuses, or anything else fails, nothing is lost.
void HandOverForeground(DWORD process_id) noexcept;

class Win32ProgramLauncher : public ProgramLauncher {
 public:
  /// What is done with a started process before it may run.
  using BeforeResume = std::function<void(DWORD process_id)>;

  /// The scratch files in `scratch_files` are checked before a program
  /// starts, and handed to it. The program is created suspended and let run
  /// after `before_resume` (by default HandOverForeground); if anything
  /// fails before, it is ended and the files handed to it are removed.
  explicit Win32ProgramLauncher(
      std::shared_ptr<ScratchFiles> scratch_files = nullptr,
      BeforeResume before_resume = nullptr);

  std::int32_t Launch(const Text& program_path, std::int32_t inherit_handles,
                      std::int32_t show_command, std::int32_t new_console,
                      const Text& arguments, std::int32_t start_folder,
                      std::int32_t priority,
                      std::int32_t wait_milliseconds) override;

 private:
  std::shared_ptr<ScratchFiles> scratch_files_;
  BeforeResume before_resume_;
};

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

#endif  // TESSALY_SERVICES_SERVICES_WIN32_H_
