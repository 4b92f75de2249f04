// Tessaly against broken and hostile input, files that resist, and parallel
// runs: what the user sees, the exit status, whether the editor started, and
// that the original is left as it was.
#include <atomic>
#include <iostream>
#include <memory>
#include <set>
#include <thread>

#include "tests/e2e/e2e_checks_win32.h"
#include "win32/handles.h"

namespace tessaly::testing {
namespace {

using namespace std::string_literals;

std::wstring Quoted(const std::wstring& path) { return L'"' + path + L'"'; }

// Where Notepad is the stand-in.
using ReliabilityTest = EditorRunTest;

TEST_F(ReliabilityTest, OddContentIsConvertedAndTheOriginalLeftAlone) {
  struct Case {
    const wchar_t* name;
    std::string bytes;
    std::u16string text;
  };
  const Case cases[] = {
      {L"empty.txt", "", u""},
      {L"line-feeds-only.txt", "\n\n\n", u"\r\n\r\n\r\n"},
      // Not UTF-8 because of the FF, so every byte is one ANSI character.
      {L"binary.bin", "MZ\0\x01\n\0\xFF"s, u"MZ\0\x01\r\n\0\u00FF"s},
      {L"invalid-utf8.txt", "caf\xE9\n\x80", u"caf\u00E9\r\n\u20AC"},
      {L"utf16-odd-length.txt",
       "\xFF\xFE"
       "a\0\n\0b"s,
       u"a\r\n\uFFFD"},
      {L"utf8-mark-only.txt", "\xEF\xBB\xBF", u""},
  };
  for (const Case& c : cases) {
    const std::wstring path = files_ / c.name;
    WriteBytes(path, c.bytes);
    const Unchanged original(path);
    EXPECT_EQ(RunAndReadCopy(Quoted(path)), CopyOf(c.text)) << Narrow(c.name);
    original.Check();
  }
}

TEST_F(ReliabilityTest, HardPathsAndResistingFilesStillWork) {
  const std::wstring non_latin =
      files_ / L"\u0416\u0443\u043A \u6587\u4EF6 \U0001F600.txt";
  std::wstring deep = files_.path();
  while (deep.size() < 270) {
    deep += L"\\a folder with a rather long name";
    ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr));
  }
  const std::wstring long_path = deep + L"\\notes.txt";
  const std::wstring read_only = files_ / L"read-only.txt";
  const std::wstring plain = files_ / L"plain.txt";
  // Named as devices are, reachable only in the extended form.
  const std::wstring nul = L"\\\\?\\" + (files_ / L"nul.txt");
  const std::wstring con = L"\\\\?\\" + (files_ / L"con.log");
  const std::wstring conout = L"\\\\?\\" + (files_ / L"conout$.log");
  const std::wstring conin = L"\\\\?\\" + (files_ / L"CONIN$ .txt");
  // 235 bytes of UTF-8: with " (Tessaly 12345678).txt" too long for ext4.
  const std::wstring japanese = std::wstring(77, L'\u3042');
  const std::wstring long_japanese = files_ / (japanese + L".txt");
  const struct {
    std::wstring path;
    std::wstring argument;
    std::wstring copy_start;
  } cases[] = {
      {non_latin, Quoted(non_latin), L""},
      {long_path, Quoted(long_path), L""},
      {read_only, Quoted(read_only), L""},
      {plain, Quoted(plain) + L" and then some more words", L""},
      {nul, Quoted(nul), L"nul_.txt (Tessaly "},
      {con, Quoted(con), L"con_.log (Tessaly "},
      {conout, Quoted(conout), L"conout$_.log (Tessaly "},
      {conin, Quoted(conin), L"CONIN$_ .txt (Tessaly "},
      {long_japanese, Quoted(long_japanese),
       japanese.substr(0, 40) + L" (Tessaly "},
  };
  for (const auto& c : cases) WriteBytes(c.path, "one\ntwo\n");
  ASSERT_TRUE(::SetFileAttributesW(read_only.c_str(), FILE_ATTRIBUTE_READONLY));
  for (const auto& c : cases) {
    const Unchanged original(c.path);
    EXPECT_EQ(RunAndReadCopy(c.argument), CopyOf(u"one\r\ntwo\r\n"))
        << Narrow(c.argument);
    const std::wstring copy =
        last_start_.scratch.substr(last_start_.scratch.rfind(L'\\') + 1);
    EXPECT_EQ(copy.substr(0, c.copy_start.size()), c.copy_start)
        << Narrow(copy);
    original.Check();
  }
  EXPECT_NE(::GetFileAttributesW(read_only.c_str()) & FILE_ATTRIBUTE_READONLY,
            0u)
      << "the file is no longer read-only";
}

TEST(PathMessageTest, WhatIsNotOneFileOnDiskIsNotFound) {
  ScopedFolder folder;
  const std::wstring file = folder / L"file.txt";
  WriteBytes(file, "x");
  const Unchanged original(file);
  const struct {
    std::wstring argument;
    std::wstring shown;
  } cases[] = {
      {Quoted(file + L'\\'), file + L'\\'},
      {Quoted(folder / L"*.txt"), folder / L"*.txt"},
      {Quoted(folder / L"fil?.txt"), folder / L"fil?.txt"},
      {L"NUL", L"\\\\.\\NUL"},
      {L"CON", L"\\\\.\\CON"},
      {L"COM1", L"\\\\.\\COM1"},
  };
  for (const auto& c : cases) {
    TessalyRun run(c.argument, folder.path());
    ExpectBox(run.ReadAndDismissBox(), L"The file was not found:\r\n" + c.shown,
              BoxIcon::kNone);
    EXPECT_EQ(run.ExitStatus(), kFileNotFound) << Narrow(c.argument);
    EXPECT_EQ(run.ProcessesStarted(), 1u) << Narrow(c.argument);
  }
  original.Check();
}

TEST(PathMessageTest, ACommandLineOfTabsAsksForAnArgument) {
  TessalyRun run(L"\t\t");
  ExpectBox(run.ReadAndDismissBox(),
            L"You must call this tool with a command line argument!",
            BoxIcon::kWarning);
  EXPECT_EQ(run.ExitStatus(), kMissingArgument);
  EXPECT_EQ(run.ProcessesStarted(), 1u);
}

TEST_F(ReliabilityTest, AFileBeingAppendedToIsReadUpToAConsistentPoint) {
  const std::wstring path = files_ / L"growing.log";
  std::string written(1 << 20, 'x');
  for (std::size_t i = 79; i < written.size(); i += 80) written[i] = '\n';
  WriteBytes(path, written);
  UniqueHandle writer = OwnHandle(::CreateFileW(
      path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_NE(writer, nullptr);
  std::atomic<bool> stop{false};
  std::thread appender([&] {
    for (int line = 0; !stop; ++line) {
      const std::string text = "appended line " + std::to_string(line) + "\n";
      DWORD done = 0;
      if (!::WriteFile(writer.get(), text.data(),
                       static_cast<DWORD>(text.size()), &done, nullptr)) {
        break;
      }
      written += text;
    }
  });
  const std::string copy = RunAndReadCopy(Quoted(path));
  stop = true;
  appender.join();
  // Closed once the appender is done, before the log is read back.
  writer.reset();

  EXPECT_EQ(ReadBytes(path), written) << "Tessaly changed the log";
  // The copy is the conversion of some prefix of what was written.
  ASSERT_GE(copy.size(), 2u);
  std::string read_back;
  for (std::size_t i = 2; i + 1 < copy.size(); i += 2) {
    const char unit = copy[i];
    if (unit == '\r' && i + 2 < copy.size() && copy[i + 2] == '\n') continue;
    read_back += unit;
  }
  EXPECT_GE(read_back.size(), std::size_t{1} << 20);
  EXPECT_EQ(read_back, written.substr(0, read_back.size()));
}

// The file goes at different moments of the run. Whatever Tessaly was doing
// then, the run ends in one of three sound ways, never in a crash or hang.
TEST_F(ReliabilityTest, AFileRemovedDuringTheRunEndsSoundly) {
  std::string content;
  for (int line = 0; line < 20000; ++line) content += "some line of text\n";
  int converted = 0, not_found = 0, reported = 0;
  for (int delay = 0; delay < 80; delay += 10) {
    const std::wstring path =
        files_ / (L"doomed-" + std::to_wstring(delay) + L".txt");
    WriteBytes(path, content);
    TessalyRun run(Quoted(path));
    ::Sleep(delay);
    EXPECT_TRUE(::DeleteFileW(path.c_str())) << ::GetLastError();
    const SeenBox box = run.ReadAndDismissBox();
    const DWORD status = run.ExitStatus();
    EXPECT_TRUE(run.AllEnded());
    const std::vector<EditorStart> starts = NewStarts();
    if (!box.found) {
      ++converted;
      EXPECT_EQ(status, 0u);
      ASSERT_EQ(starts.size(), 1u);
      std::u16string text;
      for (char c : content) {
        if (c == '\n') text += u'\r';
        text += static_cast<char16_t>(c);
      }
      EXPECT_EQ(starts[0].copy, CopyOf(text));
    } else if (box.icon == BoxIcon::kNone) {
      ++not_found;
      ExpectBox(box, L"The file was not found:\r\n" + path, BoxIcon::kNone);
      EXPECT_EQ(status, kFileNotFound);
      EXPECT_TRUE(starts.empty());
    } else {
      ++reported;
      ExpectReport(box, ERROR_FILE_NOT_FOUND,
                   L"Datei \u00F6ffnen \"" + path + L'"');
      EXPECT_EQ(status, 1u);
      EXPECT_TRUE(starts.empty());
    }
  }
  std::cout << "converted " << converted << ", not found " << not_found
            << ", reported " << reported << "\n";
}

TEST_F(ReliabilityTest, TwentyParallelRunsEachGetTheirOwnCopy) {
  constexpr int kRuns = 20;
  std::vector<std::wstring> paths;
  std::vector<std::string> expected;
  for (int i = 0; i < kRuns; ++i) {
    paths.push_back(files_ / (L"file-" + std::to_wstring(i) + L".txt"));
    const std::string text = "file " + std::to_string(i) + "\nsecond line\n";
    WriteBytes(paths.back(), text);
    std::u16string converted;
    for (char c : text) {
      if (c == '\n') converted += u'\r';
      converted += static_cast<char16_t>(c);
    }
    expected.push_back(CopyOf(converted));
  }
  // Twenty runs on twenty files, then twenty on one.
  for (const bool same_file : {false, true}) {
    std::vector<std::unique_ptr<TessalyRun>> runs;
    for (int i = 0; i < kRuns; ++i) {
      runs.push_back(
          std::make_unique<TessalyRun>(Quoted(paths[same_file ? 0 : i])));
    }
    for (auto& run : runs) {
      EXPECT_EQ(run->ExitStatus(), 0u);
      EXPECT_TRUE(run->AllEnded());
    }
    const std::vector<EditorStart> starts = NewStarts();
    ASSERT_EQ(starts.size(), std::size_t{kRuns});
    std::set<std::wstring> scratch_files;
    std::multiset<std::string> copies;
    for (const EditorStart& start : starts) {
      scratch_files.insert(start.scratch);
      copies.insert(start.copy);
      EXPECT_EQ(ReadBytes(start.scratch), start.copy);
    }
    EXPECT_EQ(scratch_files.size(), std::size_t{kRuns})
        << "a scratch file was shared";
    const std::vector<std::string> wanted_list =
        same_file ? std::vector<std::string>(kRuns, expected[0]) : expected;
    const std::multiset<std::string> wanted(wanted_list.begin(),
                                            wanted_list.end());
    EXPECT_EQ(copies, wanted);
  }
}

TEST_F(ReliabilityTest,
       NotepadsPlantedInTheCurrentFolderOrOnPathAreNeverStarted) {
  ScopedFolder current, on_path;
  const std::wstring stand_in = BuildFolder() + L"\\stand_in_editor.exe";
  ASSERT_TRUE(
      ::CopyFileW(stand_in.c_str(), (current / L"notepad.exe").c_str(), FALSE));
  ASSERT_TRUE(
      ::CopyFileW(stand_in.c_str(), (on_path / L"notepad.exe").c_str(), FALSE));
  wchar_t old_path[32767];
  const DWORD length = ::GetEnvironmentVariableW(L"PATH", old_path, 32767);
  ::SetEnvironmentVariableW(
      L"PATH",
      (on_path.path() + L';' + std::wstring(old_path, length)).c_str());
  WriteBytes(files_ / L"notes.txt", "a\nb");
  // NewStarts checks that each start came from the Windows folder.
  EXPECT_EQ(RunAndReadCopy(Quoted(files_ / L"notes.txt"), current.path()),
            CopyOf(u"a\r\nb"));
  ::SetEnvironmentVariableW(L"PATH", std::wstring(old_path, length).c_str());
}

// A temp folder too long for any copy's name within MAX_PATH: Notepad is
// given the copy's short form, which it can open.
TEST_F(ReliabilityTest, ATempFolderPastMaxPathGivesNotepadAPathItCanOpen) {
  std::wstring temp = files_.path();
  while (temp.size() < 240) {
    temp += L'\\' +
            std::wstring(std::min<std::size_t>(30, 240 - temp.size()), L't');
    ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + temp).c_str(), nullptr));
  }
  WriteBytes(files_ / L"notes.txt", "a\nb");
  const TempFolderOverride override_temp(temp);
  EXPECT_EQ(RunAndReadCopy(Quoted(files_ / L"notes.txt")), CopyOf(u"a\r\nb"));
  EXPECT_NE(last_start_.scratch.find(L'~'), std::wstring::npos)
      << "not the short form: " << Narrow(last_start_.scratch);
}

// In a 32-bit process on 64-bit Windows the system folder is redirected to
// the 32-bit one; the shipped 32-bit Tessaly must still show the file its
// user names there.
TEST_F(ReliabilityTest, The32BitExeReachesAFileOnlyIn64BitSystem32) {
  if (sizeof(void*) == 4) {
    GTEST_SKIP() << "needs a 64-bit prefix: runs in the 64-bit build's tests";
  }
  wchar_t failure[512] = {};
  if (::GetEnvironmentVariableW(L"TESSALY_WINE32_FAILURE", failure, 512) != 0) {
    GTEST_SKIP() << "this machine cannot run 32-bit programs: "
                 << Narrow(failure);
  }
  wchar_t shipped[MAX_PATH] = {};
  ASSERT_NE(
      ::GetEnvironmentVariableW(L"TESSALY_SHIPPED_EXE", shipped, MAX_PATH), 0u);
  wchar_t system[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring path =
      std::wstring(system, length) + L"\\tessaly-only-in-64-bit.txt";
  WriteBytes(path, "a\nb");
  TessalyRun run(Quoted(path), L"", shipped);
  EXPECT_EQ(run.ExitStatus(), 0u) << "a report instead of the editor";
  EXPECT_TRUE(run.AllEnded());
  const std::vector<EditorStart> starts = NewStarts();
  ::DeleteFileW(path.c_str());
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].copy, CopyOf(u"a\r\nb"));
}

}  // namespace
}  // namespace tessaly::testing
