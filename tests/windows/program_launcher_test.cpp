#include "win32/program_launcher.h"

#include <gtest/gtest.h>

#include <new>

#include "services/service_error.h"
#include "tests/windows/test_files_win32.h"
#include "win32/command_line.h"
#include "win32/handles.h"
#include "win32/support.h"

namespace tessaly::testing {
namespace {

Text T(const std::wstring& wide) { return FromWide(wide); }

// The stand-in editor is built beside this test program.
std::wstring StandInPath() {
  wchar_t module[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, module, MAX_PATH);
  std::wstring path(module, length);
  return path.substr(0, path.find_last_of(L'\\') + 1) + L"stand_in_editor.exe";
}

class ProgramLauncherTest : public ::testing::Test {
 protected:
  std::string Recorded(std::int32_t process_id, const wchar_t* what) {
    return records_.Read(static_cast<DWORD>(process_id), what);
  }

  EditorRecords records_;
  Win32ProgramLauncher launcher_;
};

TEST_F(ProgramLauncherTest, StartsTheProgramWithItsQuotedPathAndTheArguments) {
  ScopedFolder folder;
  WriteBytes(folder / L"given file.txt", "content");
  const std::wstring program = StandInPath();
  const std::wstring arguments = L"\"" + (folder / L"given file.txt") + L"\"";
  const std::int32_t process_id = launcher_.Launch(
      T(program), 0, 1, 0, T(arguments), 0, 2, /*wait_milliseconds=*/-1);
  EXPECT_EQ(Recorded(process_id, L".cmdline"),
            LittleEndianBytes(L"\"" + program + L"\" " + arguments));
  EXPECT_EQ(Recorded(process_id, L".copy"), "content");
}

TEST_F(ProgramLauncherTest, StartFolderIsChosenByItsCode) {
  wchar_t ours[MAX_PATH];
  ::GetCurrentDirectoryW(MAX_PATH, ours);
  const std::wstring program = StandInPath();
  const std::wstring program_folder =
      program.substr(0, program.find_last_of(L'\\'));
  wchar_t windows[MAX_PATH];
  ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
  std::wstring temp = TempFolder();
  temp.pop_back();
  struct Case {
    StartFolder code;
    std::wstring folder;
  };
  const Case cases[] = {{StartFolder::kOurs, ours},
                        {StartFolder::kProgramFolder, program_folder},
                        {StartFolder::kTempFolder, temp},
                        {StartFolder::kWindowsFolder, windows}};
  for (const Case& c : cases) {
    const std::int32_t process_id = launcher_.Launch(
        T(program), 0, 1, 0, u"", static_cast<int>(c.code), 2, -1);
    std::string recorded = Recorded(process_id, L".cwd");
    std::string expected = LittleEndianBytes(c.folder);
    // The system may or may not end a folder with its separator.
    if (recorded.size() == expected.size() + 2)
      expected += std::string("\\\0", 2);
    EXPECT_EQ(recorded, expected) << static_cast<int>(c.code);
  }
  // The user's profile is where the editor starts: any folder but ours.
  const std::int32_t process_id =
      launcher_.Launch(T(program), 0, 1, 0, u"",
                       static_cast<int>(StartFolder::kUserProfile), 2, -1);
  EXPECT_NE(Recorded(process_id, L".cwd"),
            LittleEndianBytes(std::wstring(ours)));
}

TEST_F(ProgramLauncherTest, NothingIsSearchedForAndFailureToStartIsReported) {
  ScopedFolder folder;
  const struct {
    std::wstring program;
    DWORD expected_code;
  } cases[] = {
      {folder / L"missing.exe", ERROR_FILE_NOT_FOUND},
      {L"stand_in_editor.exe", ERROR_BAD_PATHNAME},
      {L"notepad.exe", ERROR_BAD_PATHNAME},
  };
  for (const auto& c : cases) {
    try {
      launcher_.Launch(T(c.program), 0, 1, 0, u"", 0, 2, 0);
      ADD_FAILURE() << "started a program by a relative or missing name";
    } catch (const ServiceError& error) {
      EXPECT_EQ(error.system_code(), c.expected_code);
    }
  }
  EXPECT_THROW(launcher_.Launch(T(StandInPath()), 0, 1, 0, u"", 9, 2, 0),
               ServiceError);
  EXPECT_THROW(launcher_.Launch(T(StandInPath()), 0, 1, 0, u"", 0, 9, 0),
               ServiceError);
}

// Whatever fails between creating the program and letting it run, it does
// not stay behind suspended, and neither does the copy it was to be given.
TEST(ProgramLauncherFailureTest, NothingIsLeftWhenTheStartFailsHalfWay) {
  EditorRecords records;
  auto scratch_files = std::make_shared<ScratchFiles>();
  ScopedFolder folder;
  const std::wstring copy = folder / L"copy.txt";
  ASSERT_EQ(scratch_files->Create(T(copy)), 0u);
  DWORD started = 0;
  Win32ProgramLauncher launcher(scratch_files, [&started](DWORD process_id) {
    started = process_id;
    throw std::bad_alloc();
  });
  EXPECT_THROW(launcher.Launch(T(StandInPath()), 0, 1, 0, u"", 0, 2, 0),
               std::bad_alloc);
  ASSERT_NE(started, 0u);
  if (const UniqueHandle process(::OpenProcess(
          SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, started));
      process != nullptr) {
    EXPECT_EQ(::WaitForSingleObject(process.get(), 0), WAIT_OBJECT_0)
        << "the program is still there";
  }
  EXPECT_TRUE(records.Starts().empty()) << "the program ran";
  EXPECT_FALSE(Exists(copy)) << "the copy was left";
}

TEST(ArgumentTextTest, FollowsTheProgramsNameAndTheBlanksAfterIt) {
  const struct {
    std::u16string full;
    std::u16string expected;
  } cases[] = {
      {u"Tessaly.exe notes.txt", u"notes.txt"},
      {u"Tessaly.exe   \"my notes.txt\"  ", u"\"my notes.txt\"  "},
      {u"\"C:\\Program Files\\T\\Tessaly.exe\" a b", u"a b"},
      {u"\"C:\\T.exe\"a.txt", u"a.txt"},
      {u"Tessaly.exe\t\tnotes.txt", u"notes.txt"},
      {u"Tessaly.exe", u""},
      {u"Tessaly.exe    ", u""},
      {u"\"unclosed", u""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ArgumentTextOf(c.full), c.expected);
  }
}

TEST(DescribeFailureTest, GivesOperationAndSystemTextOrTheNumber) {
  const Text known = DescribeFailure(u"Datei lesen", ERROR_FILE_NOT_FOUND);
  ASSERT_GT(known.size(), Text(u"Datei lesen: ").size());
  EXPECT_EQ(known.rfind(u"Datei lesen: ", 0), 0u);
  EXPECT_NE(known.back(), u'\n');
  EXPECT_NE(known.back(), u'\r');
  EXPECT_EQ(known.find(u"\r\n"), Text::npos);
  EXPECT_EQ(DescribeFailure(u"Op", 0x2000ABCD), u"Op: 536914893");
}

}  // namespace
}  // namespace tessaly::testing
