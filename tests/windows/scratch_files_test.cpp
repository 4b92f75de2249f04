#include "win32/scratch_files.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "paths/scratch_name.h"
#include "tests/windows/test_files_win32.h"
#include "win32/file_helper.h"
#include "win32/handles.h"

namespace tessaly::testing {
namespace {

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
    // Closed at once: only the file is wanted.
    OwnHandle(CreateNewFile(path(random).c_str(), &security));
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

}  // namespace
}  // namespace tessaly::testing
