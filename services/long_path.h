#ifndef TESSALY_SERVICES_LONG_PATH_H_
#define TESSALY_SERVICES_LONG_PATH_H_

#include "services/text.h"

namespace tessaly {

/// The form of a full Windows path that file APIs accept past MAX_PATH
/// characters: "\\?\C:\..." or "\\?\UNC\server\share\...". Short paths, and
/// paths already in a device or extended form, come back as they are.
Text ExtendedLengthPath(const Text& full_path);

}  // namespace tessaly

#endif  // TESSALY_SERVICES_LONG_PATH_H_
