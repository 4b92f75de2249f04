#include "resources/names.h"
#include "services/services_win32.h"
#include "services/win32_support_win32.h"

namespace tessaly {

void Win32MessageBox::Show(const Text& message, MessageStyle style) {
  if (::MessageBoxW(nullptr, Wide(message), L"" TESSALY_APP_TITLE,
                    static_cast<UINT>(style)) == 0) {
    const DWORD error = ::GetLastError();
    Fail(error, u"Meldung anzeigen");
  }
}

}  // namespace tessaly
