// What only Windows itself can show, run by the hosted Windows jobs: an
// input whose access list refuses reading, a dangling symbolic link, the
// 64-bit system folder from the 32-bit exe, files named as devices, the
// copy's security and owner, and Notepad in front. Under Wine
// each case is skipped and says why.
#include "tests/e2e/e2e_checks_win32.h"
// After windows.h, which they need.
#include <aclapi.h>
#include <sddl.h>

#include "win32/handles.h"

namespace tessaly::testing {
namespace {

std::wstring Quoted(const std::wstring& path) { return L'"' + path + L'"'; }

bool UnderWine() {
  return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"),
                          "wine_get_version") != nullptr;
}

std::wstring SidText(PSID sid) {
  wchar_t* text = nullptr;
  if (!::ConvertSidToStringSidW(sid, &text)) return L"?";
  const UniqueLocal owned(text);
  return std::wstring(text);
}

std::wstring UserSid() {
  HANDLE opened = nullptr;
  ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &opened);
  const UniqueHandle token(opened);
  std::vector<void*> user(64);
  DWORD size = 0;
  ::GetTokenInformation(token.get(), TokenUser, user.data(),
                        static_cast<DWORD>(user.size() * sizeof(void*)), &size);
  return SidText(
      static_cast<TOKEN_USER*>(static_cast<void*>(user.data()))->User.Sid);
}

// A file's owner, whether its access list is protected, and each entry's
// type, flags, rights and SID.
std::wstring SecurityOf(const std::wstring& path) {
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetNamedSecurityInfoW(
          path.c_str(), SE_FILE_OBJECT,
          OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
          nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return L"unreadable";
  }
  // Owner and access list point into it.
  const UniqueLocal owned(descriptor);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ::GetSecurityDescriptorControl(descriptor, &control, &revision);
  std::wstring told = L"owner " + SidText(owner) +
                      (control & SE_DACL_PROTECTED ? L", protected" : L"");
  for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* entry = nullptr;
    ::GetAce(dacl, i, reinterpret_cast<void**>(&entry));
    told += (entry->Header.AceType == ACCESS_ALLOWED_ACE_TYPE ? L", allow "
                                                              : L", other ") +
            std::to_wstring(entry->Header.AceFlags) + L" rights " +
            std::to_wstring(entry->Mask) + L' ' + SidText(&entry->SidStart);
  }
  return told;
}

struct TakenCopy {
  std::string bytes;
  std::wstring security;
};

// Runs Tessaly, where the real Notepad shows the copy, and reads the copy
// whose name starts with `copy_start` back from the temp folder; removes
// it, and ends Notepad.
TakenCopy RunAndTakeCopy(const std::wstring& argument,
                         const std::wstring& copy_start) {
  TessalyRun run(argument);
  EXPECT_EQ(run.ExitStatus(), 0u) << "a message instead of the editor";
  EXPECT_TRUE(run.WindowsSeen().empty()) << "Tessaly showed a window";
  TakenCopy taken;
  const std::wstring temp = TempFolder();
  for (const std::wstring& name :
       ScratchFilesIn(temp.substr(0, temp.size() - 1))) {
    if (name.rfind(copy_start, 0) != 0) continue;
    taken.bytes = ReadBytes(temp + name);
    taken.security = SecurityOf(temp + name);
    RemoveFile(temp + name);
  }
  run.EndAll();
  return taken;
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
  const UniqueLocal owned(refusing);
  ASSERT_TRUE(
      ::SetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, refusing))
      << ::GetLastError();
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
  EXPECT_EQ(run.ExitStatus(), kFileNotFound);
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
  {
    // Closed before the run, which must open it.
    const UniqueHandle file = OwnHandle(::CreateFileW(
        native.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (file == nullptr) {
      GTEST_SKIP() << "cannot write to the system folder (error "
                   << ::GetLastError() << "): not an administrator";
    }
    DWORD written = 0;
    ::WriteFile(file.get(), "a\nb", 3, &written, nullptr);
  }
  ASSERT_FALSE(Exists(std::wstring(windows) + L"\\SysWOW64\\" + name));

  const std::string copy =
      RunAndTakeCopy(Quoted(named), name + L" (Tessaly ").bytes;
  ::DeleteFileW(native.c_str());
  EXPECT_EQ(copy, CopyOf(u"a\r\nb"));
}

// Windows reads "nul.txt" as NUL and "lpt1.log" as a printer port: only the
// extended form reaches such files, and their copies are named otherwise.
TEST_F(WindowsOnlyTest, FilesNamedAsDevicesAreShown) {
  ScopedFolder folder;
  for (const auto& [name, copy_start] :
       {std::pair{L"nul.txt", L"nul_.txt (Tessaly "},
        std::pair{L"lpt1.log", L"lpt1_.log (Tessaly "}}) {
    const std::wstring path = L"\\\\?\\" + (folder / name);
    WriteBytes(path, "a\nb");
    EXPECT_EQ(RunAndTakeCopy(Quoted(path), copy_start).bytes, CopyOf(u"a\r\nb"))
        << Narrow(name);
    RemoveFile(path);
  }
}

// Owned by the user, also where the run is elevated, and open to nobody
// but the user and SYSTEM, whatever the temp folder passes on.
TEST_F(WindowsOnlyTest, ACopyIsTheUsersAlone) {
  ScopedFolder folder;
  WriteBytes(folder / L"private.txt", "a\nb");
  const std::wstring user = UserSid();
  const std::wstring full_access = L", allow 0 rights 2032127 ";
  EXPECT_EQ(
      RunAndTakeCopy(Quoted(folder / L"private.txt"), L"private.txt (Tessaly ")
          .security,
      L"owner " + user + L", protected" + full_access + user + full_access +
          L"S-1-5-18");
}

// In a temp folder that users share, one user's run leaves the others'
// copies alone.
TEST_F(WindowsOnlyTest, AnotherOwnersOldCopyIsNotSwept) {
  const std::wstring theirs =
      TempFolder() + L"theirs.log (Tessaly 0000abcd).txt";
  const std::wstring mine = TempFolder() + L"mine.log (Tessaly 0000abcd).txt";
  WriteBytes(theirs, "theirs");
  WriteBytes(mine, "mine");
  AgeAsCopy(theirs, 25);
  AgeAsCopy(mine, 25);
  // The two differ in their owner alone.
  PSID administrators = nullptr;
  ASSERT_TRUE(::ConvertStringSidToSidW(L"BA", &administrators));
  const UniqueLocal owned(administrators);
  const DWORD given = ::SetNamedSecurityInfoW(
      const_cast<wchar_t*>(theirs.c_str()), SE_FILE_OBJECT,
      OWNER_SECURITY_INFORMATION, administrators, nullptr, nullptr, nullptr);
  if (given == ERROR_SUCCESS) {
    ScopedFolder folder;
    WriteBytes(folder / L"sweep.txt", "a\n");
    RunAndTakeCopy(Quoted(folder / L"sweep.txt"), L"sweep.txt (Tessaly ");
    EXPECT_TRUE(Exists(theirs)) << "another owner's copy was swept";
    EXPECT_FALSE(Exists(mine)) << "the sweep did not run";
  }
  RemoveFile(theirs);
  RemoveFile(mine);
  if (given != ERROR_SUCCESS) {
    GTEST_SKIP() << "cannot give a file to Administrators (error " << given
                 << "): not elevated";
  }
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
