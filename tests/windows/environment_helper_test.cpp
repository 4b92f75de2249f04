#include <gtest/gtest.h>

#include <vector>

#include "paths/scratch_name.h"
#include "services/service_error.h"
#include "tests/windows/test_files_win32.h"
#include "win32/environment.h"
#include "win32/file_helper.h"
#include "win32/support.h"

namespace tessaly::testing {
namespace {

std::wstring W(const Text& text) {
  return std::wstring(Wide(text), text.size());
}
Text T(const std::wstring& wide) { return FromWide(wide); }

// Runs the test in `folder` as the current folder, and back.
class CurrentFolder {
 public:
  explicit CurrentFolder(const std::wstring& folder) {
    wchar_t buffer[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, buffer);
    previous_ = buffer;
    EXPECT_TRUE(::SetCurrentDirectoryW(folder.c_str()));
  }
  ~CurrentFolder() { ::SetCurrentDirectoryW(previous_.c_str()); }

 private:
  std::wstring previous_;
};

TEST(PathFromCommandLineTest, ResolvesQuotedUnquotedAndRelativePaths) {
  ScopedFolder folder;
  CurrentFolder inside(folder.path());
  const std::wstring base = folder.path() + L'\\';
  struct Case {
    std::wstring command_text;
    std::wstring expected;
  };
  const Case cases[] = {
      {L"notes.txt", base + L"notes.txt"},
      {L"  \tnotes.txt \t ", base + L"notes.txt"},
      {L"my notes.txt", base + L"my notes.txt"},
      {L"\"my notes.txt\"", base + L"my notes.txt"},
      {L"\"my notes.txt\" --more text", base + L"my notes.txt"},
      {L"\"unclosed name.txt", base + L"unclosed name.txt"},
      {L"sub\\..\\x.txt", base + L"x.txt"},
      {L"C:\\abs\\y.txt", L"C:\\abs\\y.txt"},
      {L"\u0416\u0443\u043A \u6587\u4EF6 \U0001F600.txt",
       base + L"\u0416\u0443\u043A \u6587\u4EF6 \U0001F600.txt"},
      {L"", L""},
      {L" \t ", L""},
      {L"\"\"", L""},
  };
  Win32EnvironmentHelper environment;
  for (const Case& c : cases) {
    EXPECT_EQ(W(environment.PathFromCommandLine(T(c.command_text))), c.expected)
        << "for [" << LittleEndianBytes(c.command_text).size() / 2 << " units]";
  }
}

// Send To and dropping pass several files, quoting only those with a space.
TEST(PathFromCommandLineTest, SeveralFilesGiveTheFirstThatNamesAFile) {
  ScopedFolder folder;
  CurrentFolder inside(folder.path());
  const std::wstring base = folder.path() + L'\\';
  for (const wchar_t* name : {L"a.txt", L"b.txt", L"my notes.txt", L"my"}) {
    WriteBytes(base + name, "x");
  }
  ASSERT_TRUE(::CreateDirectoryW((base + L"logs").c_str(), nullptr));
  const struct {
    std::wstring command_text;
    std::wstring expected;
  } cases[] = {
      {base + L"a.txt " + base + L"b.txt", base + L"a.txt"},
      {L"a.txt \"" + base + L"my notes.txt\"", base + L"a.txt"},
      {L"\"" + base + L"my notes.txt\" " + base + L"a.txt",
       base + L"my notes.txt"},
      // The whole text names a file: it wins over its first word.
      {L"my notes.txt", base + L"my notes.txt"},
      // A first word that names a folder, or nothing, is not a file: the
      // whole text is the path, and the message will show all of it.
      {L"logs b.txt", base + L"logs b.txt"},
      {L"missing.txt a.txt", base + L"missing.txt a.txt"},
  };
  Win32EnvironmentHelper environment;
  int number = 0;
  for (const auto& c : cases) {
    EXPECT_EQ(W(environment.PathFromCommandLine(T(c.command_text))), c.expected)
        << "case " << number++;
  }
}

TEST(PathFromCommandLineTest, PathsLongerThanMaxPathResolve) {
  std::wstring long_name = L"C:\\";
  for (int i = 0; i < 30; ++i)
    long_name += L"folder" + std::to_wstring(i) + L'\\';
  long_name += L"file.txt";
  ASSERT_GT(long_name.size(), 260u);
  Win32EnvironmentHelper environment;
  EXPECT_EQ(W(environment.PathFromCommandLine(T(L'"' + long_name + L'"'))),
            long_name);
}

TEST(SpecialFolderPathTest, WindowsFolderIsTheSystemsWithoutTrailingSeparator) {
  wchar_t system_folder[MAX_PATH];
  const UINT length = ::GetSystemWindowsDirectoryW(system_folder, MAX_PATH);
  Win32EnvironmentHelper environment;
  const std::wstring path = W(environment.SpecialFolderPath(36, 0, 0));
  EXPECT_EQ(path, std::wstring(system_folder, length));
  EXPECT_NE(path.back(), L'\\');
}

TEST(ScratchFilePathTest, CreatesAnEmptyUniqueFileInTheTempFolder) {
  Win32EnvironmentHelper environment;
  const std::wstring first = W(ToText(environment.ScratchFilePath(u"Tessaly")));
  const std::wstring second =
      W(ToText(environment.ScratchFilePath(u"Tessaly")));
  const std::wstring temp = TempFolder();
  for (const std::wstring& path : {first, second}) {
    ASSERT_EQ(path.compare(0, temp.size(), temp), 0);
    const std::wstring name = path.substr(temp.size());
    EXPECT_EQ(ScratchFileWord(T(name)), Text(u"Tessaly"));
    EXPECT_EQ(name.find(L'\\'), std::wstring::npos);
    EXPECT_TRUE(Exists(path));
    EXPECT_EQ(ReadBytes(path), "");
    ::DeleteFileW(path.c_str());
  }
  EXPECT_NE(first, second);
}

TEST(ScratchFilePathTest, NeverOpensANameThatIsAlreadyTaken) {
  // The generator repeats itself: the first two names are taken, by a file
  // and by a folder, and must be passed over untouched.
  std::vector<std::uint32_t> randoms = {7, 8, 9};
  std::size_t next = 0;
  Win32EnvironmentHelper environment([&] { return randoms[next++]; });
  const std::wstring temp = TempFolder();
  const DWORD process_id = ::GetCurrentProcessId();
  const std::wstring planted_file =
      temp + W(ScratchFileName(u"Tessaly", process_id, 7));
  const std::wstring planted_folder =
      temp + W(ScratchFileName(u"Tessaly", process_id, 8));
  WriteBytes(planted_file, "planted");
  ASSERT_TRUE(::CreateDirectoryW(planted_folder.c_str(), nullptr));

  const std::wstring chosen =
      W(ToText(environment.ScratchFilePath(u"Tessaly")));
  EXPECT_EQ(chosen, temp + W(ScratchFileName(u"Tessaly", process_id, 9)));
  EXPECT_EQ(ReadBytes(planted_file), "planted");

  ::DeleteFileW(planted_file.c_str());
  ::RemoveDirectoryW(planted_folder.c_str());
  ::DeleteFileW(chosen.c_str());
}

TEST(ScratchFilePathTest, NeverFollowsALinkPlantedUnderItsName) {
  std::vector<std::uint32_t> randoms = {11, 12};
  std::size_t next = 0;
  Win32EnvironmentHelper environment([&] { return randoms[next++]; });
  const std::wstring temp = TempFolder();
  const DWORD process_id = ::GetCurrentProcessId();
  const std::wstring link_name = W(ScratchFileName(u"Tessaly", process_id, 11));
  const std::wstring victim = temp + L"tessaly-victim.txt";
  WriteBytes(victim, "victim");
  ASSERT_TRUE(PlantLink(temp, link_name, L"tessaly-victim.txt"));

  const std::wstring chosen =
      W(ToText(environment.ScratchFilePath(u"Tessaly")));
  EXPECT_EQ(chosen, temp + W(ScratchFileName(u"Tessaly", process_id, 12)));
  EXPECT_EQ(ReadBytes(victim), "victim");
  EXPECT_EQ(ReadBytes(temp + link_name), "victim") << "the link was replaced";

  ::DeleteFileW((temp + link_name).c_str());
  ::DeleteFileW(victim.c_str());
  ::DeleteFileW(chosen.c_str());
}

TEST(ScratchFilePathTest, GivesUpWhenEveryNameIsTaken) {
  Win32EnvironmentHelper environment([] { return 7u; });
  const std::wstring planted =
      TempFolder() + W(ScratchFileName(u"Tessaly", ::GetCurrentProcessId(), 7));
  WriteBytes(planted, "planted");
  EXPECT_THROW(environment.ScratchFilePath(u"Tessaly"), ServiceError);
  EXPECT_EQ(ReadBytes(planted), "planted");
  ::DeleteFileW(planted.c_str());
}

TEST(ScratchFilePathTest, CopiesAreNamedAfterTheFileResolved) {
  ScopedFolder folder;
  WriteBytes(folder / L"server.log", "x");
  Win32EnvironmentHelper environment;
  environment.PathFromCommandLine(T(L'"' + (folder / L"server.log") + L'"'));
  const std::wstring path = W(ToText(environment.ScratchFilePath(u"Tessaly")));
  const std::wstring expected = TempFolder() + L"server.log (Tessaly ";
  EXPECT_EQ(path.substr(0, expected.size()), expected);
  EXPECT_EQ(ScratchFileWord(T(path.substr(TempFolder().size()))),
            Text(u"Tessaly"));
  EXPECT_TRUE(Exists(path));
  ::DeleteFileW(path.c_str());
}

// A name that reaches a device rather than a file gives way to the next
// form of name, as a name the file system refuses does.
TEST(ScratchFilePathTest, ANameThatReachesADeviceGivesWayToTheNextForm) {
  ScopedFolder folder;
  const std::wstring shown = std::wstring(100, L'd') + L".log";
  WriteBytes(folder / shown, "x");
  std::vector<std::wstring> tried;
  auto scratch_files = std::make_shared<ScratchFiles>(
      [&](const wchar_t* path, SECURITY_ATTRIBUTES* security) {
        tried.push_back(path);
        if (tried.size() > 1) return CreateNewFile(path, security);
        return ::CreateFileW(L"\\\\.\\NUL", GENERIC_WRITE, 0, nullptr,
                             OPEN_EXISTING, 0, nullptr);
      });
  Win32EnvironmentHelper environment(nullptr, scratch_files);
  environment.PathFromCommandLine(T(L'"' + (folder / shown) + L'"'));
  const std::wstring path = W(ToText(environment.ScratchFilePath(u"Tessaly")));
  ASSERT_EQ(tried.size(), 2u);
  EXPECT_EQ(tried[1], path);
  EXPECT_GT(tried[0].size(), path.size());
  EXPECT_LE(path.size() - TempFolder().size(), kShortScratchNameLength);
  EXPECT_NE(scratch_files->Held(T(path)), nullptr);
}

// A temp folder too long for any scratch name within MAX_PATH: the editor
// is given the short form, while creating, writing and sweeping take the
// extended-length form.
TEST(ScratchFilePathTest, ATempFolderPastMaxPathServesTheWholeRun) {
  ScopedFolder folder;
  std::wstring temp = folder.path();
  while (temp.size() < 240) {
    temp += L'\\' + std::wstring(30, L'n');
    ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + temp).c_str(), nullptr));
  }
  temp += L'\\';
  const std::wstring old = temp + L"Tessaly-00000001-00000002.txt";
  WriteBytes(L"\\\\?\\" + old, "old");
  AgeAsCopy(L"\\\\?\\" + old, 48);
  const std::wstring previous_temp = TempFolder();
  ::SetEnvironmentVariableW(L"TMP", temp.c_str());

  auto scratch_files = std::make_shared<ScratchFiles>();
  Win32EnvironmentHelper environment(nullptr, scratch_files);
  Win32FileHelper files(Win32FileHelper::kPieceBytes, 0, scratch_files);
  const Text path = ToText(environment.ScratchFilePath(u"Tessaly"));
  ::SetEnvironmentVariableW(L"TMP", previous_temp.c_str());
  EXPECT_LE(path.size(), 259u);
  EXPECT_EQ(path.find(u"nnnnnnnnnn"), Text::npos) << "not the short form";
  files.WriteTextFile(path, u"a\r\n");
  EXPECT_EQ(ReadBytes(W(path)), "\xFF\xFE" + LittleEndianBytes(u"a\r\n"));
  std::int32_t removed = 0;
  Text failure;
  files.FinishScratchFile(path, -1, -1, removed, failure);
  EXPECT_EQ(removed, 1);
  EXPECT_TRUE(failure.empty());
  EXPECT_FALSE(Exists(L"\\\\?\\" + old));
  EXPECT_TRUE(Exists(W(path)));
}

}  // namespace
}  // namespace tessaly::testing
