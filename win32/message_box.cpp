#include "win32/message_box.h"

#include "resources/names.h"
#include "win32/operation_texts.h"
#include "win32/support.h"

namespace tessaly {

int ShowSystemMessageBox(const wchar_t* text, UINT style) {
  // USER32, and the graphics DLLs behind it, only for a run that shows a box.
  using MessageBox = int(WINAPI*)(HWND, LPCWSTR, LPCWSTR, UINT);
  constexpr auto& kOperation = operation_texts::kShowMessage;
  // Never unloaded: a thread that has shown a window keeps state in it.
  const HMODULE user = LoadSystemLibrary(L"user32.dll", kOperation).release();
  const auto message_box =
      SystemFunction<MessageBox>(user, "MessageBoxW", kOperation);
  const int pressed = message_box(nullptr, text, L"" TESSALY_APP_TITLE, style);
  if (pressed == 0) {
    FailLastError(kOperation);
  }
  return pressed;
}

void Win32MessageBox::Show(const Text& message, MessageStyle style) {
  ShowSystemMessageBox(Wide(message), static_cast<UINT>(style));
}

}  // namespace tessaly
