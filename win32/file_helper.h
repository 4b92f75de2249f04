// Win32FileHelper, the FileHelper of the program, and what its files share.
#ifndef TESSALY_WIN32_FILE_HELPER_H_
#define TESSALY_WIN32_FILE_HELPER_H_

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "services/file_helper.h"
#include "services/text.h"
#include "win32/scratch_files.h"

namespace tessaly {

/// Files on disk, through the Win32 file API. Its operations live in one
/// file each: file_exists.cpp, file_read.cpp, file_write.cpp and
/// scratch_sweep.cpp (FinishScratchFile).
class Win32FileHelper : public FileHelper {
 public:
  static constexpr std::size_t kPieceBytes = 2 << 20;

  /// Big files are read and decoded in pieces of `piece_bytes`, in a buffer
  /// used again and again. Files in the system's ANSI code page are read in
  /// `ansi_code_page` (0: the system's own, or where that is UTF-8, the
  /// legacy one, LegacyAnsiCodePage). Scratch files held in `scratch_files`
  /// are written through the handle that made them.
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

/// Reads and writes go in pieces of this size, well inside a DWORD.
inline constexpr DWORD kFileChunkBytes = 16 << 20;

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

}  // namespace tessaly

#endif  // TESSALY_WIN32_FILE_HELPER_H_
