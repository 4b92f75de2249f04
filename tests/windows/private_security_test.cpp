#include "win32/private_security.h"

#include <gtest/gtest.h>

#include "tests/windows/test_files_win32.h"
#include "win32/handles.h"

namespace tessaly::testing {
namespace {

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
  const UniqueHandle owned = OwnHandle(::CreateFileW(
      (folder / L"mine.txt").c_str(), READ_CONTROL, FILE_SHARE_READ, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(owned);
  const HANDLE file = owned.get();
  EXPECT_TRUE(PrivateSecurity().CountsAsUsersOwn(file));
  // The temp folder keeps owners, so the owner decides; on a volume that
  // keeps none, such as FAT, nobody's copy can be told from the user's.
  EXPECT_TRUE(VolumeKeepsAcls(file));
  EXPECT_FALSE(elevated.CountsAsUsersOwn(file));
  const auto no_acls = [](HANDLE) { return false; };
  EXPECT_TRUE(PrivateSecurity(
                  [&](TOKEN_INFORMATION_CLASS) { return sid(user); }, no_acls)
                  .CountsAsUsersOwn(file));
}

}  // namespace
}  // namespace tessaly::testing
