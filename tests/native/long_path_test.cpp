#include "paths/long_path.h"

#include <gtest/gtest.h>

#include "services/text.h"
#include "tests/native/fake_platform.h"

namespace tessaly::testing {
namespace {

// A program is started only by a full path; USERPROFILE, and what gets
// the extended prefix, only in the drive form with a backslash.
TEST(IsFullPathTest, DrivesAndSharesAreFullOnlyBackslashedDrivesStartAtRoot) {
  for (const char16_t* full :
       {u"C:\\x", u"c:/x", u"\\\\server\\share", u"\\\\?\\C:\\x"}) {
    EXPECT_TRUE(IsFullPath(full)) << Printable(full);
  }
  for (const char16_t* relative : {u"", u"x.txt", u"C:x", u"\\x", u"..\\x"}) {
    EXPECT_FALSE(IsFullPath(relative)) << Printable(relative);
  }
  EXPECT_TRUE(StartsAtDriveRoot(u"C:\\x"));
  EXPECT_FALSE(StartsAtDriveRoot(u"C:/x"));
  EXPECT_FALSE(StartsAtDriveRoot(u"\\\\server\\share"));
}

TEST(ExtendedLengthPathTest, OnlyLongPlainPathsGetThePrefix) {
  const Text folder(300, u'f');
  const Text long_drive = u"C:\\" + folder + u"\\x.txt";
  const Text long_share = u"\\\\server\\share\\" + folder;
  EXPECT_EQ(ExtendedLengthPath(u"C:\\short.txt"), Text(u"C:\\short.txt"));
  EXPECT_EQ(ExtendedLengthPath(long_drive), u"\\\\?\\" + long_drive);
  EXPECT_EQ(ExtendedLengthPath(long_share),
            u"\\\\?\\UNC\\server\\share\\" + folder);
  EXPECT_EQ(ExtendedLengthPath(u"\\\\?\\" + long_drive),
            u"\\\\?\\" + long_drive);
  EXPECT_EQ(ExtendedLengthPath(Text(259, u'a')), Text(259, u'a'));
  EXPECT_EQ(PlainPath(ExtendedLengthPath(long_drive)), long_drive);
  EXPECT_EQ(PlainPath(ExtendedLengthPath(long_share)), long_share);
}

TEST(ReplaceLeadingFolderTest, ReplacesOnlyAWholeLeadingFolder) {
  const Text system = u"C:\\Windows\\system32";
  const Text native = u"C:\\Windows\\Sysnative";
  const auto mapped = [&](const Text& path) {
    return ReplaceLeadingFolder(path, system, native);
  };
  EXPECT_EQ(mapped(u"c:\\WINDOWS\\System32\\Tasks\\job"),
            Text(u"C:\\Windows\\Sysnative\\Tasks\\job"));
  EXPECT_EQ(mapped(system), native);
  EXPECT_EQ(mapped(u"\\\\?\\C:\\Windows\\System32\\x"),
            Text(u"\\\\?\\C:\\Windows\\Sysnative\\x"));
  for (const Text other :
       {u"C:\\Windows\\System32x\\a", u"C:\\Windows\\SysWOW64\\a",
        u"D:\\Windows\\System32", u"C:\\Windows", u""}) {
    EXPECT_EQ(mapped(other), other) << Printable(other);
  }
}

// In a 32-bit process on 64-bit Windows: Sysnative only in plain paths
// that fit, the system folder's own name with redirection off otherwise.
TEST(PathPastRedirectionTest, SysnativeOnlyWherePlainPathsFit) {
  const Text system = u"C:\\Windows\\System32";
  const Text native = u"C:\\Windows\\Sysnative";
  const Text near_limit(240, u'n');
  const Text long_name(300, u'n');
  const struct {
    Text path;
    Text given;
    bool redirection_off;
  } cases[] = {
      {system + u"\\a.txt", native + u"\\a.txt", false},
      {system + u"\\" + near_limit, u"\\\\?\\" + system + u"\\" + near_limit,
       true},
      {u"\\\\?\\" + system + u"\\a.txt", u"\\\\?\\" + system + u"\\a.txt",
       true},
      {u"C:\\Users\\a.txt", u"C:\\Users\\a.txt", false},
      {u"C:\\" + long_name, u"\\\\?\\C:\\" + long_name, false},
  };
  for (const auto& c : cases) {
    const UnredirectedPath chosen = PathPastRedirection(c.path, system, native);
    EXPECT_EQ(chosen.path, c.given) << Printable(c.path);
    EXPECT_EQ(chosen.redirection_off, c.redirection_off) << Printable(c.path);
  }
}

}  // namespace
}  // namespace tessaly::testing
