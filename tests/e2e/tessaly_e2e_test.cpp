// The real Tessaly.exe under Wine: what the user sees, what it starts, what
// it writes, and what it leaves alone.
#include <gtest/gtest.h>

#include "tests/e2e/e2e_checks_win32.h"

namespace tessaly::testing {
namespace {

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
  ExpectReport(box, ERROR_SHARING_VIOLATION,
               L"Datei \u00F6ffnen \"" + path + L'"');
  EXPECT_EQ(run.ExitStatus(), 1u);
  EXPECT_EQ(run.ProcessesStarted(), 1u) << "something was started";
  original.Check();
}

// Notepad here is the stand-in, which records how it was started.
using ConversionTest = EditorRunTest;

TEST_F(ConversionTest, EditorGetsAConvertedCopyAndTheOriginalStaysAsItWas) {
  const std::wstring path = files_ / L"notes with spaces.txt";
  WriteBytes(path,
             "Gr\xC3\xBC\xC3\x9F"
             "e\none\r\ntwo\n");
  const Unchanged original(path);
  EXPECT_EQ(RunAndReadCopy(L'"' + path + L'"'),
            CopyOf(u"Grüße\r\none\r\r\ntwo\r\n"));
  original.Check();
}

TEST_F(ConversionTest, RelativeUnquotedPathWithSpacesWorks) {
  WriteBytes(files_ / L"my notes.txt", "a\nb");
  EXPECT_EQ(RunAndReadCopy(L"my notes.txt", files_.path()), CopyOf(u"a\r\nb"));
}

TEST_F(ConversionTest, EmptyFileGivesAnEmptyCopyAndTheEditorStillStarts) {
  WriteBytes(files_ / L"empty.txt", "");
  EXPECT_EQ(RunAndReadCopy(L'"' + (files_ / L"empty.txt") + L'"'), CopyOf(u""));
}

}  // namespace
}  // namespace tessaly::testing
