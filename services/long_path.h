#ifndef TESSALY_SERVICES_LONG_PATH_H_
#define TESSALY_SERVICES_LONG_PATH_H_

#include <cstddef>

#include "services/text.h"

namespace tessaly {

/// MAX_PATH less room for the terminator: the longest path that file APIs
/// take without the extended form, and that Notepad can open.
inline constexpr std::size_t kLongestPlainPath = 259;

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

/// `full_path` with the folder `from` at its start, as a whole component,
/// replaced by `to`, ignoring ASCII case; a "\\?\" prefix stays. Any other
/// path comes back as it is.
Text ReplaceLeadingFolder(const Text& full_path, const Text& from,
                          const Text& to);

}  // namespace tessaly

#endif  // TESSALY_SERVICES_LONG_PATH_H_
