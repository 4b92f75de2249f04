// Runs the real Tessaly.exe for end-to-end tests, in a job object that counts
// every process it starts, and reads the message boxes it shows.
#ifndef TESSALY_TESTS_E2E_TESSALY_RUN_WIN32_H_
#define TESSALY_TESTS_E2E_TESSALY_RUN_WIN32_H_

#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "win32/handles.h"

namespace tessaly::testing {

/// The folder this test program, Tessaly.exe and the stand-in editor are in.
std::wstring BuildFolder();

/// A window's title, or a control's text; empty where the window's thread
/// does not answer in time, so that a hung window elsewhere on the desktop
/// cannot hold a test up.
std::wstring WindowText(HWND window);

enum class BoxIcon {
  kNone,
  kWarning,
  kError,
  kInformation,
  kQuestion,
  kUnknown
};
const char* Name(BoxIcon icon);

/// A button, found by its class and read by its text: its ID is the
/// system's (Windows gives an OK alone IDCANCEL, Wine IDOK).
struct BoxButton {
  HWND handle;
  std::wstring text;
};

/// A message box as the user sees it.
struct SeenBox {
  bool found = false;
  std::wstring caption;
  std::wstring text;
  BoxIcon icon = BoxIcon::kUnknown;
  std::vector<BoxButton> buttons;
};

class TessalyRun {
 public:
  /// Starts Tessaly.exe (the one beside this program, or `exe`) with
  /// `argument_text` after its quoted path (nothing at all when it is
  /// empty), in `current_folder` if given.
  explicit TessalyRun(const std::wstring& argument_text,
                      const std::wstring& current_folder = L"",
                      const std::wstring& exe = L"");
  ~TessalyRun();
  TessalyRun(const TessalyRun&) = delete;
  TessalyRun& operator=(const TessalyRun&) = delete;

  /// Waits for Tessaly's message box, reads it and presses its button.
  SeenBox ReadAndDismissBox();
  /// Waits for Tessaly to end and returns its exit status (or STILL_ACTIVE
  /// if it did not end in time).
  DWORD ExitStatus();
  /// Waits until every process of the run, the editor included, has ended.
  bool AllEnded(DWORD timeout_milliseconds = 20000);
  /// How many processes the run started, Tessaly itself included.
  DWORD ProcessesStarted();
  /// The ids of the run's processes still alive.
  std::vector<DWORD> LiveProcesses();
  /// Waits for a visible top-level window whose title holds `title_part`,
  /// of one of the run's processes or, as for an editor that the system
  /// starts outside the run (the Store's Notepad), of any process. Null if
  /// none appears in time.
  HWND WaitForWindow(const std::wstring& title_part,
                     DWORD timeout_milliseconds = 20000);
  /// Ends every process of the run still alive.
  void EndAll();
  /// The window classes of every visible top-level window that Tessaly
  /// itself showed while the test was waiting on it.
  const std::set<std::wstring>& WindowsSeen() const { return windows_seen_; }

 private:
  void NoteWindows();

  std::set<std::wstring> windows_seen_;
  UniqueHandle job_;
  UniqueHandle process_;
  DWORD process_id_ = 0;
};

}  // namespace tessaly::testing

#endif  // TESSALY_TESTS_E2E_TESSALY_RUN_WIN32_H_
