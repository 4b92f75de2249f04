#ifndef TESSALY_WIN32_MESSAGE_BOX_H_
#define TESSALY_WIN32_MESSAGE_BOX_H_

#include "services/message_box.h"
#include "services/text.h"

namespace tessaly {

/// A modal message box captioned with the application title, with USER32
/// loaded for it from the system folder. Returns the button pressed; throws
/// ServiceError if no box could be shown.
int ShowSystemMessageBox(const wchar_t* text, unsigned int style);

/// The program's message boxes, shown by ShowSystemMessageBox.
class Win32MessageBox : public MessageBoxService {
 public:
  void Show(const Text& message, MessageStyle style) override;
};

}  // namespace tessaly

#endif  // TESSALY_WIN32_MESSAGE_BOX_H_
