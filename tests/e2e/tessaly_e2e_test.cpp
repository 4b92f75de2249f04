// The real Tessaly.exe under Wine: what the user sees, what it starts, what
// it writes, and what it leaves alone.
#include <gtest/gtest.h>

#include "tests/e2e/tessaly_run_win32.h"
#include "tests/windows/test_files_win32.h"

namespace tessaly::testing {
namespace {

std::string Narrow(const std::wstring& text) {
  std::string narrow;
  for (wchar_t unit : text) {
    narrow += unit < 0x80 ? static_cast<char>(unit) : '?';
  }
  return narrow;
}

std::string Describe(const std::vector<BoxButton>& buttons) {
  std::string described;
  for (const BoxButton& button : buttons) {
    described += std::to_string(button.id) + "=" + Narrow(button.text) + " ";
  }
  return described;
}

void ExpectBox(const SeenBox& box, const std::wstring& text, BoxIcon icon) {
  ASSERT_TRUE(box.found) << "no message box appeared";
  EXPECT_EQ(box.caption, L"Brevinor");
  EXPECT_EQ(box.text, text) << Narrow(box.text);
  EXPECT_EQ(box.icon, icon) << Name(box.icon) << " instead of " << Name(icon);
  ASSERT_EQ(box.buttons.size(), 1u) << Describe(box.buttons);
  EXPECT_EQ(box.buttons[0].id, IDOK);
  EXPECT_EQ(box.buttons[0].text, L"OK");
}

struct Unchanged {
  explicit Unchanged(const std::wstring& path)
      : path(path), bytes(ReadBytes(path)), written(LastWriteTime(path)) {}
  void Check() const {
    EXPECT_EQ(ReadBytes(path), bytes) << "the original changed";
    const FILETIME now = LastWriteTime(path);
    EXPECT_EQ(now.dwLowDateTime, written.dwLowDateTime);
    EXPECT_EQ(now.dwHighDateTime, written.dwHighDateTime);
  }
  std::wstring path;
  std::string bytes;
  FILETIME written;
};

TEST(MessageTest, WithoutAnArgumentItWarnsAndStartsNothing) {
  for (const std::wstring arguments : {L"", L"    "}) {
    TessalyRun run(arguments);
    ExpectBox(run.ReadAndDismissBox(),
              L"You must call this tool with a command line argument!",
              BoxIcon::kWarning);
    EXPECT_EQ(run.ExitStatus(), 0u);
    EXPECT_EQ(run.ProcessesStarted(), 1u);
    EXPECT_EQ(run.WindowsSeen(), std::set<std::wstring>{L"#32770"});
  }
}

TEST(MessageTest, MissingFileOrFolderIsNotFoundWithItsFullPath) {
  ScopedFolder folder;
  const struct {
    std::wstring argument;
    std::wstring shown;
  } cases[] = {
      {L'"' + (folder / L"missing file.txt") + L'"',
       folder / L"missing file.txt"},
      {folder.path(), folder.path()},
      {L"relative.txt", folder / L"relative.txt"},
  };
  for (const auto& c : cases) {
    TessalyRun run(c.argument, folder.path());
    ExpectBox(run.ReadAndDismissBox(), L"The file was not found:\r\n" + c.shown,
              BoxIcon::kNone);
    EXPECT_EQ(run.ExitStatus(), 0u);
    EXPECT_EQ(run.ProcessesStarted(), 1u);
  }
}

TEST(RunTimeReportTest, AFileThatCannotBeReadIsReportedInGerman) {
  ScopedFolder folder;
  const std::wstring path = folder / L"locked.txt";
  WriteBytes(path, "a\nb\n");
  const Unchanged original(path);
  const HANDLE holder =
      ::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  TessalyRun run(L'"' + path + L'"');
  const SeenBox box = run.ReadAndDismissBox();
  ::CloseHandle(holder);
  ASSERT_TRUE(box.found);
  EXPECT_EQ(box.caption, L"Brevinor");
  EXPECT_EQ(box.icon, BoxIcon::kError) << Name(box.icon);
  const std::wstring head =
      L"Laufzeitfehler 32\r\n\r\nDatei \u00F6ffnen \"" + path + L"\": ";
  EXPECT_EQ(box.text.substr(0, head.size()), head) << Narrow(box.text);
  EXPECT_GT(box.text.size(), head.size()) << "no description of the error";
  ASSERT_EQ(box.buttons.size(), 1u) << Describe(box.buttons);
  EXPECT_EQ(run.ExitStatus(), 1u);
  EXPECT_EQ(run.ProcessesStarted(), 1u) << "something was started";
  original.Check();
}

TEST(RunTimeReportTest, AFileTooLargeForMemoryIsReportedNotACrash) {
  ScopedFolder folder;
  const std::wstring path = folder / L"huge.log";
  // Sparse: three gigabytes that take no room on disk.
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  LARGE_INTEGER size;
  size.QuadPart = 3LL << 30;
  ASSERT_TRUE(::SetFilePointerEx(file, size, nullptr, FILE_BEGIN));
  ASSERT_TRUE(::SetEndOfFile(file));
  ::CloseHandle(file);

  TessalyRun run(L'"' + path + L'"');
  const SeenBox box = run.ReadAndDismissBox();
  ASSERT_TRUE(box.found);
  EXPECT_EQ(box.icon, BoxIcon::kError) << Name(box.icon);
  const std::wstring head =
      L"Laufzeitfehler 8\r\n\r\nDatei lesen \"" + path + L"\": ";
  EXPECT_EQ(box.text.substr(0, head.size()), head) << Narrow(box.text);
  EXPECT_EQ(run.ExitStatus(), 1u);
  EXPECT_EQ(run.ProcessesStarted(), 1u);
}

// Notepad here is the stand-in, which records how it was started.
class ConversionTest : public ::testing::Test {
 protected:
  // Runs Tessaly on `file` and checks that it ended normally and that the
  // editor was started once on a scratch copy, which it returns.
  std::string RunAndReadCopy(const std::wstring& argument,
                             const std::wstring& current_folder) {
    TessalyRun run(argument, current_folder);
    EXPECT_EQ(run.ExitStatus(), 0u);
    EXPECT_TRUE(run.WindowsSeen().empty()) << "Tessaly showed a window";
    EXPECT_TRUE(run.AllEnded());
    EXPECT_EQ(run.ProcessesStarted(), 2u);

    const std::vector<DWORD> starts = records_.Starts();
    if (starts.size() != 1) {
      ADD_FAILURE() << "the editor was started " << starts.size() << " times";
      return {};
    }
    const std::string command_line = records_.Read(starts[0], L".cmdline");

    wchar_t windows[MAX_PATH];
    ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring temp = TempFolder();
    const std::wstring expected_start = std::wstring(L"\"") + windows +
                                        L"\\notepad.exe\" \"" + temp +
                                        L"Tessaly-";
    std::wstring given(reinterpret_cast<const wchar_t*>(command_line.data()),
                       command_line.size() / 2);
    EXPECT_EQ(given.substr(0, expected_start.size()), expected_start)
        << Narrow(given);
    EXPECT_EQ(given.size(), expected_start.size() + 22) << Narrow(given);
    EXPECT_EQ(given.substr(given.size() > 5 ? given.size() - 5 : 0), L".txt\"");

    scratch_ = given.substr(given.find(L"\" \"") + 3);
    scratch_.pop_back();
    const std::string copy = records_.Read(starts[0], L".copy");
    EXPECT_EQ(ReadBytes(scratch_), copy) << "the scratch copy was changed";
    return copy;
  }

  ~ConversionTest() override {
    if (!scratch_.empty()) ::DeleteFileW(scratch_.c_str());
  }

  EditorRecords records_;
  ScopedFolder files_;
  std::wstring scratch_;
};

TEST_F(ConversionTest, EditorGetsAConvertedCopyAndTheOriginalStaysAsItWas) {
  const std::wstring path = files_ / L"notes with spaces.txt";
  WriteBytes(path,
             "Gr\xC3\xBC\xC3\x9F"
             "e\none\r\ntwo\n");
  const Unchanged original(path);
  EXPECT_EQ(RunAndReadCopy(L'"' + path + L'"', L""),
            "\xFF\xFE" + LittleEndianBytes(u"Grüße\r\none\r\r\ntwo\r\n"));
  original.Check();
}

TEST_F(ConversionTest, RelativeUnquotedPathWithSpacesWorks) {
  WriteBytes(files_ / L"my notes.txt", "a\nb");
  EXPECT_EQ(RunAndReadCopy(L"my notes.txt", files_.path()),
            "\xFF\xFE" + LittleEndianBytes(u"a\r\nb"));
}

TEST_F(ConversionTest, EmptyFileGivesAnEmptyCopyAndTheEditorStillStarts) {
  WriteBytes(files_ / L"empty.txt", "");
  EXPECT_EQ(RunAndReadCopy(L'"' + (files_ / L"empty.txt") + L'"', L""),
            "\xFF\xFE");
}

}  // namespace
}  // namespace tessaly::testing
