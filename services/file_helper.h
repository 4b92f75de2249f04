#ifndef TESSALY_SERVICES_FILE_HELPER_H_
#define TESSALY_SERVICES_FILE_HELPER_H_

#include <cstdint>

#include "services/text.h"

namespace tessaly {

/// Files on disk. Every operation throws ServiceError on failure. The real
/// one is Win32FileHelper.
class FileHelper {
 public:
  virtual ~FileHelper() = default;

  /// Non-zero when `path` names an existing file on disk; zero for a folder,
  /// a device or nothing at all.
  virtual std::int32_t FileExists(const Text& path) = 0;

  /// The whole file as text, leaving the file unchanged and open to other
  /// programs meanwhile. A byte order mark picks UTF-8, UTF-16LE or UTF-16BE
  /// and is dropped; without one the bytes are UTF-8 when they are valid
  /// UTF-8, and otherwise in the system's ANSI code page.
  virtual Text ReadTextFile(const Text& path) = 0;

  /// Replaces the file's content by `text` in UTF-16LE with a byte order
  /// mark: all of it, or a failure.
  virtual void WriteTextFile(const Text& path, const Text& text) = 0;

  /// Called once a scratch file has been handed on. It never touches
  /// `scratch_path` itself; it removes this program's scratch files from
  /// earlier runs, in the same folder, that were last written more than
  /// `max_age_hours` ago (-1: 24). `max_removals` caps how many go (-1: no
  /// cap). On return `removed` holds how many went and `failure` the
  /// description of the last one that could not be removed, or the null text.
  /// Returns the number removed.
  virtual std::int32_t FinishScratchFile(const Text& scratch_path,
                                         std::int32_t max_age_hours,
                                         std::int32_t max_removals,
                                         std::int32_t& removed,
                                         Text& failure) = 0;
};

}  // namespace tessaly

#endif  // TESSALY_SERVICES_FILE_HELPER_H_
