#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "services/private_security_win32.h"
#include "services/scratch_name.h"
#include "services/service_error.h"
#include "services/services_win32.h"
#include "services/win32_support_win32.h"
#include "tests/windows/test_files_win32.h"
// After windows.h, which it needs.
#include <aclapi.h>
#include <sddl.h>

namespace tessaly::testing {
namespace {

Text T(const std::wstring& wide) { return FromWide(wide); }

std::vector<BYTE> SidOf(const std::wstring& text) {
  PSID converted = nullptr;
  EXPECT_TRUE(::ConvertStringSidToSidW(text.c_str(), &converted));
  const auto* bytes = static_cast<const BYTE*>(converted);
  std::vector<BYTE> copied(bytes, bytes + ::GetLengthSid(converted));
  ::LocalFree(converted);
  return copied;
}

std::wstring Sddl(PSECURITY_DESCRIPTOR descriptor, SECURITY_INFORMATION parts) {
  wchar_t* text = nullptr;
  EXPECT_TRUE(::ConvertSecurityDescriptorToStringSecurityDescriptorW(
      descriptor, SDDL_REVISION_1, parts, &text, nullptr));
  const std::wstring copied(text);
  ::LocalFree(text);
  return copied;
}

std::unique_ptr<void, decltype(&::LocalFree)> Descriptor(
    const std::wstring& sddl) {
  PSECURITY_DESCRIPTOR made = nullptr;
  EXPECT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
      sddl.c_str(), SDDL_REVISION_1, &made, nullptr));
  return {made, ::LocalFree};
}

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
  const HANDLE writer = ::CreateFileW(
      path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  Win32FileHelper files;
  EXPECT_EQ(files.ReadTextFile(T(path)), u"line 1\n");
  // The reader let go of the file: the writer can carry on.
  DWORD written = 0;
  EXPECT_TRUE(::WriteFile(writer, "line 2\n", 7, &written, nullptr));
  ::CloseHandle(writer);
  EXPECT_EQ(ReadBytes(path), "line 1\nline 2\n");
}

TEST(ReadTextFileTest, LockedOrMissingFileFailsWithTheSystemsCode) {
  ScopedFolder folder;
  const std::wstring path = folder / L"locked.txt";
  WriteBytes(path, "x");
  const HANDLE holder =
      ::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  Win32FileHelper files;
  ExpectReadFails(files, path, ERROR_SHARING_VIOLATION);
  ::CloseHandle(holder);
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

// Built for an elevated token, whose default owner is Administrators: the
// copy is the user's all the same, and only the user's files count as own.
TEST(PrivateSecurityTest, ACopyIsTheUsersAloneEvenWhenElevated) {
  const auto sid = SidOf;
  const std::wstring user = L"S-1-5-21-1-2-3-1001";
  PrivateSecurity elevated([&](TOKEN_INFORMATION_CLASS kind) {
    return sid(kind == TokenUser ? user : L"S-1-5-32-544");
  });
  EXPECT_EQ(Sddl(elevated.attributes()->lpSecurityDescriptor,
                 OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION),
            L"O:" + user + L"D:P(A;;FA;;;" + user + L")(A;;FA;;;SY)");

  ScopedFolder folder;
  WriteBytes(folder / L"mine.txt", "x");
  OwnAsUser(folder / L"mine.txt");
  const HANDLE file = ::CreateFileW(
      (folder / L"mine.txt").c_str(), READ_CONTROL, FILE_SHARE_READ, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(elevated.OwnedByUser(file));
  EXPECT_TRUE(PrivateSecurity().OwnedByUser(file));
  // The temp folder keeps owners, so the owner decides; on a volume that
  // keeps none, such as FAT, nobody's copy can be told from the user's.
  EXPECT_TRUE(VolumeKeepsAcls(file));
  EXPECT_FALSE(elevated.CountsAsUsersOwn(file));
  const auto no_acls = [](HANDLE) { return false; };
  EXPECT_TRUE(PrivateSecurity(
                  [&](TOKEN_INFORMATION_CLASS) { return sid(user); }, no_acls)
                  .CountsAsUsersOwn(file));
  ::CloseHandle(file);
}

// A file system that refuses the user as owner, as a share reached as
// another account may: the copy gets the system's owner and the same
// protected access list, for the rest of the run. No other error is.
TEST(ScratchFilesTest, AnOwnerTheFileSystemRefusesIsLeftToTheSystem) {
  ScopedFolder folder;
  std::vector<bool> owner_named;
  DWORD refusal = ERROR_INVALID_OWNER;
  const auto refuse_owners = [&](const wchar_t* path,
                                 SECURITY_ATTRIBUTES* security) {
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ::GetSecurityDescriptorOwner(security->lpSecurityDescriptor, &owner,
                                 &defaulted);
    ::GetSecurityDescriptorControl(security->lpSecurityDescriptor, &control,
                                   &revision);
    EXPECT_NE(control & SE_DACL_PROTECTED, 0);
    owner_named.push_back(owner != nullptr);
    if (owner == nullptr) return CreateNewFile(path, security);
    ::SetLastError(refusal);
    return INVALID_HANDLE_VALUE;
  };
  ScratchFiles run(refuse_owners);
  EXPECT_EQ(run.Create(T(folder / L"a.txt")), DWORD{ERROR_SUCCESS});
  EXPECT_EQ(run.Create(T(folder / L"b.txt")), DWORD{ERROR_SUCCESS});
  EXPECT_EQ(owner_named, (std::vector<bool>{true, false, false}));
  EXPECT_NE(run.Held(T(folder / L"b.txt")), nullptr);

  refusal = ERROR_ACCESS_DENIED;
  owner_named.clear();
  ScratchFiles next_run(refuse_owners);
  EXPECT_EQ(next_run.Create(T(folder / L"c.txt")), DWORD{ERROR_ACCESS_DENIED});
  EXPECT_EQ(owner_named, std::vector<bool>{true});
}

// A share reached as another account refuses the user, made up here, as
// owner, and gives new files an owner of its own: the token's default one
// stands in for it. The retried copy lets that owner in. An old copy of
// that owner's with the user's own entry is swept by a run whose copy got
// that owner, and kept by one whose file system took the user; one of
// another person who reaches the share as the same account is kept. Wine
// keeps a DACL as Unix permissions, which name only SYSTEM, the owner and
// Everyone: so Everyone stands in for the user.
TEST(ScratchFilesTest, TheSharesAccountReadsItsCopiesAndItsRunsSweepThem) {
  ScopedFolder folder;
  const auto path = [&](std::uint32_t random) {
    const Text text = ScratchFileName(u"Tessaly", 1, random);
    return folder / std::wstring(Wide(text), text.size());
  };
  const std::wstring user = L"S-1-1-0";
  const TokenQuery made_up = [&](TOKEN_INFORMATION_CLASS) {
    return SidOf(user);
  };
  const auto plant_old_copy = [&](std::uint32_t random,
                                  const std::wstring& made_for) {
    const auto descriptor =
        Descriptor(L"D:P(A;;FA;;;" + made_for + L")(A;;FA;;;SY)(A;;FA;;;OW)");
    SECURITY_ATTRIBUTES security = {sizeof security, descriptor.get(), FALSE};
    ::CloseHandle(CreateNewFile(path(random).c_str(), &security));
    SetLastWriteTime(path(random), HoursAgo(48));
    EXPECT_TRUE(
        ::SetFileAttributesW(path(random).c_str(), FILE_ATTRIBUTE_READONLY));
  };
  plant_old_copy(2, user);
  plant_old_copy(3, L"S-1-5-21-1-2-3-1002");
  std::wstring dacl_given;
  const auto share = [&](const wchar_t* file, SECURITY_ATTRIBUTES* security) {
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    ::GetSecurityDescriptorOwner(security->lpSecurityDescriptor, &owner,
                                 &defaulted);
    if (owner != nullptr) {
      ::SetLastError(ERROR_INVALID_OWNER);
      return INVALID_HANDLE_VALUE;
    }
    dacl_given =
        Sddl(security->lpSecurityDescriptor, DACL_SECURITY_INFORMATION);
    return CreateNewFile(file, security);
  };
  const auto takes_the_user = [](const wchar_t* file, SECURITY_ATTRIBUTES*) {
    return CreateNewFile(file, nullptr);
  };
  const auto sweep = [&](const ScratchFiles::NewFileCall& create) {
    const auto run = std::make_shared<ScratchFiles>(create, made_up);
    EXPECT_EQ(run->Create(T(path(1))), DWORD{ERROR_SUCCESS});
    Win32FileHelper files(Win32FileHelper::kPieceBytes, 0, run);
    std::int32_t removed = 0;
    Text failure;
    return files.FinishScratchFile(T(path(1)), -1, -1, removed, failure);
  };
  EXPECT_EQ(sweep(takes_the_user), 0);
  EXPECT_TRUE(Exists(path(2)));
  EXPECT_EQ(sweep(share), 1);
  EXPECT_FALSE(Exists(path(2)));
  EXPECT_TRUE(Exists(path(3)));
  // OWNER RIGHTS, S-1-3-4: whoever owns the file.
  EXPECT_EQ(dacl_given, Sddl(Descriptor(L"D:P(A;;FA;;;" + user +
                                        L")(A;;FA;;;SY)(A;;FA;;;S-1-3-4)")
                                 .get(),
                             DACL_SECURITY_INFORMATION));
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
