#ifndef TESSALY_SERVICES_MESSAGE_BOX_H_
#define TESSALY_SERVICES_MESSAGE_BOX_H_

#include <cstdint>

#include "services/text.h"

namespace tessaly {

/// The style of a message box; the values are the system's own.
enum class MessageStyle : std::uint32_t {
  kOk = 0,        // An OK button, no icon.
  kWarning = 48,  // An OK button and the exclamation-mark icon.
};

/// A modal message box captioned with the application title. The real one is
/// Win32MessageBox.
class MessageBoxService {
 public:
  virtual ~MessageBoxService() = default;

  /// Returns when the user has dismissed the box.
  virtual void Show(const Text& message, MessageStyle style) = 0;
};

}  // namespace tessaly

#endif  // TESSALY_SERVICES_MESSAGE_BOX_H_
