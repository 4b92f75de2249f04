// The real Tessaly.exe under Wine: what the user sees, what it starts, what
// it writes, and what it leaves alone.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/e2e/e2e_checks_win32.h"
#include "win32/handles.h"

namespace tessaly::testing {
namespace {

TEST(MessageTest, WithoutAnArgumentItWarnsAndStartsNothing) {
  for (const std::wstring arguments : {L"", L"    "}) {
    TessalyRun run(arguments);
    ExpectBox(run.ReadAndDismissBox(),
              L"You must call this tool with a command line argument!",
              BoxIcon::kWarning);
    EXPECT_EQ(run.ExitStatus(), kMissingArgument);
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
    EXPECT_EQ(run.ExitStatus(), kFileNotFound);
    EXPECT_EQ(run.ProcessesStarted(), 1u);
  }
}

TEST(RunTimeReportTest, AFileThatCannotBeReadIsReportedInGerman) {
  ScopedFolder folder;
  const std::wstring path = folder / L"locked.txt";
  WriteBytes(path, "a\nb\n");
  const Unchanged original(path);
  UniqueHandle holder =
      OwnHandle(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_NE(holder, nullptr);
  TessalyRun run(L'"' + path + L'"');
  const SeenBox box = run.ReadAndDismissBox();
  // Given up once Tessaly has reported, so that the original can be read.
  holder.reset();
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

// Notepad's title shows the copy's name, so it starts with the file's own.
TEST_F(ConversionTest, TheCopyIsNamedAfterTheFileWithinMaxPath) {
  const std::wstring temp = TempFolder();
  const std::wstring long_name = std::wstring(226, L'n') + L".log";
  for (const std::wstring& name :
       {std::wstring(L"server.log"), std::wstring(L"\U0001F600 notes.txt"),
        std::wstring(L"README"), long_name}) {
    const std::wstring path = files_ / name;
    WriteBytes(L"\\\\?\\" + path, "a\nb");
    EXPECT_EQ(RunAndReadCopy(L'"' + path + L'"'), CopyOf(u"a\r\nb"));
    const std::wstring copy = last_start_.scratch.substr(
        std::min(temp.size(), last_start_.scratch.size()));
    if (name != long_name) {
      EXPECT_EQ(copy.substr(0, name.size() + 10), name + L" (Tessaly ")
          << Narrow(copy);
      continue;
    }
    // Cut to fit: as much of the name as MAX_PATH - 1 leaves room for.
    EXPECT_EQ(last_start_.scratch.size(), 259u) << Narrow(copy);
    const std::size_t kept = copy.size() - 23;  // " (Tessaly 12345678).txt"
    EXPECT_EQ(copy.substr(0, kept), long_name.substr(0, kept)) << Narrow(copy);
  }
}

TEST_F(ConversionTest, OldCopiesOfBothFormsAreSweptAndNothingElse) {
  const std::wstring temp = TempFolder();
  const std::wstring old_plain = temp + L"Tessaly-00000001-0000abcd.txt";
  const std::wstring old_named = temp + L"old.log (Tessaly 0000abcd).txt";
  const std::wstring notes = temp + L"Tessaly notes.txt";
  const std::wstring report = temp + L"report (Tessaly).txt";
  // A copy made writable and saved into is the user's now.
  const std::wstring saved = temp + L"saved.log (Tessaly 0000abcd).txt";
  for (const std::wstring& path : {old_plain, old_named, notes, report}) {
    WriteBytes(path, "x");
    AgeAsCopy(path, 25);
  }
  WriteBytes(saved, "edited");
  SetLastWriteTime(saved, HoursAgo(25));
  // A user's read-only file with a second name that looks like an old copy.
  const std::wstring kept = files_ / L"kept.log";
  const std::wstring linked = temp + L"linked.log (Tessaly 0000abcd).txt";
  WriteBytes(kept, "mine");
  ASSERT_TRUE(::CreateHardLinkW(linked.c_str(), kept.c_str(), nullptr));
  AgeAsCopy(kept, 25);
  WriteBytes(files_ / L"new.log", "a\n");
  RunAndReadCopy(L'"' + (files_ / L"new.log") + L'"');
  EXPECT_FALSE(Exists(old_plain));
  EXPECT_FALSE(Exists(old_named));
  EXPECT_NE(::GetFileAttributesW(kept.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  for (const std::wstring& path : {notes, report, saved, linked}) {
    EXPECT_TRUE(Exists(path)) << Narrow(path);
    RemoveFile(path);
  }
}

}  // namespace
}  // namespace tessaly::testing
