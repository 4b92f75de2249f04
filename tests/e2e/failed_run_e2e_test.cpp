// Runs that fail after the scratch file was made: the report names the
// first failure, no editor starts, and no scratch file is left behind.
// Also what Windows does and Wine hides: a name that cannot be resolved, a
// link swapped in for the scratch file, a UTF-8 system code page.
#include "tests/e2e/e2e_checks_win32.h"
#include "win32/handles.h"

namespace tessaly::testing {
namespace {

std::wstring Quoted(const std::wstring& path) { return L'"' + path + L'"'; }

class FailedRunTest : public ::testing::Test {
 protected:
  // Runs Tessaly on `input` with `temp_folder` as its temp folder and
  // expects a report, no editor, and no scratch file left. Returns the
  // report.
  SeenBox RunExpectingNothingLeft(const std::wstring& input,
                                  const std::wstring& temp_folder) {
    const TempFolderOverride temp(temp_folder);
    TessalyRun run(Quoted(input));
    const SeenBox box = run.ReadAndDismissBox();
    EXPECT_EQ(run.ExitStatus(), 1u);
    EXPECT_TRUE(run.AllEnded());
    EXPECT_TRUE(records_.Starts().empty()) << "an editor was started";
    EXPECT_TRUE(ScratchFilesIn(temp_folder).empty())
        << "left behind: " << Narrow(ScratchFilesIn(temp_folder)[0]);
    return box;
  }

  EditorRecords records_;
  ScopedFolder files_;
  ScopedFolder temp_;
};

TEST_F(FailedRunTest, ALockedFileEndsInTheReportWithNothingLeft) {
  const std::wstring input = files_ / L"locked.txt";
  WriteBytes(input, "a\nb\n");
  // Held for the whole run.
  const UniqueHandle lock = OwnHandle(::CreateFileW(
      input.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_NE(lock, nullptr);
  ExpectReport(RunExpectingNothingLeft(input, temp_.path()),
               ERROR_SHARING_VIOLATION, L"Datei \u00F6ffnen " + Quoted(input));
}

TEST_F(FailedRunTest, AMissingNotepadEndsInTheReportWithNothingLeft) {
  wchar_t windows[MAX_PATH];
  ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
  const std::wstring notepad = std::wstring(windows) + L"\\notepad.exe";
  const std::wstring away = notepad + L".away";
  ASSERT_TRUE(::MoveFileW(notepad.c_str(), away.c_str()));
  const std::wstring input = files_ / L"notes.txt";
  WriteBytes(input, "a\nb\n");
  ExpectReport(RunExpectingNothingLeft(input, temp_.path()),
               ERROR_FILE_NOT_FOUND, L"Programm starten " + Quoted(notepad));
  ASSERT_TRUE(::MoveFileW(away.c_str(), notepad.c_str()));
}

// A temp folder on a file system of 1 MiB, which the test fixture mounts
// where it can.
TEST_F(FailedRunTest, AFullDiskEndsInTheReportWithNothingLeft) {
  wchar_t full[MAX_PATH] = {};
  ::GetEnvironmentVariableW(L"TESSALY_FULL_DISK", full, MAX_PATH);
  ULARGE_INTEGER total = {};
  if (!::GetDiskFreeSpaceExW(full, nullptr, &total, nullptr) ||
      total.QuadPart > (2 << 20)) {
    GTEST_SKIP() << "no 1 MiB file system at " << Narrow(full)
                 << ": mounting one needs root";
  }
  const std::wstring input = files_ / L"three-megabytes.txt";
  WriteBytes(input, std::string(3 << 20, '\n'));
  const SeenBox box = RunExpectingNothingLeft(input, full);
  const std::wstring head = L"Laufzeitfehler 112\r\n\r\nDatei schreiben \"" +
                            std::wstring(full) +
                            L"\\three-megabytes.txt (Tessaly ";
  EXPECT_EQ(box.text.substr(0, head.size()), head) << Narrow(box.text);
  EXPECT_EQ(box.icon, BoxIcon::kError);
}

TEST_F(FailedRunTest, ALinkSwappedInDuringTheReadIsNeverWrittenThrough) {
  // Big enough that the read outlasts starting ln.
  const std::wstring input = files_ / L"big.txt";
  std::string lines;
  for (int i = 0; i < 100000; ++i) lines += std::string(79, 'x') + '\n';
  {
    const UniqueHandle file = OwnHandle(::CreateFileW(
        input.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_NE(file, nullptr);
    for (int i = 0; i < 25; ++i) {  // 200 MB
      DWORD done = 0;
      ASSERT_TRUE(::WriteFile(file.get(), lines.data(),
                              static_cast<DWORD>(lines.size()), &done,
                              nullptr));
    }
  }
  WriteBytes(temp_ / L"victim.txt", "victim");
  const TempFolderOverride temp(temp_.path());
  TessalyRun run(Quoted(input));
  std::vector<std::wstring> made;
  for (int i = 0; i < 5000 && made.empty(); ++i) {
    made = ScratchFilesIn(temp_.path());
    if (made.empty()) ::Sleep(1);
  }
  ASSERT_EQ(made.size(), 1u) << "no scratch file appeared";
  ASSERT_TRUE(StartUnixProgram(temp_.path(),
                               L"/bin/ln -sf victim.txt " + Quoted(made[0])));

  const SeenBox box = run.ReadAndDismissBox();
  EXPECT_EQ(run.ExitStatus(), 1u);
  EXPECT_TRUE(run.AllEnded());
  // Not EXPECT_EQ: a victim that was written holds 400 MB to print.
  EXPECT_TRUE(ReadBytes(temp_ / L"victim.txt") == "victim")
      << "written through the link";
  EXPECT_TRUE(records_.Starts().empty()) << "the editor was shown the link";
  ExpectReport(box, ERROR_FILE_INVALID,
               L"Hilfsdatei pr\u00FCfen " + Quoted(temp_ / made[0]));
}

TEST(PathMessageTest, ANameThatCannotBeResolvedEndsInTheReport) {
  ScopedFolder folder;
  const std::wstring loop = folder / L"loop-a";
  ASSERT_TRUE(StartUnixProgram(
      folder.path(),
      L"/bin/sh -c \"ln -s loop-b loop-a; ln -s loop-a loop-b\""));
  for (int i = 0;
       i < 250 &&
       ::GetFileAttributesW(loop.c_str()) == INVALID_FILE_ATTRIBUTES &&
       ::GetLastError() == ERROR_FILE_NOT_FOUND;
       ++i) {
    ::Sleep(20);
  }
  TessalyRun run(Quoted(loop));
  ExpectReport(run.ReadAndDismissBox(), ERROR_CANT_RESOLVE_FILENAME,
               L"Datei pr\u00FCfen " + Quoted(loop));
  EXPECT_EQ(run.ExitStatus(), 1u);
  EXPECT_EQ(run.ProcessesStarted(), 1u);
}

// Run where the system's ANSI code page is UTF-8 (65001), as Windows has it
// with "Use Unicode UTF-8 for worldwide language support".
using Utf8SystemCodePageTest = EditorRunTest;

TEST_F(Utf8SystemCodePageTest, TextThatIsNotUtf8ReadsInTheLegacyCodePage) {
  ASSERT_EQ(::GetACP(), static_cast<UINT>(CP_UTF8));
  WriteBytes(files_ / L"cologne-1252.txt",
             "Gr\xFC\xDF"
             "e aus K\xF6ln \x80\n");
  WriteBytes(files_ / L"cologne-utf8.txt",
             "Gr\xC3\xBC\xC3\x9F"
             "e aus K\xC3\xB6ln \xE2\x82\xAC\n");
  for (const wchar_t* name : {L"cologne-1252.txt", L"cologne-utf8.txt"}) {
    EXPECT_EQ(RunAndReadCopy(Quoted(files_ / name)),
              CopyOf(u"Gr\u00FC\u00DFe aus K\u00F6ln \u20AC\r\n"))
        << Narrow(name);
  }
}

}  // namespace
}  // namespace tessaly::testing
