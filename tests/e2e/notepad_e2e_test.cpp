// Tessaly.exe with Wine's own Notepad: the lines of an LF-only file show as
// separate lines in the editor's window.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/e2e/e2e_checks_win32.h"
#include "tests/e2e/tessaly_run_win32.h"
#include "tests/windows/test_files_win32.h"

namespace tessaly::testing {
namespace {

struct EditorSearch {
  std::vector<DWORD> process_ids;
  HWND found = nullptr;
};

BOOL CALLBACK FindEditor(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<EditorSearch*>(parameter);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  const bool ours =
      std::find(search->process_ids.begin(), search->process_ids.end(),
                owner) != search->process_ids.end();
  if (ours && ::IsWindowVisible(window) &&
      ::FindWindowExW(window, nullptr, L"Edit", nullptr) != nullptr) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

std::wstring WindowText(HWND window) {
  const LRESULT length = ::SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  ::SendMessageW(window, WM_GETTEXT, text.size(),
                 reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(length));
  return text;
}

TEST(NotepadTest, ShowsTheLinesOfAnLfOnlyFile) {
  ScopedFolder folder;
  const std::wstring path = folder / L"lf-only.txt";
  WriteBytes(path, "alpha\nbeta\ngamma\n");
  TessalyRun run(L'"' + path + L'"');
  EXPECT_EQ(run.ExitStatus(), 0u);

  EditorSearch search;
  for (int waited = 0; waited < 20000 && search.found == nullptr;
       waited += 100) {
    ::Sleep(100);
    search.process_ids = run.LiveProcesses();
    ::EnumWindows(FindEditor, reinterpret_cast<LPARAM>(&search));
  }
  ASSERT_NE(search.found, nullptr) << "no editor window appeared";
  // The title names the copy, which is named after the file.
  const std::wstring title = WindowText(search.found);
  EXPECT_EQ(title.rfind(L"lf-only.txt (Tessaly ", 0), 0u) << Narrow(title);

  HWND edit = ::FindWindowExW(search.found, nullptr, L"Edit", nullptr);
  EXPECT_EQ(WindowText(edit), L"alpha\r\nbeta\r\ngamma\r\n");
  EXPECT_EQ(::SendMessageW(edit, EM_GETLINECOUNT, 0, 0), 4);
  wchar_t second_line[16] = {};
  *reinterpret_cast<WORD*>(second_line) = 15;
  const LRESULT copied = ::SendMessageW(edit, EM_GETLINE, 1,
                                        reinterpret_cast<LPARAM>(second_line));
  EXPECT_EQ(std::wstring(second_line, copied), L"beta");

  ::PostMessageW(search.found, WM_CLOSE, 0, 0);
  EXPECT_TRUE(run.AllEnded()) << "the editor did not close";
}

}  // namespace
}  // namespace tessaly::testing
