#include "win32/file_helper.h"

#include <gtest/gtest.h>

#include "services/service_error.h"
#include "tests/windows/test_files_win32.h"
#include "win32/environment.h"

namespace tessaly::testing {
namespace {

TEST(FileExistsTest, OnlyFilesOnDiskExist) {
  ScopedFolder folder;
  WriteBytes(folder / L"file.txt", "x");
  ASSERT_TRUE(::CreateDirectoryW((folder / L"sub").c_str(), nullptr));
  Win32FileHelper files;
  EXPECT_NE(files.FileExists(T(folder / L"file.txt")), 0);
  EXPECT_EQ(files.FileExists(T(folder / L"missing.txt")), 0);
  EXPECT_EQ(files.FileExists(T(folder / L"sub")), 0);
  EXPECT_EQ(files.FileExists(T(folder.path())), 0);
  EXPECT_EQ(files.FileExists(u""), 0);
  EXPECT_EQ(files.FileExists(T(folder / L"file.txt\\")), 0);
  EXPECT_EQ(files.FileExists(T(folder / L"*.txt")), 0);
  EXPECT_EQ(files.FileExists(T(folder / L"file.tx?")), 0);
  EXPECT_NE(files.FileExists(T(L"\\\\?\\" + (folder / L"file.txt"))), 0);
  // A device's name reaches it as Tessaly resolves it: "NUL" is \\.\NUL.
  Win32EnvironmentHelper environment;
  for (const Text device :
       {u"\\\\.\\NUL", u"\\\\.\\CON", u"\\\\.\\COM1", u"NUL"}) {
    EXPECT_EQ(files.FileExists(environment.PathFromCommandLine(device)), 0);
  }
}

// Links are judged by what they lead to; Wine follows Unix links itself, so
// what Windows would find there is given by hand.
TEST(JudgeFoundFileTest, ALinkIsJudgedByItsTarget) {
  const DWORD link = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_ARCHIVE;
  const auto leads_to = [](DWORD error, DWORD attributes) {
    return [=] { return FoundEntry{error, attributes}; };
  };
  const auto never = [] {
    ADD_FAILURE() << "followed what is no link";
    return FoundEntry{ERROR_SUCCESS, 0};
  };
  EXPECT_NE(JudgeFoundFile(FILE_ATTRIBUTE_ARCHIVE, never, u"f"), 0);
  EXPECT_EQ(JudgeFoundFile(FILE_ATTRIBUTE_DIRECTORY, never, u"f"), 0);
  EXPECT_NE(JudgeFoundFile(link, leads_to(0, FILE_ATTRIBUTE_NORMAL), u"f"), 0);
  EXPECT_EQ(JudgeFoundFile(link, leads_to(0, FILE_ATTRIBUTE_DIRECTORY), u"f"),
            0);
  EXPECT_EQ(JudgeFoundFile(link, leads_to(ERROR_FILE_NOT_FOUND, 0), u"f"), 0);
  EXPECT_EQ(JudgeFoundFile(link, leads_to(ERROR_PATH_NOT_FOUND, 0), u"f"), 0);
  for (const DWORD error :
       {DWORD{ERROR_CANT_RESOLVE_FILENAME}, DWORD{ERROR_ACCESS_DENIED}}) {
    try {
      JudgeFoundFile(link, leads_to(error, 0), u"f");
      ADD_FAILURE() << "no failure for " << error;
    } catch (const ServiceError& failure) {
      EXPECT_EQ(failure.system_code(), error);
      EXPECT_EQ(failure.operation(), u"Datei prüfen \"f\"");
    }
  }
}

}  // namespace
}  // namespace tessaly::testing
