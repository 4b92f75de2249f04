// What the end-to-end tests check again and again: message boxes, originals
// left alone, and what the stand-in editor was given.
#ifndef TESSALY_TESTS_E2E_E2E_CHECKS_WIN32_H_
#define TESSALY_TESTS_E2E_E2E_CHECKS_WIN32_H_

#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "tests/e2e/tessaly_run_win32.h"
#include "tests/windows/test_files_win32.h"

namespace tessaly::testing {

/// Tessaly's exit statuses, as the user's guide gives them.
enum ExitStatus : DWORD {
  kEditorStarted = 0,
  kReported = 1,
  kFileNotFound = 2,
  kMissingArgument = 87,
};

/// ASCII for failure messages; anything else becomes '?'.
std::string Narrow(const std::wstring& text);

/// Expects one box captioned "Brevinor" with this text, this icon and one
/// OK button.
void ExpectBox(const SeenBox& box, const std::wstring& text, BoxIcon icon);

/// Expects the run-time report: the error icon, one OK button and a text
/// that starts "Laufzeitfehler <code>", names the operation and goes on to
/// the system's description.
void ExpectReport(const SeenBox& box, DWORD code,
                  const std::wstring& operation);

/// Points the temp folder of the runs that this object's life spans at
/// `folder`.
class TempFolderOverride {
 public:
  explicit TempFolderOverride(const std::wstring& folder)
      : previous_(TempFolder()) {
    ::SetEnvironmentVariableW(L"TMP", (folder + L'\\').c_str());
  }
  ~TempFolderOverride() {
    ::SetEnvironmentVariableW(L"TMP", previous_.c_str());
  }

 private:
  std::wstring previous_;
};

/// A file's bytes and last-write time, to check that nothing changed them.
class Unchanged {
 public:
  explicit Unchanged(const std::wstring& path);
  void Check() const;

 private:
  std::wstring path_;
  std::string bytes_;
  FILETIME written_;
};

/// One start of the stand-in editor, as it recorded it.
struct EditorStart {
  std::wstring program;       // The file it was started from.
  std::wstring command_line;  // Its whole command line.
  std::wstring scratch;       // The scratch path within it.
  std::string copy;           // The bytes it found there.
};

/// Runs Tessaly where Notepad is the stand-in, and reads what it was given.
/// Scratch copies are removed at the end.
class EditorRunTest : public ::testing::Test {
 protected:
  ~EditorRunTest() override;

  /// Runs Tessaly, expects a normal end with no window and one editor
  /// start on a fresh scratch copy, and returns the bytes of that copy.
  std::string RunAndReadCopy(const std::wstring& argument,
                             const std::wstring& current_folder = L"");

  /// Starts not yet returned by NewStarts, checked as Notepad from the
  /// Windows folder on a quoted scratch path in the temp folder.
  std::vector<EditorStart> NewStarts();

  EditorRecords records_;
  ScopedFolder files_;
  /// The editor's start in the last RunAndReadCopy.
  EditorStart last_start_;

 private:
  std::set<DWORD> seen_;
  std::vector<std::wstring> scratch_files_;
};

/// The bytes a converted copy of `text` holds.
std::string CopyOf(std::u16string_view text);

}  // namespace tessaly::testing

#endif  // TESSALY_TESTS_E2E_E2E_CHECKS_WIN32_H_
