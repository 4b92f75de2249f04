#include "win32/file_helper.h"

#include <gtest/gtest.h>

#include <vector>

#include "paths/scratch_name.h"
#include "tests/windows/test_files_win32.h"

namespace tessaly::testing {
namespace {

TEST(FinishScratchFileTest, RemovesOnlyOurOldScratchFilesAndNeverTheGivenOne) {
  ScopedFolder folder;
  const auto plain = [&](std::uint32_t random) {
    const Text text = ScratchFileName(u"Tessaly", 1, random);
    return folder / std::wstring(Wide(text), text.size());
  };
  const auto named = [&](const Text& shown, std::uint32_t random) {
    const Text text = ScratchFileName(u"Tessaly", shown, 1, random, 255);
    return folder / std::wstring(Wide(text), text.size());
  };
  // Copies of both forms; the given one is of the form named after a file.
  const std::wstring given = named(u"server.log", 1);
  const std::wstring old_plain = plain(2);
  const std::wstring old_named = named(u"app.log", 3);
  const std::wstring young = named(u"db.log", 4);
  // Made writable again: it may hold what the user saved.
  const std::wstring edited = named(u"edited.log", 5);
  const std::vector<std::wstring> foreign = {
      folder / L"Tessaly-notes.txt", folder / L"Tessaly notes.txt",
      folder / L"report (Tessaly).txt", folder / L"Other-00000001-00000002.txt",
      edited};
  std::vector<std::wstring> all = {given, old_plain, old_named, young};
  all.insert(all.end(), foreign.begin(), foreign.end());
  for (const std::wstring& path : all) {
    WriteBytes(path, "x");
    AgeAsCopy(path, path == young ? 23 : 25);
  }
  ASSERT_TRUE(::SetFileAttributesW(edited.c_str(), FILE_ATTRIBUTE_NORMAL));

  Win32FileHelper files;
  std::int32_t removed = 0;
  Text failure;
  EXPECT_EQ(files.FinishScratchFile(T(given), -1, -1, removed, failure), 2);
  EXPECT_EQ(removed, 2);
  EXPECT_EQ(failure, u"");
  EXPECT_FALSE(Exists(old_plain));
  EXPECT_FALSE(Exists(old_named));
  std::vector<std::wstring> kept = {given, young};
  kept.insert(kept.end(), foreign.begin(), foreign.end());
  for (const std::wstring& path : kept) EXPECT_TRUE(Exists(path));
  EXPECT_EQ(ReadBytes(given), "x");
}

TEST(FinishScratchFileTest, AgeAndCountLimitsApply) {
  ScopedFolder folder;
  const auto path = [&](std::uint32_t random) {
    const Text text = ScratchFileName(u"Tessaly", 1, random);
    return folder / std::wstring(Wide(text), text.size());
  };
  for (std::uint32_t random = 2; random <= 4; ++random) {
    WriteBytes(path(random), "x");
    AgeAsCopy(path(random), 3);
  }
  Win32FileHelper files;
  std::int32_t removed = -5;
  Text failure = u"stale";
  EXPECT_EQ(files.FinishScratchFile(T(path(1)), 4, -1, removed, failure), 0);
  EXPECT_EQ(removed, 0);
  EXPECT_EQ(failure, u"");
  EXPECT_EQ(files.FinishScratchFile(T(path(1)), 2, 1, removed, failure), 1);
  EXPECT_EQ(files.FinishScratchFile(T(path(1)), 2, -1, removed, failure), 2);
}

}  // namespace
}  // namespace tessaly::testing
