// Tessaly.exe with the system's Notepad (Wine's, or Windows' own): the lines
// of an LF-only file show as separate lines in the editor's window, whose
// title names the file.
#include <gtest/gtest.h>

#include "tests/e2e/e2e_checks_win32.h"
#include "tests/e2e/tessaly_run_win32.h"
#include "tests/windows/test_files_win32.h"

namespace tessaly::testing {
namespace {

// The window classes of a window's children, to say what it holds.
std::string ChildClasses(HWND window) {
  std::string classes;
  for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[64] = {};
    ::GetClassNameW(child, name, 64);
    classes += (classes.empty() ? "" : ", ") + Narrow(name);
  }
  return classes.empty() ? "no child windows" : classes;
}

TEST(NotepadTest, ShowsTheLinesOfAnLfOnlyFile) {
  ScopedFolder folder;
  const std::wstring path = folder / L"lf-only.txt";
  WriteBytes(path, "alpha\nbeta\ngamma\n");
  TessalyRun run(L'"' + path + L'"');
  EXPECT_EQ(run.ExitStatus(), 0u);

  // The title names the copy, which is named after the file.
  const HWND editor = run.WaitForWindow(L"lf-only.txt (Tessaly ");
  ASSERT_NE(editor, nullptr) << "no editor window appeared";
  const HWND edit = ::FindWindowExW(editor, nullptr, L"Edit", nullptr);
  if (edit == nullptr) {
    const std::string holds = ChildClasses(editor);
    ::PostMessageW(editor, WM_CLOSE, 0, 0);
    GTEST_SKIP() << "this Notepad has no classic Edit control to read the "
                    "text from; its window holds: "
                 << holds;
  }
  EXPECT_EQ(WindowText(edit), L"alpha\r\nbeta\r\ngamma\r\n");
  EXPECT_EQ(::SendMessageW(edit, EM_GETLINECOUNT, 0, 0), 4);
  wchar_t second_line[16] = {};
  *reinterpret_cast<WORD*>(second_line) = 15;
  const LRESULT copied = ::SendMessageW(edit, EM_GETLINE, 1,
                                        reinterpret_cast<LPARAM>(second_line));
  EXPECT_EQ(std::wstring(second_line, copied), L"beta");

  ::PostMessageW(editor, WM_CLOSE, 0, 0);
  EXPECT_TRUE(run.AllEnded()) << "the editor did not close";
}

}  // namespace
}  // namespace tessaly::testing
