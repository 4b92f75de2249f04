#ifndef TESSALY_PATHS_LONG_PATH_H_
#define TESSALY_PATHS_LONG_PATH_H_

#include <cstddef>
#include <string_view>

#include "services/text.h"

namespace tessaly {

/// MAX_PATH less room for the terminator: the longest path that file APIs
/// take without the extended form, and that Notepad can open.
inline constexpr std::size_t kLongestPlainPath = 259;

/// Whether `path` is a full path, which names the same file whatever the
/// current folder: one that starts at a drive's root ("C:\", "C:/"), or
/// a UNC or device path ("\\server\share", "\\?\C:\").
bool IsFullPath(std::u16string_view path);

/// Whether `path` starts at a drive's root as Windows writes it ("C:\"),
/// the form the extended-length prefix takes as it is.
bool StartsAtDriveRoot(std::u16string_view path);

/// The form of a full Windows path that file APIs accept past MAX_PATH
/// characters: "\\?\C:\..." or "\\?\UNC\server\share\...". Short paths, and
/// paths already in a device or extended form, come back as they are.
Text ExtendedLengthPath(const Text& full_path);

/// A full path, plain or extended, without its extended-length prefix.
Text PlainPath(const Text& path);

/// The last component of a path: what follows its last separator.
Text LastComponent(const Text& path);

/// The folder part of a path: what precedes its last separator, or "."
/// where it has none.
Text FolderOf(const Text& path);

/// How a file system call reaches a path in a 32-bit process on 64-bit
/// Windows, which redirects the system folder to the 32-bit one.
struct UnredirectedPath {
  Text path;
  /// Whether the call must be made with the redirection turned off.
  bool redirection_off;
};

/// `full_path` as a 32-bit process on 64-bit Windows gives it to file system
/// calls, so that it means what it means to the user and to Notepad.
/// `system_folder` is the system folder ("C:\Windows\System32"), and
/// `native_folder` the alias that the system never redirects
/// ("C:\Windows\Sysnative"). A plain path under the system folder goes
/// through the alias where that fits within MAX_PATH. The alias is
/// documented for plain paths only, so a longer path, or one given in the
/// extended form, keeps the system folder in the extended form, for a call
/// made with the redirection off. Any other path is as ExtendedLengthPath
/// makes it.
UnredirectedPath PathPastRedirection(const Text& full_path,
                                     const Text& system_folder,
                                     const Text& native_folder);

/// `full_path` with the folder `from` at its start, as a whole component,
/// replaced by `to`, ignoring ASCII case; a "\\?\" prefix stays. Any other
/// path comes back as it is.
Text ReplaceLeadingFolder(const Text& full_path, const Text& from,
                          const Text& to);

}  // namespace tessaly

#endif  // TESSALY_PATHS_LONG_PATH_H_
