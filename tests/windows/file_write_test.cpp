#include "win32/file_helper.h"

#include <gtest/gtest.h>

#include <string>

#include "services/service_error.h"
#include "tests/windows/test_files_win32.h"

namespace tessaly::testing {
namespace {

TEST(WriteTextFileTest, WritesUtf16WithAMarkAndReadsBackUnchanged) {
  ScopedFolder folder;
  const std::wstring path = folder / L"out.txt";
  WriteBytes(path, "longer old content that must go");
  Win32FileHelper files;
  const std::u16string texts[] = {
      u"",
      u"a\r\nb\r\r\n",
      u"Ж中\U0001F600",
      std::u16string(u"lone \xD800 surrogate and NUL \0!", 30),
  };
  for (const std::u16string& text : texts) {
    files.WriteTextFile(T(path), text);
    EXPECT_EQ(ReadBytes(path), "\xFF\xFE" + LittleEndianBytes(text));
    EXPECT_EQ(LittleEndianBytes(files.ReadTextFile(T(path))),
              LittleEndianBytes(text));
  }
}

TEST(WriteTextFileTest, FailureIsReported) {
  ScopedFolder folder;
  Win32FileHelper files;
  EXPECT_THROW(files.WriteTextFile(T(folder / L"no\\such\\folder.txt"), u"x"),
               ServiceError);
}

TEST(FileHelperTest, PathsLongerThanMaxPathWork) {
  ScopedFolder folder;
  std::wstring deep = folder.path();
  while (deep.size() < 280) {
    deep += L"\\a folder with a long name";
    ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr));
  }
  const std::wstring path = deep + L"\\notes.txt";
  Win32FileHelper files;
  files.WriteTextFile(T(path), u"a\r\nb");
  EXPECT_NE(files.FileExists(T(path)), 0);
  EXPECT_EQ(files.ReadTextFile(T(path)), u"a\r\nb");
}

}  // namespace
}  // namespace tessaly::testing
