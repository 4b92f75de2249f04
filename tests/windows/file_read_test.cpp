#include "win32/file_helper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "services/service_error.h"
#include "tests/windows/test_files_win32.h"
#include "win32/handles.h"

namespace tessaly::testing {
namespace {

// Reading fails with the system's code, and the failure names the file.
void ExpectReadFails(Win32FileHelper& files, const std::wstring& path,
                     DWORD code) {
  try {
    files.ReadTextFile(T(path));
    ADD_FAILURE() << "read a file that should have failed";
  } catch (const ServiceError& error) {
    EXPECT_EQ(error.system_code(), static_cast<std::uint32_t>(code));
    EXPECT_EQ(error.operation(), u"Datei öffnen \"" + T(path) + u'"');
  }
}

TEST(ReadTextFileTest, ByteOrderMarkOrValidityDecidesTheEncoding) {
  using namespace std::string_literals;
  struct Case {
    const char* what;
    std::string bytes;
    std::u16string expected;
  };
  const Case cases[] = {
      {"empty", "", u""},
      {"UTF-8 mark only", "\xEF\xBB\xBF", u""},
      {"UTF-8 with mark",
       "\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F"
       "e\n",
       u"Grüße\n"},
      {"UTF-8 without mark", "\xD0\x96\n\xE4\xB8\xAD\xF0\x9F\x98\x80",
       u"Ж\n中\U0001F600"},
      {"ANSI when not UTF-8",
       "Gr\xFC\xDF"
       "e\n\x80",
       u"Grüße\n€"},
      {"UTF-16LE",
       "\xFF\xFE"
       "a\0\n\0\x16\x04"s,
       u"a\nЖ"},
      {"UTF-16BE", "\xFE\xFF\0a\0\n\x04\x16"s, u"a\nЖ"},
      {"UTF-16LE, odd length",
       "\xFF\xFE"
       "a\0b"s,
       u"a\uFFFD"},
      {"NUL bytes", "a\0b\n"s, u"a\0b\n"s},
  };
  ScopedFolder folder;
  Win32FileHelper files;
  for (const Case& c : cases) {
    const std::wstring path = folder / L"in.txt";
    WriteBytes(path, c.bytes);
    EXPECT_EQ(LittleEndianBytes(files.ReadTextFile(T(path))),
              LittleEndianBytes(c.expected))
        << c.what;
    EXPECT_EQ(ReadBytes(path), c.bytes) << c.what << ": file changed";
  }
}

TEST(ReadTextFileTest, LeavesRoomToWidenEachLineFeedInPlace) {
  ScopedFolder folder;
  Win32FileHelper files;
  const std::string lines =
      std::string(100, 'x') + "\n" + std::string(50, 'y') + "\n";
  for (const std::string& bytes :
       {lines, "\xFF\xFE" + LittleEndianBytes(u"a\nb\nc\n" +
                                              std::u16string(100, u'z'))}) {
    WriteBytes(folder / L"in.txt", bytes);
    const Text text = files.ReadTextFile(T(folder / L"in.txt"));
    const auto line_feeds = std::count(text.begin(), text.end(), u'\n');
    EXPECT_GE(text.capacity(), text.size() + line_feeds);
  }
}

TEST(ReadTextFileTest, ReadsAFileThatAnotherProgramIsStillWriting) {
  ScopedFolder folder;
  const std::wstring path = folder / L"log.txt";
  WriteBytes(path, "line 1\n");
  UniqueHandle writer = OwnHandle(::CreateFileW(
      path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(writer);
  Win32FileHelper files;
  EXPECT_EQ(files.ReadTextFile(T(path)), u"line 1\n");
  // The reader let go of the file: the writer can carry on.
  DWORD written = 0;
  EXPECT_TRUE(::WriteFile(writer.get(), "line 2\n", 7, &written, nullptr));
  writer.reset();
  EXPECT_EQ(ReadBytes(path), "line 1\nline 2\n");
}

TEST(ReadTextFileTest, LockedOrMissingFileFailsWithTheSystemsCode) {
  ScopedFolder folder;
  const std::wstring path = folder / L"locked.txt";
  WriteBytes(path, "x");
  UniqueHandle holder = OwnHandle(
      ::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(holder);
  Win32FileHelper files;
  ExpectReadFails(files, path, ERROR_SHARING_VIOLATION);
  holder.reset();
  ExpectReadFails(files, folder / L"missing.txt", ERROR_FILE_NOT_FOUND);
}

TEST(ReadTextFileTest, AFileRemovedAfterTheCheckFailsCleanly) {
  ScopedFolder folder;
  const std::wstring path = folder / L"doomed.txt";
  WriteBytes(path, "x");
  Win32FileHelper files;
  ASSERT_NE(files.FileExists(T(path)), 0);
  ASSERT_TRUE(::DeleteFileW(path.c_str()));
  ExpectReadFails(files, path, ERROR_FILE_NOT_FOUND);
}

}  // namespace
}  // namespace tessaly::testing
