// What only Windows itself can show, run by the hosted Windows jobs: an
// input whose access list refuses reading, a dangling symbolic link, the
// 64-bit system folder from the 32-bit exe, and Notepad in front. Under Wine
// each case is skipped and says why.
#include "tests/e2e/e2e_checks_win32.h"
// After windows.h, which it needs.
#include <sddl.h>

namespace tessaly::testing {
namespace {

std::wstring Quoted(const std::wstring& path) { return L'"' + path + L'"'; }

bool UnderWine() {
  return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"),
                          "wine_get_version") != nullptr;
}

class WindowsOnlyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (UnderWine()) {
      GTEST_SKIP() << "only Windows can show this; Wine grants root every "
                      "access, follows Unix links and keeps no foreground";
    }
  }
};

TEST_F(WindowsOnlyTest, AnInputThatRefusesReadingEndsInTheReport) {
  ScopedFolder folder;
  const std::wstring path = folder / L"refused.txt";
  WriteBytes(path, "a\nb\n");
  // Reading the data is denied to everyone, administrators included;
  // everything else is allowed, so that the file can be removed after.
  PSECURITY_DESCRIPTOR refusing = nullptr;
  ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
      L"D:P(D;;0x1;;;WD)(A;;FA;;;WD)", SDDL_REVISION_1, &refusing, nullptr));
  const BOOL set =
      ::SetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, refusing);
  ::LocalFree(refusing);
  ASSERT_TRUE(set) << ::GetLastError();
  TessalyRun run(Quoted(path));
  ExpectReport(run.ReadAndDismissBox(), ERROR_ACCESS_DENIED,
               L"Datei \u00F6ffnen " + Quoted(path));
  EXPECT_EQ(run.ExitStatus(), 1u);
}

TEST_F(WindowsOnlyTest, ADanglingSymbolicLinkIsNotFound) {
  ScopedFolder folder;
  const std::wstring link = folder / L"dangling.txt";
  constexpr DWORD kUnprivileged = 0x2;  // ..._ALLOW_UNPRIVILEGED_CREATE
  if (!::CreateSymbolicLinkW(link.c_str(), (folder / L"gone.txt").c_str(),
                             kUnprivileged)) {
    GTEST_SKIP() << "this account may not make symbolic links here (error "
                 << ::GetLastError() << ")";
  }
  TessalyRun run(Quoted(link));
  ExpectBox(run.ReadAndDismissBox(), L"The file was not found:\r\n" + link,
            BoxIcon::kNone);
  EXPECT_EQ(run.ExitStatus(), 0u);
}

// The real Notepad shows the copy; the copy itself is read back from the
// temp folder.
TEST_F(WindowsOnlyTest, The32BitExeReachesAFileOnlyInTheSystemFolder) {
  BOOL wow64 = FALSE;
  if (!::IsWow64Process(::GetCurrentProcess(), &wow64) || !wow64) {
    GTEST_SKIP() << "needs the 32-bit build on 64-bit Windows";
  }
  wchar_t windows[MAX_PATH];
  ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
  const std::wstring name = L"tessaly-only-in-system32.txt";
  const std::wstring native = std::wstring(windows) + L"\\Sysnative\\" + name;
  const std::wstring named = std::wstring(windows) + L"\\System32\\" + name;
  const HANDLE file = ::CreateFileW(native.c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    GTEST_SKIP() << "cannot write to the system folder (error "
                 << ::GetLastError() << "): not an administrator";
  }
  DWORD written = 0;
  ::WriteFile(file, "a\nb", 3, &written, nullptr);
  ::CloseHandle(file);
  ASSERT_FALSE(Exists(std::wstring(windows) + L"\\SysWOW64\\" + name));

  TessalyRun run(Quoted(named));
  EXPECT_EQ(run.ExitStatus(), 0u) << "a message instead of the editor";
  EXPECT_TRUE(run.WindowsSeen().empty()) << "Tessaly showed a window";
  const std::vector<std::wstring> copies =
      ScratchFilesIn(TempFolder().substr(0, TempFolder().size() - 1));
  std::string copy;
  for (const std::wstring& candidate : copies) {
    if (candidate.rfind(name + L" (Tessaly ", 0) == 0) {
      copy = ReadBytes(TempFolder() + candidate);
      ::DeleteFileW((TempFolder() + candidate).c_str());
    }
  }
  run.EndAll();
  ::DeleteFileW(native.c_str());
  EXPECT_EQ(copy, CopyOf(u"a\r\nb"));
}

LRESULT CALLBACK PlainWindow(HWND window, UINT message, WPARAM w, LPARAM l) {
  return ::DefWindowProcW(window, message, w, l);
}

// Tessaly has no window; it hands its right to the foreground to Notepad.
// That can be judged only where this program itself may take the
// foreground, as the program that starts Tessaly would.
TEST_F(WindowsOnlyTest, NotepadComesToTheFront) {
  WNDCLASSW kind = {};
  kind.lpfnWndProc = PlainWindow;
  kind.hInstance = ::GetModuleHandleW(nullptr);
  kind.lpszClassName = L"TessalyForegroundProbe";
  ::RegisterClassW(&kind);
  const HWND own = ::CreateWindowExW(
      0, kind.lpszClassName, L"probe", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
      200, 100, nullptr, nullptr, kind.hInstance, nullptr);
  ASSERT_NE(own, nullptr);
  ::SetForegroundWindow(own);
  const bool may_take_foreground = ::GetForegroundWindow() == own;
  if (!may_take_foreground) {
    ::DestroyWindow(own);
    GTEST_SKIP() << "cannot be judged: this program may not take the "
                    "foreground on this desktop";
  }
  ScopedFolder folder;
  const std::wstring path = folder / L"in-front.txt";
  WriteBytes(path, "a\nb\n");
  TessalyRun run(Quoted(path));
  const HWND editor = run.WaitForWindow(L"in-front.txt (Tessaly ");
  HWND front = nullptr;
  for (int waited = 0; waited < 5000 && front != editor; waited += 100) {
    ::Sleep(100);
    front = ::GetForegroundWindow();
  }
  const std::wstring front_title = front ? WindowText(front) : L"nothing";
  if (editor != nullptr) ::PostMessageW(editor, WM_CLOSE, 0, 0);
  ::DestroyWindow(own);
  ASSERT_NE(editor, nullptr) << "no editor window appeared";
  EXPECT_EQ(front, editor) << "in front: " << Narrow(front_title);
}

}  // namespace
}  // namespace tessaly::testing
